// The vendor "clackery" in the real OBS with the real obs-websocket: which requests exist,
// events to subscribed clients and, through the obs-browser stand-in, to the page, requests
// from many clients at once, requests from the UI thread, and shutdown while clients keep
// asking (CLACKERY_SHUTDOWN_LOOPS=20 repeats that one).
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { isDeepStrictEqual } from 'node:util';
import OBSWebSocket, { EventSubscription } from 'obs-websocket-js';
import { countLines, startObs } from './lib/obs_host.mjs';

const TEST_HOOKS_LINE = '[clackery] test hooks enabled';
const TOTALS = /^\[clackery\] totals sent=\d+ dropped=\d+ unknown=\d+$/;
const NOT_FOUND = 600;
const NOT_READY = 207;

// Runs `body` with a started OBS and always takes it down afterwards.
async function withObs(options, body) {
  const obs = await startObs(options);
  try {
    return await body(obs);
  } finally {
    await obs.kill();
    obs.cleanup();
  }
}

// The status code a vendor request answers with, and its response data.
async function vendorStatus(obs, vendorName, requestType) {
  try {
    const responseData = await obs.callVendor(vendorName, requestType);
    return { status: 100, responseData };
  } catch (error) {
    return { status: error.code, comment: error.message };
  }
}

async function connectClient(obs, eventSubscriptions = EventSubscription.None) {
  const client = new OBSWebSocket();
  await client.connect(`ws://127.0.0.1:${obs.port}`, undefined, { eventSubscriptions });
  return client;
}

const getState = { vendorName: 'clackery', requestType: 'get_state' };
const INSTANCE_ID = /^clackery-plugin-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$/;
// The host keeps a data object's items sorted by name, so the envelope's text has this order.
const ENVELOPE_KEYS = ['at', 'data', 'from', 'kind', 'role', 'seq', 'type', 'v'];

async function waitFor(what, predicate, timeoutMs = 10000) {
  const deadline = Date.now() + timeoutMs;
  while (!(await predicate())) {
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

// What the obs-browser stand-in received, in arrival order.
async function browserEvents(obs) {
  const { events } = await obs.callVendor('clackery_test', 'browser_events');
  return events;
}

function pressHotkey(obs, name) {
  return obs.callVendor('clackery_test', 'trigger_hotkey', { name: `clackery.${name}` });
}

test('requests registered by the test hooks variable', async (t) => {
  const cases = [
    { name: 'unset', env: {}, hooks: false },
    { name: 'exactly 1', env: { CLACKERY_TEST_HOOKS: '1' }, hooks: true },
    { name: '1 followed by more', env: { CLACKERY_TEST_HOOKS: '1x' }, hooks: false },
    { name: 'other value', env: { CLACKERY_TEST_HOOKS: 'yes' }, hooks: false },
  ];
  for (const c of cases) {
    await t.test(c.name, () => withObs({ env: c.env }, async (obs) => {
      assert.equal(countLines(obs.clackeryLines(), TEST_HOOKS_LINE), c.hooks ? 1 : 0);
      const state = await vendorStatus(obs, 'clackery', 'get_state');
      assert.equal(state.status, 100);
      assert.equal(state.responseData.paused, true);
      assert.equal(state.responseData.hidden, true);
      // A request of the test set answers (with nothing yet) only when registered.
      for (const request of ['test_push_key', 'test_counters', 'test_dock_geometry']) {
        const reply = await vendorStatus(obs, 'clackery', request);
        assert.equal(reply.status, c.hooks ? 100 : NOT_FOUND, request);
      }
      // obs-websocket 5.1 answers an unknown request of a known vendor with 600.
      const unknown = await vendorStatus(obs, 'clackery', 'test_no_such_request');
      assert.deepEqual(unknown, { status: NOT_FOUND, comment: 'No request was found by that name.' });
      await obs.stop();
      const lines = obs.clackeryLines();
      assert.equal(lines.filter((line) => line.includes('delivery disabled')).length, 0, lines.join('\n'));
    }));
  }
});

test('events reach subscribed clients and the page under one numbering', async (t) => {
  await withObs({}, async (obs) => {
    const startedAt = Date.now();
    const vendorEvents = [];
    obs.client.on('VendorEvent', (event) => vendorEvents.push(event));

    // The first event after load is the state of the post-load step, on the page's road only.
    // obs-websocket 5.5 and later (OBS 30, OBS 32) refuse calls to obs-browser until the
    // frontend has finished loading, that one among them: there the page first sees the tick's
    // republished state, numbered after the refused one.
    await waitFor('the first state on the page road', async () => (await browserEvents(obs)).length > 0);
    const [first] = await browserEvents(obs);
    const firstEnvelope = JSON.parse(first.event_data.json);
    const { obsWebSocketVersion } = await obs.client.call('GetVersion');
    const [major, minor] = obsWebSocketVersion.split('.').map(Number);
    assert.equal(firstEnvelope.seq, major > 5 || (major === 5 && minor >= 5) ? 2 : 1, `obs-websocket ${obsWebSocketVersion}`);
    assert.equal(firstEnvelope.kind, 'state');
    assert.equal(firstEnvelope.data.paused, true);
    await obs.callVendor('clackery_test', 'clear_browser_events');

    await pressHotkey(obs, 'pause_toggle'); // resume: state and the current text
    await pressHotkey(obs, 'hide_toggle');
    await pressHotkey(obs, 'pause_toggle');
    await waitFor('four vendor events', () => vendorEvents.length >= 4);
    // A client may see a vendor event before the page's copy of it has been sent.
    let received = [];
    await waitFor('the last change on the page road', async () => {
      received = await browserEvents(obs);
      return received.some((event) => JSON.parse(event.event_data.json).data.rev === 4);
    });
    const readAt = Date.now();

    // obs-websocket broadcasts each event from a thread pool: clients may see them in any order,
    // and tell it from "rev" (state) and "seq" (key, text).
    assert.deepEqual(vendorEvents.map((event) => `${event.vendorName} ${event.eventType}`).sort(),
      ['clackery state', 'clackery state', 'clackery state', 'clackery text']);
    assert.deepEqual(vendorEvents.filter((e) => e.eventType === 'state').map((e) => e.eventData.rev)
      .sort((a, b) => a - b), [2, 3, 4]);

    const envelopes = received.map((event) => {
      assert.equal(event.event_name, 'fernquarry.clackery');
      assert.deepEqual(Object.keys(event.event_data), ['json']);
      return JSON.parse(event.event_data.json);
    });
    assert.ok(envelopes.length >= 4, `${envelopes.length} envelopes`);
    for (const [i, envelope] of envelopes.entries()) {
      // OBS 29 writes an object's keys sorted, OBS 30 in the order they were set.
      assert.deepEqual(Object.keys(envelope).sort(), ENVELOPE_KEYS);
      assert.equal(envelope.type, 'fernquarry.clackery');
      assert.equal(envelope.v, 1);
      assert.equal(envelope.role, 'plugin');
      assert.match(envelope.from, INSTANCE_ID);
      assert.equal(envelope.from, firstEnvelope.from);
      assert.ok(['state', 'text', 'key'].includes(envelope.kind), envelope.kind);
      assert.ok(envelope.at >= startedAt - 1000 && envelope.at <= readAt + 1000, `at ${envelope.at}`);
      if (i > 0) assert.equal(envelope.seq, envelopes[i - 1].seq + 1, 'seq rises by one across kinds');
      if (envelope.kind !== 'state') assert.equal(envelope.data.seq, envelope.seq);
      else assert.equal('seq' in envelope.data, false);
    }
    // Each vendor event went to the page too, with the same payload.
    const matched = new Set();
    for (const event of vendorEvents) {
      const index = envelopes.findIndex((envelope, i) => !matched.has(i) && envelope.kind === event.eventType
        && isDeepStrictEqual(envelope.data, event.eventData));
      assert.ok(index >= 0, `no envelope for ${JSON.stringify(event)}`);
      assert.deepEqual(envelopes[index].data, event.eventData);
      matched.add(index);
    }
    // The page road keeps the order of the changes.
    const revs = envelopes.filter((envelope) => envelope.kind === 'state').map((envelope) => envelope.data.rev);
    assert.deepEqual(revs, [...revs].sort((a, b) => a - b));

    const text = received.find((event) => JSON.parse(event.event_data.json).kind === 'text');
    t.diagnostic(`captured envelope: ${text.event_data.json}`);
    await obs.stop();
  });
});

test('without obs-browser the page road fails and vendor events still go out', () =>
  withObs({ env: { CLACKERY_TEST_NO_BROWSER: '1' } }, async (obs) => {
    assert.ok(obs.log().includes('[clackery-test] browser stand-in absent'));
    const vendorEvents = [];
    obs.client.on('VendorEvent', (event) => vendorEvents.push(event));
    await pressHotkey(obs, 'pause_toggle');
    await waitFor('two vendor events', () => vendorEvents.length >= 2);
    const state = vendorEvents.find((event) => event.eventType === 'state');
    const text = vendorEvents.find((event) => event.eventType === 'text');
    assert.ok(state && text, JSON.stringify(vendorEvents));
    assert.equal(state.eventData.paused, false);
    // The post-load state and the resume's state were numbered before it, though not delivered.
    assert.ok(text.eventData.seq >= 3, `seq ${text.eventData.seq}`);
    assert.deepEqual(await browserEvents(obs), []);
    assert.equal((await obs.callVendor('clackery', 'get_state')).paused, false);
    await obs.stop();
    assert.deepEqual(obs.clackeryLines().filter((line) => line.includes('delivery disabled')), []);
  }));

test('a request made on the UI thread is served at once instead of waiting for itself', () =>
  withObs({}, async (obs) => {
    const reply = await obs.callVendor('clackery_test', 'ui_call_vendor', getState);
    assert.equal(reply.answered, true);
    assert.equal(reply.status, 100);
    assert.equal(reply.reply.vendorName, 'clackery');
    assert.equal(reply.reply.requestType, 'get_state');
    assert.deepEqual(reply.reply.responseData, await obs.callVendor('clackery', 'get_state'));
    await obs.stop();
  }));

test('8 clients with 200 concurrent get_state requests each are all answered', () =>
  withObs({}, async (obs) => {
    const clients = await Promise.all(Array.from({ length: 8 }, () => connectClient(obs)));
    try {
      const expected = await obs.client.call('CallVendorRequest', getState);
      assert.equal(expected.responseData.rev, 1);
      const replies = await Promise.all(clients.flatMap((client) =>
        Array.from({ length: 200 }, () => client.call('CallVendorRequest', getState))));
      assert.equal(replies.length, 1600);
      for (const reply of replies) assert.deepEqual(reply, expected);
    } finally {
      await Promise.all(clients.map((client) => client.disconnect()));
    }
    await obs.stop();
  }));

// Keeps `inFlight` get_state requests outstanding on one client until its connection closes.
function fireUntilClosed(client, inFlight, counts) {
  const closed = new Promise((resolve) => client.once('ConnectionClosed', () => resolve('closed')));
  const loop = async () => {
    for (;;) {
      const outcome = await Promise.race([
        client.call('CallVendorRequest', getState).then(() => 'answered', (error) => error.code),
        closed,
      ]);
      if (outcome === 'closed') return;
      if (outcome === 'answered') counts.answered += 1;
      else counts.refused.push(outcome);
    }
  };
  return Promise.all(Array.from({ length: inFlight }, loop));
}

function shutdownWhileFiring() {
  return withObs({}, async (obs) => {
    // Capture running, so the shutdown also stops the tick's emissions.
    await pressHotkey(obs, 'pause_toggle');
    const clients = await Promise.all(Array.from({ length: 8 }, () => connectClient(obs)));
    const counts = { answered: 0, refused: [] };
    const firing = clients.map((client) => fireUntilClosed(client, 20, counts));
    while (counts.answered < 400) await new Promise((resolve) => setTimeout(resolve, 5));

    const exit = await obs.stop({ timeoutMs: 30000 });
    await Promise.all(firing);
    assert.equal(exit.timedOut, false);
    assert.equal(exit.code, 0, `exit ${JSON.stringify(exit)}; log at ${obs.logFile}`);
    const lines = obs.clackeryLines();
    assert.equal(lines.filter((line) => TOTALS.test(line)).length, 1, lines.join('\n'));
    // Requests that arrive once the vendor is gone are refused as unknown, nothing else; from
    // the exit event on, obs-websocket 5.5 (OBS 30) refuses every request as "not ready" first.
    assert.deepEqual([...new Set(counts.refused)].filter((code) => code !== NOT_FOUND && code !== NOT_READY), []);
    return counts;
  });
}

test('a shutdown started while clients keep asking completes', async (t) => {
  const loops = Number.parseInt(process.env.CLACKERY_SHUTDOWN_LOOPS ?? '1', 10);
  for (let i = 1; i <= loops; i += 1) {
    const started = Date.now();
    const counts = await shutdownWhileFiring();
    t.diagnostic(`shutdown ${i}/${loops}: ${Date.now() - started} ms, ${counts.answered} answered, `
      + `${counts.refused.length} refused`);
  }
});
