// Keys end to end in the real OBS (test mode): from "test_push_key" through the ring and the
// tick to a real obs-websocket client and to the page road (the overlay's stand-in browser
// source).
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import {
  browserEnvelopes, call, clearPageEvents, counters, keyEvents, placeOverlay, pushKey, resume, tap, waitFor,
} from './lib/clackery.mjs';
import { withTestObs } from './lib/test_obs.mjs';

const NO_MODS = { ctrl: false, shift: false, alt: false, win: false };
const bySeq = (a, b) => a.seq - b.seq;

async function keysAfter(obs, count) {
  await waitFor(() => keyEvents(obs).length >= count, `${count} key events`);
  // obs-websocket hands vendor events to its clients from a pool of threads: order by "seq".
  return keyEvents(obs).sort(bySeq);
}

test('after load the module is paused and hidden and pushed keys are not sent', () => withTestObs(async (obs) => {
  const state = await call(obs, 'get_state');
  assert.equal(state.paused, true);
  assert.equal(state.hidden, true);
  await pushKey(obs, 'KeyA', true);
  await waitFor(async () => (await counters(obs)).paused >= 1, 'the refused test key');
  const after = await counters(obs);
  assert.equal(after.sent, 0);
  assert.equal(after.queued, 0);
  assert.equal(keyEvents(obs).length, 0);
}));

test('keys reach the client and the page with their modifiers, in envelopes', () => withTestObs(async (obs) => {
  await placeOverlay(obs);
  await resume(obs);
  const resumed = obs.events.find((e) => e.type === 'state');
  assert.equal(resumed.data.paused, false);
  assert.equal(resumed.data.hidden, false, 'the first resume shows the overlay');

  await tap(obs, 'KeyA');
  await pushKey(obs, 'ShiftLeft', true);
  await tap(obs, 'Digit2');
  await pushKey(obs, 'ShiftLeft', false);
  const events = await keysAfter(obs, 6);
  const shape = events.map(({ code, down, mods }) => ({ code, down, mods }));
  assert.deepEqual(shape, [
    { code: 'KeyA', down: true, mods: NO_MODS },
    { code: 'KeyA', down: false, mods: NO_MODS },
    { code: 'ShiftLeft', down: true, mods: { ...NO_MODS, shift: true } },
    { code: 'Digit2', down: true, mods: { ...NO_MODS, shift: true } },
    { code: 'Digit2', down: false, mods: { ...NO_MODS, shift: true } },
    { code: 'ShiftLeft', down: false, mods: NO_MODS },
  ]);
  for (const event of events) assert.ok(Math.abs(event.t - Date.now()) < 5000, 'key time is wall-clock ms');

  const envelopes = await browserEnvelopes(obs);
  const seqs = envelopes.map((e) => e.seq);
  assert.deepEqual(seqs, seqs.map((_, i) => seqs[0] + i), 'one sequence across all kinds');
  const from = envelopes[0].from;
  assert.match(from, /^clackery-plugin-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$/);
  for (const envelope of envelopes) {
    // libobs writes JSON keys sorted, so only the set of keys is fixed on the wire.
    assert.deepEqual(Object.keys(envelope).sort(), ['at', 'data', 'from', 'kind', 'role', 'seq', 'type', 'v']);
    assert.equal(envelope.type, 'fernquarry.clackery');
    assert.equal(envelope.v, 1);
    assert.equal(envelope.role, 'plugin');
    assert.equal(envelope.from, from);
    assert.ok(Math.abs(envelope.at - Date.now()) < 10000);
  }
  const keyEnvelopes = envelopes.filter((e) => e.kind === 'key');
  assert.deepEqual(keyEnvelopes.map((e) => e.data), events.map((e) => ({ ...e })),
    'the page gets what the client gets, seq included');
  for (const envelope of keyEnvelopes) assert.equal(envelope.data.seq, envelope.seq);
  assert.equal((await counters(obs)).sent, 6);
}));

test('auto-repeat is dropped and counted; a test key is never released by the sweep', () => withTestObs(async (obs) => {
  await resume(obs);
  await pushKey(obs, 'KeyB', true);
  await pushKey(obs, 'KeyB', true);
  await pushKey(obs, 'KeyB', true);
  await waitFor(async () => (await counters(obs)).repeated === 2, 'two repeats');
  // Two sweeps 250 ms apart would release a real key found up; a test key stays held.
  await sleep(800);
  assert.deepEqual(keyEvents(obs).map((e) => e.down), [true]);
  await pushKey(obs, 'KeyB', false);
  const events = await keysAfter(obs, 2);
  assert.deepEqual(events.map((e) => [e.code, e.down]), [['KeyB', true], ['KeyB', false]]);
  const totals = await counters(obs);
  assert.equal(totals.sent, 2);
  assert.equal(totals.queued, 4);
  assert.equal(totals.unknown, 0);
  assert.equal(totals.heatmap_resets, 0);
}));

test('the page road gets the whole state at least every two seconds', () => withTestObs(async (obs) => {
  await placeOverlay(obs);
  await clearPageEvents(obs);
  const states = await waitFor(async () => {
    const found = (await browserEnvelopes(obs)).filter((e) => e.kind === 'state');
    return found.length >= 3 ? found : null;
  }, 'three periodic states', 8000);
  for (let i = 1; i < states.length; i++) {
    assert.ok(states[i].at - states[i - 1].at < 2100, `gap ${states[i].at - states[i - 1].at} ms`);
    assert.equal(states[i].data.rev, states[0].data.rev, 'a periodic state keeps its revision');
  }
  assert.equal(obs.events.filter((e) => e.type === 'state').length, 0, 'no vendor event without a change');
}));
