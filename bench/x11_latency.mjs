// X11 capture in the real OBS, end to end: from a key sent through XTest to the "key" vendor
// event at a real obs-websocket client, median and 99th percentile, and the same for mouse
// buttons with the mouse option on (the "mouse" event); then the idle CPU of the capture thread
// with the option off and on, the pointer still. Prints figures; asserts nothing.
//
// Method: a small XTest client (x11_key_sender) sends one key at a time and answers with the
// wall-clock time at which it sent it; the client notes the wall-clock time at which the event
// arrived (performance.timeOrigin + performance.now()). Each press and each release is timed,
// one at a time, the next sent 3 ms (then 10 ms) after the previous event arrived. The event's
// own "t" (stamped on the capture thread) splits the time into XTest to capture and capture to
// client; the envelope that reached the obs-browser stand-in in the same drain, right after the
// vendor event was handed to obs-websocket, carries the emission time "at" and splits capture to
// client into our part (capture to emission, on OBS's UI thread) and the host's (obs-websocket's
// threads, loopback TCP and this client).
//
// Buttons are the side buttons (X 8 and 9, back and forward), which do nothing in OBS's window.
//
// Run: cmake --build build --target bench_x11_latency   (KEYS=2000 per pass, IDLE_SECONDS=60)

import { spawn } from 'node:child_process';
import readline from 'node:readline';
import OBSWebSocket, { EventSubscription } from 'obs-websocket-js';
import { setTimeout as sleep } from 'node:timers/promises';
import { browserEnvelopes, pressHotkey } from '../tests/host/lib/clackery.mjs';
import { startObs } from '../tests/host/lib/obs_host.mjs';
import { summary, threadCpuSeconds } from './lib/figures.mjs';

const KEYS = Number(process.env.KEYS ?? 2000);
const GAPS_MS = [3, 10];
const IDLE_SECONDS = Number(process.env.IDLE_SECONDS ?? 60);
const senderPath = process.argv[2];
// Letters of the home row, so that nothing typed into OBS's focused window does anything.
const KEYCODES = [38, 39, 40, 41, 42, 43, 44, 45, 46];

const nowMs = () => performance.timeOrigin + performance.now();

function print(name, values) {
  const { median, p99, max } = summary(values);
  const fmt = (v) => v.toFixed(2).padStart(7);
  console.log(`${name.padEnd(36)} p50 ${fmt(median)} ms   p99 ${fmt(p99)} ms   max ${fmt(max)} ms   (n=${values.length})`);
}

// A pause that ends within a fraction of a millisecond: the last stretch spins on setImmediate.
async function pause(ms) {
  const due = performance.now() + ms;
  if (ms > 2) await sleep(ms - 2);
  while (performance.now() < due) await new Promise((resolve) => setImmediate(resolve));
}

// Requests (preview, hotkey, records) go on the harness's connection; the events are timed on a
// second one that never asks anything, as an overlay page listens. On a connection that has just
// had a reply, obs-websocket (no TCP_NODELAY) holds the next event until the client's delayed
// ACK, some 40 ms.
// Test requests (CLACKERY_TEST_HOOKS alone keeps the real capture) switch the mouse on and off.
const obs = await startObs({ subscribe: EventSubscription.None, env: { CLACKERY_TEST_HOOKS: '1' } });
const receiver = new OBSWebSocket();
try {
  await receiver.connect(`ws://127.0.0.1:${obs.port}`, undefined, { eventSubscriptions: EventSubscription.Vendors });
  let arrived = null;
  receiver.on('VendorEvent', (event) => {
    if (event.vendorName === 'clackery' && (event.eventType === 'key' || event.eventType === 'mouse') && arrived) {
      const resolve = arrived;
      arrived = null;
      resolve({ at: nowMs(), data: event.eventData });
    }
  });
  await pressHotkey(obs, 'clackery.pause_toggle');
  await sleep(500);

  const sender = spawn(senderPath, [], { env: { ...process.env, DISPLAY: `:${obs.display}` }, stdio: ['pipe', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: sender.stdout })[Symbol.asyncIterator]();
  if ((await lines.next()).value !== 'ready') throw new Error('the key sender did not start');

  // Each spacing twice: with OBS's preview, and without it. Under Xvfb the preview is drawn in
  // software on the same two cores (a streamer's GPU draws it), and its bursts delay every
  // thread's wake-up, the X server's included. Then the mouse's side buttons, preview off.
  const passes = GAPS_MS.flatMap((g) => [[g, true, false], [g, false, false]]).concat([[GAPS_MS[0], false, true]]);
  for (const [gap, preview, buttons] of passes) {
    if (buttons) {
      await obs.callVendor('clackery', 'test_set_overlay_options', { mouse: true });
      await sleep(300);
    }
    await obs.callVendor('clackery_test', 'set_preview', { enabled: preview });
    const endToEnd = [];
    const toCapture = [];
    const toClient = [];
    const received = [];
    await obs.callVendor('clackery_test', 'clear_browser_events');
    for (let i = 0; i < KEYS; i++) {
      const keycode = buttons ? `b${8 + (i % 2)}` : KEYCODES[i % KEYCODES.length];
      for (const down of [true, false]) {
        const event = new Promise((resolve, reject) => {
          arrived = resolve;
          setTimeout(() => reject(new Error(`no event for ${keycode}`)), 5000).unref();
        });
        sender.stdin.write(`${keycode} ${down ? 1 : 0}\n`);
        const [sentUs] = (await lines.next()).value.split(' ').map(Number);
        const { at, data } = await event;
        if (data.down !== down) throw new Error(`an event out of step: ${JSON.stringify(data)}`);
        const sent = sentUs / 1000;
        endToEnd.push(at - sent);
        toCapture.push(data.t - sent);
        toClient.push(at - data.t);
        received.push({ seq: data.seq, t: data.t, at });
        await pause(gap);
      }
    }
    const what = buttons ? 'mouse buttons' : 'keys';
    console.log(`\nX11 capture latency, ${what} ${gap} ms apart, ${KEYS} ${what} (${endToEnd.length} presses and releases), ` +
      `real OBS under Xvfb, preview ${preview ? 'on' : 'off'}:`);
    print(`XTest send -> client event`, endToEnd);
    print('XTest send -> capture', toCapture);
    print('capture -> client event', toClient);
    const emittedAt = new Map((await browserEnvelopes(obs)).filter((e) => e.kind === 'key' || e.kind === 'mouse')
      .map((e) => [e.seq, e.at]));
    const matched = received.filter((r) => emittedAt.has(r.seq));
    print('  capture -> emission (ours)', matched.map((r) => emittedAt.get(r.seq) - r.t));
    print('  emission -> client (host, client)', matched.map((r) => r.at - emittedAt.get(r.seq)));
  }
  sender.stdin.end();

  // Idle: capture resumed, no keys, the pointer still; the mouse off, then on.
  for (const mouse of [false, true]) {
    await obs.callVendor('clackery', 'test_set_overlay_options', { mouse });
    await sleep(300);
    const before = threadCpuSeconds(obs.obs.pid, 'clackery-hook');
    if (!before) throw new Error('no clackery-hook thread');
    await sleep(IDLE_SECONDS * 1000);
    const seconds = threadCpuSeconds(obs.obs.pid, 'clackery-hook').seconds - before.seconds;
    console.log(`\nIdle capture thread (tid ${before.tid}) over ${IDLE_SECONDS} s, capture resumed, no keys, mouse ` +
      `${mouse ? 'on' : 'off'}: ${seconds.toFixed(2)} s of CPU = ${((seconds / IDLE_SECONDS) * 100).toFixed(3)} % of one core`);
  }
  await obs.stop();
} finally {
  await receiver.disconnect().catch(() => {});
  await obs.kill();
  obs.cleanup();
}
