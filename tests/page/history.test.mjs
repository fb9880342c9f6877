// The shortcut history strip, switched on from the page's URL alone (?history=N).
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { stagedOverlay, readJson } from './helpers.mjs';
import path from 'node:path';

const staged = stagedOverlay();

const chips = (page) => page.evaluate(() => Array.from(document.querySelectorAll('#history .chip:not(.fading)'))
  .map((c) => c.textContent));

async function combo(feed, mods, code) {
  const held = [];
  for (const [mod, key] of [['ctrl', 'ControlLeft'], ['shift', 'ShiftLeft'], ['alt', 'AltLeft']]) {
    if (mods[mod]) {
      held.push(key);
      await feed.key(key, true, mods);
    }
  }
  await feed.tap(code, mods);
  for (const key of held.reverse()) await feed.key(key, false, {});
}

test('the last N combinations show as chips, named by the sheet when it knows them', async () => {
  const sheet = readJson(path.join(staged.data, 'shortcuts', 'clipstudio.json'));
  const { page, feed } = await staged.open('?history=3');
  await page.clock.install();
  await feed.state({ shortcuts: 'clipstudio', layout: 'us_tkl' });
  assert.equal(await page.evaluate(() => document.getElementById('history').hidden), false);

  await combo(feed, { ctrl: true, shift: true }, 'KeyS');
  await combo(feed, { ctrl: true }, 'KeyQ');                     // not in the sheet: keys only
  await feed.tap('KeyA');                                        // typing is not a shortcut
  await combo(feed, { shift: true }, 'KeyA');
  assert.deepEqual(await chips(page), ['Ctrl+Shift+S' + sheet['Ctrl+Shift+KeyS'], 'Ctrl+Q']);

  await combo(feed, { ctrl: true }, 'KeyS');
  await combo(feed, { ctrl: true }, 'KeyS');                     // a repeat counts on its chip
  assert.deepEqual(await chips(page), ['Ctrl+Shift+S' + sheet['Ctrl+Shift+KeyS'], 'Ctrl+Q', 'Ctrl+S' + sheet['Ctrl+KeyS'] + '×2']);
  const single = Object.keys(sheet).find((k) => /^Key[A-Z]$/.test(k));
  await feed.tap(single);                                        // a tool on one letter, as the sheet lists it
  assert.deepEqual((await chips(page)).length, 3, 'only the last three stay');
  assert.equal((await chips(page))[2], single.slice(3) + sheet[single]);

  // Chips fade once no longer pressed; a hidden overlay drops them.
  await page.clock.runFor(9000);
  assert.deepEqual(await chips(page), []);
  await combo(feed, { alt: true }, 'KeyX');
  assert.deepEqual(await chips(page), ['Alt+X']);
  await feed.state({ shortcuts: 'clipstudio', layout: 'us_tkl', hidden: true });
  assert.equal(await page.locator('#history .chip').count(), 0);
});

test('without ?history, or with a value that is not a count, there is no strip', async () => {
  for (const query of ['', '?history=two']) {
    const { page, feed } = await staged.open(query);
    await feed.state({ shortcuts: 'clipstudio' });
    await feed.key('ControlLeft', true, { ctrl: true });
    await feed.key('KeyZ', true, { ctrl: true });
    assert.equal(await page.locator('#history .chip').count(), 0, query);
    assert.equal(await page.evaluate(() => document.getElementById('history').hidden), true, query);
  }
});
