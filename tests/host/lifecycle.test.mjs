// The module in the real OBS: start-up and shutdown lines, and the settings file across runs.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { countLines, startObs } from './lib/obs_host.mjs';

const LOADED = '[clackery] plugin loaded (version 0.1.0, build 2026-11-29b)';
const TOTALS = /^\[clackery\] totals sent=\d+ dropped=\d+ unknown=\d+$/;

function readJson(file) {
  return JSON.parse(fs.readFileSync(file, 'utf8'));
}

test('loads once, shuts down once at exit and saves every setting', async () => {
  const obs = await startObs();
  try {
    assert.equal(countLines(obs.clackeryLines(), LOADED), 1);
    await obs.stop();
    const lines = obs.clackeryLines();
    assert.equal(countLines(lines, LOADED), 1);
    assert.equal(lines.filter((line) => TOTALS.test(line)).length, 1, lines.join('\n'));
    const saved = readJson(obs.configFile);
    assert.equal(saved.mode, 'both');
    assert.equal(saved.sound_volume, 30);
    assert.equal(saved.text_scroll, true);
  } finally {
    await obs.kill();
    obs.cleanup();
  }
});

test('a changed option and an unknown key survive a restart', async () => {
  const first = await startObs({ config: JSON.stringify({ mode: 'keyboard', text_lines: 3, from_the_future: 'kept' }) });
  const { root } = first;
  try {
    await first.stop();
    const second = await startObs({ root });
    try {
      await second.stop();
      const saved = readJson(second.configFile);
      assert.equal(saved.mode, 'keyboard');
      assert.equal(saved.text_lines, 3);
      assert.equal(saved.from_the_future, 'kept');
      assert.equal(second.clackeryLines().filter((line) => line.includes('invalid settings')).length, 0);
    } finally {
      await second.kill();
    }
  } finally {
    await first.kill();
    first.cleanup();
  }
});

test('a corrupt settings file is set aside byte for byte and replaced by defaults', async () => {
  const corrupt = Buffer.from('{"mode": "text", \x00\xff broken');
  const obs = await startObs({ config: corrupt });
  try {
    await obs.stop();
    const lines = obs.clackeryLines();
    assert.equal(countLines(lines, '[clackery] invalid settings; defaults selected; preserved=1'), 1);
    assert.deepEqual(fs.readFileSync(path.join(obs.configDir, 'config.json.broken')), corrupt);
    assert.equal(readJson(obs.configFile).mode, 'both');
  } finally {
    await obs.kill();
    obs.cleanup();
  }
});
