// Run by the test command once it has installed a .deb into the host under test (CLACKERY_HOST),
// not by ctest: OBS must load the module from the system plug-in folder, with no user plug-in
// folder, and find the packaged data (settings naming data that exist are kept only then).
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { countLines, startObs } from './lib/obs_host.mjs';

const SYSTEM_MODULE = '/usr/lib/x86_64-linux-gnu/obs-plugins/clackery.so';
const LOADED = '[clackery] plugin loaded (version 0.1.0, build 2026-11-29b)';

test('the installed package loads from the system plug-in folder and finds its data', async () => {
  const settings = { layout: 'us_tkl', sound_pack: 'kachi', skin: 'cute_bunny', shortcuts: 'sai' };
  const obs = await startObs({ module: false, companion: false, config: JSON.stringify(settings) });
  try {
    await obs.waitForLog(LOADED);
    assert.equal(fs.existsSync(path.join(obs.home, '.config/obs-studio/plugins')), false);
    // The mapping's path is the one seen from outside, so a root's prefix may come first.
    const maps = fs.readFileSync(`/proc/${obs.obs.pid}/maps`, 'utf8').split('\n');
    const ours = [...new Set(maps.map((line) => line.split(/\s+/)[5]).filter((file) => file?.endsWith('/clackery.so')))];
    assert.equal(ours.length, 1, ours.join('\n'));
    assert.ok(ours[0].endsWith(SYSTEM_MODULE), ours[0]);

    const state = await obs.callVendor('clackery', 'get_state');
    assert.deepEqual([state.layout, state.soundPack, state.skin, state.shortcuts],
      [settings.layout, settings.sound_pack, settings.skin, settings.shortcuts]);
    assert.ok(state.soundFiles.length > 0, JSON.stringify(state.soundFiles));
    const lines = obs.clackeryLines();
    assert.equal(countLines(lines, LOADED), 1, lines.join('\n'));
    assert.equal(countLines(lines, '[clackery] text layout unavailable'), 0, lines.join('\n'));
  } finally {
    await obs.kill();
    obs.cleanup();
  }
});
