// Access to the generated data bundle (layouts, skins, shortcut sheets). The bundle carries each
// file as hexadecimal text; it is decoded and parsed on first use and cached.
(function (C) {
  'use strict';

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

  function get(kind, id) {
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

  function ids(kind) {
    if (!indexed) buildIndex();
    return indexed[kind] ? Array.from(indexed[kind].keys()) : [];
  }

  C.data = { get, ids, isValidId, hexToText };
})(window.Clackery = window.Clackery || {});
