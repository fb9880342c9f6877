// The text field: caret and composition at UTF-16 positions, lines, sizes, colours, direction.
import { test, before } from 'node:test';
import assert from 'node:assert/strict';
import { stagedOverlay } from './helpers.mjs';

const staged = stagedOverlay();

// One page serves the whole file: each test sets the text it reads back.
let page;
let feed;
before(async () => {
  ({ page, feed } = await staged.open());
  await feed.state({});
});

// The field as lines of logical runs: plain text, "|" for the caret, [..] around the preedit.
function readField() {
  return page.evaluate(() => {
    const walk = (node) => {
      if (node.nodeType === Node.TEXT_NODE) return node.data;
      if (node.classList.contains('caret')) return '|';
      const inner = Array.from(node.childNodes).map(walk).join('');
      return node.classList.contains('preedit') ? '[' + inner + ']' : inner;
    };
    return Array.from(document.querySelectorAll('#text-content .line')).map(walk);
  });
}

test('the caret sits at its UTF-16 position, after an emoji counted as two units', async () => {
  const cases = [
    [{ text: 'a😀b', caret: 3 }, ['a😀|b']],
    [{ text: 'a😀b', caret: 1 }, ['a|😀b']],
    [{ text: 'a😀b', caret: 2 }, ['a|😀b']], // inside the pair: before it, never half an emoji
    [{ text: 'a😀b', caret: 99 }, ['a😀b|']],
    [{ text: 'a😀b', caret: -4 }, ['|a😀b']],
    [{ text: '一行目\n二行目', caret: 5 }, ['一行目', '二|行目']],
    [{ text: 'x\n', caret: 2 }, ['x', '|']],
  ];
  for (const [frame, lines] of cases) {
    await feed.state({ textDirection: 'up' });
    await feed.text(frame);
    assert.deepEqual(await readField(), lines, JSON.stringify(frame));
  }
});

test('the preedit shows underlined at the caret with its composition cursor', async () => {
  await feed.state({ textDirection: 'up' });
  await feed.text({ op: 'preedit', text: '🎨ab', caret: 3, preedit: '😀にほ', cursor: 3 });
  assert.deepEqual(await readField(), ['🎨a[😀に|ほ]b']);
  await feed.text({ op: 'preedit', text: '🎨ab', caret: 3, preedit: '😀にほ', cursor: 1 });
  assert.deepEqual(await readField(), ['🎨a[|😀にほ]b'], 'a cursor inside the emoji moves before it');
  const deco = await page.evaluate(() => getComputedStyle(document.querySelector('.preedit')).textDecorationLine);
  assert.equal(deco, 'underline');
  await feed.text({ op: 'preedit', text: '', caret: 0, preedit: 'かな', cursor: 7 });
  assert.deepEqual(await readField(), ['[かな|]']);
  await feed.text({ op: 'commit', text: '仮名', caret: 2, committed: '仮名', preedit: '', cursor: 0 });
  assert.deepEqual(await readField(), ['仮名|']);
  assert.equal(await page.locator('#text-content .fresh').textContent(), '仮名');
});

test('right-to-left lines run right to left, each line by its own script', async () => {
  await feed.state({ textDirection: 'up' });
  await feed.text({ text: 'مرحبا بالعالم\nこんにちは', caret: 5 });
  const dirs = await page.evaluate(() => Array.from(document.querySelectorAll('#text-content .line')).map((l) => getComputedStyle(l).direction));
  assert.deepEqual(dirs, ['rtl', 'ltr']);
  assert.deepEqual(await readField(), ['مرحبا| بالعالم', 'こんにちは']);
});

test('"up" puts new lines at the bottom, "down" at the top, "skin" follows the skin', async () => {
  const frame = { text: 'one\ntwo\nthree', caret: 13 };
  await feed.state({ textDirection: 'up' });
  await feed.text(frame);
  assert.deepEqual(await readField(), ['one', 'two', 'three|']);
  await feed.state({ textDirection: 'down' });
  assert.deepEqual(await readField(), ['three|', 'two', 'one']);
  await feed.state({ textDirection: 'skin', skin: 'ice_glass' }); // the ice skin writes downwards
  assert.deepEqual(await readField(), ['three|', 'two', 'one']);
  await feed.state({ textDirection: 'skin', skin: 'default' });
  assert.deepEqual(await readField(), ['one', 'two', 'three|']);
});

test('the newest line stays in view however long the text grows', async () => {
  const text = Array.from({ length: 30 }, (_, i) => 'line ' + i).join('\n');
  for (const textDirection of ['up', 'down']) {
    await feed.state({ textDirection, textLines: 2 });
    await feed.text({ text, caret: text.length });
    // The scroll eases in: wait until the caret's line is inside the field (fails on time-out).
    await page.waitForFunction(() => {
      const box = document.getElementById('textbox').getBoundingClientRect();
      const caret = document.querySelector('#text-content .caret').getBoundingClientRect();
      return caret.top >= box.top && caret.bottom <= box.bottom;
    }, null, { timeout: 5000 });
  }
});

test('lines, size and width follow the state, and the skin decides for 0', async () => {
  const measure = () => page.evaluate(() => {
    const box = document.getElementById('textbox');
    return {
      fontSize: parseFloat(getComputedStyle(box).fontSize),
      height: box.getBoundingClientRect().height,
      width: box.getBoundingClientRect().width,
      plate: document.getElementById('plate').getBoundingClientRect().width,
    };
  });
  await feed.text({ text: 'abc', caret: 3 });
  await feed.state({ skin: 'default', textLines: 0, textFontSize: 0, textWidth: 0 });
  const own = await measure();
  assert.equal(own.fontSize, 32); // the default skin's own size
  assert.ok(Math.abs(own.width - own.plate) < 4, 'the default skin is as wide as the keyboard');

  await feed.state({ skin: 'default', textLines: 4, textFontSize: 20, textWidth: 60 });
  const set = await measure();
  assert.equal(set.fontSize, 20);
  assert.ok(Math.abs(set.width - set.plate * 0.6) < 4, `width ${set.width} of ${set.plate}`);
  assert.ok(Math.abs(set.height - 20 * (4 * 1.4 + 0.9)) < 1.5, `height ${set.height}`);

  // Twenty lines of 96 px cannot fit above the keyboard: the size gives way, the lines stay.
  await feed.state({ skin: 'default', textLines: 20, textFontSize: 96, textWidth: 150 });
  const big = await measure();
  assert.ok(big.fontSize < 96);
  const fits = await page.evaluate(() => {
    const r = document.getElementById('textbox').getBoundingClientRect();
    return r.top >= 0 && r.left >= 0 && r.right <= 1920 && r.bottom <= 1080;
  });
  assert.ok(fits, 'the field stays on screen');
});

test('text colour choice applies to the crystal skins only', async () => {
  const colour = () => page.evaluate(() => getComputedStyle(document.getElementById('textbox')).color);
  await feed.text({ text: 'abc', caret: 3 });
  await feed.state({ skin: 'cute_strawberry_milk', textColor: 'white' });
  const white = await colour();
  await feed.state({ skin: 'cute_strawberry_milk', textColor: 'dark' });
  const dark = await colour();
  assert.equal(white, 'rgb(255, 255, 255)');
  assert.notEqual(dark, white);
  for (const skin of ['navy_gold', 'porcelain', 'ice_glass', 'default']) {
    await feed.state({ skin, textColor: 'white' });
    const a = await colour();
    await feed.state({ skin, textColor: 'dark' });
    assert.equal(await colour(), a, skin);
  }
});

test('a chosen font comes first, the skin font otherwise', async () => {
  const family = () => page.evaluate(() => getComputedStyle(document.getElementById('textbox')).fontFamily);
  await feed.state({ textFont: 'Noto Serif CJK JP' });
  assert.match(await family(), /^"Noto Serif CJK JP", /);
  await feed.state({ textFont: '' });
  assert.match(await family(), /^"Yu Gothic UI"/);
});

test('an empty field fades away instead of showing an empty box', async () => {
  await feed.state({});
  await feed.text({ op: 'clear', text: '', caret: 0 });
  assert.ok(await page.locator('#textbox.empty').count());
  await feed.text({ op: 'preedit', text: '', caret: 0, preedit: 'あ', cursor: 1 });
  assert.equal(await page.locator('#textbox.empty').count(), 0);
});

test('the periodic state does not redraw the field or replay the commit flash', async () => {
  await feed.state({ textDirection: 'up' });
  await feed.text({ op: 'commit', text: '漢字', caret: 2, committed: '漢字' });
  await page.evaluate(() => { document.querySelector('#text-content .fresh').dataset.mark = 'first'; });
  await feed.state({ textDirection: 'up' });
  assert.equal(await page.locator('#text-content .fresh[data-mark="first"]').count(), 1);
  await feed.state({ textDirection: 'down' });
  assert.equal(await page.locator('#text-content .fresh').count(), 0, 'a redraw shows the commit without flashing it again');
  assert.deepEqual(await readField(), ['漢字|']);
});

test('every visible line is whole, in every skin, line count, size, direction and caret place', async () => {
  const long = 'とても長い一行は折り返されて何行にもなります。'.repeat(6);
  const text = Array.from({ length: 24 }, (_, i) => (i === 9 ? long : i === 13 ? 'مرحبا بالعالم ' + i : i === 17 ? '' : `行 ${i} line 😀 かな`)).join('\n');
  // Parts of lines shown: a run of text or the caret whose box is partly inside the clipping of
  // its ancestors. A run mostly hidden is not shown; a font's box a pixel taller than its line is not cut.
  const cutRuns = () => page.evaluate(() => {
    const clipOf = (node) => {
      let top = -Infinity;
      let bottom = Infinity;
      for (let el = node.parentElement; el && el.id !== 'stage'; el = el.parentElement) {
        if (getComputedStyle(el).overflowY === 'visible') continue;
        const r = el.getBoundingClientRect();
        top = Math.max(top, r.top + el.clientTop);
        bottom = Math.min(bottom, r.top + el.clientTop + el.clientHeight);
      }
      return [top, bottom];
    };
    const boxes = [];
    const walker = document.createTreeWalker(document.getElementById('text-content'), NodeFilter.SHOW_TEXT);
    for (let n = walker.nextNode(); n; n = walker.nextNode()) {
      const range = document.createRange();
      range.selectNodeContents(n);
      for (const r of range.getClientRects()) boxes.push([r, n, n.data.slice(0, 12)]);
    }
    for (const c of document.querySelectorAll('#text-content .caret')) boxes.push([c.getBoundingClientRect(), c, 'caret']);
    const cut = [];
    let shown = 0;
    for (const [r, node, what] of boxes) {
      if (r.height <= 0) continue;
      const [top, bottom] = clipOf(node);
      const seen = Math.min(r.bottom, bottom) - Math.max(r.top, top);
      if (seen > 0.25 * r.height) shown += 1;
      if (seen > 0.25 * r.height && r.height - seen > 1 + 0.05 * r.height) cut.push(`${what} ${Math.round(r.top)}..${Math.round(r.bottom)} in ${Math.round(top)}..${Math.round(bottom)}`);
    }
    return { cut, shown };
  });
  const skins = staged.skins;
  assert.equal(skins.length, 16);
  for (const skin of skins) {
    for (const [textLines, textFontSize] of [[0, 0], [1, 47], [4, 13], [7, 29]]) {
      for (const textDirection of ['up', 'down']) {
        await feed.state({ skin, textLines, textFontSize, textDirection, textScroll: false });
        for (const caret of [text.length, text.indexOf('line 😀', 30), 3]) {
          await feed.text({ text, caret });
          const { cut, shown } = await cutRuns();
          const where = `${skin} lines ${textLines} size ${textFontSize} ${textDirection} caret ${caret}`;
          assert.ok(shown > 0, `${where}: something shows`);
          assert.deepEqual(cut, [], where);
          if (caret === text.length) {
            // The newest line, where the caret is, sits at the field's own edge: "up" at the
            // bottom, "down" at the top; no empty line beyond it.
            const gap = await page.evaluate((direction) => {
              const view = document.getElementById('text-content').parentElement.getBoundingClientRect();
              const caretBox = document.querySelector('#text-content .caret').getBoundingClientRect();
              const lineH = parseFloat(getComputedStyle(document.getElementById('textbox')).lineHeight);
              return direction === 'up' ? (view.bottom - caretBox.bottom) / lineH : (caretBox.top - view.top) / lineH;
            }, textDirection);
            assert.ok(gap >= -0.1 && gap < 0.6, `${where}: the caret's line is at the edge (${gap.toFixed(2)} lines away)`);
          }
        }
      }
    }
  }
});
