// Reading a keyboard layout file into the geometry the page draws: every key once, positions
// and sizes in key units, the text each key shows.
(function (C) {
  'use strict';

  const MAX_KEYS = 512;

  function str(v, max) {
    return typeof v === 'string' && v.length <= max ? v : '';
  }

  function unitNum(v, lo, hi, fallback) {
    return typeof v === 'number' && Number.isFinite(v) && v >= lo && v <= hi ? v : fallback;
  }

  function readLayout(doc) {
    if (!C.envelope.isPlainObject(doc) || !Array.isArray(doc.rows)) return null;
    const keys = [];
    const seen = new Set();
    let maxX = 0;
    let maxY = 0;
    doc.rows.forEach((row, rowIndex) => {
      if (!C.envelope.isPlainObject(row) || !Array.isArray(row.keys)) return;
      for (const k of row.keys) {
        if (keys.length >= MAX_KEYS) return;
        if (!C.envelope.isPlainObject(k)) continue;
        const code = str(k.code, 64);
        if (!code || seen.has(code)) continue;
        const x = unitNum(k.x, 0, 100, NaN);
        const y = unitNum(k.y, 0, 100, NaN);
        if (Number.isNaN(x) || Number.isNaN(y)) continue;
        const w = unitNum(k.w, 0.25, 20, 1);
        const h = unitNum(k.h, 0.25, 10, 1);
        seen.add(code);
        // A rectangle cut from the lower left corner: the JIS Enter key, wide on its upper row
        // and narrower on the row below.
        const n = C.envelope.isPlainObject(k.notch) ? k.notch : {};
        const notchW = unitNum(n.w, 0.05, w - 0.25, 0);
        const notchH = unitNum(n.h, 0.05, h - 0.25, 0);
        keys.push({
          code,
          label: str(k.label, 32),
          shift: str(k.shift, 32),
          kana: str(k.kana, 8),
          x, y, w, h,
          notch: notchW && notchH ? { w: notchW, h: notchH } : null,
          row: rowIndex,
        });
        maxX = Math.max(maxX, x + w);
        maxY = Math.max(maxY, y + h);
      }
    });
    if (keys.length === 0) return null;
    return {
      name: str(doc.name, 200),
      width: Math.max(maxX, unitNum(doc.width, 1, 100, 0)),
      height: Math.max(maxY, unitNum(doc.height, 1, 100, 0)),
      keys,
      mouse: readMousePlace(doc.mouse),
    };
  }

  // Where the layout puts the drawn mouse: { "x", "y" } (its top-left corner, in key units, like
  // a key's) and optionally "w", "h"; null when absent or unusable (the page then picks a place).
  function readMousePlace(m) {
    if (!C.envelope.isPlainObject(m)) return null;
    const x = unitNum(m.x, 0, 100, NaN);
    const y = unitNum(m.y, 0, 100, NaN);
    if (Number.isNaN(x) || Number.isNaN(y)) return null;
    return { x, y, w: unitNum(m.w, 1, 10, 2.6), h: unitNum(m.h, 1.5, 10, 4) };
  }

  // Which modifier a code belongs to (the module's modifier classes).
  function modifierOf(code) {
    switch (code) {
      case 'ControlLeft': case 'ControlRight': return 'ctrl';
      case 'ShiftLeft': case 'ShiftRight': return 'shift';
      case 'AltLeft': case 'AltRight': return 'alt';
      case 'MetaLeft': case 'MetaRight': return 'win';
      default: return null;
    }
  }

  C.layout = { readLayout, modifierOf };
})(window.Clackery = window.Clackery || {});
