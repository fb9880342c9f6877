// Shortcut sheets: when a press completes a combination listed in the chosen sheet, its
// description shows for a moment above the keyboard.
(function (C) {
  'use strict';

  // Maps, as every table looked up by a name from data: a sheet or key named "constructor" is
  // no member of Object.prototype here.
  const SHEET_NAMES = new Map([['clipstudio', 'クリップスタジオ'], ['sai', 'SAI'], ['photoshop', 'フォトショップ']]);
  const MOD_NAMES = [['ctrl', 'Ctrl'], ['shift', 'Shift'], ['alt', 'Alt'], ['win', 'Win']];
  const SHOW_MS = 1800;

  // "Ctrl+Shift+KeyZ": the held modifiers in a fixed order, then the pressed key's code.
  // A modifier pressed on its own gives the modifiers alone ("Alt", "Ctrl+Shift").
  function combination(code, mods) {
    const parts = MOD_NAMES.filter(([k]) => mods[k]).map(([, name]) => name);
    if (!C.layout.modifierOf(code)) parts.push(code);
    return parts.join('+');
  }

  const CODE_NAMES = new Map(Object.entries({ Space: 'Space', Enter: 'Enter', Backspace: 'BS', Escape: 'Esc',
    BracketLeft: '[', BracketRight: ']', Minus: '-', Equal: '=', Semicolon: ';', Quote: "'", Comma: ',',
    Period: '.', Slash: '/', Backslash: '\\', Backquote: '`', ArrowUp: '↑', ArrowDown: '↓', ArrowLeft: '←',
    ArrowRight: '→', Delete: 'Del', Tab: 'Tab' }));

  // A readable name for a code when the layout has no legend for it.
  function codeLabel(code) {
    const m = /^(Key|Digit|Numpad)(.+)$/.exec(code);
    if (m) return (m[1] === 'Numpad' ? 'Num ' : '') + m[2];
    return CODE_NAMES.get(code) || code;
  }

  function readSheet(doc) {
    const sheet = new Map();
    if (!C.envelope.isPlainObject(doc)) return sheet;
    for (const [combo, text] of Object.entries(doc)) {
      if (typeof text === 'string' && text.trim() !== '' && combo.length <= 128) sheet.set(combo, text.slice(0, 200));
    }
    return sheet;
  }

  function createToast(el) {
    let timer = 0;

    function show(sheetId, combo, description, labelFor) {
      el.textContent = '';
      const name = document.createElement('span');
      name.className = 'toast-sheet';
      name.textContent = SHEET_NAMES.get(sheetId) || sheetId;
      const keys = document.createElement('span');
      keys.className = 'toast-keys';
      combo.split('+').forEach((part, i) => {
        if (i > 0) {
          const plus = document.createElement('span');
          plus.className = 'toast-plus';
          plus.textContent = '+';
          keys.appendChild(plus);
        }
        const kbd = document.createElement('kbd');
        kbd.textContent = MOD_NAMES.some(([, n]) => n === part) ? part : labelFor(part);
        keys.appendChild(kbd);
      });
      const desc = document.createElement('span');
      desc.className = 'toast-text';
      desc.textContent = description;
      el.append(name, keys, desc);
      el.dataset.combo = combo;
      el.classList.remove('show');
      void el.offsetWidth; // restart the entrance transition for a repeated shortcut
      el.classList.add('show');
      clearTimeout(timer);
      timer = setTimeout(hide, SHOW_MS);
    }

    function hide() {
      clearTimeout(timer);
      el.classList.remove('show');
    }

    return { show, hide };
  }

  C.shortcuts = { combination, readSheet, createToast, codeLabel, SHEET_NAMES };
})(window.Clackery = window.Clackery || {});
