// The drawn keyboard: one element per key of the layout, lit while the key is held, with the
// skin's shape and an optional heat tint. Lighting touches only the keys that change.
(function (C) {
  'use strict';

  // Estimated width of a legend in em: CJK and kana are about square, Latin about 0.6.
  function legendEm(text) {
    let em = 0;
    for (const ch of text) em += ch.codePointAt(0) >= 0x2e80 ? 1.0 : 0.62;
    return Math.max(em, 0.62);
  }

  function legendSize(text, boxW, boxH, base) {
    const byWidth = (boxW * 0.8) / legendEm(text);
    return Math.max(7, Math.min(base, byWidth, boxH * 0.6));
  }

  // Heat levels are shown in steps of 1/50: a tint's opacity then moves by at most 0.014.
  const HEAT_STEPS = 50;

  // Kana legends stay readable on a 1080p stream even on the full-size keyboard's smaller keys.
  const KANA_MIN_PX = 12;

  // Letter keys show one letter even when their shifted legend is the same letter.
  function showsShift(key) {
    return key.shift !== '' && key.shift.toLowerCase() !== key.label.toLowerCase();
  }

  // A notched key is one L-shaped cap drawn as three parts that never overlap: the upper cap
  // carries the legends, the lower cap continues it down beside the notch, and a joint of plain
  // key surface covers where they meet. Each cap is clipped short of the seam, so no border,
  // inner shadow or highlight of either is drawn across the key, and a translucent skin is not
  // doubled anywhere.
  function shapeNotched(el, upper, key, unit, upperH) {
    el.classList.add('notched');
    el.style.setProperty('--notch-x', key.notch.w * unit + 'px');
    el.style.setProperty('--key-w', el.style.width);
    el.style.setProperty('--key-h', el.style.height);
    upper.classList.add('upper');
    upper.style.bottom = 'auto';
    upper.style.height = upperH + 'px';
    for (const name of ['lower', 'joint']) {
      const part = document.createElement('div');
      part.className = 'cap ' + name;
      const heat = document.createElement('div');
      heat.className = 'heat';
      part.appendChild(heat);
      el.appendChild(part);
    }
    const lower = el.querySelector('.cap.lower');
    lower.style.left = key.notch.w * unit + 'px';
    lower.style.top = upperH + 'px';
  }

  // How far a computed box-shadow's inner shadows reach in from the sides, in px.
  function insetReach(shadow) {
    let most = 0;
    for (const part of shadow.split(/,(?![^(]*\))/)) {
      if (!/\binset\b/.test(part)) continue;
      const n = (part.replace(/rgba?\([^)]*\)/g, '').match(/-?[\d.]+px/g) || []).map(parseFloat);
      most = Math.max(most, Math.abs(n[0] || 0) + Math.max(0, n[2] || 0) + Math.max(0, n[3] || 0));
    }
    return most;
  }

  // Reaches past a cap's box for its outer shadow and glow.
  const SHADOW_ROOM = 40;

  // Once styled, when the borders are known: the clip of each part and the joint's place.
  function joinNotched(el) {
    const upper = el.querySelector('.cap.upper');
    const lower = el.querySelector('.cap.lower');
    const joint = el.querySelector('.cap.joint');
    const W = parseFloat(el.style.width);
    const H = parseFloat(el.style.height);
    const U = parseFloat(upper.style.height);
    const nx = parseFloat(lower.style.left);
    const up = getComputedStyle(upper);
    const low = getComputedStyle(lower);
    // Past each border by as far as the skin's inner shadows and glows reach along the sides, so
    // that they run on unbroken beside the joint; the seam strip is the rest between.
    const reach = insetReach(up.boxShadow);
    const inner = (v) => (parseFloat(v) || 0) + Math.min(10, reach) + 1;
    const J = inner(low.borderLeftWidth);
    const R = Math.max(inner(up.borderRightWidth), inner(low.borderRightWidth));
    const B = Math.max(6, Math.round(U * 0.24));
    const M = SHADOW_ROOM;
    const edge = parseFloat(low.borderLeftWidth) || 0;
    const poly = (points) => 'polygon(' + points.map(([x, y]) => x + 'px ' + y + 'px').join(', ') + ')';
    // The upper cap stops B above the seam, but for its part left of the lower cap's left border:
    // there its bottom edge is the key's own, beside the notch.
    upper.style.clipPath = poly([[-M, -M], [W + M, -M], [W + M, U - B], [nx + edge, U - B], [nx + edge, U + M], [-M, U + M]]);
    // The lower cap's box starts well above the seam, so that the inner shadow and glow along its
    // top edge fall where it is clipped away. It shows its left side from the seam down, its
    // right side from B above the seam (continuing the upper cap's), the rest from B below.
    const K = B + 8;
    const top = U - K;
    lower.style.top = top + 'px';
    const lw = W - nx;
    const lh = H - top;
    lower.style.clipPath = poly([[-M, K], [J, K], [J, K + B], [lw - R, K + B], [lw - R, K - B], [lw + M, K - B],
      [lw + M, lh + M], [-M, lh + M]]);
    // The joint fills what both leave, a pixel over their clipped edges all round: edges that
    // merely meet would each be half drawn where they fall between pixels, leaving a faint line
    // of the plate between them.
    const jx = nx + edge - 1;
    const jy = U - B - 1;
    const jw = W - R + 1 - jx;
    const jh = 2 * B + 2;
    const cut = nx + J - 1 - jx; // left of this, below the seam, the lower cap's left side shows
    joint.style.left = jx + 'px';
    joint.style.top = jy + 'px';
    joint.style.width = Math.max(0, jw) + 'px';
    joint.style.height = jh + 'px';
    joint.style.clipPath = poly([[0, 0], [jw, 0], [jw, jh], [cut, jh], [cut, B + 1], [0, B + 1]]);
    el.style.setProperty('--joint-x', -jx + 'px');
    el.style.setProperty('--joint-y', -jy + 'px');
    el.style.setProperty('--seam-y', top + 'px');
  }

  function createKeyboard(container) {
    let elements = new Map();
    let kanaVisible = false;
    const lit = new Set();
    const heatShown = new Map(); // code -> the --heat value its tint layers carry

    function build(layout, skin, unit, showKana) {
      container.textContent = '';
      elements = new Map();
      lit.clear();
      heatShown.clear();
      kanaVisible = showKana;
      if (!layout) return;
      const gapPx = skin.gap * unit;
      container.style.width = layout.width * unit + 'px';
      container.style.height = layout.height * unit + 'px';
      container.style.setProperty('--key-radius', skin.radius * unit + 'px');
      container.style.setProperty('--key-depth', skin.depth * unit + 'px');
      container.classList.toggle('with-kana', showKana);
      const frag = document.createDocumentFragment();
      const notched = [];
      for (const key of layout.keys) {
        const el = document.createElement('div');
        el.className = 'key';
        el.dataset.code = key.code;
        const mod = C.layout.modifierOf(key.code);
        if (mod) el.dataset.mod = mod;
        const w = key.w * unit - gapPx;
        const h = key.h * unit - gapPx;
        el.style.left = key.x * unit + gapPx / 2 + 'px';
        el.style.top = key.y * unit + gapPx / 2 + 'px';
        el.style.width = w + 'px';
        el.style.height = h + 'px';
        if (skin.tints.length) el.style.setProperty('--tint', skin.tints[key.row % skin.tints.length]);

        const dual = showsShift(key);
        const kana = showKana && key.kana;
        const cap = document.createElement('div');
        cap.className = kana ? 'cap has-kana' : 'cap';
        const heat = document.createElement('div');
        heat.className = 'heat';
        cap.appendChild(heat);

        const base = unit * (dual || kana ? 0.27 : 0.34);
        const boxW = kana ? w * 0.62 : w;
        const capH = key.notch ? (key.h - key.notch.h) * unit - gapPx : h;
        const boxH = dual ? capH / 2 : capH;
        if (dual) {
          const s = document.createElement('span');
          s.className = 'legend shift';
          s.textContent = key.shift;
          s.style.fontSize = legendSize(key.shift, boxW, boxH, base) + 'px';
          cap.appendChild(s);
        }
        const main = document.createElement('span');
        main.className = 'legend main' + (dual ? ' low' : '');
        main.textContent = key.label || (dual ? '' : key.shift);
        main.style.fontSize = legendSize(main.textContent, boxW, boxH, base) + 'px';
        cap.appendChild(main);
        if (kana) {
          const k = document.createElement('span');
          k.className = 'legend kana';
          k.textContent = key.kana;
          k.style.fontSize = Math.max(KANA_MIN_PX, legendSize(key.kana, w * 0.45, h * 0.56, unit * 0.27)) + 'px';
          cap.appendChild(k);
        }
        el.appendChild(cap);
        if (key.notch) {
          shapeNotched(el, cap, key, unit, capH);
          notched.push(el);
        }
        frag.appendChild(el);
        elements.set(key.code, el);
      }
      container.appendChild(frag);
      for (const el of notched) joinNotched(el);
    }

    function setDown(code, down) {
      const el = elements.get(code);
      if (!el) return;
      if (down) {
        if (!lit.has(code)) {
          lit.add(code);
          el.classList.add('down');
        }
      } else if (lit.delete(code)) {
        el.classList.remove('down');
      }
    }

    function clearAll() {
      for (const code of lit) {
        const el = elements.get(code);
        if (el) el.classList.remove('down');
      }
      lit.clear();
    }

    // counts: Map code -> presses. Tint strength grows with the share of the busiest key, in
    // steps too fine to see; a key is restyled only when its step changes, so at a thousand
    // presses a second the tints of the other keys cost no work in the frame.
    function paintHeat(counts) {
      let max = 0;
      for (const n of counts.values()) max = Math.max(max, n);
      for (const [code, el] of elements) {
        const n = counts.get(code) || 0;
        const level = max > 0 && n > 0 ? Math.ceil(Math.pow(n / max, 0.6) * HEAT_STEPS) / HEAT_STEPS : 0;
        const value = String(level);
        if (heatShown.get(code) === value) continue;
        heatShown.set(code, value);
        for (const heat of el.querySelectorAll('.heat')) heat.style.setProperty('--heat', value);
      }
    }

    function has(code) {
      return elements.has(code);
    }

    function labelOf(code) {
      const el = elements.get(code);
      if (!el) return null;
      const main = el.querySelector('.legend.main');
      return main ? main.textContent : null;
    }

    return { build, setDown, clearAll, paintHeat, has, labelOf, get kanaVisible() { return kanaVisible; } };
  }

  C.keyboard = { createKeyboard, legendSize };
})(window.Clackery = window.Clackery || {});
