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

  // A notched key is two caps: the upper one carries the legends; the lower one, drawn over the
  // upper one's bottom edge, continues it down beside the notch, so the outline is one L shape.
  function shapeNotched(el, upper, key, unit, upperH) {
    el.classList.add('notched');
    el.style.setProperty('--notch-x', key.notch.w * unit + 'px');
    el.style.setProperty('--key-w', el.style.width);
    el.style.setProperty('--key-h', el.style.height);
    upper.classList.add('upper');
    upper.style.bottom = 'auto';
    upper.style.height = upperH + 'px';
    const lower = document.createElement('div');
    lower.className = 'cap lower';
    lower.style.left = key.notch.w * unit + 'px';
    lower.style.top = upperH + 'px';
    const heat = document.createElement('div');
    heat.className = 'heat';
    lower.appendChild(heat);
    el.appendChild(lower);
  }

  // Once styled: the lower cap starts on the upper cap's bottom border, hiding that border where
  // the two meet, whatever border the skin gives.
  function joinNotched(el) {
    const upper = el.querySelector('.cap.upper');
    const lower = el.querySelector('.cap.lower');
    const border = parseFloat(getComputedStyle(upper).borderBottomWidth) || 0;
    const top = parseFloat(upper.style.height) - border;
    lower.style.top = top + 'px';
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
