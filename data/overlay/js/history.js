// The shortcut history for tutorials: with ?history=N in the page's URL, the last N key
// combinations show as chips at the left of the stage, each with the sheet's name for it when
// the chosen sheet knows it, and fade after a while. Nothing of it is a module setting.
(function (C) {
  'use strict';

  const MAX_CHIPS = 10;
  const HOLD_MS = 8000;  // a chip stays this long after its last press
  const FADE_MS = 600;

  // The chip count from the page's query string; 0 (off) when absent or not a whole number.
  function readCount(search) {
    const raw = new URLSearchParams(search).get('history');
    if (raw === null || !/^\d{1,3}$/.test(raw)) return 0;
    return Math.min(MAX_CHIPS, Number(raw));
  }

  // Which presses are worth keeping: a key pressed with Ctrl, Alt or Win held (with Shift alone
  // it is typing), or any press the sheet names, such as a tool on a single letter.
  function isShortcut(code, mods, known) {
    if (known) return true;
    return !C.layout.modifierOf(code) && (mods.ctrl || mods.alt || mods.win);
  }

  function createHistory(el, count) {
    function remove(chip) {
      clearTimeout(chip.fadeTimer);
      clearTimeout(chip.removeTimer);
      chip.remove();
    }

    function schedule(chip) {
      clearTimeout(chip.fadeTimer);
      clearTimeout(chip.removeTimer);
      chip.classList.remove('fading');
      chip.fadeTimer = setTimeout(() => {
        chip.classList.add('fading');
        chip.removeTimer = setTimeout(() => remove(chip), FADE_MS);
      }, HOLD_MS);
    }

    // keys: the labels of the combination in order; description: the sheet's name or ''. A mouse
    // action spaces its plus signs ("Ctrl + ホイール↑"), as the toast does.
    function add(combo, keys, description, joiner = '+') {
      const last = el.lastElementChild;
      if (last && last.dataset.combo === combo && !last.classList.contains('fading')) {
        const times = Number(last.dataset.times) + 1;
        last.dataset.times = String(times);
        last.querySelector('.chip-times').textContent = '×' + times;
        schedule(last);
        return;
      }
      const chip = document.createElement('div');
      chip.className = 'chip';
      chip.dataset.combo = combo;
      chip.dataset.times = '1';
      const k = document.createElement('span');
      k.className = 'chip-keys';
      k.textContent = keys.join(joiner);
      chip.appendChild(k);
      const t = document.createElement('span');
      t.className = 'chip-times';
      // A mouse action's count follows its keys, as on the toast; a key's follows its name.
      if (joiner !== '+') chip.appendChild(t);
      if (description) {
        const d = document.createElement('span');
        d.className = 'chip-name';
        d.textContent = description;
        chip.appendChild(d);
      }
      if (joiner === '+') chip.appendChild(t);
      el.appendChild(chip);
      while (el.children.length > count) remove(el.firstElementChild);
      schedule(chip);
    }

    function clear() {
      while (el.firstElementChild) remove(el.firstElementChild);
    }

    el.hidden = false;
    return { add, clear };
  }

  C.history = { readCount, isShortcut, createHistory, HOLD_MS };
})(window.Clackery = window.Clackery || {});
