// X11 capture in the real OBS, end to end: from a key sent through XTest to the "key" vendor
// event at a real obs-websocket client, median and 99th percentile; then the idle CPU of the
// capture thread. Prints figures; asserts nothing.
//
// Method: a small XTest client (x11_key_sender) sends one key at a time and answers with the
// wall-clock time at which it sent it; the client notes the wall-clock time at which the event
// arrived (performance.timeOrigin + performance.now()). Each press and each release is timed,
// one at a time, after a random pause of 0 to 10 ms so that sends do not lock onto the 8 ms tick.
// The event's own "t" (stamped on the capture thread) splits the time into XTest to capture and
// capture to client.
//
// Run: cmake --build build --target bench_x11_latency   (KEYS=2000 IDLE_SECONDS=60 by default)

import { spawn } from 'node:child_process';
import readline from 'node:readline';
import { setTimeout as sleep } from 'node:timers/promises';
import { pressHotkey, waitFor } from '../tests/host/lib/clackery.mjs';
import { startObs } from '../tests/host/lib/obs_host.mjs';
import { summary, threadCpuSeconds } from './lib/figures.mjs';

const KEYS = Number(process.env.KEYS ?? 2000);
const IDLE_SECONDS = Number(process.env.IDLE_SECONDS ?? 60);
const senderPath = process.argv[2];
// Letters of the home row, so that nothing typed into OBS's focused window does anything.
const KEYCODES = [38, 39, 40, 41, 42, 43, 44, 45, 46];

const nowMs = () => performance.timeOrigin + performance.now();

function print(name, values) {
  const { median, p99, max } = summary(values);
  const fmt = (v) => v.toFixed(2).padStart(7);
  console.log(`${name.padEnd(26)} median ${fmt(median)} ms   p99 ${fmt(p99)} ms   max ${fmt(max)} ms   (n=${values.length})`);
}

const obs = await startObs({});
try {
  const received = [];
  obs.client.on('VendorEvent', (event) => {
    if (event.vendorName === 'clackery' && event.eventType === 'key') received.push({ at: nowMs(), data: event.eventData });
  });
  await pressHotkey(obs, 'clackery.pause_toggle');
  await sleep(500);

  const sender = spawn(senderPath, [], { env: { ...process.env, DISPLAY: `:${obs.display}` }, stdio: ['pipe', 'pipe', 'inherit'] });
  const lines = readline.createInterface({ input: sender.stdout })[Symbol.asyncIterator]();
  if ((await lines.next()).value !== 'ready') throw new Error('the key sender did not start');

  const endToEnd = [];
  const toCapture = [];
  const toClient = [];
  for (let i = 0; i < KEYS; i++) {
    const keycode = KEYCODES[i % KEYCODES.length];
    for (const down of [true, false]) {
      await sleep(Math.random() * 10);
      const expected = received.length + 1;
      sender.stdin.write(`${keycode} ${down ? 1 : 0}\n`);
      const [sentUs] = (await lines.next()).value.split(' ').map(Number);
      await waitFor(() => received.length >= expected, `key event ${expected}`);
      const { at, data } = received[expected - 1];
      if (data.down !== down) throw new Error(`event ${expected} is ${JSON.stringify(data)}`);
      const sent = sentUs / 1000;
      endToEnd.push(at - sent);
      toCapture.push(data.t - sent);
      toClient.push(at - data.t);
    }
  }
  sender.stdin.end();

  console.log(`\nX11 capture latency, ${KEYS} keys (${endToEnd.length} presses and releases), real OBS under Xvfb:`);
  print('XTest send -> client event', endToEnd);
  print('XTest send -> capture', toCapture);
  print('capture -> client event', toClient);

  const before = threadCpuSeconds(obs.obs.pid, 'clackery-hook');
  if (!before) throw new Error('no clackery-hook thread');
  await sleep(IDLE_SECONDS * 1000);
  const seconds = threadCpuSeconds(obs.obs.pid, 'clackery-hook').seconds - before.seconds;
  console.log(`\nIdle capture thread (tid ${before.tid}) over ${IDLE_SECONDS} s, capture resumed, no keys: ` +
    `${seconds.toFixed(2)} s of CPU = ${((seconds / IDLE_SECONDS) * 100).toFixed(3)} % of one core`);
  await obs.stop();
} finally {
  await obs.kill();
  obs.cleanup();
}
