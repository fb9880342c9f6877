// The page served by a local HTTP server (as OBS does internally, and as some streamers do)
// behaves as it does from a file.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { stageData, launch, openPage, litCodes } from './helpers.mjs';

const TYPES = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.json': 'application/json', '.wav': 'audio/wav' };

let staged;
let context;
let server;
let base;
const served = [];

before(async () => {
  staged = stageData();
  context = await launch();
  server = http.createServer((req, res) => {
    const rel = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const file = path.join(staged.data, rel);
    served.push(rel);
    if (!file.startsWith(staged.data + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404).end();
      return;
    }
    res.writeHead(200, { 'content-type': TYPES[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  base = `http://127.0.0.1:${server.address().port}`;
});
after(async () => {
  await new Promise((r) => server.close(r));
  await context.close();
  staged.cleanup();
});

test('over HTTP the page draws, lights keys and finds its sounds beside it', async () => {
  const init = () => {
    window.__plays = [];
    HTMLMediaElement.prototype.play = function () {
      window.__plays.push(this.src);
      return Promise.resolve();
    };
  };
  const { page, errors, feed } = await openPage(context, base + '/overlay/overlay.html', { init });
  await feed.state({ sound: true });
  await feed.key('Space', true);
  assert.deepEqual(await litCodes(page), ['Space']);
  const plays = await page.evaluate(() => window.__plays);
  assert.deepEqual(plays, [base + '/sounds/testpack/space.wav']);
  assert.ok(served.includes('/overlay/data-bundle.js'));
  assert.ok(served.every((p) => !p.startsWith('/layouts') && !p.startsWith('/skin')), 'data comes from the bundle alone');
  assert.deepEqual(errors, []);
  await page.close();
});
