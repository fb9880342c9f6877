// The data folder in the real OBS: settings that name layouts, sound packs, skins and
// shortcut sheets that do not exist are corrected at load and saved so.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { countLines, paths, startObs } from './lib/obs_host.mjs';

const NO_LAYOUT = '[clackery] text layout unavailable';

function readJson(file) {
  return JSON.parse(fs.readFileSync(file, 'utf8'));
}

// A copy of the staged data folder, changed by `edit`; removed after the test.
function dataFolder(t, edit) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-data-'));
  t.after(() => fs.rmSync(root, { recursive: true, force: true }));
  const data = path.join(root, 'data');
  fs.cpSync(paths.data, data, { recursive: true });
  edit(data);
  return data;
}

function addSkin(data, id, config) {
  fs.mkdirSync(path.join(data, 'skin', id), { recursive: true });
  fs.writeFileSync(path.join(data, 'skin', id, 'config.json'), config);
}

// Starts OBS with this data folder and these settings, closes it, and returns what it saved
// and logged.
async function runOnce(settings, dataDir) {
  const obs = await startObs({ config: JSON.stringify(settings), dataDir });
  try {
    await obs.stop();
    return { saved: readJson(obs.configFile), lines: obs.clackeryLines() };
  } finally {
    await obs.kill();
    obs.cleanup();
  }
}

test('settings naming missing data are replaced by the defaults and saved so', async () => {
  const { saved, lines } = await runOnce(
    { layout: 'gone', sound_pack: 'gone', skin: 'gone', shortcuts: 'gone' });
  assert.equal(saved.layout, 'jis_tkl');
  assert.equal(saved.sound_pack, 'shizuka');
  assert.equal(saved.skin, 'default');
  assert.equal(saved.shortcuts, 'clipstudio');
  assert.equal(countLines(lines, NO_LAYOUT), 0, lines.join('\n'));
});

test('settings naming data that exist are kept', async (t) => {
  const data = dataFolder(t, (dir) => {
    addSkin(dir, 'cute_bunny', JSON.stringify({ displayName: 'うさぎ' }));
    addSkin(dir, 'cute_mint_choco', '{}');
  });
  const { saved, lines } = await runOnce(
    { layout: 'us_tkl', sound_pack: 'kachi', skin: 'cute_bunny', shortcuts: 'sai' }, data);
  assert.equal(saved.layout, 'us_tkl');
  assert.equal(saved.sound_pack, 'kachi');
  assert.equal(saved.skin, 'cute_bunny');
  assert.equal(saved.shortcuts, 'sai');
  assert.equal(countLines(lines, NO_LAYOUT), 0, lines.join('\n'));
});

test('a skin folder that is a link is not offered, and its setting becomes "default"', async (t) => {
  const outside = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-outside-'));
  t.after(() => fs.rmSync(outside, { recursive: true, force: true }));
  fs.writeFileSync(path.join(outside, 'config.json'), JSON.stringify({ displayName: 'よそ' }));
  const data = dataFolder(t, (dir) => {
    addSkin(dir, 'cute_bunny', '{}');
    // The harness copies links as links.
    fs.symlinkSync(outside, path.join(dir, 'skin', 'linked'));
  });
  const { saved } = await runOnce({ skin: 'linked' }, data);
  assert.equal(saved.skin, 'default');
});

test('without usable layouts the warning is logged once and the layout setting becomes "jis_tkl"', async (t) => {
  const data = dataFolder(t, (dir) => {
    fs.rmSync(path.join(dir, 'layouts'), { recursive: true, force: true });
    fs.rmSync(path.join(dir, 'shortcuts', 'clipstudio.json'));
  });
  const { saved, lines } = await runOnce({ layout: 'us_tkl', shortcuts: 'gone' }, data);
  assert.equal(countLines(lines, NO_LAYOUT), 1, lines.join('\n'));
  assert.equal(saved.layout, 'jis_tkl');
  // Without the "clipstudio" sheet a missing sheet becomes "none".
  assert.equal(saved.shortcuts, 'none');
});
