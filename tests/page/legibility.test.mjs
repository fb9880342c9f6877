// Legible on stream: every legend and text of every skin stands out from what is behind it by
// the WCAG contrast ratio of at least 4.5:1, computed here from the colours the browser resolved,
// whatever the scene behind the transparent overlay (white and black both); and no two skins
// look alike.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { stagedOverlay } from './helpers.mjs';

const staged = stagedOverlay();

// Runs in the page. For each visible text, the lowest contrast ratio between its colour and any
// colour that can be behind it: the scene (white or black), then every background below it from
// the stage up (each gradient stop, each stacked image; a gloss drawn over the key where it
// meets the legend), composited in order. Opacity on the way from the text to its background
// fades the text. Text shadows are not counted: the text must stand on its own.
function auditContrast(selectors) {
  const parseColors = (s) => (s.match(/rgba?\([^)]*\)/g) || []).map((c) => {
    const n = c.match(/-?[\d.]+/g).map(Number);
    return [n[0], n[1], n[2], n.length > 3 ? n[3] : 1];
  });
  const splitTop = (s) => {
    const out = [];
    let depth = 0;
    let start = 0;
    for (let i = 0; i < s.length; i++) {
      if (s[i] === '(') depth++;
      else if (s[i] === ')') depth--;
      else if (s[i] === ',' && depth === 0) { out.push(s.slice(start, i)); start = i + 1; }
    }
    out.push(s.slice(start));
    return out.map((x) => x.trim()).filter((x) => x && x !== 'none');
  };
  const over = (top, bottom) => {
    const a = top[3] + bottom[3] * (1 - top[3]);
    if (a === 0) return [0, 0, 0, 0];
    return [0, 1, 2].map((i) => (top[i] * top[3] + bottom[i] * bottom[3] * (1 - top[3])) / a).concat([a]);
  };
  // Every colour a layer can show: its images (top first) over its background colour, faded by
  // the box's own opacity.
  const layerColors = (cs) => {
    let colors = [parseColors(cs.backgroundColor)[0] || [0, 0, 0, 0]];
    for (const image of splitTop(cs.backgroundImage).reverse()) {
      const stops = parseColors(image);
      if (!stops.length) continue;
      const next = [];
      for (const s of stops) for (const c of colors) next.push(over(s, c));
      colors = next;
    }
    const o = parseFloat(cs.opacity);
    colors = colors.map((c) => [c[0], c[1], c[2], c[3] * o]);
    return colors.some((c) => c[3] > 0) ? colors : null;
  };
  const lum = ([r, g, b]) => {
    const f = (v) => {
      const c = v / 255;
      return c <= 0.04045 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * f(r) + 0.7152 * f(g) + 0.0722 * f(b);
  };
  const ratio = (a, b) => {
    const [x, y] = [lum(a), lum(b)];
    return (Math.max(x, y) + 0.05) / (Math.min(x, y) + 0.05);
  };
  const intersects = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;

  const results = [];
  for (const sel of selectors) {
    for (const el of document.querySelectorAll(sel)) {
      const cs = getComputedStyle(el);
      const rect = el.getBoundingClientRect();
      if (!el.textContent.trim() || rect.width === 0 || cs.visibility === 'hidden') continue;
      let color = parseColors(cs.color)[0];
      // Layers from the text up to the stage; opacity below the first background fades the text.
      const layers = [];
      let fade = 1;
      for (let n = el; n && n.id !== 'stage'; n = n.parentElement) {
        const ns = getComputedStyle(n);
        const before = getComputedStyle(n, '::before');
        if (n !== el && before.content !== 'none' && before.display !== 'none') {
          // A pseudo box's place: its own box is not exposed, so take the element's and the insets.
          const r = n.getBoundingClientRect();
          const px = (v, total) => (v.endsWith('%') ? (parseFloat(v) / 100) * total : parseFloat(v) || 0);
          const box = { left: r.left + px(before.left, r.width), right: r.right - px(before.right, r.width),
            top: r.top + px(before.top, r.height), bottom: r.top + px(before.top, r.height) + (before.height === 'auto' ? r.height : px(before.height, r.height)) };
          if (before.bottom !== 'auto' && before.height === 'auto') box.bottom = r.bottom - px(before.bottom, r.height);
          const lc = intersects(box, rect) && layerColors(before);
          if (lc) layers.push(lc);
        }
        const lc = layerColors(ns);
        if (lc) layers.push(lc);
        else if (!layers.length) fade *= parseFloat(ns.opacity);
      }
      color = [color[0], color[1], color[2], color[3] * fade];
      let worst = Infinity;
      let behind = null;
      const walk = (i, bg) => {
        if (i < 0) {
          const r = ratio(over(color, bg), bg);
          if (r < worst) { worst = r; behind = bg; }
          return;
        }
        for (const c of layers[i]) walk(i - 1, over(c, bg));
      };
      for (const scene of [[255, 255, 255, 1], [0, 0, 0, 1]]) walk(layers.length - 1, scene);
      results.push({ what: sel + ' ' + el.textContent.trim().slice(0, 8), ratio: worst, behind: behind.slice(0, 3).map(Math.round).join(',') });
    }
  }
  return results;
}

// Colours are read at rest: transitions would be caught half-way on a busy machine.
const STILL = '*, *::before, *::after { transition: none !important; animation: none !important; }';

const TEXTS = ['#keys .legend', '#mods .mod.on', '#speed-value', '#speed .unit', '#toast .toast-sheet', '#toast .toast-text',
  '#toast kbd', '#toast .toast-plus', '#toast .toast-times', '#text-content .line', '#data-notice'];

test('every legend and text has a contrast of at least 4.5:1 in every skin, whatever the scene', async () => {
  const { page, feed } = await staged.open();
  await page.addStyleTag({ content: STILL });
  const failures = [];
  let audited = 0;
  for (const skin of staged.skins) {
    for (const textColor of ['white', 'dark']) {
      await feed.state({ skin, textColor, kana: true, speed: true, mouse: true, shortcuts: 'clipstudio', layout: 'jis_tkl' });
      await feed.key('ControlLeft', true, { ctrl: true });
      await feed.key('KeyZ', true, { ctrl: true });
      await feed.key('KeyA', true, { ctrl: true });
      await feed.text({ text: '読みやすい文字 Legible text', caret: 5 });
      const results = await page.evaluate(auditContrast, TEXTS);
      // The mouse: Alt + click twice (the toast counts it) and a wheel notch caught at the top
      // of its pulse, the arrow on the lit wheel (at rest the arrow is not shown).
      for (let i = 0; i < 2; i++) {
        await feed.mouse(0, true, { alt: true });
        await feed.mouse(0, false, { alt: true });
      }
      await feed.wheel(0, -1);
      await page.evaluate(() => document.getAnimations().forEach((a) => { a.pause(); a.currentTime = 0; }));
      const mouseResults = await page.evaluate(auditContrast, ['#toast .toast-times', '#toast .toast-text', '#mouse .wheel-arrow']);
      results.push(...mouseResults);
      audited += results.length;
      const kinds = new Set(results.map((r) => r.what.split(' ')[0]));
      for (const sel of ['#keys', '#mods', '#speed-value', '#toast', '#text-content', '#mouse']) assert.ok(kinds.has(sel), `${skin}: ${sel} audited`);
      assert.equal(mouseResults.length, 3, `${skin}: the mouse's count and arrow audited`);
      for (const r of results) if (r.ratio < 4.5) failures.push(`${skin}/${textColor}: ${r.what} ${r.ratio.toFixed(2)} on ${r.behind}`);
      for (const code of ['KeyA', 'KeyZ', 'ControlLeft']) await feed.key(code, false);
    }
  }
  const bySkin = {};
  for (const f of failures) {
    const k = f.split(':')[0] + ': ' + f.split(': ')[1].split(' ')[0];
    bySkin[k] = (bySkin[k] || 0) + 1;
  }
  assert.ok(audited > 16 * 2 * 100, `${audited} texts audited`);
  assert.deepEqual(failures.slice(0, 40), [], JSON.stringify(bySkin, null, 1));
});

// CIELAB of an sRGB colour (D65), for colour differences as the eye sees them.
function lab([r, g, b]) {
  const lin = (v) => {
    const c = v / 255;
    return c <= 0.04045 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4);
  };
  const [R, G, B] = [lin(r), lin(g), lin(b)];
  const xyz = [(0.4124 * R + 0.3576 * G + 0.1805 * B) / 0.95047, 0.2126 * R + 0.7152 * G + 0.0722 * B,
    (0.0193 * R + 0.1192 * G + 0.9505 * B) / 1.08883];
  const f = (t) => (t > 216 / 24389 ? Math.cbrt(t) : (24389 / 27 * t + 16) / 116);
  const [fx, fy, fz] = xyz.map(f);
  return [116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)];
}
const deltaE = (a, b) => Math.hypot(...lab(a).map((v, i) => v - lab(b)[i]));

test('no two skins are near twins: each differs from every other in its keys, legends or plate', async () => {
  const { page, feed } = await staged.open();
  await page.addStyleTag({ content: STILL });
  const looks = {};
  for (const skin of staged.skins) {
    await feed.state({ skin, layout: 'jis_tkl' });
    await feed.key('KeyA', true);
    // The mean colour of each part as it shows over a mid-grey scene.
    looks[skin] = await page.evaluate(() => {
      const colors = (cs) => {
        const list = (cs.backgroundImage + ' ' + cs.backgroundColor).match(/rgba?\([^)]*\)/g) || [];
        const parsed = list.map((c) => c.match(/[\d.]+/g).map(Number)).map((n) => [n[0], n[1], n[2], n.length > 3 ? n[3] : 1])
          .filter((c) => c[3] > 0);
        const onGrey = parsed.map((c) => [0, 1, 2].map((i) => c[i] * c[3] + 128 * (1 - c[3])));
        return [0, 1, 2].map((i) => onGrey.reduce((sum, c) => sum + c[i], 0) / Math.max(1, onGrey.length));
      };
      const text = (el) => getComputedStyle(el).color.match(/[\d.]+/g).slice(0, 3).map(Number);
      const idle = document.querySelector('.key[data-code="KeyS"] .cap');
      const held = document.querySelector('.key[data-code="KeyA"] .cap');
      return {
        key: colors(getComputedStyle(idle)),
        legend: text(idle),
        held: colors(getComputedStyle(held)),
        plate: colors(getComputedStyle(document.getElementById('plate'))),
      };
    });
    await feed.key('KeyA', false);
  }
  const twins = [];
  const skins = Object.keys(looks);
  for (let i = 0; i < skins.length; i++) {
    for (let j = i + 1; j < skins.length; j++) {
      const [a, b] = [looks[skins[i]], looks[skins[j]]];
      const apart = Math.max(...['key', 'legend', 'held', 'plate'].map((part) => deltaE(a[part], b[part])));
      if (apart < 20) twins.push(`${skins[i]} ~ ${skins[j]}: ΔE ${apart.toFixed(1)}`);
    }
  }
  assert.deepEqual(twins, []);
});
