// Key sounds of the chosen pack, played with audio elements (they work from file:// pages,
// where fetch() of sibling files does not). Only files the module listed are ever loaded.
(function (C) {
  'use strict';

  const MAX_VOICES = 6;       // mashing never stacks more than this many sounds
  const PER_FILE = 3;         // elements kept per file, so a fast repeat need not cut itself off
  const FALLBACK_MS = 350;    // how long a voice counts as busy before its length is known

  function baseFor(code) {
    if (code === 'Space') return 'space';
    if (code === 'Enter' || code === 'NumpadEnter') return 'enter';
    if (code === 'Backspace') return 'backspace';
    return 'normal';
  }

  function createSounds(baseUrl) {
    let pack = '';
    let variants = new Map(); // base -> [file names]
    let pools = new Map();    // file name -> [HTMLAudioElement]
    let volume = 0.3;
    let enabled = false;
    let active = [];          // {audio, until}
    let configured = null;

    function url(name) {
      return new URL('../sounds/' + pack + '/' + name, baseUrl).href;
    }

    function stopAll() {
      for (const v of active) {
        v.audio.pause();
      }
      active = [];
    }

    // files: names already checked against the sixteen a pack may hold.
    function configure(packId, files, vol, on) {
      const key = packId + '|' + files.join(',');
      if (key !== configured) {
        configured = key;
        stopAll();
        for (const list of pools.values()) for (const a of list) a.removeAttribute('src');
        pack = packId;
        pools = new Map();
        variants = new Map();
        if (pack) {
          for (const name of files) {
            const base = name.replace(/(_[234])?\.wav$/, '');
            if (!variants.has(base)) variants.set(base, []);
            variants.get(base).push(name);
            pools.set(name, []);
          }
        }
      }
      volume = Math.min(1, Math.max(0, vol / 100));
      enabled = on && pack !== '' && pools.size > 0;
      if (!enabled) stopAll();
      // Load each file once ahead of the first key, so the first press is not late.
      if (enabled) for (const name of pools.keys()) if (pools.get(name).length === 0) newVoice(name);
    }

    function newVoice(name) {
      const audio = new Audio();
      audio.preload = 'auto';
      audio.src = url(name);
      audio.addEventListener('ended', () => {
        active = active.filter((v) => v.audio !== audio);
      });
      audio.addEventListener('error', () => {
        active = active.filter((v) => v.audio !== audio);
      });
      pools.get(name).push(audio);
      return audio;
    }

    function pick(list) {
      return list[Math.floor(Math.random() * list.length)];
    }

    function play(code) {
      if (!enabled) return null;
      const list = variants.get(baseFor(code)) || variants.get('normal');
      if (!list || list.length === 0) return null;
      const name = pick(list);
      const now = performance.now();
      active = active.filter((v) => v.until > now);
      if (active.length >= MAX_VOICES) {
        const oldest = active.shift();
        oldest.audio.pause();
      }
      const pool = pools.get(name);
      let audio = pool.find((a) => !active.some((v) => v.audio === a));
      if (!audio && pool.length < PER_FILE) audio = newVoice(name);
      if (!audio) {
        const busy = active.find((v) => pool.includes(v.audio));
        audio = busy.audio;
        active = active.filter((v) => v !== busy);
        audio.pause();
      }
      audio.volume = volume;
      try {
        audio.currentTime = 0;
      } catch (e) {
        // not seekable yet: it starts from the beginning anyway
      }
      const length = Number.isFinite(audio.duration) && audio.duration > 0 ? audio.duration * 1000 : FALLBACK_MS;
      active.push({ audio, until: now + length });
      const started = audio.play();
      if (started && typeof started.catch === 'function') {
        // A browser that refuses autoplay (outside OBS, before any click) simply stays silent.
        started.catch(() => {
          active = active.filter((v) => v.audio !== audio);
        });
      }
      return name;
    }

    return { configure, play, stopAll, get voices() { return active.length; } };
  }

  C.sounds = { createSounds, baseFor, MAX_VOICES };
})(window.Clackery = window.Clackery || {});
