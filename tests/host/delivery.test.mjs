// The vendor "clackery" in the real OBS with the real obs-websocket: which requests exist,
// requests from many clients at once, requests from the UI thread, and shutdown while clients
// keep asking.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import OBSWebSocket, { EventSubscription } from 'obs-websocket-js';
import { countLines, startObs } from './lib/obs_host.mjs';

const TEST_HOOKS_LINE = '[clackery] test hooks enabled';
const TOTALS = /^\[clackery\] totals sent=\d+ dropped=\d+ unknown=\d+$/;
const NOT_FOUND = 600;

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
      assert.equal((await vendorStatus(obs, 'clackery', 'get_state')).status, 100);
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

test('a request made on the UI thread is served at once instead of waiting for itself', () =>
  withObs({}, async (obs) => {
    const reply = await obs.callVendor('clackery_test', 'ui_call_vendor', getState);
    assert.equal(reply.answered, true);
    assert.equal(reply.status, 100);
    assert.equal(reply.reply.vendorName, 'clackery');
    assert.equal(reply.reply.requestType, 'get_state');
    await obs.stop();
  }));

test('8 clients with 200 concurrent get_state requests each are all answered', () =>
  withObs({}, async (obs) => {
    const clients = await Promise.all(Array.from({ length: 8 }, () => connectClient(obs)));
    try {
      const expected = await obs.client.call('CallVendorRequest', getState);
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
    // Requests that arrive once the vendor is gone are refused as unknown, nothing else.
    assert.deepEqual([...new Set(counts.refused)].filter((code) => code !== NOT_FOUND), []);
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
