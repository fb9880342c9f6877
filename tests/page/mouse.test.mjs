// The mouse beside the keyboard: shown only with the state's "mouse", placed by the layout or
// beside the keys, each MouseEvent.button lighting its own part while held, one pulse per wheel
// notch in its direction, and mouse actions named by the sheets on the toast and the history.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { stagedOverlay } from './helpers.mjs';

const staged = stagedOverlay();

// Records every pulse the page starts on the wheel's arrow, as the direction the arrow is turned
// to (a ▲ turned 0, 90, 180 or 270 degrees), so that pulses can be told apart.
const COUNT_PULSES = () => {
  const animate = Element.prototype.animate;
  const ARROWS = { 0: '▲', 90: '▶', 180: '▼', 270: '◀' };
  window.pulses = [];
  Element.prototype.animate = function (frames, options) {
    if (this.classList.contains('wheel-arrow')) {
      const turn = /rotate\((\d+)deg\)/.exec(frames[0].transform);
      window.pulses.push(this.textContent === '▲' && turn ? ARROWS[turn[1]] : '?');
    }
    return animate.call(this, frames, options);
  };
};

const lit = (page) => page.evaluate(() => Array.from(document.querySelectorAll('#mouse .mbtn.down')).map((e) => e.className.split(' ')[1]));
const shown = (page) => page.evaluate(() => !document.getElementById('mouse').hidden);

test('the mouse shows only while the option is on, and its buttons light while held', async () => {
  const { page, feed } = await staged.open();
  await feed.state({ mouse: false });
  assert.equal(await shown(page), false);
  await feed.mouse(0, true);
  await feed.state({ mouse: true });
  assert.equal(await shown(page), true);
  assert.deepEqual(await lit(page), [], 'a press while the mouse was off is not drawn');

  // MouseEvent.button: 0 main (left), 1 auxiliary (the wheel), 2 secondary (right), 3 back, 4 forward.
  const parts = ['main', 'wheel', 'secondary', 'back', 'forward'];
  for (const [button, part] of parts.entries()) {
    await feed.mouse(button, true);
    assert.deepEqual(await lit(page), [part], `button ${button}`);
    await feed.mouse(button, false);
    assert.deepEqual(await lit(page), [], `button ${button} released`);
  }
  const place = await page.evaluate(() => {
    const m = document.getElementById('mouse').getBoundingClientRect();
    const left = m.left + m.width * 0.25;
    const right = m.left + m.width * 0.75;
    const at = (x, y) => { const el = document.elementFromPoint(x, y); return el && el.closest('.mbtn') ? el.closest('.mbtn').className : ''; };
    const keys = Array.from(document.querySelectorAll('#keys .key')).map((k) => k.getBoundingClientRect());
    return {
      leftOfMain: at(left, m.top + m.height * 0.3),
      rightOfMain: at(right, m.top + m.height * 0.3),
      rightOfKeys: keys.every((k) => k.right <= m.left),
      bottomAligned: Math.abs(Math.max(...keys.map((k) => k.bottom)) - m.bottom) < 8,
      insidePlate: (() => { const p = document.getElementById('plate').getBoundingClientRect(); return m.right <= p.right && m.bottom <= p.bottom; })(),
    };
  });
  assert.deepEqual(place, { leftOfMain: 'mbtn main', rightOfMain: 'mbtn secondary', rightOfKeys: true, bottomAligned: true, insidePlate: true });

  // Held across a pause (the module forgets held buttons) or a switch to off: nothing stays lit.
  await feed.mouse(2, true);
  await feed.state({ mouse: true, paused: true });
  assert.deepEqual(await lit(page), []);
  await feed.state({ mouse: true });
  await feed.mouse(4, true);
  await feed.state({ mouse: false });
  assert.equal(await shown(page), false);
  await feed.state({ mouse: true });
  assert.deepEqual(await lit(page), []);
  // Nonsense is dropped: no such button, two axes at once, a wheel without a direction.
  await feed.mouse(5, true);
  await feed.send('mouse', { button: '0', down: true, t: 1, mods: {} });
  await feed.send('wheel', { dx: 1, dy: 1, t: 1, mods: {} });
  await feed.send('wheel', { dx: 0, dy: 2, t: 1, mods: {} });
  assert.deepEqual(await lit(page), []);
});

test('a button held longer than a minute is dropped by the next state, a shorter hold is kept', async () => {
  const { page, feed } = await staged.open();
  await page.clock.install();
  await page.reload();
  await feed.state({ mouse: true });
  await feed.mouse(0, true);
  await page.clock.fastForward(50_000);
  await feed.mouse(2, true);
  await page.clock.fastForward(15_000);
  await feed.state({ mouse: true });
  assert.deepEqual(await lit(page), ['secondary']);
});

test('each wheel notch pulses once, showing its direction', async () => {
  const { page, feed } = await staged.open('', { init: COUNT_PULSES });
  await feed.state({ mouse: true });
  for (const [dx, dy] of [[0, -1], [0, -1], [0, -1], [0, 1], [-1, 0], [1, 0]]) await feed.wheel(dx, dy);
  await feed.send('wheel', { dx: 1, dy: 1, t: 1, mods: {} });
  assert.deepEqual(await page.evaluate(() => window.pulses), ['▲', '▲', '▲', '▼', '◀', '▶']);
  // The pulse is over in a moment and leaves the wheel as it was.
  await page.waitForFunction(() => document.querySelector('#mouse .wheel-flash').getAnimations().length === 0);
  assert.equal(await page.evaluate(() => getComputedStyle(document.querySelector('#mouse .wheel-flash')).opacity), '0');
  await feed.state({ mouse: false });
  await feed.wheel(0, 1);
  assert.equal((await page.evaluate(() => window.pulses)).length, 6, 'no pulse while the mouse is off');
});

test('a layout may place the mouse; without a usable place it goes beside the keys', async () => {
  const { page } = await staged.open();
  const places = await page.evaluate(() => {
    const rows = [{ keys: [{ code: 'KeyA', x: 0, y: 0 }, { code: 'KeyB', x: 5, y: 2 }] }];
    const read = (mouse) => {
      const layout = Clackery.layout.readLayout({ rows, mouse });
      return [Clackery.mouse.placement(layout), Clackery.mouse.extent(layout, true)];
    };
    return [read({ x: 1, y: 3.5, w: 2, h: 3 }), read({ x: 7, y: 0 }), read(undefined), read({ x: 'left', y: 0 }), read({ x: 1, y: -2 })];
  });
  assert.deepEqual(places[0], [{ x: 1, y: 3.5, w: 2, h: 3 }, { width: 6, height: 6.5 }], 'below the keys, as the layout says');
  assert.deepEqual(places[1], [{ x: 7, y: 0, w: 2.6, h: 4 }, { width: 9.6, height: 4 }], 'the size has a default');
  // Beside the keys, its foot on their bottom row and no taller than they are.
  for (const p of places.slice(2)) assert.deepEqual(p, [{ x: 6.5, y: 0, w: 2.6, h: 3 }, { width: 9.1, height: 3 }]);
});

test('the sheets name mouse actions: Alt + click, a held key + drag, and wheel notches counted', async () => {
  const { page, feed } = await staged.open('?history=5');
  const toast = () => page.evaluate(() => {
    const el = document.getElementById('toast');
    return el.classList.contains('show') ? Array.from(el.children).map((c) => c.textContent).join(' ') : '';
  });
  const chips = () => page.evaluate(() => Array.from(document.querySelectorAll('#history .chip')).map((c) => Array.from(c.children).map((p) => p.textContent).filter(Boolean).join(' ')));
  await feed.state({ mouse: true, shortcuts: 'clipstudio' });
  await feed.key('AltLeft', true, { alt: true });
  await feed.mouse(0, true, { alt: true });
  assert.equal(await toast(), 'クリップスタジオ Alt+クリック スポイト');
  await feed.mouse(0, false, { alt: true });
  await feed.key('AltLeft', false);
  // Space held for the hand tool, then the button: the sheet's Space + drag.
  await feed.key('Space', true);
  await feed.mouse(0, true);
  assert.equal(await toast(), 'クリップスタジオ Space+ドラッグ 手のひら');
  await feed.mouse(0, false);
  await feed.key('Space', false);
  // A click with nothing held is no shortcut; a right click the sheet does not name neither.
  await feed.mouse(0, true);
  await feed.mouse(2, true);
  await feed.mouse(2, false);
  await feed.mouse(0, false);

  await feed.state({ mouse: true, shortcuts: 'photoshop' });
  await feed.key('ControlLeft', true, { ctrl: true });
  for (let i = 0; i < 3; i++) await feed.wheel(0, -1, { ctrl: true });
  assert.equal(await toast(), 'フォトショップ Ctrl+ホイール↑ ×3 左右にスクロール');
  await feed.wheel(0, 1, { ctrl: true });
  assert.equal(await toast(), 'フォトショップ Ctrl+ホイール↓ 左右にスクロール', 'the other way starts a new count');
  await feed.key('ControlLeft', false);
  assert.deepEqual(await chips(), [
    'Alt + クリック スポイト',
    'Space 手のひら（押している間）', // the key itself, as the sheet names it
    'Space + ドラッグ 手のひら',
    'Ctrl + ホイール↑ ×3 左右にスクロール',
    'Ctrl + ホイール↓ 左右にスクロール',
  ]);
  for (let i = 0; i < 2; i++) {
    await feed.mouse(0, true, { ctrl: true, shift: true, alt: true });
    await feed.mouse(0, false, { ctrl: true, shift: true, alt: true });
  }
  assert.equal((await chips()).at(-1), 'Ctrl + Shift + Alt + クリック ×2', 'unnamed, but with Ctrl or Alt held it is kept');
});
