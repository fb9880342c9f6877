// Driving our module in the real OBS the way tests need it: test mode, resuming through the
// registered hotkey, pushing keys, and reading what reached a client and the page road.

import path from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { startObs } from './obs_host.mjs';

export const TEST_MODE = { CLACKERY_TEST_HOOKS: '1', CLACKERY_TEST_NO_HOOK: '1' };

// Scan codes (set 1) and virtual keys of the keys tests use.
export const KEYS = {
  KeyA: { scancode: 0x1e, vk: 0x41 },
  KeyB: { scancode: 0x30, vk: 0x42 },
  KeyC: { scancode: 0x2e, vk: 0x43 },
  Digit2: { scancode: 0x03, vk: 0x32 },
  ShiftLeft: { scancode: 0x2a, vk: 0xa0 },
  ControlRight: { scancode: 0x1d, vk: 0xa3, extended: true },
  Enter: { scancode: 0x1c, vk: 0x0d },
  NumpadEnter: { scancode: 0x1c, vk: 0x0d, extended: true },
  Backspace: { scancode: 0x0e, vk: 0x08 },
  Space: { scancode: 0x39, vk: 0x20 },
  IntlYen: { scancode: 0x7d, vk: 0xdc },
};

export async function startTestObs(options = {}) {
  const obs = await startObs({ ...options, env: { ...TEST_MODE, ...options.env } });
  obs.events = collectVendorEvents(obs.client);
  return obs;
}

// Every vendor event of ours, in arrival order.
export function collectVendorEvents(client) {
  const events = [];
  client.on('VendorEvent', (event) => {
    if (event.vendorName === 'clackery') events.push({ type: event.eventType, data: event.eventData });
  });
  return events;
}

export function call(obs, requestType, requestData) {
  return obs.callVendor('clackery', requestType, requestData);
}

export async function pressHotkey(obs, name) {
  const reply = await obs.callVendor('clackery_test', 'trigger_hotkey', { name });
  if (!reply.found) throw new Error(`hotkey ${name} is not registered`);
}

// Polls until `predicate()` holds; fails after `timeoutMs`.
export async function waitFor(predicate, what, timeoutMs = 5000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const value = await predicate();
    if (value) return value;
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${what}`);
    await sleep(10);
  }
}

// Resumes as a user would, with the registered pause hotkey, and waits for the state.
export async function resume(obs) {
  const before = obs.events.length;
  await pressHotkey(obs, 'clackery.pause_toggle');
  await waitFor(() => obs.events.slice(before).some((e) => e.type === 'state' && e.data.paused === false),
    'the resumed state');
}

export async function pushKey(obs, code, down) {
  const key = KEYS[code];
  if (!key) throw new Error(`no test key ${code}`);
  const reply = await call(obs, 'test_push_key',
    { scancode: key.scancode, vk: key.vk, extended: Boolean(key.extended), down });
  if (!reply.queued) throw new Error(`test_push_key ${code} was not queued`);
}

export async function tap(obs, code) {
  await pushKey(obs, code, true);
  await pushKey(obs, code, false);
}

export function keyEvents(obs) {
  return obs.events.filter((e) => e.type === 'key').map((e) => e.data);
}

export function textEvents(obs) {
  return obs.events.filter((e) => e.type === 'text').map((e) => e.data);
}

// The overlay page as installed in the test home.
export function installedPage(obs) {
  return path.join(obs.home, '.config/obs-studio/plugins/clackery/data/overlay/overlay.html');
}

export const OVERLAY_SOURCE = 'Clackery page';

// Puts a browser source showing our page into the current scene, as a streamer would (no test
// hooks needed), so that the page road has somewhere to go.
export async function placeOverlay(obs, inputName = OVERLAY_SOURCE) {
  const { currentProgramSceneName: sceneName } = await obs.client.call('GetCurrentProgramScene');
  await obs.client.call('CreateInput', {
    sceneName, inputName, inputKind: 'browser_source',
    inputSettings: { is_local_file: true, local_file: installedPage(obs), width: 1920, height: 1080 },
  });
  return inputName;
}

// What each stand-in browser source received through its own "javascript_event".
export async function sourceEvents(obs) {
  const reply = await obs.callVendor('clackery_test', 'source_events');
  return reply.events ?? [];
}

// What the broadcast road ("emit_event" to every browser source) carried.
export async function broadcastEvents(obs) {
  const reply = await obs.callVendor('clackery_test', 'browser_events');
  return reply.events ?? [];
}

function envelopeOf(event) {
  if (event.event_name !== 'fernquarry.clackery') throw new Error(`unexpected event name ${event.event_name}`);
  return JSON.parse(event.event_data.json);
}

// The envelopes that reached the overlay source `name` by either road, parsed, in arrival order
// within each road (a host uses one road at a time).
export async function browserEnvelopes(obs, name = OVERLAY_SOURCE) {
  const own = (await sourceEvents(obs)).filter((event) => event.source === name);
  return [...own, ...(await broadcastEvents(obs))].map(envelopeOf);
}

export async function clearPageEvents(obs) {
  await obs.callVendor('clackery_test', 'clear_source_events');
  await obs.callVendor('clackery_test', 'clear_browser_events');
}

export async function counters(obs) {
  return call(obs, 'test_counters');
}
