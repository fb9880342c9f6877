// Keys light while held, on every layout present, and stale keys do not stay lit.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { stagedOverlay, litCodes, readJson, baseState } from './helpers.mjs';

const staged = stagedOverlay();

function layoutCodes(id) {
  const doc = readJson(path.join(staged.data, 'layouts', id + '.json'));
  return Array.from(new Set(doc.rows.flatMap((r) => r.keys).map((k) => k.code).filter((c) => typeof c === 'string' && c !== '')));
}

// Presses and releases every code in the page itself (hundreds of keys stay fast) with real
// envelopes, recording what is lit after each step.
function pressEach(page, feed, codes) {
  return page.evaluate(({ codes, seq, from }) => {
    const send = (code, down) => {
      seq += 1;
      const data = { code, down, t: 1, mods: { ctrl: false, shift: false, alt: false, win: false }, seq };
      window.dispatchEvent(new CustomEvent('fernquarry.clackery', { detail: { json: JSON.stringify(
        { type: 'fernquarry.clackery', v: 1, kind: 'key', from, role: 'plugin', seq, at: 1, data }) } }));
    };
    const lit = () => Array.from(document.querySelectorAll('#keys .key.down')).map((e) => e.dataset.code);
    const wrong = [];
    for (const code of codes) {
      send(code, true);
      const on = lit();
      if (on.length !== 1 || on[0] !== code) wrong.push({ code, on });
      send(code, false);
      if (lit().length !== 0) wrong.push({ code, off: lit() });
    }
    return { wrong, seq };
  }, { codes, seq: feed.seq, from: feed.from });
}

test('every key of every layout lights alone while held and goes dark on release', async () => {
  assert.ok(staged.layouts.length >= 2, 'the staged data holds at least two layouts');
  const { page, feed } = await staged.open();
  for (const layout of staged.layouts) {
    await feed.state({ layout });
    const codes = layoutCodes(layout);
    const drawn = await page.evaluate(() => Array.from(document.querySelectorAll('#keys .key')).map((e) => e.dataset.code));
    assert.deepEqual(drawn.slice().sort(), codes.slice().sort(), `layout ${layout} draws every key once`);
    const result = await pressEach(page, feed, codes);
    feed.skipTo(result.seq);
    assert.deepEqual(result.wrong, [], `layout ${layout}`);
  }
});

test('keys not on the layout and masked keys light nothing but count for the speed', async () => {
  const { page, feed } = await staged.open();
  await feed.state({ layout: 'test_mini' });
  await feed.key('F13', true);
  await feed.key('*', true);
  await feed.key('*', false);
  await feed.key('*', true);
  assert.deepEqual(await litCodes(page), []);
  await page.waitForFunction(() => document.getElementById('speed-value').textContent === String(3 * 12));
});

test('a new state clears held keys that the module can no longer be holding', async (t) => {
  const { page, feed } = await staged.open();
  const cases = [
    ['a state that says paused', { paused: true }],
    ['a resume after a pause', null],
    ['a layout change', { layout: 'test_mini' }],
    ['the mask turned on', { mask: true }],
  ];
  for (const [name, next] of cases) {
    await t.test(name, async () => {
      await feed.state({ layout: 'jis_tkl' });
      await feed.key('KeyQ', true);
      await feed.key('ShiftLeft', true, { shift: true });
      assert.deepEqual(await litCodes(page), ['KeyQ', 'ShiftLeft']);
      if (next) {
        await feed.state(next);
      } else {
        await feed.send('state', baseState({ paused: true }));
        await feed.key('KeyW', true);
        await feed.state({ paused: false });
      }
      assert.deepEqual(await litCodes(page), []);
      assert.equal(await page.locator('#mods .mod.on').count(), 0);
      await feed.key('KeyQ', false);
      await feed.key('ShiftLeft', false);
      await feed.key('KeyW', false);
    });
  }
  await t.test('the periodic state of an unchanged module keeps held keys lit', async () => {
    await feed.state({ layout: 'jis_tkl' });
    await feed.key('KeyQ', true);
    await feed.state({ layout: 'jis_tkl' });
    await feed.state({ layout: 'jis_tkl', skin: 'porcelain' });
    assert.deepEqual(await litCodes(page), ['KeyQ']);
    await feed.key('KeyQ', false);
  });
  await t.test('events from a restarted module drop what the old one held', async () => {
    await feed.key('KeyE', true);
    feed.restart('clackery-plugin-00000000-0000-4000-8000-0000000000ff');
    await feed.key('KeyR', true);
    assert.deepEqual(await litCodes(page), ['KeyR']);
    await feed.key('KeyR', false);
  });
  await t.test('a modifier the module reports as up is released even if its release was lost', async () => {
    await feed.key('ShiftLeft', true, { shift: true });
    await feed.key('ControlLeft', true, { shift: true, ctrl: true });
    await feed.key('KeyA', true, { ctrl: true });
    assert.deepEqual(await litCodes(page), ['ControlLeft', 'KeyA']);
    await feed.key('KeyA', false, { ctrl: true });
    await feed.key('ControlLeft', false);
  });
});

test('a key held longer than a minute is dropped by the next state, a shorter hold is kept', async () => {
  const { page, feed } = await staged.open();
  await page.clock.install();
  await page.reload();
  await feed.state({});
  await feed.key('KeyA', true);
  await page.clock.fastForward(50_000);
  await feed.key('KeyS', true);
  await page.clock.fastForward(15_000);
  await feed.state({});
  assert.deepEqual(await litCodes(page), ['KeyS']);
});

test('modifier keys show as held, in their own colour and as chips, in every skin', async () => {
  const { page, feed } = await staged.open();
  const look = (code) => page.evaluate((c) => {
    const style = getComputedStyle(document.querySelector(`.key[data-code="${c}"] .cap`));
    return style.backgroundColor + ' ' + style.backgroundImage;
  }, code);
  for (const skin of staged.skins) {
    await feed.state({ skin });
    const idle = await look('KeyA');
    await feed.key('ControlLeft', true, { ctrl: true });
    await feed.key('AltRight', true, { ctrl: true, alt: true });
    await feed.key('KeyA', true, { ctrl: true, alt: true });
    const chips = await page.evaluate(() => Array.from(document.querySelectorAll('#mods .mod.on')).map((e) => e.textContent));
    assert.deepEqual(chips, ['Ctrl', 'Alt']);
    const mod = await look('ControlLeft');
    const letter = await look('KeyA');
    assert.notEqual(letter, idle, `${skin}: a held key looks held`);
    assert.notEqual(mod, letter, `${skin}: a held modifier differs from a held letter`);
    await feed.key('KeyA', false, { ctrl: true, alt: true });
    await feed.key('AltRight', false, { ctrl: true });
    await feed.key('ControlLeft', false);
    assert.equal(await page.locator('#mods .mod.on').count(), 0);
  }
});

test('kana legends show only when asked for, on keys that have them', async () => {
  const { page, feed } = await staged.open();
  const doc = readJson(path.join(staged.data, 'layouts', 'jis_tkl.json'));
  const withKana = doc.rows.flatMap((r) => r.keys).filter((k) => typeof k.kana === 'string' && k.kana !== '');
  await feed.state({ kana: false });
  assert.equal(await page.locator('.legend.kana').count(), 0);
  await feed.state({ kana: true });
  assert.equal(await page.locator('.legend.kana').count(), withKana.length);
  const sample = withKana[0];
  assert.equal(await page.locator(`.key[data-code="${sample.code}"] .legend.kana`).textContent(), sample.kana);
  await feed.state({ kana: true, layout: 'test_mini' });
  assert.equal(await page.locator('.legend.kana').count(), 0);
});

test('speed counts presses over a sliding window and hides when switched off', async () => {
  const { page, feed } = await staged.open();
  await page.clock.install();
  await page.reload();
  await feed.state({ speed: true });
  for (let i = 0; i < 10; i++) await feed.tap('KeyJ');
  await page.clock.runFor(300);
  assert.equal(await page.locator('#speed-value').textContent(), '120');
  assert.ok(await page.locator('#speed').isVisible());
  await page.clock.runFor(6000);
  assert.equal(await page.locator('#speed-value').textContent(), '0');
  await feed.state({ speed: false });
  assert.ok(!(await page.locator('#speed').isVisible()));
});

test('the heat map tints keys by how often they were pressed', async () => {
  const { page, feed } = await staged.open();
  await feed.state({ heatmap: true });
  for (let i = 0; i < 4; i++) await feed.tap('KeyA');
  await feed.tap('KeyS');
  const heat = () => page.evaluate(() => {
    const level = (code) => parseFloat(getComputedStyle(document.querySelector(`.key[data-code="${code}"] .heat`)).opacity);
    return { a: level('KeyA'), s: level('KeyS'), d: level('KeyD') };
  });
  await page.waitForFunction(() => getComputedStyle(document.querySelector('.key[data-code="KeyA"] .heat')).opacity > 0.6);
  const on = await heat();
  assert.ok(on.a > on.s && on.s > 0 && on.d === 0, JSON.stringify(on));
  await feed.state({ heatmap: false });
  await page.waitForFunction(() => getComputedStyle(document.querySelector('.key[data-code="KeyA"] .heat')).opacity === '0');
});

// The main block of the two physical standards, row by row from the number row down, in key
// units: [code, width]. JIS 109 (JIS X 6002 arrangement) and ANSI 104, written from the keyboards,
// not from our layout files. 'Enter' on JIS spans two rows: 1.5 wide above, 1.25 below.
const U = (codes) => codes.split(' ').map((c) => [c, 1]);
const JIS_109 = [
  [['Backquote', 1], ...U('Digit1 Digit2 Digit3 Digit4 Digit5 Digit6 Digit7 Digit8 Digit9 Digit0 Minus Equal IntlYen'), ['Backspace', 1]],
  [['Tab', 1.5], ...U('KeyQ KeyW KeyE KeyR KeyT KeyY KeyU KeyI KeyO KeyP BracketLeft BracketRight'), ['Enter', 1.5]],
  [['CapsLock', 1.75], ...U('KeyA KeyS KeyD KeyF KeyG KeyH KeyJ KeyK KeyL Semicolon Quote Backslash'), ['Enter', 1.25]],
  [['ShiftLeft', 2.25], ...U('KeyZ KeyX KeyC KeyV KeyB KeyN KeyM Comma Period Slash IntlRo'), ['ShiftRight', 1.75]],
  [['ControlLeft', 1.25], ['MetaLeft', 1.25], ['AltLeft', 1.25], ['NonConvert', 1.25], ['Space', 2.5], ['Convert', 1.25],
    ['KanaMode', 1.25], ['AltRight', 1.25], ['MetaRight', 1.25], ['ContextMenu', 1.25], ['ControlRight', 1.25]],
];
const ANSI_104 = [
  [['Backquote', 1], ...U('Digit1 Digit2 Digit3 Digit4 Digit5 Digit6 Digit7 Digit8 Digit9 Digit0 Minus Equal'), ['Backspace', 2]],
  [['Tab', 1.5], ...U('KeyQ KeyW KeyE KeyR KeyT KeyY KeyU KeyI KeyO KeyP BracketLeft BracketRight'), ['Backslash', 1.5]],
  [['CapsLock', 1.75], ...U('KeyA KeyS KeyD KeyF KeyG KeyH KeyJ KeyK KeyL Semicolon Quote'), ['Enter', 2.25]],
  [['ShiftLeft', 2.25], ...U('KeyZ KeyX KeyC KeyV KeyB KeyN KeyM Comma Period Slash'), ['ShiftRight', 2.75]],
  [['ControlLeft', 1.25], ['MetaLeft', 1.25], ['AltLeft', 1.25], ['Space', 6.25], ['AltRight', 1.25], ['MetaRight', 1.25],
    ['ContextMenu', 1.25], ['ControlRight', 1.25]],
];

test('the main block is drawn as the physical keyboard is: JIS 109 on JIS layouts, ANSI on US', async () => {
  const { page, feed } = await staged.open();
  for (const [layout, table] of [['jis_tkl', JIS_109], ['jis_full', JIS_109], ['us_tkl', ANSI_104], ['us_full', ANSI_104]]) {
    await feed.state({ layout, skin: 'default' });
    // Which key is drawn at the middle of every place of the table, and in the notch of JIS Enter.
    const probes = [];
    table.forEach((row, r) => {
      let x = 0;
      for (const [code, w] of row) {
        probes.push({ code, ux: x + w / 2, uy: r + 0.5 });
        x += w;
      }
    });
    if (table === JIS_109) probes.push({ code: 'Backslash', ux: 13.62, uy: 2.5 });
    const found = await page.evaluate((probes) => {
      const at = (el) => el.getBoundingClientRect();
      const origin = at(document.querySelector('.key[data-code="Backquote"]'));
      const pitch = at(document.querySelector('.key[data-code="Digit1"]')).left - origin.left;
      const gap = pitch - origin.width;
      return probes.map((p) => {
        const el = document.elementFromPoint(origin.left - gap / 2 + p.ux * pitch, origin.top - gap / 2 + p.uy * pitch);
        const key = el && el.closest('.key');
        return key ? key.dataset.code : null;
      });
    }, probes);
    const wrong = probes.filter((p, i) => found[i] !== p.code).map((p, i) => `${p.code} at ${p.ux},${p.uy}: ${found[probes.indexOf(p)]}`);
    assert.deepEqual(wrong, [], layout);
    // Each key is as wide as the table says: a right edge a gap short of the next place.
    const widths = await page.evaluate(() => {
      const pitch = document.querySelector('.key[data-code="Digit1"]').getBoundingClientRect().left -
        document.querySelector('.key[data-code="Backquote"]').getBoundingClientRect().left;
      const one = document.querySelector('.key[data-code="KeyQ"]').getBoundingClientRect().width;
      return { pitch, gap: pitch - one, caps: document.querySelector('.key[data-code="CapsLock"]').getBoundingClientRect().width };
    });
    assert.ok(Math.abs(widths.caps + widths.gap - 1.75 * widths.pitch) < 1, `${layout}: caps lock is 1.75 keys`);
  }
});

test('kana legends are at least 12 px on a 1080p stage, on both JIS layouts and in every skin', async () => {
  const { page, feed } = await staged.open();
  for (const layout of ['jis_tkl', 'jis_full']) {
    for (const skin of staged.skins) {
      await feed.state({ layout, skin, kana: true });
      // Pixels on the 1080p stream: the CSS size times the stage's scale (1 in a 1920x1080 source).
      const sizes = await page.evaluate(() => {
        const scale = document.getElementById('stage').getBoundingClientRect().width / 1920;
        return Array.from(document.querySelectorAll('.legend.kana')).map((e) => parseFloat(getComputedStyle(e).fontSize) * scale);
      });
      assert.ok(sizes.length > 40, `${layout} ${skin} shows kana`);
      assert.ok(Math.min(...sizes) >= 12, `${layout} ${skin}: smallest kana ${Math.min(...sizes).toFixed(1)} px`);
    }
  }
});
