// Wires the overlay together: events in, keyboard, text field, shortcut toast and sounds out.
(function (C) {
  'use strict';

  const STAGE_W = 1920;
  const STAGE_H = 1080;
  const MARGIN = 40;
  const MAX_UNIT = 56;          // px per key unit: a letter key never grows beyond this
  const KB_MAX_W = 1000;        // the keyboard keeps to about half the screen width
  const KB_MAX_H = 400;
  const KB_HEAD_H = 40;
  const STACK_GAP = 16;
  const TOAST_RESERVE = 90;
  const SPEED_WINDOW_MS = 5000;
  const STALE_HOLD_MS = 60000;  // a key held this long with a state arriving is taken as lost

  const $ = (id) => document.getElementById(id);
  const overlay = $('overlay');
  const keyboard = C.keyboard.createKeyboard($('keys'));
  const mouse = C.mouse.createMouse($('mouse'));
  const text = C.textfield.createTextField($('textbox'), $('text-view'), $('text-content'));
  const toast = C.shortcuts.createToast($('toast'));
  const sounds = C.sounds.createSounds(document.baseURI);
  const historyCount = C.history.readCount(location.search);
  const history = historyCount ? C.history.createHistory($('history'), historyCount) : null;

  const model = {
    state: null,
    from: null,          // sender of the last accepted envelope
    held: new Map(),     // code -> time of its press (performance.now)
    mods: { ctrl: null, shift: null, alt: null, win: null }, // null: the chips are not drawn yet
    presses: [],         // press times inside the speed window
    heat: new Map(),
    sheet: new Map(),
    sheetId: 'none',
    sheetKey: 'none|true',
    buildKey: '',
    skinKey: '',
    layout: null,
  };

  // ---- state ---------------------------------------------------------------------------

  // Held keys that the module can no longer be holding: it forgets its held keys without
  // sending releases when it pauses, resumes or changes layout; under the mask no key is
  // named; and a lost release must not leave a key lit for the rest of the stream.
  function dropStaleKeys(prev, s) {
    const all = s.paused || s.mask || (prev && (prev.paused !== s.paused || prev.layout !== s.layout));
    const now = performance.now();
    for (const [code, since] of model.held) {
      if (all || now - since > STALE_HOLD_MS) releaseHeld(code);
    }
    if (all) setMods({ ctrl: false, shift: false, alt: false, win: false });
    // The module forgets held buttons with held keys; a mouse switched off shows nothing held.
    if (all || !s.mouse) mouse.clearAll();
    else mouse.dropPressedBefore(now - STALE_HOLD_MS);
  }

  function releaseHeld(code) {
    model.held.delete(code);
    keyboard.setDown(code, false);
  }

  const KIND_NAMES = { layouts: 'キー配列', skins: 'スキン', shortcuts: 'ショートカット表' };

  // The layout named by the state, else the default one, else (from the bundle) any at all.
  function pickLayout(id, missing) {
    const doc = C.data.peek('layouts', id);
    let layout = doc ? C.layout.readLayout(doc) : null;
    if (layout) return layout;
    missing.push(['layouts', id]);
    const fallbacks = C.data.FROM_FILES ? ['jis_tkl'] : ['jis_tkl'].concat(C.data.ids('layouts'));
    for (const other of fallbacks) {
      const d = C.data.peek('layouts', other);
      layout = d ? C.layout.readLayout(d) : null;
      if (layout) return layout;
    }
    return null;
  }

  function pickSkin(id, missing) {
    let cfg = C.data.peek('skins', id);
    if (!cfg) {
      missing.push(['skins', id]);
      cfg = C.data.peek('skins', 'default') || {};
    }
    return C.skin.readSkin(cfg);
  }

  function pickSheet(id, missing) {
    if (id === 'none') return new Map();
    const doc = C.data.peek('shortcuts', id);
    if (!doc) missing.push(['shortcuts', id]);
    return C.shortcuts.readSheet(doc);
  }

  // Names on screen what the state asks for but the page could not load, so a streamer who
  // copied a skin, sheet or layout into the data folder sees why it is not drawn.
  function showMissing(missing) {
    const el = $('data-notice');
    const lines = missing.map(([kind, id]) => KIND_NAMES[kind] + '「' + id + '」を読み込めませんでした。');
    if (lines.length && !C.data.FROM_FILES) {
      lines.push('ファイルとして開いたページは、ビルド時に同梱したものしか読めません。');
    }
    const text = lines.join('\n');
    if (el.textContent !== text) el.textContent = text;
    el.hidden = lines.length === 0;
  }

  // Everything a state draws with must be at hand before it is drawn: files named for the first
  // time are fetched first (the default layout too when the named one fails), and only the
  // newest state waiting for them is drawn once they are in.
  let waiting = null;

  function applyState(s) {
    const needs = [['layouts', s.layout], ['skins', s.skin]];
    if (s.shortcuts !== 'none') needs.push(['shortcuts', s.shortcuts]);
    if (needs.every(([kind, id]) => C.data.peek(kind, id) !== undefined)) {
      const layoutDoc = C.data.peek('layouts', s.layout);
      if (layoutDoc || C.data.peek('layouts', 'jis_tkl') !== undefined) {
        waiting = null;
        drawState(s);
        return;
      }
      needs.push(['layouts', 'jis_tkl']);
    }
    waiting = s;
    Promise.all(needs.map(([kind, id]) => C.data.load(kind, id))).then(() => {
      if (waiting === s) applyState(s);
    });
  }

  function quoteFont(name) {
    return '"' + name.replace(/["\\\n\r\f]/g, '') + '"';
  }

  function drawState(s) {
    const prev = model.state;
    dropStaleKeys(prev, s);
    model.state = s;

    const missing = [];
    const skin = pickSkin(s.skin, missing);
    const found = (kind, id) => !missing.some(([k, i]) => k === kind && i === id);
    const skinKey = [s.skin, found('skins', s.skin), s.textColor].join('|');
    if (skinKey !== model.skinKey) {
      model.skinKey = skinKey;
      C.skin.applySkin(overlay, skin, s.textColor);
      $('ornament').textContent = skin.ornament;
    }

    const layout = pickLayout(s.layout, missing);
    model.layout = layout;
    const mouseShown = Boolean(s.mouse && layout);
    const extent = C.mouse.extent(layout, mouseShown);
    const w = layout ? extent.width + 2 * skin.padding : 18;
    const h = layout ? extent.height + 2 * skin.padding : 6;
    const unit = Math.min(MAX_UNIT, KB_MAX_W / w, KB_MAX_H / h);
    const plateW = w * unit;
    const plateH = h * unit;
    const plate = $('plate');
    plate.style.padding = skin.padding * unit + 'px';
    plate.style.borderRadius = skin.plateRadius * unit + 'px';
    const buildKey = [s.layout, found('layouts', s.layout), s.skin, s.kana, unit, mouseShown].join('|');
    if (buildKey !== model.buildKey) {
      model.buildKey = buildKey;
      keyboard.build(layout, skin, unit, s.kana);
      for (const code of model.held.keys()) keyboard.setDown(code, true);
      keyboard.paintHeat(model.heat);
      const held = mouse.held;
      $('mouse').hidden = !mouseShown;
      if (mouseShown) {
        // The plate holds the keys and the mouse beside them.
        $('keys').style.width = extent.width * unit + 'px';
        $('keys').style.height = extent.height * unit + 'px';
        mouse.build(C.mouse.placement(layout), unit, skin.padding * unit);
        for (const button of held) mouse.setButton(button, true);
      }
    }

    if (s.heatmap && !(prev && prev.heatmap)) model.heat.clear();
    overlay.classList.toggle('heatmap', s.heatmap);
    if (s.heatmap) keyboard.paintHeat(model.heat);
    overlay.classList.toggle('show-speed', s.speed);
    overlay.dataset.mode = s.mode;
    overlay.classList.toggle('hidden', s.hidden);
    overlay.classList.remove('no-state');

    const showsKeyboard = s.mode !== 'text';
    const lines = s.textLines || skin.text.lines;
    const wantedSize = s.textFontSize || skin.text.fontSize;
    const widthPct = s.textWidth || skin.text.width;
    const direction = s.textDirection === 'skin' ? skin.text.direction : s.textDirection;
    let room = STAGE_H - 2 * MARGIN - TOAST_RESERVE;
    if (showsKeyboard) room -= plateH + KB_HEAD_H + STACK_GAP;
    text.setOptions({
      fontSize: C.textfield.fitFontSize(wantedSize, lines, room),
      lines,
      widthPx: Math.min(plateW * widthPct / 100, STAGE_W - 2 * MARGIN),
      direction,
      scroll: s.textScroll,
      font: s.textFont ? quoteFont(s.textFont) + ', ' + skin.text.font : skin.text.font,
    });
    $('textbox').style.borderRadius = skin.text.radius + 'px';

    const sheet = pickSheet(s.shortcuts, missing);
    const sheetKey = s.shortcuts + '|' + found('shortcuts', s.shortcuts);
    if (sheetKey !== model.sheetKey) {
      model.sheetKey = sheetKey;
      model.sheetId = s.shortcuts;
      model.sheet = sheet;
      toast.hide();
    }
    showMissing(missing);

    sounds.configure(s.soundPack, s.soundFiles, s.soundVolume, s.sound && !s.hidden && !s.paused);
    if (s.hidden) {
      toast.hide();
      if (history) history.clear();
    }
    paintSpeed();
  }

  // ---- keys ----------------------------------------------------------------------------

  const modChips = Array.from(document.querySelectorAll('#mods .mod'));

  // Runs for every key event: touches a chip only when its modifier changed.
  function setMods(mods) {
    const prev = model.mods;
    model.mods = mods;
    for (const el of modChips) {
      const m = el.dataset.mod;
      if (prev[m] !== mods[m]) el.classList.toggle('on', mods[m] === true);
    }
  }

  // Non-modifier keys held now, the newest first: the key that a mouse action is done with
  // (Space for the hand tool).
  function heldKeysForMouse() {
    return Array.from(model.held.keys()).filter((code) => !C.layout.modifierOf(code)).reverse();
  }

  // A mouse action the sheet may name: the toast shows it, and the history keeps it when the
  // sheet names it or Ctrl, Alt or Win is held.
  function mouseShortcut(combos, mods) {
    const s = model.state;
    if (!s || s.hidden || (model.sheet.size === 0 && !history)) return;
    const { combo, description } = C.shortcuts.lookUp(model.sheet, combos);
    if (description) toast.show(model.sheetId, combo, description, labelFor);
    if (history && (description || mods.ctrl || mods.alt || mods.win)) {
      const parts = combo.split('+');
      const labels = parts.map((part) => (/^(Ctrl|Shift|Alt|Win)$/.test(part) ? part
        : C.shortcuts.isMousePart(part) ? C.shortcuts.MOUSE_PARTS[part] : labelFor(part)));
      history.add(combo, labels, description, ' + ');
    }
  }

  function applyMouse(m) {
    if (!model.state || !model.state.mouse) return;
    mouse.setButton(m.button, m.down);
    setMods(m.mods);
    if (m.down) mouseShortcut(C.shortcuts.buttonCombinations(m.button, m.mods, heldKeysForMouse()), m.mods);
  }

  function applyWheel(wh) {
    if (!model.state || !model.state.mouse) return;
    mouse.notch(wh.dx, wh.dy);
    setMods(wh.mods);
    mouseShortcut(C.shortcuts.wheelCombinations(wh.dx, wh.dy, wh.mods, heldKeysForMouse()), wh.mods);
  }

  function labelFor(code) {
    const label = keyboard.labelOf(code);
    return label && label.trim() !== '' ? label : C.shortcuts.codeLabel(code);
  }

  function applyKey(k) {
    const now = performance.now();
    if (k.code !== '*') {
      if (k.down) {
        model.held.set(k.code, now);
        keyboard.setDown(k.code, true);
      } else {
        releaseHeld(k.code);
      }
      // Every key event reports which modifiers the module still holds: a lit modifier key
      // whose class it reports as up lost its release somewhere.
      for (const code of model.held.keys()) {
        const mod = C.layout.modifierOf(code);
        if (mod && code !== k.code && !k.mods[mod]) releaseHeld(code);
      }
    }
    setMods(k.mods);
    if (!k.down) return;

    model.presses.push(now);
    if (model.state && model.state.heatmap && k.code !== '*') {
      model.heat.set(k.code, (model.heat.get(k.code) || 0) + 1);
      scheduleHeat();
    }
    scheduleSpeed();
    const s = model.state;
    if (!s || s.hidden) return;
    if (k.code !== '*' && (model.sheet.size > 0 || history)) {
      const combo = C.shortcuts.combination(k.code, k.mods);
      const description = model.sheet.get(combo);
      if (description) toast.show(model.sheetId, combo, description, labelFor);
      if (history && C.history.isShortcut(k.code, k.mods, Boolean(description))) {
        history.add(combo, combo.split('+').map((part) => (/^(Ctrl|Shift|Alt|Win)$/.test(part) ? part : labelFor(part))), description || '');
      }
    }
    if (s.sound && !s.paused) sounds.play(k.code);
  }

  // ---- speed and heat, painted at most once a frame --------------------------------------

  let speedQueued = false;
  let heatQueued = false;

  function speedNow() {
    const cutoff = performance.now() - SPEED_WINDOW_MS;
    let i = 0;
    while (i < model.presses.length && model.presses[i] < cutoff) i++;
    if (i) model.presses.splice(0, i);
    return Math.round(model.presses.length * 60000 / SPEED_WINDOW_MS);
  }

  function paintSpeed() {
    speedQueued = false;
    const v = String(speedNow());
    const el = $('speed-value');
    if (el.textContent !== v) el.textContent = v;
  }

  // The figure is a rate over five seconds: a few updates a second show it fully, and a layout
  // of the badge in every frame would cost the keys their frame at a thousand events a second.
  const SPEED_PAINT_MS = 120;
  let speedPaintedAt = -Infinity;

  function scheduleSpeed() {
    if (speedQueued) return;
    speedQueued = true;
    const wait = Math.max(0, speedPaintedAt + SPEED_PAINT_MS - performance.now());
    setTimeout(() => requestAnimationFrame(() => {
      speedPaintedAt = performance.now();
      paintSpeed();
    }), wait);
  }

  function scheduleHeat() {
    if (!heatQueued) {
      heatQueued = true;
      requestAnimationFrame(() => {
        heatQueued = false;
        keyboard.paintHeat(model.heat);
      });
    }
  }

  // The speed falls back to 0 on its own once typing stops.
  setInterval(() => {
    if (model.presses.length) paintSpeed();
  }, 250);

  // ---- events --------------------------------------------------------------------------

  const revisions = C.envelope.createRevisionFilter();

  // Checks a payload from `sender` and returns the function that applies it, or null when it is
  // unusable or, for a state, older than one already applied.
  function readPayload(kind, data, sender) {
    if (kind === 'state') {
      const s = C.state.readState(data);
      if (!s || !revisions.isCurrent(sender, s.rev)) return null;
      return () => {
        revisions.commit(sender, s.rev);
        applyState(s);
      };
    }
    if (kind === 'key') {
      const k = C.envelope.readKey(data);
      return k && (() => applyKey(k));
    }
    if (kind === 'mouse') {
      const m = C.envelope.readMouse(data);
      return m && (() => applyMouse(m));
    }
    if (kind === 'wheel') {
      const wh = C.envelope.readWheel(data);
      return wh && (() => applyWheel(wh));
    }
    if (kind === 'text') {
      const f = C.envelope.readText(data);
      return f && (() => text.setFrame(f));
    }
    return null;
  }

  const sequence = C.envelope.createSequenceFilter();

  window.addEventListener(C.envelope.EVENT_TYPE, (event) => {
    const env = C.envelope.parseEnvelope(event && event.detail);
    if (!env || !sequence.isNew(env.from, env.seq)) return;
    const apply = readPayload(env.kind, env.data, env.from);
    if (!apply) return;
    sequence.commit(env.from, env.seq);
    if (model.from !== null && env.from !== model.from) {
      // Another module instance: whatever the old one held is gone.
      for (const code of Array.from(model.held.keys())) releaseHeld(code);
      setMods({ ctrl: false, shift: false, alt: false, win: false });
      mouse.clearAll();
    }
    model.from = env.from;
    apply();
  });

  // ---- outside OBS ---------------------------------------------------------------------

  const wsOptions = C.obsws.readOptions(location.search);
  if (wsOptions) {
    const WS_SENDER = 'obs-websocket'; // one module per connection; a new connection may be a restarted one
    const status = $('connection');
    const texts = {
      connecting: 'OBS に接続しています…',
      disconnected: 'OBS との接続が切れました。つなぎ直します…',
      'auth-failed': 'OBS のパスワードが違います。',
    };
    // obs-websocket hands vendor events to its clients from several threads, so they may arrive
    // slightly out of order. An event is dropped only when a newer one of the same key, button
    // or text has been applied: a late press of Shift after a newer press of A still lights
    // Shift, a late press after its own release does not. Wheel notches are pulses, each taken.
    // Each connection starts a new count (the module may have restarted meanwhile).
    let vendorLanes = new Map();
    const laneOf = (kind, data) => {
      if (kind === 'key') return `key ${data.code}`;
      if (kind === 'mouse') return `mouse ${data.button}`;
      return kind === 'text' ? 'text' : null;
    };
    const applyVendorPayload = (kind, data) => {
      const seq = C.envelope.isPlainObject(data) ? data.seq : undefined;
      if ((kind === 'key' || kind === 'text' || kind === 'mouse' || kind === 'wheel') && Number.isSafeInteger(seq)) {
        const lane = laneOf(kind, data);
        if (lane !== null && vendorLanes.has(lane) && seq <= vendorLanes.get(lane)) return;
        const apply = readPayload(kind, data, WS_SENDER);
        if (!apply) return;
        if (lane !== null) vendorLanes.set(lane, seq);
        apply();
        return;
      }
      const apply = readPayload(kind, data, WS_SENDER);
      if (apply) apply();
    };
    C.obsws.connect(wsOptions, applyVendorPayload, (st) => {
      if (st === 'connected') {
        vendorLanes = new Map();
        revisions.forget(WS_SENDER);
      }
      status.hidden = st === 'connected';
      status.dataset.status = st;
      status.textContent = texts[st] || '';
    });
  }

  // ---- a solid background for a browser window captured into the scene ------------------
  // A window capture carries no transparency: ?bg=RRGGBB paints the page in one colour that a
  // colour key filter in OBS then takes out (for example 00b140, a chroma-key green).
  const bg = new URLSearchParams(location.search).get('bg');
  if (bg && /^[0-9a-fA-F]{6}$/.test(bg)) document.documentElement.style.background = '#' + bg;

  // ---- fit the 1920x1080 stage into whatever window shows it ----------------------------

  function fitStage() {
    const scale = Math.min(window.innerWidth / STAGE_W, window.innerHeight / STAGE_H);
    const stage = $('stage');
    stage.style.transform = scale === 1 || !Number.isFinite(scale) || scale <= 0 ? '' : 'scale(' + scale + ')';
  }
  window.addEventListener('resize', fitStage);
  fitStage();
})(window.Clackery = window.Clackery || {});
