// Event intake, display modes, hiding and the shortcut toast.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { stagedOverlay, litCodes, readJson, envelopeJson, baseState, FROM } from './helpers.mjs';

const staged = stagedOverlay();

// What a viewer can see: overlay shown or not, which parts, what is lit, the text.
function snapshot(page) {
  return page.evaluate(() => {
    const overlay = document.getElementById('overlay');
    const shown = (id) => getComputedStyle(document.getElementById(id)).display !== 'none';
    return {
      visible: getComputedStyle(overlay).display !== 'none' && !overlay.classList.contains('hidden'),
      mode: overlay.dataset.mode,
      keyboard: shown('keyboard-block'),
      text: shown('textbox'),
      lit: Array.from(document.querySelectorAll('#keys .key.down')).map((e) => e.dataset.code),
      field: document.getElementById('text-content').textContent,
      skinClass: overlay.className,
    };
  });
}

test('malformed, foreign, old and repeated events change nothing and raise no error', async () => {
  const { page, errors, feed } = await staged.open();
  await feed.state({ mode: 'both' });
  await feed.key('KeyA', true);
  await feed.text({ text: 'ok', caret: 2 });
  const before = await snapshot(page);
  const seq = feed.seq;
  const key = (data) => ({ code: 'KeyB', down: true, t: 1, mods: {}, seq: seq + 1, ...data });
  const env = (over) => JSON.stringify(Object.assign(JSON.parse(envelopeJson('key', key({}), seq + 1)), over));
  const details = [
    null, 42, 'text', [], {}, { json: 5 }, { json: '' }, { json: '{' }, { json: 'null' }, { json: '[1,2]' },
    { json: '"string"' }, { json: env({ v: 2 }) }, { json: env({ v: '1' }) }, { json: env({ type: 'other.vendor' }) },
    { json: env({ kind: 'keys' }) }, { json: env({ from: '' }) }, { json: env({ from: 7 }) },
    { json: env({ seq: -1 }) }, { json: env({ seq: 1.5 }) }, { json: env({ seq: '9' }) }, { json: env({ data: null }) },
    { json: env({ data: [] }) }, { json: env({ data: key({ code: 5 }) }) }, { json: env({ data: key({ code: '' }) }) },
    { json: env({ data: key({ down: 'yes' }) }) },
    { json: env({ kind: 'text', data: { text: 'x'.repeat(70000) } }) },
    // A text frame with any member of the wrong type is not a frame: the field keeps its text.
    ...[{ text: 7 }, { text: null }, { caret: '1' }, { cursor: null }, { op: 1 }, { preedit: [] }, { committed: {} }, { text: undefined }]
      .map((bad) => ({ json: env({ kind: 'text', data: Object.assign({ op: 'type', preedit: '', committed: '', text: 'x', cursor: 0, caret: 1 }, bad) }) })),
    { json: env({ kind: 'state', data: 'hidden' }) },
    { json: envelopeJson('state', baseState({ hidden: true, mode: 'text' }), seq) },      // repeated number
    { json: envelopeJson('state', baseState({ hidden: true, mode: 'text' }), seq - 2) },  // older number
    { json: envelopeJson('key', key({ code: 'KeyA', down: false }), 1) },
  ];
  for (const d of details) await feed.detail(d);
  await page.evaluate(() => window.dispatchEvent(new Event('fernquarry.clackery')));
  assert.deepEqual(await snapshot(page), before);

  // The same sender goes on with its next number; a restarted one starts again from 1.
  await feed.dispatch(envelopeJson('key', key({ code: 'KeyC' }), seq + 1));
  assert.deepEqual(await litCodes(page), ['KeyA', 'KeyC']);
  await feed.dispatch(envelopeJson('state', baseState({ mode: 'text' }), 1, FROM.replace(/1$/, '2')));
  assert.equal((await snapshot(page)).mode, 'text');
  assert.deepEqual(errors, []);
});

test('a state older than the one shown, by its rev, is dropped; a restarted sender counts anew', async () => {
  const { page, feed } = await staged.open();
  await feed.state({ rev: 7, mode: 'text' });
  await feed.state({ rev: 6, mode: 'keyboard' });
  assert.equal((await snapshot(page)).mode, 'text');
  await feed.state({ rev: 7, mode: 'text', hidden: true }); // the periodic broadcast repeats its rev
  assert.equal((await snapshot(page)).visible, false);
  await feed.state({ rev: 8, mode: 'keyboard' });
  assert.equal((await snapshot(page)).mode, 'keyboard');
  feed.restart(FROM.replace(/1$/, '3'));
  await feed.state({ rev: 1, mode: 'both' });
  assert.equal((await snapshot(page)).mode, 'both');
});

test('a state member of the wrong type falls back instead of breaking the overlay', async () => {
  const { page, feed } = await staged.open();
  await feed.send('state', Object.assign(baseState(), {
    mode: 'sideways', layout: 'no such layout', skin: 42, textLines: 'many', soundFiles: 'all', speed: 'yes', hidden: false,
  }));
  const s = await snapshot(page);
  assert.equal(s.visible, true);
  assert.equal(s.mode, 'both');
  assert.ok(await page.locator('#keys .key').count() > 0, 'a keyboard is still drawn');
});

test('a page that starts late shows nothing until the next state, then everything', async () => {
  const { page, feed } = await staged.open();
  await feed.key('KeyQ', true);
  await feed.text({ text: 'late', caret: 4 });
  assert.equal((await snapshot(page)).visible, false);
  await feed.state({});
  const s = await snapshot(page);
  assert.equal(s.visible, true);
  assert.deepEqual(s.lit, ['KeyQ']);
  assert.equal(s.field, 'late');
});

test('"hidden" fades everything out and back in', async () => {
  const { page, feed } = await staged.open();
  await feed.state({ hidden: true });
  await page.waitForFunction(() => getComputedStyle(document.getElementById('overlay')).visibility === 'hidden');
  assert.equal(await page.locator('#keys .key').first().isVisible(), false);
  await feed.state({ hidden: false });
  await page.waitForFunction(() => getComputedStyle(document.getElementById('overlay')).opacity === '1');
  assert.equal(await page.locator('#keys .key').first().isVisible(), true);
});

test('modes show the keyboard, the text or both', async () => {
  const { page, feed } = await staged.open();
  await feed.text({ text: 'abc', caret: 3 });
  for (const [mode, keyboard, text] of [['keyboard', true, false], ['text', false, true], ['both', true, true]]) {
    await feed.state({ mode });
    const s = await snapshot(page);
    assert.deepEqual([s.keyboard, s.text], [keyboard, text], mode);
  }
});

// Presses a sheet's combination as the module reports it: modifiers first, then the key, or a
// held key and then the mouse (the sheets' mouse words, by MouseEvent.button or wheel sign).
const MOD_CODES = { Ctrl: ['ControlLeft', 'ctrl'], Shift: ['ShiftLeft', 'shift'], Alt: ['AltLeft', 'alt'], Win: ['MetaLeft', 'win'] };
const MOUSE_WORDS = { Click: 0, Drag: 0, MiddleClick: 1, MiddleDrag: 1, RightClick: 2, RightDrag: 2, BackButton: 3, ForwardButton: 4 };
const WHEEL_WORDS = { WheelUp: [0, -1], WheelDown: [0, 1], WheelLeft: [-1, 0], WheelRight: [1, 0] };
async function pressCombo(feed, combo) {
  const parts = combo.split('+');
  const mods = { ctrl: false, shift: false, alt: false, win: false };
  const held = [];
  for (const p of parts) {
    if (MOD_CODES[p]) {
      mods[MOD_CODES[p][1]] = true;
      await feed.key(MOD_CODES[p][0], true, { ...mods });
      held.push(MOD_CODES[p][0]);
    } else if (p in MOUSE_WORDS) {
      await feed.mouse(MOUSE_WORDS[p], true, { ...mods });
      await feed.mouse(MOUSE_WORDS[p], false, { ...mods });
    } else if (p in WHEEL_WORDS) {
      await feed.wheel(...WHEEL_WORDS[p], { ...mods });
    } else {
      await feed.key(p, true, { ...mods });
      held.push(p);
    }
  }
  for (const code of held.reverse()) await feed.key(code, false, {});
}

test('a combination listed in the chosen sheet shows its description', async () => {
  assert.ok(staged.sheets.includes('clipstudio'));
  const { page, feed } = await staged.open();
  const names = { clipstudio: 'クリップスタジオ', sai: 'SAI', photoshop: 'フォトショップ' };
  for (const sheet of staged.sheets) {
    const doc = readJson(path.join(staged.data, 'shortcuts', sheet + '.json'));
    await feed.state({ shortcuts: sheet, mouse: true });
    const entries = Object.entries(doc).filter(([, v]) => v.trim() !== '');
    const sample = entries.filter((_, i) => i % Math.max(1, Math.floor(entries.length / 5)) === 0).slice(0, 6);
    // Every sheet's mouse actions too: what the toast shows when the button or wheel moves.
    sample.push(...entries.filter(([combo]) => /(Click|Drag|Button|Wheel\w+)$/.test(combo)));
    for (const [combo, description] of sample) {
      await pressCombo(feed, combo);
      assert.equal(await page.locator('#toast.show .toast-text').textContent(), description, `${sheet} ${combo}`);
      assert.equal(await page.locator('#toast .toast-sheet').textContent(), names[sheet] || sheet);
    }
  }
  await feed.state({ shortcuts: 'none' });
  await page.waitForFunction(() => !document.getElementById('toast').classList.contains('show'));
  await pressCombo(feed, 'Ctrl+KeyZ');
  assert.equal(await page.locator('#toast.show').count(), 0, 'no sheet, no toast');
});

test('a combination the sheet does not list, or a masked key, shows nothing', async () => {
  const { page, feed } = await staged.open();
  await feed.state({ shortcuts: 'clipstudio' });
  const doc = readJson(path.join(staged.data, 'shortcuts', 'clipstudio.json'));
  assert.equal(doc['Ctrl+Shift+Alt+Win+F24'], undefined);
  await pressCombo(feed, 'Ctrl+Shift+Alt+Win+F24');
  await feed.key('*', true);
  assert.equal(await page.locator('#toast.show').count(), 0);
});

test('the toast leaves after a moment', async () => {
  const { page, feed } = await staged.open();
  await page.clock.install();
  await page.reload();
  await feed.state({ shortcuts: 'clipstudio' });
  const [combo] = Object.keys(readJson(path.join(staged.data, 'shortcuts', 'clipstudio.json')));
  await pressCombo(feed, combo);
  assert.equal(await page.locator('#toast.show').count(), 1);
  await page.clock.runFor(2500);
  assert.equal(await page.locator('#toast.show').count(), 0);
});

test('?bg=RRGGBB paints a solid background for a captured window; anything else stays transparent', async () => {
  for (const [query, expected] of [['?bg=00b140', 'rgb(0, 177, 64)'], ['?bg=green', 'rgba(0, 0, 0, 0)'], ['?bg=00b14', 'rgba(0, 0, 0, 0)'], ['', 'rgba(0, 0, 0, 0)']]) {
    const { page } = await staged.open(query);
    assert.equal(await page.evaluate(() => getComputedStyle(document.documentElement).backgroundColor), expected, query);
  }
});

test('in a smaller window the whole stage scales down to fit', async () => {
  const { page, feed } = await staged.open('', { viewport: { width: 960, height: 540 } });
  await feed.state({});
  const box = await page.evaluate(() => {
    const r = document.getElementById('plate').getBoundingClientRect();
    return { left: r.left, right: r.right, bottom: r.bottom };
  });
  assert.ok(box.left > 0 && box.right < 960 && box.bottom < 540, JSON.stringify(box));
});
