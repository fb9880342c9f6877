// Shared staging and browser helpers for the overlay page tests.
import { chromium } from 'playwright-core';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, afterEach, before, beforeEach } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

export const HERE = path.dirname(fileURLToPath(import.meta.url));
export const REPO = path.resolve(HERE, '../..');
export const CHROMIUM = process.env.CLACKERY_CHROMIUM || '/usr/bin/chromium';

const FIXTURES = path.join(HERE, 'fixtures');

// The skins in the order the dock lists them, written out here so that the data is checked
// against it rather than against itself.
export const SKIN_ORDER = ['cute_strawberry_milk', 'cute_mint_choco', 'cute_lavender_cloud', 'cute_macaron',
  'cute_sakura_mochi', 'cute_cotton_candy', 'cute_lemon_soda', 'cute_peach_jelly', 'cute_cat_paw',
  'cute_bunny', 'cute_dream_stars', 'cute_cream_soda', 'navy_gold', 'porcelain', 'ice_glass', 'default'];

// A short, valid 16-bit PCM mono WAV: a decaying click at the given pitch.
export function makeWav(freq = 880, ms = 60, rate = 44100) {
  const n = Math.round((rate * ms) / 1000);
  const data = Buffer.alloc(n * 2);
  for (let i = 0; i < n; i++) {
    const v = Math.sin((2 * Math.PI * freq * i) / rate) * Math.exp(-i / (n / 5));
    data.writeInt16LE(Math.round(v * 12000), i * 2);
  }
  const head = Buffer.alloc(44);
  head.write('RIFF', 0);
  head.writeUInt32LE(36 + data.length, 4);
  head.write('WAVE', 8);
  head.write('fmt ', 12);
  head.writeUInt32LE(16, 16);
  head.writeUInt16LE(1, 20);
  head.writeUInt16LE(1, 22);
  head.writeUInt32LE(rate, 24);
  head.writeUInt32LE(rate * 2, 28);
  head.writeUInt16LE(2, 32);
  head.writeUInt16LE(16, 34);
  head.write('data', 36);
  head.writeUInt32LE(data.length, 40);
  return Buffer.concat([head, data]);
}

export const TEST_PACK = 'testpack';
export const TEST_PACK_FILES = ['normal.wav', 'normal_2.wav', 'space.wav', 'enter.wav', 'enter_2.wav', 'backspace_3.wav'];

function copyMissing(fromDir, toDir) {
  if (!fs.existsSync(fromDir)) return;
  fs.mkdirSync(toDir, { recursive: true });
  for (const name of fs.readdirSync(fromDir)) {
    const target = path.join(toDir, name);
    if (!fs.existsSync(target)) fs.copyFileSync(path.join(fromDir, name), target);
  }
}

// Copies the data folder to a temporary place, adds the test fixtures where the real files are
// missing (a layout, a sheet) and a small sound pack, then builds the page's data bundle there.
export function stageData() {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-page-'));
  const src = process.env.CLACKERY_PAGE_DATA || path.join(REPO, 'data');
  const data = path.join(root, 'data');
  fs.cpSync(src, data, { recursive: true });
  copyMissing(path.join(FIXTURES, 'layouts'), path.join(data, 'layouts'));
  copyMissing(path.join(FIXTURES, 'shortcuts'), path.join(data, 'shortcuts'));
  const pack = path.join(data, 'sounds', TEST_PACK);
  fs.mkdirSync(pack, { recursive: true });
  fs.writeFileSync(path.join(pack, 'pack.json'), JSON.stringify({ displayName: '試験の音' }));
  TEST_PACK_FILES.forEach((name, i) => fs.writeFileSync(path.join(pack, name), makeWav(400 + 150 * i)));
  // A file on disk that the module did not list: the page must never play it.
  fs.writeFileSync(path.join(pack, 'backspace.wav'), makeWav(200));
  const bundle = path.join(data, 'overlay', 'data-bundle.js');
  execFileSync('cmake', ['-DDATA_DIR=' + data, '-DOUT=' + bundle, '-P', path.join(REPO, 'cmake', 'bundle_page_data.cmake')], { stdio: 'pipe' });
  const ids = (dir) => fs.readdirSync(path.join(data, dir)).filter((n) => n.endsWith('.json')).map((n) => n.slice(0, -5)).sort();
  return {
    root,
    data,
    page: path.join(data, 'overlay', 'overlay.html'),
    url: pathToFileURL(path.join(data, 'overlay', 'overlay.html')).href,
    layouts: ids('layouts'),
    sheets: ids('shortcuts').filter((id) => id !== 'none'),
    skins: fs.readdirSync(path.join(data, 'skin')).filter((n) => fs.existsSync(path.join(data, 'skin', n, 'config.json'))).sort(),
    cleanup() {
      fs.rmSync(root, { recursive: true, force: true });
    },
  };
}

export async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: CHROMIUM,
    headless: true,
    viewport: { width: 1920, height: 1080 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required'],
  });
  const close = context.close.bind(context);
  context.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return context;
}

// Opens the page and records every uncaught error and console error it produces. `init` runs in
// the page before its own scripts; `viewport` sizes the window before the page lays itself out.
export async function openPage(context, url, { init, allowConsole, viewport } = {}) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push('pageerror: ' + e.message));
  page.on('console', (m) => {
    if (m.type() === 'error' && !(allowConsole && allowConsole.test(m.text()))) errors.push('console: ' + m.text());
  });
  if (init) await page.addInitScript(init);
  if (viewport) await page.setViewportSize(viewport);
  await page.goto(url);
  return { page, errors, feed: feeder(page) };
}

// Gives a test file its staged data and one browser for the file's lifetime, both removed after
// its last test. The record carries the fields of stageData() and `context` once `ready()` has
// settled; the file's hooks await it, as `open` and `openUrl` do. A page opened in a test is
// closed when that test ends, and a page opened by a hook of the file when the file ends; either
// way the test or the file fails if the page raised an error or logged one.
export function stagedOverlay() {
  const fileViews = [];
  const testViews = []; // one list per running test, innermost last (subtests nest)
  let starting = null;
  const staged = {
    context: null,
    ready() {
      starting ??= (async () => {
        Object.assign(staged, stageData());
        staged.context = await launch();
      })();
      return starting;
    },
    async openUrl(url, options) {
      await staged.ready();
      const view = await openPage(staged.context, url, options);
      (testViews.at(-1) ?? fileViews).push({ url, ...view });
      return view;
    },
    async open(query = '', options) {
      await staged.ready();
      return staged.openUrl(staged.url + query, options);
    },
  };
  async function closeAll(views) {
    // What the pages said while they were used, not what closing them may add.
    const said = views.map(({ url, errors }) => ({ url, errors: [...errors] }));
    await Promise.all(views.map(({ page }) => page.close()));
    for (const { url, errors } of said) assert.deepEqual(errors, [], url);
  }
  before(() => staged.ready());
  beforeEach(() => { testViews.push([]); });
  afterEach(() => closeAll(testViews.pop() ?? []));
  after(async () => {
    try {
      await closeAll(fileViews);
    } finally {
      await staged.context?.close();
      staged.cleanup?.();
    }
  });
  return staged;
}

export const FROM = 'clackery-plugin-00000000-0000-4000-8000-000000000001';

export function envelopeJson(kind, data, seq, from = FROM) {
  return JSON.stringify({ type: 'fernquarry.clackery', v: 1, kind, from, role: 'plugin', seq, at: Date.now() + 0.5, data });
}

export function baseState(overrides = {}) {
  return Object.assign({
    paused: false, hidden: false, mode: 'both', layout: 'jis_tkl', skin: 'default', shortcuts: 'none',
    run_on_start: false, speed: true, heatmap: false, sound: false, mask: false, kana: false, rev: 2,
    textSource: 'dock', textScroll: true, textColor: 'white', textFont: '', textLines: 0, textFontSize: 0,
    textWidth: 0, textDirection: 'skin', soundVolume: 30, soundPack: TEST_PACK,
    soundFiles: TEST_PACK_FILES.map((name) => ({ name })),
    hotkeys: { pause_toggle: [], hide_toggle: [], mode_cycle: [] },
  }, overrides);
}

const NO_MODS = { ctrl: false, shift: false, alt: false, win: false };

// Sends events the way obs-browser does, numbering them like the module.
export function feeder(page) {
  let seq = 0;
  let from = FROM;
  async function dispatch(json) {
    await page.evaluate((j) => window.dispatchEvent(new CustomEvent('fernquarry.clackery', { detail: { json: j } })), json);
  }
  return {
    get seq() { return seq; },
    get from() { return from; },
    skipTo(n) { seq = n; },
    restart(newFrom) { from = newFrom; seq = 0; },
    async send(kind, data) {
      seq += 1;
      const payload = kind === 'state' ? data : Object.assign({}, data, { seq });
      await dispatch(envelopeJson(kind, payload, seq, from));
    },
    state(overrides) { return this.send('state', baseState(overrides)); },
    key(code, down, mods = {}) {
      return this.send('key', { code, down, t: Date.now(), mods: Object.assign({}, NO_MODS, mods) });
    },
    mouse(button, down, mods = {}) {
      return this.send('mouse', { button, down, t: Date.now(), mods: Object.assign({}, NO_MODS, mods) });
    },
    wheel(dx, dy, mods = {}) {
      return this.send('wheel', { dx, dy, t: Date.now(), mods: Object.assign({}, NO_MODS, mods) });
    },
    async tap(code, mods = {}) {
      await this.key(code, true, mods);
      await this.key(code, false, mods);
    },
    text(frame) {
      return this.send('text', Object.assign({ op: 'type', preedit: '', committed: '', text: '', cursor: 0, caret: 0 }, frame));
    },
    dispatch,
    async detail(detail) {
      await page.evaluate((d) => window.dispatchEvent(new CustomEvent('fernquarry.clackery', { detail: d })), detail);
    },
  };
}

export async function litCodes(page) {
  return page.evaluate(() => Array.from(document.querySelectorAll('#keys .key.down')).map((e) => e.dataset.code).sort());
}

export function readJson(file) {
  return JSON.parse(fs.readFileSync(file, 'utf8'));
}
