// OBS 32's plug-in manager: it names the module from the manifest in its data folder, and a
// module turned off there is not loaded at the next start, its settings left as they were and
// used again once it is turned back on. (The manager keeps its choices in
// plugin_manager/modules.json, one entry per module file with an "enabled" member.)
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { countLines, fromHost, startObs } from './lib/obs_host.mjs';

const LOADED = '[clackery] plugin loaded (version 0.1.0, build 2026-11-29b)';
const hostMajor = Number(fs.readFileSync(fromHost('/usr/include/obs/obs-config.h'), 'utf8')
  .match(/#define\s+LIBOBS_API_MAJOR_VER\s+(\d+)/)[1]);
const skip = hostMajor < 32 && `OBS ${hostMajor} has no plug-in manager`;

const modulesFile = (obs) => path.join(obs.home, '.config/obs-studio/plugin_manager/modules.json');

function setEnabled(obs, enabled) {
  const modules = JSON.parse(fs.readFileSync(modulesFile(obs), 'utf8'));
  const ours = modules.filter((entry) => entry.module_name === 'clackery');
  assert.equal(ours.length, 1, JSON.stringify(modules));
  ours[0].enabled = enabled;
  fs.writeFileSync(modulesFile(obs), JSON.stringify(modules, null, 4));
}

// The texts of the manager's module list, opened from its menu action as a user would.
async function managerTexts(obs) {
  const first = await obs.callVendor('clackery_test', 'plugin_manager', { open: true });
  assert.equal(first.action, true, 'the main window has no plug-in manager action');
  for (let tries = 0; tries < 100; tries += 1) {
    const reply = await obs.callVendor('clackery_test', 'plugin_manager', { close: true });
    if (reply.open) return reply.texts.map((item) => item.text);
    await sleep(100);
  }
  throw new Error('the plug-in manager never opened');
}

test('the plug-in manager names Clackery; turned off there it stays unloaded and its settings survive', { skip },
  async () => {
    const settings = JSON.stringify({ mode: 'keyboard', text_lines: 3 });
    const first = await startObs({ config: settings });
    const { root } = first;
    let saved;
    try {
      const info = await first.callVendor('clackery_test', 'module_info', { module: 'clackery' });
      assert.deepEqual([info.loaded, info.name, info.id, info.version], [true, 'Clackery', 'clackery', '0.1.0']);
      assert.ok((await managerTexts(first)).includes('Clackery'));
      await first.stop();
      saved = fs.readFileSync(first.configFile);
      setEnabled(first, false);

      const off = await startObs({ root });
      try {
        const lines = off.clackeryLines();
        assert.equal(countLines(lines, LOADED), 0, lines.join('\n'));
        assert.equal((await off.callVendor('clackery_test', 'module_info', { module: 'clackery' })).loaded, false);
        await assert.rejects(off.callVendor('clackery', 'get_state'));
        await off.stop();
        assert.deepEqual(fs.readFileSync(off.configFile), saved, 'the settings file changed while turned off');
        assert.equal(off.clackeryLines().length, 0, off.clackeryLines().join('\n'));
      } finally {
        await off.kill();
      }

      setEnabled(first, true);
      const on = await startObs({ root });
      try {
        assert.equal(countLines(on.clackeryLines(), LOADED), 1);
        const state = await on.callVendor('clackery', 'get_state');
        assert.deepEqual([state.mode, state.textLines], ['keyboard', 3]);
        await on.stop();
      } finally {
        await on.kill();
      }
    } finally {
      await first.kill();
      first.cleanup();
    }
  });
