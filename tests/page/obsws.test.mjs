// Outside OBS: the page logs in to obs-websocket itself, asks for the state and follows the
// vendor events. The server here is a stand-in written for the test.
import { test, afterEach } from 'node:test';
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import { WebSocketServer } from 'ws';
import { stagedOverlay, litCodes, baseState } from './helpers.mjs';

const staged = stagedOverlay();
const servers = [];
// After the page has closed, so that it does not log a lost connection; and on a failed test
// too, so that no server keeps the runner alive.
afterEach(() => Promise.all(servers.splice(0).map((s) => s.close())));

const sha = (s) => crypto.createHash('sha256').update(s, 'utf8').digest('base64');

// A minimal obs-websocket 5 server: Hello with a challenge, Identify checked, vendor requests
// answered from `state`. Records what the page sent.
function fakeObs({ password = 'パスワード😀', state = baseState(), holdReplies = false } = {}) {
  const server = new WebSocketServer({ host: '127.0.0.1', port: 0, handleProtocols: (p) => (p.has('obswebsocket.json') ? 'obswebsocket.json' : false) });
  const log = { connections: 0, identifies: [], requests: [], sockets: [] };
  const held = [];
  const waiters = [];
  const notify = () => waiters.splice(0).forEach((w) => w());
  server.on('connection', (socket) => {
    log.connections += 1;
    log.sockets.push(socket);
    const salt = crypto.randomBytes(12).toString('base64');
    const challenge = crypto.randomBytes(12).toString('base64');
    socket.send(JSON.stringify({ op: 0, d: { obsWebSocketVersion: '5.5.4', rpcVersion: 1, authentication: { challenge, salt } } }));
    socket.on('message', (raw) => {
      const msg = JSON.parse(String(raw));
      if (msg.op === 1) {
        log.identifies.push(msg.d);
        notify();
        if (msg.d.authentication !== sha(sha(password + salt) + challenge)) {
          socket.close(4009, 'Authentication failed.');
          return;
        }
        socket.send(JSON.stringify({ op: 2, d: { negotiatedRpcVersion: 1 } }));
      } else if (msg.op === 6) {
        log.requests.push(msg.d);
        const rd = msg.d.requestData || {};
        const reply = JSON.stringify({ op: 7, d: {
          requestType: msg.d.requestType, requestId: msg.d.requestId, requestStatus: { result: true, code: 100 },
          responseData: { vendorName: rd.vendorName, requestType: rd.requestType, responseData: state },
        } });
        if (holdReplies) held.push(() => socket.send(reply));
        else socket.send(reply);
        notify();
      }
    });
  });
  let closed = null;
  return new Promise((resolve) => server.on('listening', () => resolve(servers[servers.push({
    url: `ws://127.0.0.1:${server.address().port}`,
    log,
    releaseReplies() {
      held.splice(0).forEach((send) => send());
    },
    vendorEvent(vendorName, eventType, eventData) {
      const msg = JSON.stringify({ op: 5, d: { eventType: 'VendorEvent', eventIntent: 512, eventData: { vendorName, eventType, eventData } } });
      for (const s of log.sockets) if (s.readyState === 1) s.send(msg);
    },
    async until(predicate, ms = 8000) {
      const end = Date.now() + ms;
      while (!predicate()) {
        if (Date.now() > end) throw new Error('timed out: ' + predicate);
        await new Promise((r) => { waiters.push(r); setTimeout(r, 50); });
      }
    },
    close() {
      if (!closed) closed = new Promise((r) => { for (const s of log.sockets) s.terminate(); server.close(r); });
      return closed;
    },
  }) - 1])));
}

test('logs in with the password, asks for the state and follows vendor events', async () => {
  const obs = await fakeObs({ state: baseState({ mode: 'both', hidden: false }) });
  const { page } = await staged.open(`?ws=${obs.url}&password=${encodeURIComponent('パスワード😀')}`);
  await obs.until(() => obs.log.requests.length === 1);
  const [identify] = obs.log.identifies;
  assert.equal(identify.rpcVersion, 1);
  assert.equal(identify.eventSubscriptions & 512, 512);
  assert.deepEqual(obs.log.requests[0].requestType, 'CallVendorRequest');
  assert.deepEqual(obs.log.requests[0].requestData, { vendorName: 'clackery', requestType: 'get_state' });
  await page.waitForFunction(() => !document.getElementById('overlay').classList.contains('hidden'));
  assert.equal(await page.locator('#connection').isVisible(), false);

  const mods = { ctrl: false, shift: false, alt: false, win: false };
  obs.vendorEvent('clackery', 'key', { code: 'KeyD', down: true, t: 1, mods, seq: 10 });
  obs.vendorEvent('someone-else', 'key', { code: 'KeyF', down: true, t: 1, mods, seq: 11 });
  obs.vendorEvent('clackery', 'text', { op: 'type', preedit: '', committed: '', text: 'ws で届いた', cursor: 0, caret: 7, seq: 12 });
  await page.waitForFunction(() => document.getElementById('text-content').textContent === 'ws で届いた');
  assert.deepEqual(await litCodes(page), ['KeyD']);
  // A press that obs-websocket delivers after its own release must not light the key again.
  obs.vendorEvent('clackery', 'key', { code: 'KeyJ', down: true, t: 1, mods, seq: 13 });
  obs.vendorEvent('clackery', 'key', { code: 'KeyD', down: false, t: 1, mods, seq: 15 });
  obs.vendorEvent('clackery', 'key', { code: 'KeyJ', down: false, t: 1, mods, seq: 16 });
  obs.vendorEvent('clackery', 'key', { code: 'KeyD', down: true, t: 1, mods, seq: 14 });
  obs.vendorEvent('clackery', 'text', { op: 'type', preedit: '', committed: '', text: '順番', cursor: 0, caret: 2, seq: 17 });
  await page.waitForFunction(() => document.getElementById('text-content').textContent === '順番');
  assert.deepEqual(await litCodes(page), []);
  // A press of another key that comes after a newer one is no older news of that key: it lights.
  obs.vendorEvent('clackery', 'key', { code: 'KeyA', down: true, t: 1, mods, seq: 19 });
  obs.vendorEvent('clackery', 'key', { code: 'ShiftLeft', down: true, t: 1, mods, seq: 18 });
  await page.waitForFunction(() => document.querySelectorAll('.key.down').length === 2);
  assert.deepEqual(await litCodes(page), ['KeyA', 'ShiftLeft']);
  obs.vendorEvent('clackery', 'state', baseState({ hidden: true }));
  await page.waitForFunction(() => document.getElementById('overlay').classList.contains('hidden'));
});

test('a wrong password is reported and retried with growing pauses', async () => {
  const obs = await fakeObs({ password: 'right' });
  const { page } = await staged.open(`?ws=${obs.url}&password=wrong`);
  await obs.until(() => obs.log.identifies.length >= 1);
  await page.waitForFunction(() => document.getElementById('connection').dataset.status === 'auth-failed');
  assert.equal(await page.locator('#connection').isVisible(), true);
  await obs.until(() => obs.log.identifies.length >= 2, 4000);
  const started = Date.now();
  await obs.until(() => obs.log.identifies.length >= 3, 6000);
  assert.ok(Date.now() - started >= 1500, 'the second retry waits longer than the first');
  assert.equal(obs.log.requests.length, 0);
});

test('a dropped connection is made again and the state asked for again', async () => {
  const obs = await fakeObs({ password: '', state: baseState({ hidden: false }) });
  const { page } = await staged.open(`?ws=${obs.url}`, { allowConsole: /WebSocket connection to/ });
  await obs.until(() => obs.log.requests.length === 1);
  obs.log.sockets[0].terminate();
  await obs.until(() => obs.log.requests.length === 2, 6000);
  assert.equal(obs.log.connections, 2);
  const mods = { ctrl: false, shift: false, alt: false, win: false };
  obs.vendorEvent('clackery', 'key', { code: 'KeyG', down: true, t: 1, mods, seq: 3 });
  await page.waitForFunction(() => document.querySelector('.key.down') !== null);
  assert.deepEqual(await litCodes(page), ['KeyG']);
});

test('a state reply that arrives after a newer state event does not replace it', async () => {
  const obs = await fakeObs({ password: '', holdReplies: true, state: baseState({ rev: 4, hidden: false, mode: 'text' }) });
  const { page } = await staged.open(`?ws=${obs.url}`, { allowConsole: /WebSocket connection to/ });
  await obs.until(() => obs.log.requests.length === 1);
  obs.vendorEvent('clackery', 'state', baseState({ rev: 5, hidden: false, mode: 'keyboard' }));
  await page.waitForFunction(() => document.getElementById('overlay').dataset.mode === 'keyboard');
  obs.releaseReplies();
  // Messages keep their order on the socket: once this text shows, the late reply has been read.
  obs.vendorEvent('clackery', 'text', { op: 'type', preedit: '', committed: '', text: 'after', cursor: 0, caret: 5, seq: 1 });
  await page.waitForFunction(() => document.getElementById('text-content').textContent === 'after');
  assert.equal(await page.evaluate(() => document.getElementById('overlay').dataset.mode), 'keyboard', 'rev 4 came late and was dropped');
  // The periodic broadcast repeats rev 5 and is taken; a later change (rev 6) too.
  obs.vendorEvent('clackery', 'state', baseState({ rev: 5, hidden: false, mode: 'keyboard', skin: 'porcelain' }));
  await page.waitForFunction(() => document.getElementById('overlay').classList.contains('style-porcelain'));
  obs.vendorEvent('clackery', 'state', baseState({ rev: 6, hidden: false, mode: 'both' }));
  await page.waitForFunction(() => document.getElementById('overlay').dataset.mode === 'both');
  // A new connection may be a restarted module counting from 1 again.
  obs.log.sockets[0].terminate();
  await obs.until(() => obs.log.requests.length === 2, 6000);
  obs.vendorEvent('clackery', 'state', baseState({ rev: 1, hidden: false, mode: 'text' }));
  await page.waitForFunction(() => document.getElementById('overlay').dataset.mode === 'text');
});
