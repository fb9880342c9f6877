// Every skin drawn as it would be on stream, saved for a person to look at, with the checks a
// viewer would make: transparent around the overlay, nothing off screen, no legend spilling
// out of its key.
import { test, before } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { SKIN_ORDER, stagedOverlay } from './helpers.mjs';
import { decodePng } from './png.mjs';

// A few minutes of chat: more lines than any field shows, one of them long enough to wrap.
const LONG_TEXT = ['こんばんは！今日も描いていきます🎨', 'よろしくお願いします', '今日は線画の続きから',
  'ブラシはいつもの G ペン、レイヤーは三枚で、色はあとで塗ります。質問があればコメントでどうぞ、読み上げます！',
  'Ctrl+Z で戻しながら描くよ', 'BGM は今日も作業用のもの', 'まずは下描き'].join('\n');

const staged = stagedOverlay();
let shots;
before(() => {
  shots = process.env.CLACKERY_SHOTS_DIR || fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-shots-'));
  fs.mkdirSync(shots, { recursive: true });
  console.log('# screenshots in ' + shots);
});

// Rectangles of the drawn parts and of every legend that does not fit inside its key.
function layoutProblems(page) {
  return page.evaluate(() => {
    const problems = [];
    const inside = (r, o, slack = 1) => r.left >= o.left - slack && r.right <= o.right + slack && r.top >= o.top - slack && r.bottom <= o.bottom + slack;
    const stage = { left: 0, top: 0, right: 1920, bottom: 1080 };
    for (const id of ['plate', 'textbox', 'toast', 'kb-head']) {
      const el = document.getElementById(id);
      const r = el.getBoundingClientRect();
      if (r.width > 0 && !inside(r, stage, 0)) problems.push(id + ' off screen');
    }
    for (const legend of document.querySelectorAll('#keys .legend')) {
      if (!legend.textContent) continue;
      const cap = legend.closest('.cap').getBoundingClientRect();
      const range = document.createRange();
      range.selectNodeContents(legend);
      if (!inside(range.getBoundingClientRect(), cap, 1)) problems.push('legend spills: ' + legend.closest('.key').dataset.code + ' ' + legend.textContent);
    }
    const mouse = document.getElementById('mouse');
    const plate = document.getElementById('plate').getBoundingClientRect();
    if (!mouse.hidden) {
      const r = mouse.getBoundingClientRect();
      if (!inside(r, plate, 0)) problems.push('the mouse leaves the plate');
      for (const key of document.querySelectorAll('#keys .key')) {
        const k = key.getBoundingClientRect();
        if (k.left < r.right && r.left < k.right && k.top < r.bottom && r.top < k.bottom) problems.push('the mouse covers ' + key.dataset.code);
      }
    }
    return problems;
  });
}

test('every skin draws legibly on a transparent stage', async (t) => {
  for (const id of SKIN_ORDER) assert.ok(staged.skins.includes(id), 'skin ' + id + ' ships');
  const { page, feed } = await staged.open();
  for (const skin of staged.skins) {
    await t.test(skin, async () => {
      await feed.state({ skin, kana: true, mouse: true, shortcuts: 'clipstudio', textColor: skin === 'cute_dream_stars' ? 'dark' : 'white' });
      await feed.mouse(2, true);
      await feed.key('ControlLeft', true, { ctrl: true });
      await feed.key('KeyZ', true, { ctrl: true });
      await feed.key('KeyH', true, { ctrl: true });
      await feed.text({ op: 'preedit', text: LONG_TEXT, caret: LONG_TEXT.length, preedit: 'らくがき', cursor: 3 });
      await page.waitForTimeout(350); // let the toast and the field settle
      const file = path.join(shots, skin + '.png');
      const png = await page.screenshot({ path: file, omitBackground: true, animations: 'disabled' });
      const img = decodePng(png);
      assert.deepEqual([img.width, img.height], [1920, 1080]);
      for (const [x, y] of [[0, 0], [1919, 0], [0, 1079], [1919, 1079], [960, 20]]) assert.equal(img.alpha(x, y), 0, `transparent at ${x},${y}`);
      assert.ok(img.alpha(960, 1000) > 100, 'the keyboard is drawn at the bottom centre');
      assert.deepEqual(await layoutProblems(page), []);
      for (const code of ['KeyH', 'KeyZ', 'ControlLeft']) await feed.key(code, false);
      // The mouse close up, its main button held and the wheel caught in a pulse up.
      await feed.mouse(2, false);
      await feed.mouse(0, true);
      await feed.wheel(0, -1);
      await page.evaluate(() => document.getAnimations().forEach((a) => { a.pause(); a.currentTime = 40; }));
      const block = await page.evaluate(() => {
        const r = document.getElementById('plate').getBoundingClientRect();
        return { x: Math.max(0, r.right - 420), y: r.bottom - 300, width: Math.min(420, r.right), height: 300 };
      });
      await page.screenshot({ path: path.join(shots, skin + '_mouse.png'), clip: block, omitBackground: true });
      await feed.mouse(0, false);
    });
  }
  // The two JIS keyboards with kana, Enter and the right Win key held, for a look at their shape.
  for (const layout of ['jis_tkl', 'jis_full']) {
    await feed.state({ skin: 'porcelain', layout, kana: true, mode: 'keyboard' });
    await feed.key('Enter', true);
    await feed.key('MetaRight', true, { win: true });
    await page.waitForTimeout(150);
    await page.screenshot({ path: path.join(shots, 'layout_' + layout + '.png'), omitBackground: true, animations: 'disabled' });
    assert.deepEqual(await layoutProblems(page), []);
    await feed.key('MetaRight', false);
    await feed.key('Enter', false);
  }
  // The text alone and a full-size layout, for a look at the other arrangements.
  await feed.state({ skin: 'cute_strawberry_milk', mode: 'text', textLines: 3 });
  await page.screenshot({ path: path.join(shots, 'mode_text.png'), omitBackground: true, animations: 'disabled' });
  await feed.state({ skin: 'cute_mint_choco', layout: 'test_mini', mode: 'keyboard' });
  await feed.key('Space', true);
  await page.screenshot({ path: path.join(shots, 'layout_test_mini.png'), omitBackground: true, animations: 'disabled' });
  assert.deepEqual(await layoutProblems(page), []);
});

test('the shortcut history strip, for a look', async () => {
  const { page, feed } = await staged.open('?history=4');
  await feed.state({ skin: 'cute_lavender_cloud', shortcuts: 'clipstudio', layout: 'jis_tkl' });
  const press = async (code, mods) => {
    for (const [m, key] of [['ctrl', 'ControlLeft'], ['shift', 'ShiftLeft'], ['alt', 'AltLeft']]) if (mods[m]) await feed.key(key, true, mods);
    await feed.tap(code, mods);
    for (const key of ['ControlLeft', 'ShiftLeft', 'AltLeft']) await feed.key(key, false);
  };
  await press('KeyB', {});
  await press('KeyZ', { ctrl: true });
  await press('KeyZ', { ctrl: true });
  await press('KeyS', { ctrl: true, shift: true });
  await press('KeyQ', { ctrl: true, alt: true });
  await page.waitForTimeout(300);
  await page.screenshot({ path: path.join(shots, 'history.png'), omitBackground: true, animations: 'disabled' });
  const chips = await page.evaluate(() => Array.from(document.querySelectorAll('#history .chip')).map((c) => {
    const r = c.getBoundingClientRect();
    return { left: r.left, right: r.right, bottom: r.bottom };
  }));
  const plate = await page.evaluate(() => document.getElementById('plate').getBoundingClientRect().left);
  assert.equal(chips.length, 4);
  for (const c of chips) assert.ok(c.left >= 0 && c.right < plate && c.bottom <= 1080, 'chips stay clear of the keyboard');
});
