// Hostile load in the real OBS (test mode): eight clients (half MessagePack, half JSON) send a mix of valid, wrong-typed,
// oversize (1 MB strings), deeply nested and unknown requests while keys are pushed. Nothing
// crashes or hangs, every valid request gets its answer, the counters add up exactly, the
// settings file stays valid JSON, and a shutdown in the middle of the load completes.
// CLACKERY_HOSTILE_SECONDS sets the load's length (default 20); CLACKERY_HOSTILE_REPORT names a
// file for the figures (the benchmark command's table).
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import OBSWebSocket, { EventSubscription, RequestBatchExecutionType } from 'obs-websocket-js';
import OBSWebSocketJson from 'obs-websocket-js/json';
import {
  browserEnvelopes, clearPageEvents, counters, KEYS, keyEvents, placeOverlay, resume, startTestObs, waitFor,
} from './lib/clackery.mjs';

const SECONDS = Number(process.env.CLACKERY_HOSTILE_SECONDS ?? 20);
const CLIENTS = 8;
const REQUEST_TIMEOUT_MS = 30000;
const MEGABYTE = 'x'.repeat(1 << 20);

function nested(depth) {
  let value = { leaf: true };
  for (let i = 0; i < depth; i++) value = { n: value, list: [i, String(i)] };
  return value;
}
// The MessagePack encoder stops at depth 100; JSON clients send deeper data (obs-websocket
// converts nesting in quadratic time: 500 levels take it about 0.1 s, 2000 about 3 s).
const DEEP = { msgpack: nested(90), json: nested(500) };

const pick = (list) => list[Math.floor(Math.random() * list.length)];
const isBool = (value) => typeof value === 'boolean';

// Each case: the request, the class it belongs to, and what its reply must satisfy.
const MODES = ['keyboard', 'text', 'both'];
const CASES = [
  // Valid requests: each must be answered with its reply keys.
  () => ({ kind: 'valid', type: 'get_state', check: (r) => typeof r?.rev === 'number' && isBool(r.paused) }),
  () => ({ kind: 'valid', type: 'test_counters', check: (r) => typeof r?.sent === 'number' && r.heatmap_resets === 0 }),
  () => {
    const mode = pick(MODES);
    return { kind: 'valid', type: 'test_set_mode', data: { mode }, check: (r) => r?.mode === mode };
  },
  () => ({
    kind: 'valid', type: 'test_set_text_options',
    data: { textSource: 'dock', textLines: 1 + Math.floor(Math.random() * 20) }, check: (r) => r?.accepted === true,
  }),
  () => ({
    kind: 'valid', type: 'test_set_overlay_options',
    data: { speed: Math.random() < 0.5, soundVolume: Math.floor(Math.random() * 101) }, check: (r) => r?.accepted === true,
  }),
  () => ({ kind: 'valid', type: 'test_stream_started', check: (r) => r?.accepted === true }),
  () => ({ kind: 'valid', type: 'test_dock_edit', data: { caret: 0 }, check: (r) => isBool(r?.accepted) }),
  // Wrong types: refused through the reply, nothing queued or applied.
  () => ({
    kind: 'wrong', type: 'test_push_key', data: { scancode: '30', vk: 65, extended: false, down: true },
    check: (r) => r?.queued === false,
  }),
  () => ({ kind: 'wrong', type: 'test_set_overlay_options', data: { soundVolume: 'loud' }, check: (r) => r?.accepted === false }),
  () => ({ kind: 'wrong', type: 'test_set_mode', data: { mode: 7 }, check: (r) => r === undefined || Object.keys(r).length === 0 }),
  () => ({ kind: 'wrong', type: 'test_dock_ime', data: { cursor: -1 }, check: (r) => r?.accepted === false }),
  () => ({ kind: 'wrong', type: 'test_dock_edit', data: { caret: true }, check: (r) => r?.accepted === false }),
  // Oversize: 1 MB strings where short ones belong.
  () => ({ kind: 'oversize', type: 'test_dock_ime', data: { preedit: MEGABYTE }, check: (r) => r?.accepted === false }),
  () => ({ kind: 'oversize', type: 'test_set_overlay_options', data: { skin: MEGABYTE }, check: (r) => r?.accepted === false }),
  () => ({ kind: 'oversize', type: 'test_dock_key', data: { key: MEGABYTE }, check: (r) => r?.accepted === false }),
  () => ({ kind: 'oversize', type: 'get_state', data: { junk: MEGABYTE }, check: (r) => typeof r?.rev === 'number' }),
  // Deeply nested data beside the keys a request reads.
  (deep) => ({
    kind: 'nested', type: 'test_set_text_options', data: { textSource: 'dock', deep }, check: (r) => r?.accepted === true,
  }),
  (deep) => ({ kind: 'nested', type: 'test_dock_geometry', data: { floating: deep }, check: (r) => r?.accepted === false }),
  // Requests no vendor of ours has: obs-websocket refuses them itself.
  () => ({ kind: 'unknown', type: 'test_no_such_request' }),
  () => ({ kind: 'unknown', type: 'get_state', vendor: 'clackery_no_such_vendor' }),
];

function withTimeout(promise, what) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`no answer within ${REQUEST_TIMEOUT_MS} ms: ${what}`)), REQUEST_TIMEOUT_MS);
  });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

class Tally {
  constructor() { this.sent = 0; this.byKind = {}; this.failures = []; }
  count(kind) { this.byKind[kind] = (this.byKind[kind] ?? 0) + 1; }
}

// One client's loop until `running()` turns false. After `closing` is set, errors of the closing
// connection end the loop instead of counting as failures.
async function hostileClient(port, running, tally, state, encoding) {
  const client = encoding === 'json' ? new OBSWebSocketJson() : new OBSWebSocket();
  await client.connect(`ws://127.0.0.1:${port}`, undefined, { eventSubscriptions: EventSubscription.None });
  try {
    while (running()) {
      const c = pick(CASES)(DEEP[encoding]);
      const args = { vendorName: c.vendor ?? 'clackery', requestType: c.type };
      if (c.data) args.requestData = c.data;
      tally.sent++;
      try {
        const reply = await withTimeout(client.call('CallVendorRequest', args), `${c.kind} ${c.type}`);
        const empty = reply.responseData === undefined || Object.keys(reply.responseData).length === 0;
        if (state.closing && empty) {
          // The module answers nothing once its shutdown has begun.
          tally.count('closing');
        } else if (c.kind === 'unknown') {
          tally.failures.push(`unknown request ${c.type} was answered`);
        } else if (!c.check(reply.responseData)) {
          tally.failures.push(`${c.kind} ${c.type}: unexpected reply ${JSON.stringify(reply.responseData)?.slice(0, 200)}`);
        } else {
          tally.count(c.kind);
        }
      } catch (error) {
        if (state.closing) break;
        if (c.kind === 'unknown' && error.code !== undefined && !/no answer/.test(error.message)) tally.count('unknown');
        else tally.failures.push(`${c.kind} ${c.type}: ${error.message}`);
      }
    }
  } finally {
    await client.disconnect().catch(() => {});
  }
}

// Down/up pairs of one key from one connection, paced, counting what the module queued.
async function keyPusher(port, running, keys, state) {
  const client = new OBSWebSocket();
  await client.connect(`ws://127.0.0.1:${port}`, undefined, { eventSubscriptions: EventSubscription.None });
  const { scancode, vk } = KEYS.KeyC;
  try {
    while (running()) {
      const batch = Array.from({ length: 50 }, (_, i) => ({
        requestType: 'CallVendorRequest',
        requestData: {
          vendorName: 'clackery', requestType: 'test_push_key',
          requestData: { scancode, vk, extended: false, down: i % 2 === 0 },
        },
      }));
      try {
        const replies = await withTimeout(
          client.callBatch(batch, { executionType: RequestBatchExecutionType.SerialRealtime }), 'a key batch');
        for (const reply of replies) {
          keys.pushed++;
          if (reply.requestStatus.result && reply.responseData?.responseData?.queued === true) keys.queued++;
        }
      } catch (error) {
        if (state.closing) break;
        throw error;
      }
      await sleep(50);
    }
  } finally {
    await client.disconnect().catch(() => {});
  }
}

function assertSettingsFile(file) {
  const settings = JSON.parse(fs.readFileSync(file, 'utf8'));
  assert.equal(settings.kept_by_a_later_version, 'keep me', 'unknown keys survive');
  assert.ok(['keyboard', 'text', 'both'].includes(settings.mode));
  assert.ok(settings.text_lines >= 1 && settings.text_lines <= 20);
  assert.ok(settings.sound_volume >= 0 && settings.sound_volume <= 100);
  return settings;
}

test('hostile clients while keys are pushed; a shutdown in the middle completes', { timeout: (SECONDS * 2 + 240) * 1000 },
  async () => {
    const obs = await startTestObs({ config: JSON.stringify({ mode: 'both', kept_by_a_later_version: 'keep me' }) });
    const tally = new Tally();
    const keys = { pushed: 0, queued: 0 };
    const state = { closing: false };
    const report = { seconds: SECONDS, clients: CLIENTS };
    try {
      await placeOverlay(obs);
      await resume(obs);
      const before = await counters(obs);
      await clearPageEvents(obs);
      const eventsBefore = keyEvents(obs).length;

      // First phase: the load, then the keys stop and everything must add up.
      let loading = true;
      const load = [];
      for (let i = 0; i < CLIENTS; i++) load.push(hostileClient(obs.port, () => loading, tally, state, i % 2 ? 'json' : 'msgpack'));
      const pusher = keyPusher(obs.port, () => loading, keys, state);
      await sleep(SECONDS * 1000);
      loading = false;
      await Promise.all([...load, pusher]);

      const after = await waitFor(async () => {
        const c = await counters(obs);
        return c.sent - before.sent === keys.queued ? c : null;
      }, 'every queued key sent', 30000).catch(() => counters(obs));
      const delta = (key) => after[key] - before[key];
      assert.deepEqual(tally.failures.slice(0, 10), [], `${tally.failures.length} failures`);
      assert.ok(keys.queued > 0 && keys.queued === keys.pushed, `${keys.queued} of ${keys.pushed} keys queued`);
      assert.equal(delta('queued') + delta('dropped'), keys.queued, 'every posted key reached the ring or was dropped');
      assert.equal(delta('paused'), 0);
      assert.equal(delta('repeated'), 0);
      assert.equal(delta('sent'), delta('queued'), 'every queued key was sent');
      await waitFor(() => keyEvents(obs).length - eventsBefore >= delta('sent'), 'the key events at the client', 30000);
      assert.equal(keyEvents(obs).length - eventsBefore, delta('sent'), 'the client received what was sent');
      // The page road is served just after the vendor event: wait for the last envelope too.
      const pageCount = async () => (await browserEnvelopes(obs)).filter((e) => e.kind === 'key').length;
      const pageKeys = await waitFor(async () => {
        const found = await pageCount();
        return found >= delta('sent') ? found : null;
      }, 'the key envelopes at the page road', 30000).catch(pageCount);
      assert.equal(pageKeys, delta('sent'), 'the page road received what was sent');
      for (const kind of ['valid', 'wrong', 'oversize', 'nested', 'unknown']) {
        assert.ok((tally.byKind[kind] ?? 0) > 0, `some ${kind} requests were made`);
      }
      Object.assign(report, {
        requests: tally.sent, valid: tally.byKind.valid, byKind: { ...tally.byKind }, keys: keys.pushed, sent: delta('sent'),
        dropped: delta('dropped'),
      });

      // Second phase: the load again, and the main window closes in the middle of it.
      loading = true;
      const again = [];
      for (let i = 0; i < CLIENTS; i++) again.push(hostileClient(obs.port, () => loading, tally, state, i % 2 ? 'json' : 'msgpack'));
      again.push(keyPusher(obs.port, () => loading, { pushed: 0, queued: 0 }, state));
      await sleep(Math.min(5, SECONDS / 4) * 1000);
      state.closing = true;
      const started = Date.now();
      const exit = await obs.stop({ timeoutMs: 60000 });
      report.shutdownMs = Date.now() - started;
      loading = false;
      await Promise.allSettled(again);
      assert.equal(exit.code, 0, `OBS exited with ${JSON.stringify(exit)}`);
      assertSettingsFile(obs.configFile);
      assert.deepEqual(tally.failures.slice(0, 10), [], 'no failures while closing');
    } finally {
      await obs.kill();
      obs.cleanup();
      console.log(`hostile load: ${JSON.stringify(report)}`);
      if (process.env.CLACKERY_HOSTILE_REPORT) fs.writeFileSync(process.env.CLACKERY_HOSTILE_REPORT, JSON.stringify(report));
    }
  });
