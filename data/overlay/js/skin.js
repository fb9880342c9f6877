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

  // A CSS value from a skin: a short string that cannot reach outside the page.
  function cssValue(v) {
    if (typeof v !== 'string' || v.length === 0 || v.length > 600) return null;
    if (/[<>{};\\]/.test(v)) return null;
    const urls = v.match(/url\(([^)]*)\)/gi) || [];
    for (const u of urls) if (/:/.test(u.slice(4))) return null;
    return v;
  }

  function num(v, lo, hi, fallback) {
    return typeof v === 'number' && Number.isFinite(v) && v >= lo && v <= hi ? v : fallback;
  }

  function obj(v) {
    return C.envelope.isPlainObject(v) ? v : {};
  }

  function fontStack(v) {
    const f = cssValue(v);
    return (f || DEFAULT_FONT) + ', ' + EMOJI_FONTS;
  }

  // Reads a skin config into the record the page draws with.
  function readSkin(config) {
    const cfg = obj(config);
    const kb = obj(cfg.keyboard);
    const text = obj(cfg.text);
    const badge = obj(cfg.badge);
    const vars = {};
    for (const [key, [name, fallback]] of Object.entries(KEYBOARD_VARS)) vars[name] = cssValue(kb[key]) || fallback;
    for (const [key, [name, fallback]] of Object.entries(BADGE_VARS)) vars[name] = cssValue(badge[key]) || fallback;
    for (const [key, [name, fallback]] of Object.entries(TEXT_VARS)) vars[name] = cssValue(text[key]) || fallback;
    const tones = {};
    for (const tone of ['white', 'dark']) {
      const t = obj(text[tone]);
      const set = {};
      for (const [key, name] of Object.entries(TONE_VARS)) {
        const v = cssValue(t[key]);
        if (v) set[name] = v;
      }
      tones[tone] = set;
    }
    const tints = Array.isArray(kb.rowTints) ? kb.rowTints.map(cssValue).filter(Boolean).slice(0, 12) : [];
    return {
      style: STYLES.has(cfg.style) ? cfg.style : 'flat',
      font: fontStack(cfg.font),
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
        font: fontStack(text.font || cfg.font),
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

  C.skin = { readSkin, applySkin, fontStack, cssValue, DEFAULT_FONT, EMOJI_FONTS };
})(window.Clackery = window.Clackery || {});
