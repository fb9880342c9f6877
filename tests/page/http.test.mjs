// The page served over HTTP, as OBS's browser source shows a local file (from its own
// http://absolute/<path> origin) and as a streamer may serve it: it reads the layouts, skins
// and sheets of the data folder at run time, so files copied there after the build are used.
// Opened as a plain file it has only the build's bundle and says which id it could not load.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { stagedOverlay, litCodes, readJson } from './helpers.mjs';

const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.json': 'application/json', '.wav': 'audio/wav' };

const staged = stagedOverlay();
let server;
let base;
const served = [];

// A skin, a sheet and a layout of the user's own, copied in after the bundle was built.
const COPIED_BG = 'rgb(12, 140, 96)';
function copyUserFiles(data) {
  fs.mkdirSync(path.join(data, 'skin', 'my_green'));
  fs.writeFileSync(path.join(data, 'skin', 'my_green', 'config.json'),
    JSON.stringify({ displayName: 'みどり', style: 'flat', keyboard: { keyBackground: COPIED_BG, keyColor: '#ffffff' } }));
  fs.writeFileSync(path.join(data, 'shortcuts', 'my_app.json'), JSON.stringify({ 'Ctrl+KeyG': 'グリッドを出す' }));
  const mini = readJson(path.join(data, 'layouts', 'test_mini.json'));
  mini.rows[0].keys.push({ code: 'F13', label: 'F13', shift: '', x: 20, y: 0 });
  fs.writeFileSync(path.join(data, 'layouts', 'my_pad.json'), JSON.stringify(mini));
  return mini.rows.flatMap((r) => r.keys).map((k) => k.code).sort();
}
let padCodes;

function fileFor(rel) {
  const file = path.join(staged.data, rel);
  if (!file.startsWith(staged.data + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) return null;
  return file;
}

before(async () => {
  await staged.ready();
  padCodes = copyUserFiles(staged.data);
  server = http.createServer((req, res) => {
    const rel = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    served.push(rel);
    const file = fileFor(rel);
    if (!file) {
      res.writeHead(404).end();
      return;
    }
    res.writeHead(200, { 'content-type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  base = `http://127.0.0.1:${server.address().port}`;
});
after(() => new Promise((r) => server.close(r)));

const drawn = (page) => page.evaluate(() => Array.from(document.querySelectorAll('#keys .key')).map((e) => e.dataset.code).sort());
const notice = (page) => page.evaluate(() => {
  const el = document.getElementById('data-notice');
  return el.hidden ? '' : el.textContent;
});

test('over HTTP the page draws, lights keys and finds its data and sounds beside it', async () => {
  const init = () => {
    window.__plays = [];
    HTMLMediaElement.prototype.play = function () {
      window.__plays.push(this.src);
      return Promise.resolve();
    };
  };
  const { page, feed } = await staged.openUrl(base + '/overlay/overlay.html', { init });
  await feed.state({ sound: true });
  await page.waitForFunction(() => document.querySelectorAll('#keys .key').length > 0);
  await feed.key('Space', true);
  assert.deepEqual(await litCodes(page), ['Space']);
  const plays = await page.evaluate(() => window.__plays);
  assert.deepEqual(plays, [base + '/sounds/testpack/space.wav']);
  assert.ok(served.includes('/layouts/jis_tkl.json') && served.includes('/skin/default/config.json'), 'data read from the folders');
  assert.equal(await notice(page), '');
});

test('inside OBS (http://absolute/) files copied into the data folder are used at once', async () => {
  // obs-browser answers http://absolute/<absolute path> with that local file; so does this route.
  await staged.context.route('http://absolute/**', async (route) => {
    const file = decodeURIComponent(new URL(route.request().url()).pathname);
    if (!file.startsWith(staged.data + path.sep) || !fs.existsSync(file)) return route.fulfill({ status: 404, body: '' });
    return route.fulfill({ status: 200, contentType: TYPES[path.extname(file)] || 'application/octet-stream', body: fs.readFileSync(file) });
  });
  const { page, feed } = await staged.openUrl('http://absolute' + staged.page, { allowConsole: /404|cannot load/ });
  await feed.state({ layout: 'my_pad', skin: 'my_green', shortcuts: 'my_app' });
  await page.waitForFunction(() => document.querySelector('#keys .key[data-code="F13"]') !== null);
  assert.deepEqual(await drawn(page), padCodes);
  const bg = await page.evaluate(() => getComputedStyle(document.querySelector('#keys .key .cap')).backgroundColor);
  assert.equal(bg, COPIED_BG);
  await feed.key('KeyG', true, { ctrl: true });
  assert.match(await page.locator('#toast').textContent(), /グリッドを出す/);
  assert.equal(await notice(page), '');

  // An id the folder does not hold is named on screen; the page draws with its defaults.
  await feed.state({ layout: 'gone_layout', skin: 'gone_skin', shortcuts: 'my_app' });
  await page.waitForFunction(() => !document.getElementById('data-notice').hidden);
  const text = await notice(page);
  assert.match(text, /gone_layout/);
  assert.match(text, /gone_skin/);
  assert.ok(await page.locator('#keys .key[data-code="IntlYen"]').count(), 'the default JIS layout is drawn instead');
  await page.close(); // before the route goes, so that no late request leaves the machine
  await staged.context.unroute('http://absolute/**');
});

test('opened as a plain file the page uses the bundle and names the ids it lacks', async () => {
  const { page, feed } = await staged.open();
  await feed.state({ layout: 'my_pad', skin: 'my_green', shortcuts: 'my_app' });
  const text = await notice(page);
  for (const id of ['my_pad', 'my_green', 'my_app']) assert.match(text, new RegExp('「' + id + '」'));
  assert.ok(await page.locator('#keys .key[data-code="IntlYen"]').count(), 'the default JIS layout is drawn instead');
  await feed.state({ layout: 'jis_tkl', skin: 'porcelain', shortcuts: 'clipstudio' });
  assert.equal(await notice(page), '', 'a bundled id clears the notice');
});
