// Reading the events the module sends: the envelope that obs-browser delivers, and the bare
// payloads (state, key, mouse, wheel, text) that both roads share. Anything that does not fit is dropped.
(function (C) {
  'use strict';

  const EVENT_TYPE = 'fernquarry.clackery';
  const KINDS = new Set(['state', 'key', 'text', 'mouse', 'wheel']);
  const MAX_SOURCES = 16;

  function isPlainObject(v) {
    return v !== null && typeof v === 'object' && !Array.isArray(v);
  }

  // Parses the "json" text of an obs-browser event. Returns {kind, from, seq, data} or null.
  function parseEnvelope(detail) {
    if (!isPlainObject(detail) || typeof detail.json !== 'string') return null;
    if (detail.json.length > 4 * 1024 * 1024) return null;
    let env;
    try {
      env = JSON.parse(detail.json);
    } catch (e) {
      return null;
    }
    if (!isPlainObject(env)) return null;
    if (env.type !== EVENT_TYPE || env.v !== 1) return null;
    if (!KINDS.has(env.kind)) return null;
    if (typeof env.from !== 'string' || env.from.length === 0) return null;
    if (!Number.isSafeInteger(env.seq) || env.seq < 0) return null;
    if (!isPlainObject(env.data)) return null;
    return { kind: env.kind, from: env.from, seq: env.seq, data: env.data };
  }

  // Remembers the last sequence number of each sender. A sender that reappears with a new id is
  // a restarted module and starts its own sequence; an old or repeated number is refused.
  function createSequenceFilter() {
    const last = new Map();
    return {
      isNew(from, seq) {
        return !last.has(from) || seq > last.get(from);
      },
      // Called only once the event was found sound, so a bad one consumes no number.
      commit(from, seq) {
        last.delete(from);
        if (last.size >= MAX_SOURCES) last.delete(last.keys().next().value);
        last.set(from, seq);
      },
    };
  }

  function bool(v) {
    return v === true;
  }

  // A key payload: {"code","down","t","mods":{...},"seq"}. Returns a clean record or null.
  function readKey(data) {
    if (!isPlainObject(data)) return null;
    if (typeof data.code !== 'string' || data.code.length === 0 || data.code.length > 64) return null;
    if (typeof data.down !== 'boolean') return null;
    const mods = isPlainObject(data.mods) ? data.mods : {};
    return {
      code: data.code,
      down: data.down,
      t: typeof data.t === 'number' && Number.isFinite(data.t) ? data.t : 0,
      mods: { ctrl: bool(mods.ctrl), shift: bool(mods.shift), alt: bool(mods.alt), win: bool(mods.win) },
    };
  }

  function readMods(data) {
    const mods = isPlainObject(data.mods) ? data.mods : {};
    return { ctrl: bool(mods.ctrl), shift: bool(mods.shift), alt: bool(mods.alt), win: bool(mods.win) };
  }

  function time(data) {
    return typeof data.t === 'number' && Number.isFinite(data.t) ? data.t : 0;
  }

  // A mouse button payload: {"button" (MouseEvent.button, 0 to 4),"down","t","mods","seq"}.
  function readMouse(data) {
    if (!isPlainObject(data)) return null;
    if (!Number.isInteger(data.button) || data.button < 0 || data.button > 4) return null;
    if (typeof data.down !== 'boolean') return null;
    return { button: data.button, down: data.down, t: time(data), mods: readMods(data) };
  }

  // One wheel notch: {"dx","dy","t","mods","seq"}, one of dx and dy -1 or +1 (WheelEvent signs).
  function readWheel(data) {
    if (!isPlainObject(data)) return null;
    const unit = (v) => (v === -1 || v === 0 || v === 1 ? v : null);
    const dx = unit(data.dx === undefined ? 0 : data.dx);
    const dy = unit(data.dy === undefined ? 0 : data.dy);
    if (dx === null || dy === null || (dx === 0) === (dy === 0)) return null;
    return { dx, dy, t: time(data), mods: readMods(data) };
  }

  function clampInt(v, lo, hi, fallback) {
    if (typeof v !== 'number' || !Number.isFinite(v)) return fallback;
    return Math.min(hi, Math.max(lo, Math.trunc(v)));
  }

  // Moves a UTF-16 position that falls inside a surrogate pair to the pair's start.
  function snapUtf16(text, pos) {
    if (pos > 0 && pos < text.length) {
      const hi = text.charCodeAt(pos - 1);
      const lo = text.charCodeAt(pos);
      if (hi >= 0xd800 && hi <= 0xdbff && lo >= 0xdc00 && lo <= 0xdfff) return pos - 1;
    }
    return pos;
  }

  const MAX_TEXT = 64 * 1024;

  // A text payload: {"op","preedit","committed","text","cursor","caret"}; positions in UTF-16
  // units. The module always sends all six; one of the wrong type means a frame that cannot be
  // trusted, so it is dropped whole rather than shown as an empty field.
  function readText(data) {
    if (!isPlainObject(data)) return null;
    for (const key of ['op', 'preedit', 'committed', 'text']) if (typeof data[key] !== 'string') return null;
    for (const key of ['cursor', 'caret']) if (typeof data[key] !== 'number' || !Number.isFinite(data[key])) return null;
    const { text, preedit } = data;
    if (text.length > MAX_TEXT || preedit.length > MAX_TEXT) return null;
    return {
      op: data.op,
      text,
      preedit,
      committed: data.committed,
      caret: snapUtf16(text, clampInt(data.caret, 0, text.length, text.length)),
      cursor: snapUtf16(preedit, clampInt(data.cursor, 0, preedit.length, preedit.length)),
    };
  }

  // The state's "rev" grows with every change and is repeated unchanged by the periodic
  // broadcast, so per sender a state is current when its rev is not below the last one taken.
  // Outside OBS a get_state reply may overtake a newer vendor event; this keeps the newer one.
  // A state without a usable rev is taken only until one with a rev has been.
  function createRevisionFilter() {
    const last = new Map();
    return {
      isCurrent(from, rev) {
        if (!last.has(from)) return true;
        return rev !== null && rev >= last.get(from);
      },
      commit(from, rev) {
        if (rev === null) return;
        last.delete(from);
        if (last.size >= MAX_SOURCES) last.delete(last.keys().next().value);
        last.set(from, rev);
      },
      forget(from) {
        last.delete(from);
      },
    };
  }

  C.envelope = { EVENT_TYPE, parseEnvelope, createSequenceFilter, createRevisionFilter, readKey, readMouse, readWheel, readText, snapUtf16, isPlainObject };
})(window.Clackery = window.Clackery || {});
