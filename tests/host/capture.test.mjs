// Key capture start-up in the real OBS: test mode runs the hook thread on its own queue; without
// it the X11 key source is installed on OBS's display.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { countLines, startObs } from './lib/obs_host.mjs';

const LOADED = '[clackery] plugin loaded (version 0.1.0, build 2026-11-29b)';
const TEST_MODE = '[clackery] test OS hook disabled; queue thread active';
const HOOK_INSTALLED = '[clackery] hook installed';
const TOTALS = /^\[clackery\] totals sent=\d+ dropped=(\d+) unknown=\d+$/;

const TEST_ENV = { CLACKERY_TEST_HOOKS: '1', CLACKERY_TEST_NO_HOOK: '1' };

// Starts OBS, checks it answers after load, stops it cleanly and returns our log lines.
async function runObs(env) {
  const obs = await startObs({ env });
  try {
    const version = await obs.client.call('GetVersion');
    assert.ok(version.obsVersion, 'OBS answers after the module loaded');
    const exit = await obs.stop();
    assert.equal(exit.code, 0);
    return obs.clackeryLines();
  } finally {
    await obs.kill();
    obs.cleanup();
  }
}

function assertOneTotalsLineWithNothingDropped(lines) {
  const totals = lines.filter((line) => TOTALS.test(line));
  assert.equal(totals.length, 1, lines.join('\n'));
  assert.equal(totals[0].match(TOTALS)[1], '0');
}

test('test mode starts the queue thread without a system hook', async () => {
  const lines = await runObs(TEST_ENV);
  assert.equal(countLines(lines, TEST_MODE), 1, lines.join('\n'));
  assert.equal(lines.filter((line) => line.includes('hook failed') || line.includes('hook installed')).length, 0);
  assert.ok(lines.indexOf(TEST_MODE) < lines.indexOf(LOADED), 'the hook result is logged during start-up');
  assertOneTotalsLineWithNothingDropped(lines);
});

test('without test mode the system key source is installed', async () => {
  const lines = await runObs({});
  assert.equal(countLines(lines, HOOK_INSTALLED), 1, lines.join('\n'));
  assert.equal(countLines(lines, TEST_MODE), 0);
  assert.equal(countLines(lines, LOADED), 1);
  assertOneTotalsLineWithNothingDropped(lines);
});

test('test mode needs both variables to be exactly "1"', async () => {
  for (const env of [{ CLACKERY_TEST_HOOKS: '1' }, { CLACKERY_TEST_HOOKS: '1', CLACKERY_TEST_NO_HOOK: '1x' },
    { CLACKERY_TEST_HOOKS: 'true', CLACKERY_TEST_NO_HOOK: '1' }]) {
    const lines = await runObs(env);
    assert.equal(countLines(lines, HOOK_INSTALLED), 1, `${JSON.stringify(env)}\n${lines.join('\n')}`);
    assert.equal(countLines(lines, TEST_MODE), 0);
  }
});
