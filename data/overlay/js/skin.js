// Turns a skin's config.json into CSS custom properties on the overlay. Skins only ever set the
// properties listed here; a member of the wrong type or an unsafe value falls back to the
// page's own default, so a broken skin still draws a usable keyboard.
(function (C) {
  'use strict';

  const STYLES = new Set(['flat', 'crystal', 'porcelain', 'ice', 'navy']);
  const DIRECTIONS = new Set(['up', 'down']);

  // CSS values a skin may give, with the page's defaults (a plain, legible grey keyboard).
  const KEYBOARD_VARS = {
    plateBackground: ['--plate-bg', 'rgba(30, 32, 38, 0.78)'],
    plateBorder: ['--plate-border', '1px solid rgba(255, 255, 255, 0.12)'],
    plateShadow: ['--plate-shadow', '0 10px 30px rgba(0, 0, 0, 0.35)'],
    keyBackground: ['--key-bg', '#e9e9ec'],
    keyBorder: ['--key-border', '1px solid rgba(0, 0, 0, 0.25)'],
    keyShadow: ['--key-shadow', 'none'],
    keyColor: ['--key-color', '#222228'],
    legendShadow: ['--legend-shadow', 'none'],
    keySide: ['--key-side', 'rgba(0, 0, 0, 0.3)'],
    keyHighlight: ['--key-highlight', 'none'],
    keyDownBackground: ['--key-down-bg', '#4a8cff'],
    keyDownBorder: ['--key-down-border', '1px solid #2c6ce0'],
    keyDownShadow: ['--key-down-shadow', '0 0 12px rgba(74, 140, 255, 0.8)'],
    keyDownColor: ['--key-down-color', '#ffffff'],
    keyDownLegendShadow: ['--key-down-legend-shadow', 'none'],
    modDownBackground: ['--mod-down-bg', '#ff9f43'],
    modDownBorder: ['--mod-down-border', '1px solid #e07f20'],
    modDownShadow: ['--mod-down-shadow', '0 0 12px rgba(255, 159, 67, 0.8)'],
    modDownColor: ['--mod-down-color', '#ffffff'],
    kanaColor: ['--kana-color', '#6a6a78'],
    heatColor: ['--heat-color', '#ff3b3b'],
  };
  const BADGE_VARS = {
    background: ['--badge-bg', 'rgba(30, 32, 38, 0.85)'],
    color: ['--badge-color', '#ffffff'],
    border: ['--badge-border', '1px solid rgba(255, 255, 255, 0.2)'],
    shadow: ['--badge-shadow', '0 4px 14px rgba(0, 0, 0, 0.3)'],
    accent: ['--badge-accent', '#2f6fe0'],
    accentText: ['--badge-accent-text', '#ffffff'],
  };
  const TEXT_VARS = {
    background: ['--text-bg', 'rgba(20, 22, 28, 0.72)'],
    border: ['--text-border', '1px solid rgba(255, 255, 255, 0.15)'],
    boxShadow: ['--text-box-shadow', '0 8px 24px rgba(0, 0, 0, 0.3)'],
    color: ['--text-color', '#ffffff'],
    glow: ['--text-glow', '0 1px 2px rgba(0, 0, 0, 0.6)'],
    caretColor: ['--caret-color', '#4a8cff'],
    preeditColor: ['--preedit-color', '#9cc3ff'],
    committedFlash: ['--committed-flash', 'rgba(74, 140, 255, 0.35)'],
  };
  const TONE_VARS = {
    color: '--text-color',
    glow: '--text-glow',
    background: '--text-bg',
    border: '--text-border',
    caretColor: '--caret-color',
    preeditColor: '--preedit-color',
  };

  const DEFAULT_FONT = '"Yu Gothic UI", "Meiryo UI", "Hiragino Sans", "Noto Sans CJK JP", ' +
    '"Segoe UI", "Noto Sans", sans-serif';
  const EMOJI_FONTS = '"Segoe UI Emoji", "Apple Color Emoji", "Noto Color Emoji"';

  // ---- what a skin may write --------------------------------------------------------------
  // Skins are shared between streamers, so every value is read as hostile: only colours,
  // gradients, calc() and the words of borders and shadows pass, over lengths small enough to
  // paint at once. Anything else (url(), image-set(), escapes, strings, an unclosed bracket)
  // is refused whole, and the page's own default takes its place.

  const FUNCTIONS = new Set(['rgb', 'rgba', 'hsl', 'hsla', 'hwb', 'lab', 'lch', 'oklab', 'oklch', 'color-mix',
    'linear-gradient', 'radial-gradient', 'conic-gradient', 'repeating-linear-gradient',
    'repeating-radial-gradient', 'repeating-conic-gradient', 'calc', 'min', 'max', 'clamp']);
  const MATH = new Set(['calc', 'min', 'max', 'clamp']);
  const WORDS = new Set(['none', 'inset', 'solid', 'dashed', 'dotted', 'double', 'groove', 'ridge', 'outset',
    'hidden', 'thin', 'medium', 'thick', 'to', 'at', 'left', 'right', 'top', 'bottom', 'center', 'circle',
    'ellipse', 'closest-side', 'closest-corner', 'farthest-side', 'farthest-corner', 'from', 'in', 'srgb',
    'srgb-linear', 'display-p3', 'shorter', 'longer', 'increasing', 'decreasing', 'hue']);
  // Largest magnitude per unit; a bare number (a colour channel, an alpha) up to 1000.
  const UNIT_LIMITS = new Map([['px', 40], ['em', 2.5], ['rem', 2.5], ['%', 100], ['deg', 720], ['grad', 800],
    ['rad', 12.6], ['turn', 2], ['', 1000]]);
  const PX_PER = new Map([['px', 1], ['em', 16], ['rem', 16]]);
  const MAX_DEPTH = 4;
  const MAX_LAYERS = { shadow: 4, paint: 6 };
  const TOKEN = /\s+|#[0-9a-fA-F]+(?![\w-])|[+-]?(?:\d+\.?\d*|\.\d+)(?:%|[a-zA-Z]+)?|-?[a-zA-Z][a-zA-Z0-9-]*\(?|[(),/*+-]/y;

  const isColourWord = (w) => typeof CSS !== 'undefined' && CSS.supports('color', w);

  // Null when the value is refused, else the value itself. `kind` "shadow" allows fewer layers.
  function checkValue(v, kind) {
    if (typeof v !== 'string' || v.length === 0 || v.length > 600) return null;
    const stack = [];      // open functions: {name, px, pct} (sums inside the outermost math)
    let layers = 1;
    let tokens = 0;
    TOKEN.lastIndex = 0;
    while (TOKEN.lastIndex < v.length) {
      const at = TOKEN.lastIndex;
      const m = TOKEN.exec(v);
      if (!m || m.index !== at) return null;
      const t = m[0];
      if (++tokens > 200) return null;
      if (/^\s/.test(t)) continue;
      const top = stack[stack.length - 1];
      const math = stack.find((f) => MATH.has(f.name));
      if (t === '(') {
        if (!math) return null; // bare brackets only group inside calc()
        stack.push({ name: '(' });
      } else if (t === ')') {
        if (!stack.pop()) return null;
      } else if (t === ',') {
        if (!top) layers += 1;
      } else if (t === '*' || t === '+' || t === '-') {
        if (!math) return null;
      } else if (t === '/') {
        // The alpha of rgb(r g b / a); no division inside calc(), which could make any length.
        if (!top || math) return null;
      } else if (t[0] === '#') {
        if (![4, 5, 7, 9].includes(t.length)) return null;
      } else if (/[0-9.]/.test(t[0]) || ((t[0] === '+' || t[0] === '-') && t.length > 1 && /[0-9.]/.test(t[1]))) {
        const [, num, unit] = /^([+-]?[0-9.]+)(.*)$/.exec(t);
        const u = unit.toLowerCase();
        const n = Math.abs(parseFloat(num));
        if (!UNIT_LIMITS.has(u) || !(n <= UNIT_LIMITS.get(u))) return null;
        // Inside calc() a factor may only shrink, and the lengths of one calc() add up to the
        // same bound as a single one.
        if (math) {
          if (u === '' && n > 1) return null;
          if (PX_PER.has(u)) math.px += n * PX_PER.get(u);
          if (u === '%') math.pct += n;
          if (math.px > UNIT_LIMITS.get('px') || math.pct > UNIT_LIMITS.get('%')) return null;
        }
      } else if (t.endsWith('(')) {
        const name = t.slice(0, -1).toLowerCase();
        if (!FUNCTIONS.has(name) || stack.length >= MAX_DEPTH) return null;
        stack.push({ name, px: 0, pct: 0 });
      } else {
        const word = t.toLowerCase();
        if (!WORDS.has(word) && !isColourWord(word)) return null;
      }
    }
    if (stack.length !== 0) return null; // an unclosed bracket would swallow what follows
    if (layers > MAX_LAYERS[kind === 'shadow' ? 'shadow' : 'paint']) return null;
    return v;
  }

  // A font stack: quoted names and plain words, comma separated. It names fonts installed on
  // the machine; nothing in it can load one.
  const FAMILY = /^(?:"[^"\\\n\r\f]{1,64}"|'[^'\\\n\r\f]{1,64}'|[\p{L}_-][\p{L}\p{N}_-]*(?: [\p{L}\p{N}_-]+)*)$/u;

  function checkFont(v) {
    if (typeof v !== 'string' || v.length === 0 || v.length > 600) return null;
    const families = v.split(',').map((f) => f.trim());
    if (families.length > 16 || !families.every((f) => FAMILY.test(f))) return null;
    return v;
  }

  // One console line per refused value, however often the state names the skin again.
  const told = new Set();
  function refused(where, v) {
    const line = where + ' = ' + JSON.stringify(String(v).slice(0, 120));
    if (told.has(line)) return;
    told.add(line);
    console.warn('[clackery] skin value refused, default used:', line);
  }

  // The property a custom property ends up in, so that a value the filter lets through but the
  // browser would not take (and would draw as nothing) is refused as well.
  function propertyFor(name) {
    if (/legend-shadow$|-glow$/.test(name)) return 'text-shadow';
    if (/-shadow$/.test(name)) return 'box-shadow';
    if (/-border$/.test(name)) return 'border';
    if (/-bg$|-highlight$|^--heat-color$|^--committed-flash$|^--tint$/.test(name)) return 'background';
    return 'color';
  }

  function supported(name, v) {
    return typeof CSS === 'undefined' || CSS.supports(propertyFor(name), v);
  }

  // A skin's CSS value for the custom property `name`, or null (told once) when it is of the
  // wrong type, refused or not a value of its property. A missing one is null silently.
  function cssValue(v, where, name) {
    if (v === undefined) return null;
    const kind = /-shadow$|-glow$/.test(name || '') ? 'shadow' : 'paint';
    const ok = checkValue(v, kind) !== null && (!name || supported(name, v)) ? v : null;
    if (ok === null && where) refused(where, v);
    return ok;
  }

  function num(v, lo, hi, fallback) {
    return typeof v === 'number' && Number.isFinite(v) && v >= lo && v <= hi ? v : fallback;
  }

  function obj(v) {
    return C.envelope.isPlainObject(v) ? v : {};
  }

  // A member of the skin's own, never one inherited from Object.prototype.
  function own(o, key) {
    return Object.prototype.hasOwnProperty.call(o, key) ? o[key] : undefined;
  }

  function fontStack(v, where) {
    let f = null;
    if (v !== undefined) {
      f = checkFont(v);
      if (f === null && where) refused(where, v);
    }
    return (f || DEFAULT_FONT) + ', ' + EMOJI_FONTS;
  }

  // Reads a skin config into the record the page draws with.
  function readSkin(config) {
    const cfg = obj(config);
    const kb = obj(own(cfg, 'keyboard'));
    const text = obj(own(cfg, 'text'));
    const badge = obj(own(cfg, 'badge'));
    const vars = {};
    const take = (part, group, table) => {
      for (const [key, [name, fallback]] of Object.entries(table)) {
        vars[name] = cssValue(own(group, key), part + '.' + key, name) || fallback;
      }
    };
    take('keyboard', kb, KEYBOARD_VARS);
    take('badge', badge, BADGE_VARS);
    take('text', text, TEXT_VARS);
    const tones = {};
    for (const tone of ['white', 'dark']) {
      const t = obj(own(text, tone));
      const set = {};
      for (const [key, name] of Object.entries(TONE_VARS)) {
        const v = cssValue(own(t, key), 'text.' + tone + '.' + key, name);
        if (v) set[name] = v;
      }
      tones[tone] = set;
    }
    const rowTints = own(kb, 'rowTints');
    const tints = Array.isArray(rowTints)
      ? rowTints.slice(0, 12).map((v, i) => cssValue(v, 'keyboard.rowTints[' + i + ']', '--tint')).filter(Boolean) : [];
    return {
      style: STYLES.has(cfg.style) ? cfg.style : 'flat',
      font: fontStack(own(cfg, 'font'), 'font'),
      ornament: typeof cfg.ornament === 'string' ? Array.from(cfg.ornament).slice(0, 4).join('') : '',
      vars,
      tints,
      gap: num(kb.gap, 0, 0.4, 0.1),
      radius: num(kb.radius, 0, 0.5, 0.12),
      padding: num(kb.padding, 0, 1.5, 0.35),
      plateRadius: num(kb.plateRadius, 0, 2, 0.4),
      depth: num(kb.depth, 0, 0.3, 0),
      legendWeight: num(kb.legendWeight, 100, 900, 600),
      text: {
        font: own(text, 'font') ? fontStack(own(text, 'font'), 'text.font') : fontStack(own(cfg, 'font')),
        lines: Math.round(num(text.lines, 1, 20, 3)),
        fontSize: Math.round(num(text.fontSize, 8, 96, 34)),
        width: Math.round(num(text.width, 50, 150, 100)),
        direction: DIRECTIONS.has(text.direction) ? text.direction : 'up',
        radius: num(text.radius, 0, 60, 14),
        weight: num(text.weight, 100, 900, 600),
        followsTextColor: text.followsTextColor === true,
        tones,
      },
    };
  }

  // Sets the skin's properties on the overlay root; textColor picks a tone for skins that follow it.
  function applySkin(root, skin, textColor) {
    for (const name of Array.from(root.style)) {
      if (name.startsWith('--')) root.style.removeProperty(name);
    }
    for (const [name, value] of Object.entries(skin.vars)) root.style.setProperty(name, value);
    if (skin.text.followsTextColor) {
      const tone = skin.text.tones[textColor === 'dark' ? 'dark' : 'white'];
      for (const [name, value] of Object.entries(tone)) root.style.setProperty(name, value);
    }
    root.style.setProperty('--kb-font', skin.font);
    root.style.setProperty('--legend-weight', String(skin.legendWeight));
    root.style.setProperty('--text-weight', String(skin.text.weight));
    for (const s of STYLES) root.classList.toggle('style-' + s, s === skin.style);
    root.dataset.textTone = skin.text.followsTextColor ? textColor : 'skin';
  }

  C.skin = { readSkin, applySkin, fontStack, cssValue, checkValue, checkFont, DEFAULT_FONT, EMOJI_FONTS };
})(window.Clackery = window.Clackery || {});
