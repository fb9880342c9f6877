// Skins, sheets and layouts are shared between streamers, so the page reads them as an attacker
// would write them: a value that would make the overlay fetch from someone's host (and so tell
// them where the streamer is, on load and on every key) or stall its drawing is refused and the
// page's default drawn instead, with one console line. The page's own policy refuses any load
// from elsewhere even if a value slipped through, and no address is sent on as a referrer.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { FROM, REPO, stagedOverlay } from './helpers.mjs';

const staged = stagedOverlay();
let outside;          // a server standing for the skin author's host: it must never be asked
let outsideBase;
const outsideHits = [];
let own;              // the page's own plain HTTP server
let ownBase;
const ownRequests = [];

// Each hostile value, keyed by the skin member it sits in; `at` is the outside host.
const hostileValues = (at) => ({
  keyBackground: `url(${at.replace(/^http:/, '')}/protocol-relative)`,
  keyDownBackground: `URL(${at}/upper-case)`,
  plateBackground: `url(${at}/unclosed`,
  modDownBackground: `image-set("${at}/image-set" 1x)`,
  keyHighlight: `-webkit-image-set(url(${at}/webkit) 1x)`,
  keyColor: `u\\72l(${at}/escaped)`,
  keySide: `rgb(1 2 3) url(${at}/after-colour)`,
  heatColor: `linear-gradient(red, blue), url(${at}/second-layer)`,
  kanaColor: `var(--x, url(${at}/var))`,
  keyBorder: `1px solid red; background: url(${at}/injected)`,
  plateBorder: `1px solid /**/url(${at}/comment)`,
  keyDownColor: `cross-fade(url(${at}/cross-fade), red 50%)`,
  // Legal CSS, but a shadow this wide takes seconds to paint for every key.
  keyShadow: '0 0 300px 200px rgba(0, 0, 0, 0.5)',
  keyDownShadow: Array.from({ length: 5 }, () => '0 0 8px red').join(', '),
  modDownShadow: `calc(40px * 1000) 0 4px red`,
});

// The most a skin may ask for: wide, many-layered shadows at the bounds.
const BOUNDED_SHADOW = Array.from({ length: 4 }, () => '0 0 40px 40px rgba(255, 0, 0, 0.2)').join(', ');

function writeSkin(id, config) {
  fs.mkdirSync(path.join(staged.data, 'skin', id), { recursive: true });
  fs.writeFileSync(path.join(staged.data, 'skin', id, 'config.json'), JSON.stringify(config));
}

function listen(server) {
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(`http://127.0.0.1:${server.address().port}`)));
}

before(async () => {
  await staged.ready();
  outside = http.createServer((req, res) => {
    outsideHits.push(req.url);
    res.writeHead(200, { 'content-type': 'image/png' }).end();
  });
  outsideBase = await listen(outside);
  own = http.createServer((req, res) => {
    const rel = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    ownRequests.push({ rel, referer: req.headers.referer });
    const file = path.join(staged.data, rel);
    if (!file.startsWith(staged.data + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404).end();
      return;
    }
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.json': 'application/json' };
    res.writeHead(200, { 'content-type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  ownBase = await listen(own);

  const keyboard = hostileValues(outsideBase);
  writeSkin('hostile', {
    style: 'porcelain',
    font: `"Noto Sans", url(${outsideBase}/font)`,
    keyboard: { ...keyboard, depth: 0.1, rowTints: [`url(${outsideBase}/tint)`, `image(url(${outsideBase}/tint2))`] },
    badge: { background: `url(${outsideBase}/badge)`, shadow: `0 0 1px red, url(${outsideBase}/badge-shadow)` },
    text: { background: `image(url(${outsideBase}/text))`, color: `attr(data-x url)`, glow: `0 0 3px env(x)`,
      font: `a;b`, followsTextColor: true, white: { color: `url(${outsideBase}/tone)` } },
  });
  // What the hostile skin must look like once every CSS value of it is refused.
  writeSkin('control', { style: 'porcelain', keyboard: { depth: 0.1 }, text: { followsTextColor: true } });
  writeSkin('bounded', { keyboard: { keyShadow: BOUNDED_SHADOW, keyDownShadow: BOUNDED_SHADOW, modDownShadow: BOUNDED_SHADOW } });
  // Sheets and a layout whose names are members of every JavaScript object.
  for (const id of ['constructor', '__proto__', 'toString']) {
    fs.writeFileSync(path.join(staged.data, 'shortcuts', id + '.json'), JSON.stringify({ 'Ctrl+KeyZ': '元に戻す' }));
  }
  const layout = JSON.parse(fs.readFileSync(path.join(staged.data, 'layouts', 'test_mini.json'), 'utf8'));
  layout.rows[0].keys.push({ code: 'toString', label: '', shift: '', x: 20, y: 0 });
  fs.writeFileSync(path.join(staged.data, 'layouts', 'constructor.json'), JSON.stringify(layout));
  // The plain-file page reads the bundle: build it again with these files in.
  execFileSync('cmake', ['-DDATA_DIR=' + staged.data, '-DOUT=' + path.join(staged.data, 'overlay', 'data-bundle.js'),
    '-P', path.join(REPO, 'cmake', 'bundle_page_data.cmake')], { stdio: 'pipe' });
});
after(() => Promise.all([outside, own].map((s) => new Promise((r) => s.close(r)))));

// Every request the page makes, whatever its scheme, with what the policy refused.
async function openWatched(url, options = {}) {
  const requests = [];
  const refusals = [];
  const warnings = [];
  const view = await staged.openUrl(url, {
    ...options,
    init: () => {
      window.__refused = [];
      document.addEventListener('securitypolicyviolation', (e) => window.__refused.push(e.blockedURI));
    },
    allowConsole: options.allowConsole || /Refused to load|Content Security Policy/,
  });
  view.page.on('request', (r) => requests.push(r.url()));
  // A load the policy refused never reaches the network; it still shows as a request here.
  view.page.on('requestfailed', (r) => {
    if (/BLOCKED_BY_CSP/.test(r.failure()?.errorText ?? '')) refusals.push(r.url());
  });
  view.page.on('console', (m) => {
    if (m.type() === 'warning' && m.text().includes('[clackery]')) warnings.push(m.text());
  });
  view.refusals = async () => refusals.concat(await view.page.evaluate(() => window.__refused));
  return { ...view, requests, warnings };
}

// The computed look of a key, its pressed state and the plate: what a hostile value would change.
function looks(page) {
  return page.evaluate(() => {
    const pick = (el) => {
      const s = getComputedStyle(el);
      return [s.backgroundImage, s.backgroundColor, s.boxShadow, s.color, s.borderTopWidth, s.fontFamily].join(' | ');
    };
    return {
      key: pick(document.querySelector('#keys .key[data-code="KeyA"] .cap') || document.querySelector('#keys .key')),
      down: pick(document.querySelector('#keys .key.down') || document.querySelector('#keys .key')),
      plate: pick(document.getElementById('plate')),
      text: pick(document.getElementById('textbox')),
    };
  });
}

// Time from a key press to the end of the frame that shows it, numbered after the feeder's.
async function pressToFrame(page, feed, code) {
  const seq = feed.seq + 1;
  feed.skipTo(seq);
  return page.evaluate(({ c, n, from }) => new Promise((resolve) => {
    const t0 = performance.now();
    const json = JSON.stringify({ type: 'fernquarry.clackery', v: 1, kind: 'key', from, role: 'plugin', seq: n, at: Date.now(),
      data: { code: c, down: true, t: Date.now(), mods: { ctrl: false, shift: false, alt: false, win: false }, seq: n } });
    window.dispatchEvent(new CustomEvent('fernquarry.clackery', { detail: { json } }));
    requestAnimationFrame(() => setTimeout(() => resolve(performance.now() - t0), 0));
  }), { c: code, n: seq, from: FROM });
}

// Draws `skin` with a little text, a key and a modifier held, and returns how it looks.
async function drawWith(page, feed, skin, rev) {
  await feed.state({ skin, rev, textColor: 'white' });
  await feed.state({ skin, rev }); // the periodic state: no second round of console lines
  await page.waitForFunction(() => document.querySelectorAll('#keys .key').length > 0);
  await feed.text({ op: 'type', text: 'abc', caret: 3 });
  await feed.tap('KeyS'); // the first press after a new skin also paints the whole plate anew
  const frame = await pressToFrame(page, feed, 'KeyA');
  await feed.key('ShiftLeft', true, { shift: true });
  await page.waitForTimeout(300);
  const look = await looks(page);
  await feed.key('ShiftLeft', false);
  await feed.key('KeyA', false);
  return { look, frame };
}

for (const mode of ['file', 'http', 'absolute']) {
  test(`hostile skin values load nothing from anywhere and fall back, opened as ${mode}`, async () => {
    let url = staged.url;
    if (mode === 'http') url = ownBase + '/overlay/overlay.html';
    if (mode === 'absolute') {
      await staged.context.route('http://absolute/**', (route) => {
        const file = decodeURIComponent(new URL(route.request().url()).pathname);
        if (!file.startsWith(staged.data + path.sep) || !fs.existsSync(file)) return route.fulfill({ status: 404, body: '' });
        return route.fulfill({ status: 200, body: fs.readFileSync(file) });
      });
      url = 'http://absolute' + staged.page;
    }
    const hitsBefore = outsideHits.length;
    const { page, feed, requests, warnings, refusals } = await openWatched(url);
    const control = await drawWith(page, feed, 'control', 2);
    const hostile = await drawWith(page, feed, 'hostile', 3);

    // Every value was refused: the hostile skin draws as one that gives none.
    assert.deepEqual(hostile.look, control.look);
    for (const look of Object.values(hostile.look)) assert.doesNotMatch(look, /url\(|image-set|300px/, look);
    // One line per refused value, however often the state names the skin.
    const refusedLines = warnings.filter((w) => w.includes('skin value refused'));
    assert.equal(refusedLines.length, new Set(refusedLines).size, refusedLines.join('\n'));
    assert.ok(refusedLines.length >= 20, `${refusedLines.length} refused values reported`);
    for (const member of ['keyboard.keyShadow', 'keyboard.plateBackground', 'keyboard.rowTints[0]', 'font', 'text.font', 'text.white.color']) {
      assert.ok(refusedLines.some((w) => w.includes(member + ' =')), member);
    }
    assert.ok(hostile.frame < 250, `a key took ${hostile.frame.toFixed(1)} ms to its frame`);

    // The policy holds even for a value set past the filter.
    await page.evaluate((at) => {
      document.querySelector('#keys .key .cap').style.backgroundImage = `url(${at}/past-the-filter)`;
      document.getElementById('plate').style.backgroundImage = `url(${at.replace(/^http:/, '')}/past-the-filter-relative)`;
    }, outsideBase);
    await page.waitForTimeout(300);
    const blocked = await refusals();
    const elsewhere = requests.filter((r) => !blocked.includes(r)).filter((r) => !(r.startsWith('file://' + staged.data) || r.startsWith(ownBase + '/')
      || r.startsWith('http://absolute' + staged.data) || r.startsWith('data:')));
    assert.deepEqual(elsewhere, [], 'requests that left the data folder');
    assert.deepEqual(outsideHits.slice(hitsBefore), [], 'the outside host was asked');
    assert.ok(blocked.some((u) => u.includes('past-the-filter')), 'the policy refused the load');
    await page.close();
    if (mode === 'absolute') await staged.context.unroute('http://absolute/**');
  });
}

// Not a speed figure (the page benchmark has those): a stall of the kind a huge shadow causes
// is whole seconds, far beyond the bound here.
test('shadows at the bounds a skin may use still draw a key press at once', async (t) => {
  const { page, feed } = await openWatched(staged.url);
  await feed.state({ skin: 'bounded', layout: 'jis_full' });
  await page.waitForTimeout(200);
  await page.waitForFunction(() => document.querySelectorAll('#keys .key').length > 0);
  const shadow = await page.evaluate(() => getComputedStyle(document.querySelector('#keys .key .cap')).boxShadow);
  assert.match(shadow, /40px 40px/, 'the bounded shadow is taken');
  const times = [];
  for (const code of ['KeyA', 'KeyS', 'KeyD', 'KeyF', 'KeyG']) times.push(await pressToFrame(page, feed, code));
  const shown = `key to frame: ${times.map((ms) => ms.toFixed(1)).join(', ')} ms`;
  t.diagnostic(shown);
  assert.ok([...times].sort((a, b) => a - b)[2] < 250, shown);
});

test('no address goes out as a referrer, not even the one carrying the password', async () => {
  ownRequests.length = 0;
  const { page, feed } = await openWatched(ownBase + '/overlay/overlay.html?ws=ws://127.0.0.1:9&password=hunter2',
    { allowConsole: /WebSocket connection/ });
  await feed.state({ skin: 'porcelain', layout: 'us_tkl' });
  await page.waitForFunction(() => document.querySelectorAll('#keys .key').length > 0);
  const fetched = ownRequests.filter((r) => r.rel.endsWith('.json') || r.rel.endsWith('.js') || r.rel.endsWith('.css'));
  assert.ok(fetched.length >= 4, JSON.stringify(ownRequests));
  assert.deepEqual(fetched.filter((r) => r.referer !== undefined), []);
});

test('sheets, layouts and keys named like members of Object.prototype are only names', async () => {
  const { page, feed } = await openWatched(staged.url);
  for (const [i, sheet] of ['constructor', '__proto__', 'toString'].entries()) {
    await feed.state({ shortcuts: sheet, rev: 10 + i });
    await feed.key('ControlLeft', true, { ctrl: true });
    await feed.key('KeyZ', true, { ctrl: true });
    const toast = await page.locator('#toast').textContent();
    assert.match(toast, new RegExp('^' + sheet.replace(/_/g, '_') + 'Ctrl\\+Z元に戻す$'), toast);
    await feed.key('KeyZ', false);
    await feed.key('ControlLeft', false);
  }
  // A key of a layout named "constructor" whose code is "toString" and which has no legend.
  await feed.state({ layout: 'constructor', shortcuts: 'none', rev: 20 });
  assert.equal(await page.locator('#keys .key[data-code="toString"]').count(), 1);
  assert.equal(await page.evaluate(() => window.Clackery.shortcuts.codeLabel('toString')), 'toString');
  for (const id of ['__proto__', 'constructor', 'hasOwnProperty']) {
    await feed.state({ skin: id, layout: id === 'constructor' ? 'jis_tkl' : id, rev: 30 + id.length });
    const notice = await page.evaluate(() => document.getElementById('data-notice').textContent);
    assert.doesNotMatch(notice, /function|object Object/, notice);
  }
});
