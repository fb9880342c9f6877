// Ctrl+C to OBS while a client keeps a request busy on the UI thread. OBS 29 handles SIGINT on
// the UI thread, inside whatever runs there, and closes the main window from that point; our
// shutdown then runs on top of the interrupted request and must neither wait for it nor free
// what it still uses.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { once } from 'node:events';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { call, startTestObs } from './lib/clackery.mjs';

const TOTALS = /^\[clackery\] totals sent=\d+ dropped=\d+ unknown=\d+$/;
const EXIT_WAIT_MS = 10000;

// Ends the process by its signal or after the wait; says which.
async function exitWithin(child, ms) {
  if (child.exitCode !== null || child.signalCode !== null) return 'exited';
  const result = await Promise.race([once(child, 'exit').then(() => 'exited'), sleep(ms, 'hung', { ref: false })]);
  if (result === 'hung') {
    child.kill('SIGKILL');
    await once(child, 'exit');
  }
  return result;
}

// One run: `request` loops on one client; 3 s in, SIGINT. Returns how OBS ended.
async function interruptDuring(prepare, request) {
  const obs = await startTestObs();
  try {
    await prepare(obs);
    let looping = true;
    let answered = 0;
    const loop = (async () => {
      while (looping) {
        await request(obs, answered);
        answered += 1;
      }
    })().catch(() => {}); // the connection ends with OBS
    await sleep(3000);
    obs.obs.kill('SIGINT');
    const ended = await exitWithin(obs.obs, EXIT_WAIT_MS);
    looping = false;
    await obs.client.disconnect().catch(() => {});
    // A request cut off by the end of OBS may never settle.
    await Promise.race([loop, sleep(2000, null, { ref: false })]);
    obs.stopped = true;
    const config = fs.existsSync(obs.configFile) ? fs.readFileSync(obs.configFile, 'utf8') : null;
    return { ended, signal: obs.obs.signalCode, code: obs.obs.exitCode, answered, lines: obs.clackeryLines(), config };
  } finally {
    await obs.kill();
    obs.cleanup();
  }
}

// SIGINT under Xvfb also crashes stock OBS now and then, with nothing of ours involved: a crash
// (a signal, or the exit code of OBS's crash handler) is tried once more; a hang fails at once.
async function interruptAndCheck(prepare, request, check) {
  for (let attempt = 1; ; attempt += 1) {
    const run = await interruptDuring(prepare, request);
    assert.equal(run.ended, 'exited', `OBS still ran ${EXIT_WAIT_MS} ms after SIGINT (${run.answered} requests answered)`);
    assert.ok(run.answered > 0, 'the client kept a request busy');
    const crashed = run.signal !== null || run.code !== 0;
    if (crashed && attempt < 2) continue;
    assert.equal(crashed, false, `OBS crashed twice (last: signal ${run.signal}, code ${run.code})`);
    assert.equal(run.lines.filter((line) => TOTALS.test(line)).length, 1, run.lines.join('\n'));
    check?.(run);
    return;
  }
}

test('SIGINT during a loop of dock grabs ends OBS with the totals line', () => interruptAndCheck(
  async (obs) => assert.deepEqual(await call(obs, 'test_show_dock', { visible: true }), { accepted: true }),
  (obs) => call(obs, 'test_grab_dock', { floating: false }),
));

test('SIGINT during a loop of saved option changes ends OBS with the totals line and the settings file', () =>
  interruptAndCheck(
    async () => {},
    (obs, n) => call(obs, 'test_set_overlay_options', { soundVolume: n % 100 }),
    (run) => {
      const saved = JSON.parse(run.config);
      assert.equal(typeof saved.sound_volume, 'number');
      assert.equal(saved.mode, 'both');
    },
  ));
