// Key sounds: the right file for each key, only listed files, the state's volume, silence when
// asked, and no pile-up when keys are mashed. Playback is observed, not heard.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { fileURLToPath } from 'node:url';
import { stagedOverlay } from './helpers.mjs';

const staged = stagedOverlay();

// Replaces playback with a recorder: every play() with its file and volume, and how many
// elements were sounding at once.
function spy() {
  window.__plays = [];
  window.__sounding = new Set();
  window.__most = 0;
  const proto = HTMLMediaElement.prototype;
  const pause = proto.pause;
  proto.play = function () {
    window.__plays.push({ src: this.src, file: this.src.split('/').pop(), volume: this.volume });
    window.__sounding.add(this);
    window.__most = Math.max(window.__most, window.__sounding.size);
    return Promise.resolve();
  };
  proto.pause = function () {
    window.__sounding.delete(this);
    return pause.call(this);
  };
}

async function playsFor(page, feed, codes) {
  await page.evaluate(() => { window.__plays = []; });
  for (const code of codes) await feed.tap(code);
  return page.evaluate(() => window.__plays);
}

test('each key plays its own kind of sound, from the listed files only', async () => {
  const { page, feed } = await staged.open('', { init: spy });
  await feed.state({ sound: true });
  const files = (plays) => Array.from(new Set(plays.map((p) => p.file))).sort();
  const many = (code) => Array(24).fill(code);
  assert.deepEqual(files(await playsFor(page, feed, many('Space'))), ['space.wav']);
  assert.deepEqual(files(await playsFor(page, feed, many('Enter'))), ['enter.wav', 'enter_2.wav']);
  assert.deepEqual(files(await playsFor(page, feed, many('NumpadEnter'))), ['enter.wav', 'enter_2.wav']);
  // backspace.wav lies in the folder but the module did not list it.
  assert.deepEqual(files(await playsFor(page, feed, many('Backspace'))), ['backspace_3.wav']);
  assert.deepEqual(files(await playsFor(page, feed, many('KeyA').concat(many('*')))), ['normal.wav', 'normal_2.wav']);

  // Without a listed space sound, Space falls back to the normal ones.
  await feed.state({ sound: true, soundFiles: [{ name: 'normal.wav' }, { name: 'enter.wav' }] });
  assert.deepEqual(files(await playsFor(page, feed, ['Space', 'Space'])), ['normal.wav']);

  const [one] = await playsFor(page, feed, ['Enter']);
  const file = fileURLToPath(one.src);
  assert.ok(file.endsWith('/sounds/testpack/enter.wav') && fs.existsSync(file), one.src);
  await feed.key('KeyQ', true);
  await page.evaluate(() => { window.__plays = []; });
  await feed.key('KeyQ', false);
  assert.equal(await page.evaluate(() => window.__plays.length), 0, 'a release makes no sound');
});

test('the volume follows the state', async () => {
  const { page, feed } = await staged.open('', { init: spy });
  for (const [volume, expected] of [[30, 0.3], [75, 0.75], [100, 1], [0, 0]]) {
    await feed.state({ sound: true, soundVolume: volume });
    const plays = await playsFor(page, feed, ['KeyA', 'Space']);
    assert.deepEqual(plays.map((p) => p.volume), [expected, expected], `volume ${volume}`);
  }
});

test('silent when sound is off, while hidden and while paused; hiding stops what plays', async () => {
  const { page, feed } = await staged.open('', { init: spy });
  for (const quiet of [{ sound: false }, { hidden: true }, { paused: true }, { soundFiles: [] }, { soundPack: '' }]) {
    await feed.state(Object.assign({ sound: true }, quiet));
    assert.equal((await playsFor(page, feed, ['KeyA', 'Space', 'Enter'])).length, 0, JSON.stringify(quiet));
  }
  await feed.state({ sound: true });
  await feed.key('KeyA', true);
  await feed.key('KeyS', true);
  assert.equal(await page.evaluate(() => window.__sounding.size), 2);
  await feed.state({ sound: true, hidden: true });
  assert.equal(await page.evaluate(() => window.__sounding.size), 0);
});

test('mashing keys never stacks more than a few voices, and every press still sounds', async () => {
  const { page, feed } = await staged.open('', { init: spy });
  await feed.state({ sound: true });
  const result = await page.evaluate(({ start, from }) => {
    window.__plays = [];
    window.__most = 0;
    let seq = start;
    for (let i = 0; i < 40; i++) {
      for (const down of [true, false]) {
        seq += 1;
        const code = ['KeyA', 'Space', 'Enter', 'Backspace'][i % 4];
        const data = { code, down, t: 1, mods: { ctrl: false, shift: false, alt: false, win: false }, seq };
        window.dispatchEvent(new CustomEvent('fernquarry.clackery', { detail: { json: JSON.stringify(
          { type: 'fernquarry.clackery', v: 1, kind: 'key', from, role: 'plugin', seq, at: 1, data }) } }));
      }
    }
    return { plays: window.__plays.length, most: window.__most };
  }, { start: feed.seq, from: feed.from });
  assert.equal(result.plays, 40);
  assert.ok(result.most <= 6, `at most 6 voices at once, saw ${result.most}`);
});

test('real playback from the pack raises no error', async () => {
  const { page, errors, feed } = await staged.open();
  await feed.state({ sound: true });
  for (const code of ['KeyA', 'Space', 'Enter', 'Backspace']) await feed.tap(code);
  await page.waitForTimeout(300);
  assert.deepEqual(errors, []);
});
