// The data files beside the page: layouts, skins and shortcut sheets. Served over HTTP (OBS's
// browser source shows the page from its own http://absolute/ origin), the page fetches them
// from the data folder when a state names them, so a file the user copied there is used at
// once. Opened as a plain file, where browsers refuse fetch(), it falls back to the bundle that
// the build generated: each file as hexadecimal text, decoded and parsed on first use.
(function (C) {
  'use strict';

  const FROM_FILES = location.protocol !== 'file:';
  const FOLDERS = {
    layouts: (id) => '../layouts/' + encodeURIComponent(id) + '.json',
    skins: (id) => '../skin/' + encodeURIComponent(id) + '/config.json',
    shortcuts: (id) => '../shortcuts/' + encodeURIComponent(id) + '.json',
  };
  // The module's own limits: a skin's config under 64 KiB, a layout or sheet up to 1 MiB.
  const MAX_CHARS = { layouts: 1048576, skins: 65536, shortcuts: 1048576 };
  const RETRY_MS = 10000; // a file that failed is asked for again by a state this much later

  const cache = { layouts: new Map(), skins: new Map(), shortcuts: new Map() };
  let indexed = null;

  // The identifier rule the module applies to layout, skin and sheet ids.
  function isValidId(id) {
    if (typeof id !== 'string' || id.length === 0) return false;
    const bytes = new TextEncoder().encode(id);
    if (bytes.length > 128) return false;
    for (const b of bytes) {
      const ok = b >= 0x80 || (b >= 0x30 && b <= 0x39) || (b >= 0x41 && b <= 0x5a) ||
        (b >= 0x61 && b <= 0x7a) || b === 0x5f || b === 0x2d;
      if (!ok) return false;
    }
    return true;
  }

  function hexToText(hex) {
    if (typeof hex !== 'string' || hex.length % 2 !== 0 || !/^[0-9a-fA-F]*$/.test(hex)) return null;
    const bytes = new Uint8Array(hex.length / 2);
    for (let i = 0; i < bytes.length; i++) bytes[i] = parseInt(hex.substr(i * 2, 2), 16);
    try {
      return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
    } catch (e) {
      return null;
    }
  }

  function buildIndex() {
    indexed = { layouts: new Map(), skins: new Map(), shortcuts: new Map() };
    const bundle = window.CLACKERY_DATA;
    if (!bundle || typeof bundle !== 'object' || bundle.format !== 'hex') return;
    for (const kind of Object.keys(indexed)) {
      const list = Array.isArray(bundle[kind]) ? bundle[kind] : [];
      for (const entry of list) {
        if (!Array.isArray(entry) || entry.length !== 2) continue;
        const id = hexToText(entry[0]);
        if (id === null || !isValidId(id) || indexed[kind].has(id)) continue;
        indexed[kind].set(id, entry[1]);
      }
    }
  }

  function parseObject(text) {
    try {
      const value = JSON.parse(text);
      return value !== null && typeof value === 'object' && !Array.isArray(value) ? value : null;
    } catch (e) {
      return null;
    }
  }

  // kind/id -> { done, value, at, promise }
  const fetched = new Map();

  function fetchDoc(kind, id) {
    const url = new URL(FOLDERS[kind](id), document.baseURI).href;
    return fetch(url, { cache: 'no-cache' })
      .then((r) => (r.ok ? r.text() : null))
      .then((text) => (text !== null && text.length <= MAX_CHARS[kind] ? parseObject(text) : null))
      .catch(() => null);
  }

  // Starts loading a file (once) and resolves with its object or null.
  function load(kind, id) {
    if (!FROM_FILES || !FOLDERS[kind] || !isValidId(id)) return Promise.resolve(peek(kind, id));
    const key = kind + '/' + id;
    let entry = fetched.get(key);
    if (entry && entry.done && entry.value === null && performance.now() - entry.at > RETRY_MS) entry = null;
    if (!entry) {
      entry = { done: false, value: null, at: 0, promise: null };
      entry.promise = fetchDoc(kind, id).then((value) => {
        Object.assign(entry, { done: true, value, at: performance.now() });
        if (value === null) console.warn('[clackery] cannot load data file:', kind, id);
        return value;
      });
      fetched.set(key, entry);
    }
    return entry.promise;
  }

  // The file's object, null when it could not be had, undefined while it is still loading.
  function peek(kind, id) {
    if (!FROM_FILES) return fromBundle(kind, id);
    const entry = fetched.get(kind + '/' + id);
    return entry && entry.done ? entry.value : undefined;
  }

  function fromBundle(kind, id) {
    if (!indexed) buildIndex();
    const raw = indexed[kind];
    if (!raw || typeof id !== 'string' || !raw.has(id)) return null;
    const parsedCache = cache[kind];
    if (parsedCache.has(id)) return parsedCache.get(id);
    let value = null;
    const text = hexToText(raw.get(id));
    if (text !== null) {
      try {
        value = JSON.parse(text);
      } catch (e) {
        value = null;
      }
    }
    if (value !== null && (typeof value !== 'object' || Array.isArray(value))) value = null;
    if (value === null) console.warn('[clackery] unreadable data file:', kind, id);
    parsedCache.set(id, value);
    return value;
  }

  // The ids the bundle holds (a page opened as a file knows no others).
  function ids(kind) {
    if (!indexed) buildIndex();
    return indexed[kind] ? Array.from(indexed[kind].keys()) : [];
  }

  C.data = { load, peek, ids, isValidId, hexToText, FROM_FILES };
})(window.Clackery = window.Clackery || {});
