// The module's state object, read defensively: every member of a wrong type takes the value the
// module itself would start with, so one odd member never blanks the overlay.
(function (C) {
  'use strict';

  const DEFAULTS = {
    paused: true,
    hidden: true,
    mode: 'both',
    layout: 'jis_tkl',
    skin: 'cute_strawberry_milk',
    shortcuts: 'clipstudio',
    speed: true,
    heatmap: false,
    sound: true,
    mask: false,
    kana: false,
    mouse: false,
    rev: null,
    textSource: 'dock',
    textScroll: true,
    textColor: 'white',
    textFont: '',
    textLines: 0,
    textFontSize: 0,
    textWidth: 0,
    textDirection: 'skin',
    soundVolume: 30,
    soundPack: 'shizuka',
    soundFiles: [],
  };

  const MODES = new Set(['keyboard', 'text', 'both']);
  const DIRECTIONS = new Set(['up', 'down', 'skin']);
  const PACK_ID = /^[a-z0-9_]{1,128}$/;
  const SOUND_NAME = /^(normal|space|enter|backspace)(_[234])?\.wav$/;

  function intIn(v, lo, hi) {
    return typeof v === 'number' && Number.isInteger(v) && v >= lo && v <= hi;
  }

  function readState(data) {
    if (!C.envelope.isPlainObject(data)) return null;
    const s = {};
    for (const key of ['paused', 'hidden', 'speed', 'heatmap', 'sound', 'mask', 'kana', 'mouse', 'textScroll']) {
      s[key] = typeof data[key] === 'boolean' ? data[key] : DEFAULTS[key];
    }
    s.mode = MODES.has(data.mode) ? data.mode : DEFAULTS.mode;
    for (const key of ['layout', 'skin', 'shortcuts']) {
      s[key] = C.data.isValidId(data[key]) ? data[key] : DEFAULTS[key];
    }
    s.rev = Number.isSafeInteger(data.rev) && data.rev >= 0 ? data.rev : null;
    s.textSource = typeof data.textSource === 'string' ? data.textSource : DEFAULTS.textSource;
    s.textColor = data.textColor === 'dark' ? 'dark' : 'white';
    s.textFont = typeof data.textFont === 'string' && data.textFont.length <= 256 ? data.textFont : '';
    // 0 means "the skin decides", as does any value outside the dock's ranges.
    s.textLines = intIn(data.textLines, 1, 20) ? data.textLines : 0;
    s.textFontSize = intIn(data.textFontSize, 8, 96) ? data.textFontSize : 0;
    s.textWidth = intIn(data.textWidth, 50, 150) ? data.textWidth : 0;
    s.textDirection = DIRECTIONS.has(data.textDirection) ? data.textDirection : 'skin';
    s.soundVolume = typeof data.soundVolume === 'number' && Number.isFinite(data.soundVolume)
      ? Math.min(100, Math.max(0, data.soundVolume)) : DEFAULTS.soundVolume;
    s.soundPack = typeof data.soundPack === 'string' && PACK_ID.test(data.soundPack) ? data.soundPack : '';
    s.soundFiles = [];
    if (Array.isArray(data.soundFiles)) {
      for (const f of data.soundFiles) {
        if (C.envelope.isPlainObject(f) && typeof f.name === 'string' && SOUND_NAME.test(f.name) &&
            !s.soundFiles.includes(f.name)) {
          s.soundFiles.push(f.name);
        }
      }
    }
    return s;
  }

  C.state = { DEFAULTS, readState, SOUND_NAME };
})(window.Clackery = window.Clackery || {});
