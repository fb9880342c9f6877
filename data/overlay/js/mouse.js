// The drawn mouse beside the keyboard: its buttons lit while held, and the wheel pulsing once per
// notch in the notch's direction. Drawn in the skin's key colours; shown only while the state's
// "mouse" option is on. Lighting touches only the part that changes.
(function (C) {
  'use strict';

  // Where a layout puts the mouse when it does not say: to the right of the keys, its foot on
  // the bottom row, in key units.
  const DEFAULT_W = 2.6;
  const DEFAULT_H = 4;
  const DEFAULT_GAP = 0.5;
  const PULSE_MS = 220;

  // MouseEvent.button numbers and the parts that draw them.
  const BUTTON_PARTS = ['main', 'auxiliary', 'secondary', 'back', 'forward'];

  // The place of the mouse in key units for a layout read by C.layout.readLayout.
  function placement(layout) {
    const m = layout && layout.mouse;
    if (m) return m;
    const w = DEFAULT_W;
    const h = layout ? Math.min(DEFAULT_H, layout.height) : DEFAULT_H;
    return { x: (layout ? layout.width : 0) + DEFAULT_GAP, y: (layout ? layout.height : h) - h, w, h };
  }

  // The width and height the keys and the mouse take together.
  function extent(layout, shown) {
    const w = layout ? layout.width : 0;
    const h = layout ? layout.height : 0;
    if (!shown) return { width: w, height: h };
    const p = placement(layout);
    return { width: Math.max(w, p.x + p.w), height: Math.max(h, p.y + p.h) };
  }

  // The arrow is one ▲ turned to the notch's direction, so a notch never changes text (which
  // would lay the mouse out again).
  function turnOf(dx, dy) {
    if (dy < 0) return 0;
    if (dy > 0) return 180;
    return dx < 0 ? 270 : 90;
  }

  function createMouse(container) {
    const parts = new Map();   // button number -> element
    const lit = new Map();     // button number -> time of its press (performance.now)
    let wheel = null;
    let flash = null;
    let arrow = null;
    let pulses = [];           // the running pulse's animations

    function part(className, parent) {
      const el = document.createElement('div');
      el.className = className;
      parent.appendChild(el);
      return el;
    }

    // The mouse at `p` (key units) with `unit` px per unit, `origin` px from the plate's corner.
    function build(p, unit, origin) {
      container.textContent = '';
      parts.clear();
      lit.clear();
      pulses = [];
      container.style.left = origin + p.x * unit + 'px';
      container.style.top = origin + p.y * unit + 'px';
      container.style.width = p.w * unit + 'px';
      container.style.height = p.h * unit + 'px';
      container.style.setProperty('--mouse-arrow', Math.round(unit * 0.34) + 'px');
      const body = part('mouse-body', container);
      for (const [i, name] of BUTTON_PARTS.entries()) {
        if (name === 'auxiliary') continue;
        const el = part('mbtn ' + name, body);
        el.dataset.button = String(i);
        parts.set(i, el);
      }
      wheel = part('mbtn wheel', body);
      wheel.dataset.button = '1';
      parts.set(1, wheel);
      flash = part('wheel-flash', wheel);
      arrow = document.createElement('span');
      arrow.className = 'wheel-arrow';
      arrow.textContent = '▲';
      flash.appendChild(arrow);
    }

    function setButton(button, down) {
      const el = parts.get(button);
      if (!el) return;
      if (down) {
        if (!lit.has(button)) {
          lit.set(button, performance.now());
          el.classList.add('down');
        }
      } else if (lit.delete(button)) {
        el.classList.remove('down');
      }
    }

    function clearAll() {
      for (const button of lit.keys()) parts.get(button).classList.remove('down');
      lit.clear();
    }

    // A button lit since before `since`: its release was lost on the way (as for keys).
    function dropPressedBefore(since) {
      for (const [button, at] of Array.from(lit)) if (at < since) setButton(button, false);
    }

    // One pulse per notch: a notch during the last one's pulse starts it again. Only opacity and
    // transform move, so the pulse runs beside the keys without laying anything out.
    function notch(dx, dy) {
      if (!flash) return;
      const shift = (dy || dx) < 0 ? -1 : 1;
      const axis = dy !== 0 ? 'translateY' : 'translateX';
      const turn = 'rotate(' + turnOf(dx, dy) + 'deg)';
      for (const running of pulses) running.cancel();
      const timing = { duration: PULSE_MS, easing: 'ease-out' };
      pulses = [
        flash.animate([{ opacity: 1 }, { opacity: 0 }], timing),
        arrow.animate([{ transform: axis + '(' + 3 * shift + 'px) ' + turn }, { transform: axis + '(0px) ' + turn }], timing),
      ];
    }

    return { build, setButton, clearAll, dropPressedBefore, notch, get held() { return Array.from(lit.keys()); } };
  }

  C.mouse = { createMouse, placement, extent, BUTTON_PARTS, DEFAULT_W, DEFAULT_H };
})(window.Clackery = window.Clackery || {});
