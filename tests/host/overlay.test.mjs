// The dock's place-overlay button in the real OBS: the browser source it creates, finds or
// repairs in the current scene, the names it chooses, and what it tells the streamer.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { hostCwd, paths, startObs } from './lib/obs_host.mjs';

const PLACE = 'いまのシーンに Clackery を置く';
const HINT = 'いまのシーンへ置けます。音の大きさは OBS の音声ミキサーで変えられます。';
const CREATED = 'いまのシーンに Clackery を置きました。開始するとキーの動きが出ます。';
const EXISTING = 'このシーンには、もうオーバーレイがあります。';
const FAILED = '足せませんでした。シーンとブラウザソースを確かめてください。';

// The staged data folder, with or without an overlay page.
function dataDir({ page }) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-data-'));
  fs.cpSync(paths.data, dir, { recursive: true });
  const file = path.join(dir, 'overlay/overlay.html');
  if (page && !fs.existsSync(file)) {
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, '<!doctype html><title>overlay</title>\n');
  }
  if (!page) fs.rmSync(file, { force: true });
  return dir;
}

function installedPage(obs) {
  return path.join(obs.home, '.config/obs-studio/plugins/clackery/data/overlay/overlay.html');
}

async function clickPlace(obs) {
  const reply = await obs.callVendor('clackery_test', 'click_dock_button', { dock: 'clackery_dock', text: PLACE });
  assert.equal(reply.found, true, 'the dock has no place-overlay button');
  assert.equal(reply.title, 'Clackery');
  return reply.labels.map((label) => label.text);
}

async function itemNames(obs, sceneName) {
  const { sceneItems } = await obs.client.call('GetSceneItemList', { sceneName });
  return sceneItems.map((item) => item.sourceName);
}

async function inputNames(obs) {
  const { inputs } = await obs.client.call('GetInputList');
  return inputs.map((input) => input.inputName).sort();
}

async function switchTo(obs, sceneName, inputs = []) {
  await obs.client.call('CreateScene', { sceneName });
  for (const input of inputs) await obs.client.call('CreateInput', { sceneName, ...input });
  await obs.client.call('SetCurrentProgramScene', { sceneName });
}

async function withObs(options, body) {
  const data = dataDir(options);
  const obs = await startObs({ dataDir: data, env: options.env });
  try {
    await body(obs);
    const exit = await obs.stop();
    assert.equal(exit.signal, null, `OBS crashed at exit; log at ${obs.logFile}`);
  } finally {
    await obs.kill();
    obs.cleanup();
    fs.rmSync(data, { recursive: true, force: true });
  }
}

test('places the overlay once per scene, with its settings and a free name', async () => {
  await withObs({ page: true }, async (obs) => {
    const page = installedPage(obs);
    const { currentProgramSceneName: first } = await obs.client.call('GetCurrentProgramScene');

    assert.ok((await clickPlace(obs)).includes(CREATED));
    const { sceneItems } = await obs.client.call('GetSceneItemList', { sceneName: first });
    const placed = sceneItems.filter((item) => item.sourceName === 'Clackery');
    assert.equal(placed.length, 1);
    assert.equal(placed[0].inputKind, 'browser_source');
    const { inputSettings } = await obs.client.call('GetInputSettings', { inputName: 'Clackery' });
    assert.equal(inputSettings.is_local_file, true);
    assert.equal(inputSettings.local_file, page);
    assert.equal(inputSettings.width, 1920);
    assert.equal(inputSettings.height, 1080);
    assert.equal(inputSettings.reroute_audio, true);

    const labels = await clickPlace(obs);
    assert.ok(labels.includes(EXISTING));
    assert.ok(!labels.includes(CREATED));
    assert.deepEqual(await itemNames(obs, first), ['Clackery']);

    // "Clackery 2" is taken in another scene; the overlay in the first scene does not count here.
    await switchTo(obs, 'Other', [{ inputName: 'Clackery 2', inputKind: 'color_source_v3' }]);
    await switchTo(obs, 'Second');
    assert.ok((await clickPlace(obs)).includes(CREATED));
    assert.deepEqual(await itemNames(obs, 'Second'), ['Clackery 3']);
  });
});

test('recognises the overlay however its path is written, and nothing else', async () => {
  await withObs({ page: true }, async (obs) => {
    const page = installedPage(obs);
    const browser = (inputName, inputSettings) => ({ inputName, inputKind: 'browser_source', inputSettings });

    // Inside a group, with the path in other letter case.
    await switchTo(obs, 'Grouped', [browser('Nested', { is_local_file: true, local_file: page.toUpperCase() })]);
    const grouped = await obs.callVendor('clackery_test', 'group_scene_items',
      { scene: 'Grouped', group: 'Box', items: [{ name: 'Nested' }] });
    assert.equal(grouped.grouped, true);
    assert.ok((await clickPlace(obs)).includes(EXISTING));
    assert.deepEqual(await itemNames(obs, 'Grouped'), ['Box']);

    // As obs-browser's URL form of a local file.
    await switchTo(obs, 'Url', [browser('ViaUrl', { is_local_file: false, url: `http://absolute/${page}` })]);
    assert.ok((await clickPlace(obs)).includes(EXISTING));

    // Saved relative to the folder OBS runs in: found, and repaired to the absolute path.
    const cwd = hostCwd(obs.obs.pid);
    assert.equal(cwd, obs.home);
    await switchTo(obs, 'Relative', [browser('Rel', { is_local_file: true, local_file: path.relative(cwd, page) })]);
    assert.ok((await clickPlace(obs)).includes(EXISTING));
    const { inputSettings } = await obs.client.call('GetInputSettings', { inputName: 'Rel' });
    assert.equal(inputSettings.local_file, page);

    // Not the overlay: another page, a port, user information.
    await switchTo(obs, 'Others', [
      browser('OtherPage', { is_local_file: true, local_file: path.join(path.dirname(page), 'other.html') }),
      browser('WithPort', { is_local_file: false, url: `http://absolute:8080/${page}` }),
      browser('WithUser', { is_local_file: false, url: `http://someone@absolute/${page}` }),
    ]);
    assert.ok((await clickPlace(obs)).includes(CREATED));
    assert.deepEqual(await itemNames(obs, 'Others'), ['OtherPage', 'WithPort', 'WithUser', 'Clackery']);
  });
});

test('without obs-browser the streamer is told, and no blank source is left behind', async () => {
  await withObs({ page: true, env: { CLACKERY_TEST_NO_BROWSER_SOURCE: '1' } }, async (obs) => {
    const before = await inputNames(obs);
    assert.ok((await clickPlace(obs)).includes(FAILED));
    assert.deepEqual(await inputNames(obs), before);
  });
});

test('without the overlay page nothing is placed and the hint stays', async () => {
  await withObs({ page: false }, async (obs) => {
    const before = await inputNames(obs);
    const labels = await clickPlace(obs);
    assert.ok(labels.includes(HINT));
    for (const notice of [CREATED, EXISTING, FAILED]) assert.ok(!labels.includes(notice));
    assert.deepEqual(await inputNames(obs), before);
  });
});
