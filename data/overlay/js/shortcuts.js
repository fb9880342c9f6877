// Shortcut sheets: when a press completes a combination listed in the chosen sheet, its
// description shows for a moment above the keyboard.
(function (C) {
  'use strict';

  const SHEET_NAMES = { clipstudio: 'クリップスタジオ', sai: 'SAI', photoshop: 'フォトショップ' };
  const MOD_NAMES = [['ctrl', 'Ctrl'], ['shift', 'Shift'], ['alt', 'Alt'], ['win', 'Win']];
  const SHOW_MS = 1800;

  // The mouse in a sheet's combinations: one of these words comes last, after the modifiers and
  // at most one held key ("Alt+Click", "Space+Drag", "Ctrl+Space+Click", "Ctrl+WheelUp"). A
  // click and a drag both begin with the press, which is when the toast shows; the sheet's word
  // only says how the action is done. These are the names the toast and the history show.
  const MOUSE_PARTS = {
    Click: 'クリック', Drag: 'ドラッグ', RightClick: '右クリック', RightDrag: '右ドラッグ',
    MiddleClick: 'ホイールクリック', MiddleDrag: 'ホイールドラッグ', BackButton: '戻るボタン', ForwardButton: '進むボタン',
    WheelUp: 'ホイール↑', WheelDown: 'ホイール↓', WheelLeft: 'ホイール←', WheelRight: 'ホイール→',
  };
  // By MouseEvent.button: main, auxiliary, secondary, back, forward.
  const BUTTON_WORDS = [['Click', 'Drag'], ['MiddleClick', 'MiddleDrag'], ['RightClick', 'RightDrag'], ['BackButton'], ['ForwardButton']];

  function isMousePart(part) {
    return Object.prototype.hasOwnProperty.call(MOUSE_PARTS, part);
  }

  // The combinations a mouse action may be listed under, the most particular first: with each
  // held key (newest first), then with the modifiers alone.
  function mouseCombinations(words, mods, heldKeys) {
    const prefix = MOD_NAMES.filter(([k]) => mods[k]).map(([, name]) => name);
    const out = [];
    for (const code of heldKeys) for (const word of words) out.push(prefix.concat(code, word).join('+'));
    for (const word of words) out.push(prefix.concat(word).join('+'));
    // What the history calls it when the sheet does not: a click rather than a drag.
    out.plain = prefix.concat(words[0]).join('+');
    return out;
  }

  function buttonCombinations(button, mods, heldKeys) {
    return mouseCombinations(BUTTON_WORDS[button] || [], mods, heldKeys);
  }

  function wheelCombinations(dx, dy, mods, heldKeys) {
    const word = dy < 0 ? 'WheelUp' : dy > 0 ? 'WheelDown' : dx < 0 ? 'WheelLeft' : 'WheelRight';
    return mouseCombinations([word], mods, heldKeys);
  }

  // The first of `combos` the sheet names, else the plainest with no description.
  function lookUp(sheet, combos) {
    for (const combo of combos) {
      const description = sheet.get(combo);
      if (description) return { combo, description };
    }
    return { combo: combos.plain, description: '' };
  }

  // "Ctrl+Shift+KeyZ": the held modifiers in a fixed order, then the pressed key's code.
  // A modifier pressed on its own gives the modifiers alone ("Alt", "Ctrl+Shift").
  function combination(code, mods) {
    const parts = MOD_NAMES.filter(([k]) => mods[k]).map(([, name]) => name);
    if (!C.layout.modifierOf(code)) parts.push(code);
    return parts.join('+');
  }

  // A readable name for a code when the layout has no legend for it.
  function codeLabel(code) {
    const m = /^(Key|Digit|Numpad)(.+)$/.exec(code);
    if (m) return (m[1] === 'Numpad' ? 'Num ' : '') + m[2];
    const names = { Space: 'Space', Enter: 'Enter', Backspace: 'BS', Escape: 'Esc', BracketLeft: '[',
      BracketRight: ']', Minus: '-', Equal: '=', Semicolon: ';', Quote: "'", Comma: ',', Period: '.',
      Slash: '/', Backslash: '\\', Backquote: '`', ArrowUp: '↑', ArrowDown: '↓', ArrowLeft: '←',
      ArrowRight: '→', Delete: 'Del', Tab: 'Tab' };
    return names[code] || code;
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
    let times = 1;

    function show(sheetId, combo, description, labelFor) {
      // A mouse action again while its toast shows counts on it ("Ctrl + ホイール↑ ×3 ズーム").
      const parts = combo.split('+');
      const mouse = isMousePart(parts[parts.length - 1]);
      times = mouse && el.classList.contains('show') && el.dataset.combo === combo ? times + 1 : 1;
      el.textContent = '';
      const name = document.createElement('span');
      name.className = 'toast-sheet';
      name.textContent = SHEET_NAMES[sheetId] || sheetId;
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
        kbd.textContent = MOD_NAMES.some(([, n]) => n === part) ? part : isMousePart(part) ? MOUSE_PARTS[part] : labelFor(part);
        keys.appendChild(kbd);
      });
      const desc = document.createElement('span');
      desc.className = 'toast-text';
      desc.textContent = description;
      el.append(name, keys);
      if (times > 1) {
        const count = document.createElement('span');
        count.className = 'toast-times';
        count.textContent = '×' + times;
        el.append(count);
      }
      el.append(desc);
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

  C.shortcuts = { combination, readSheet, createToast, codeLabel, SHEET_NAMES, MOUSE_PARTS, isMousePart,
    buttonCombinations, wheelCombinations, lookUp };
})(window.Clackery = window.Clackery || {});
