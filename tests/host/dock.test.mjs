// The control dock and the overlay placement through their vendor requests in the real OBS:
// placing the overlay, showing, measuring and photographing the dock, typing into it, and its
// pause controls.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { test } from 'node:test';
import { decodePng } from '../page/png.mjs';
import { call, pressHotkey, resume, textEvents, waitFor } from './lib/clackery.mjs';
import { withTestObs } from './lib/test_obs.mjs';

test('the overlay is created once per scene with its fixed settings', () => withTestObs(async (obs) => {
  assert.deepEqual(await call(obs, 'test_add_overlay'),
    { accepted: true, created: true, existing: false, sourceName: 'Clackery' });
  assert.deepEqual(await call(obs, 'test_add_overlay'),
    { accepted: true, created: false, existing: true, sourceName: 'Clackery' });

  await obs.client.call('CreateScene', { sceneName: 'Second' });
  await obs.client.call('SetCurrentProgramScene', { sceneName: 'Second' });
  assert.deepEqual(await call(obs, 'test_add_overlay'),
    { accepted: true, created: true, existing: false, sourceName: 'Clackery 2' });
  assert.deepEqual(await call(obs, 'test_add_overlay'),
    { accepted: true, created: false, existing: true, sourceName: 'Clackery 2' });

  const { sceneItems } = await obs.client.call('GetSceneItemList', { sceneName: 'Second' });
  assert.deepEqual(sceneItems.map((item) => [item.sourceName, item.inputKind]), [['Clackery 2', 'browser_source']]);
  const { inputSettings } = await obs.client.call('GetInputSettings', { inputName: 'Clackery 2' });
  assert.equal(inputSettings.width, 1920);
  assert.equal(inputSettings.height, 1080);
  assert.equal(inputSettings.reroute_audio, true);
  assert.equal(inputSettings.is_local_file, true);
  assert.ok(inputSettings.local_file.endsWith('/plugins/clackery/data/overlay/overlay.html'));
  assert.ok(fs.existsSync(inputSettings.local_file), 'the page the source shows is installed');
}));

function colours(png) {
  const seen = new Set();
  for (let i = 0; i < png.pixels.length && seen.size < 3; i += 4) seen.add(png.pixels.readUInt32BE(i));
  return seen.size;
}

function decodeImage(reply) {
  const bytes = Buffer.from(reply.imageData, 'base64');
  assert.equal(bytes.subarray(0, 8).toString('hex'), '89504e470d0a1a0a', 'a PNG signature');
  const png = decodePng(bytes);
  assert.equal(png.width, reply.width);
  assert.equal(png.height, reply.height);
  return png;
}

test('the dock shows, floats, resizes, docks and is photographed', () => withTestObs(async (obs) => {
  assert.deepEqual(await call(obs, 'test_show_dock', { visible: true }), { accepted: true });
  assert.deepEqual(await call(obs, 'test_show_dock', { visible: 'yes' }), { accepted: false });

  const floated = await call(obs, 'test_dock_geometry', { floating: true, width: 800, height: 900 });
  assert.equal(floated.accepted, true);
  assert.equal(floated.floating, true);
  assert.equal(floated.width, 800);
  assert.equal(floated.height, 900);
  assert.equal(floated.availableWidth, 1920);
  for (const refused of [{ width: 800 }, { floating: 'true' }, { floating: true, width: 10.5, height: 900 },
    { floating: true, width: 4097, height: 900 }]) {
    assert.deepEqual(await call(obs, 'test_dock_geometry', refused), { accepted: false }, JSON.stringify(refused));
  }

  const frame = await call(obs, 'test_grab_dock', { floating: true });
  assert.equal(frame.accepted, true);
  const framePng = decodeImage(frame);
  assert.equal(framePng.width, 800);
  assert.equal(framePng.height, 900);
  assert.ok(colours(framePng) > 1, 'not a blank image');

  const docked = await call(obs, 'test_dock_geometry', { floating: false });
  assert.equal(docked.accepted, true);
  assert.equal(docked.floating, false);
  assert.deepEqual(await call(obs, 'test_grab_dock', { floating: true }), { accepted: false });
  const content = await call(obs, 'test_grab_dock');
  assert.equal(content.accepted, true);
  const contentPng = decodeImage(content);
  assert.ok(contentPng.width >= 560 && contentPng.height >= 200);
  assert.ok(colours(contentPng) > 1);
  if (process.env.CLACKERY_SHOTS_DIR) {
    fs.mkdirSync(process.env.CLACKERY_SHOTS_DIR, { recursive: true });
    fs.writeFileSync(`${process.env.CLACKERY_SHOTS_DIR}/dock_content.png`, Buffer.from(content.imageData, 'base64'));
  }
}));

// Writes what the test has just checked into OBS's log, beside the module's own lines.
function note(obs, text) {
  return obs.callVendor('clackery_test', 'note', { text });
}

test('dock text reaches the client as exact frames, then OBS shuts down cleanly', () => withTestObs(async (obs) => {
  await note(obs, `module loaded, vendor answers: paused=${(await call(obs, 'get_state')).paused}`);
  assert.deepEqual(await call(obs, 'test_show_dock', { visible: true }), { accepted: true });
  const floated = await call(obs, 'test_dock_geometry', { floating: true, width: 420, height: 860 });
  assert.equal(floated.floating, true);
  await note(obs, `dock shown and floating at ${floated.width}x${floated.height}`);
  const grabbed = decodeImage(await call(obs, 'test_grab_dock', { floating: true }));
  assert.ok(colours(grabbed) > 1, 'not a blank image');
  await note(obs, `dock grabbed: a ${grabbed.width}x${grabbed.height} PNG`);
  await resume(obs);
  // The resume sends the current text first; vendor events may arrive late, so wait for it.
  await waitFor(() => textEvents(obs).length >= 1, 'the frame of the resume');
  const steps = [
    ['test_dock_ime', { preedit: 'にほんご' },
      { op: 'preedit', preedit: 'にほんご', committed: '', text: '', cursor: 4, caret: 0 }],
    ['test_dock_ime', { committed: '日本語' },
      { op: 'commit', preedit: '', committed: '日本語', text: '日本語', cursor: 0, caret: 3 }],
    ['test_dock_key', { key: 'Enter' }, { op: 'enter', preedit: '', committed: '', text: '日本語\n', cursor: 0, caret: 4 }],
    ['test_dock_ime', { committed: '😀' },
      { op: 'commit', preedit: '', committed: '😀', text: '日本語\n😀', cursor: 0, caret: 6 }],
    ['test_dock_ime', { preedit: '😀a', cursor: 2 },
      { op: 'preedit', preedit: '😀a', committed: '', text: '日本語\n😀', cursor: 2, caret: 6 }],
    ['test_dock_ime', { committed: 'x' },
      { op: 'commit', preedit: '', committed: 'x', text: '日本語\n😀x', cursor: 0, caret: 7 }],
    ['test_dock_key', { key: 'Backspace' },
      { op: 'backspace', preedit: '', committed: '', text: '日本語\n😀', cursor: 0, caret: 6 }],
    ['test_dock_edit', { caret: 1, anchor: 3 },
      { op: 'type', preedit: '', committed: '', text: '日本語\n😀', cursor: 0, caret: 1 }],
    ['test_dock_clear', {}, { op: 'clear', preedit: '', committed: '', text: '', cursor: 0, caret: 0 }],
  ];
  for (const [request, data, frame] of steps) {
    const before = textEvents(obs).length;
    assert.deepEqual(await call(obs, request, data), { accepted: true }, request);
    const [event] = await waitFor(() => textEvents(obs).slice(before).length ? textEvents(obs).slice(before) : null,
      `the frame of ${request}`);
    const { seq, ...payload } = event;
    assert.ok(seq > 0);
    assert.deepEqual(payload, frame, `${request} ${JSON.stringify(data)}`);
    if (request === 'test_dock_ime') await note(obs, `dock typed into: ${JSON.stringify(data)} gave ${JSON.stringify(payload)}`);
  }
  assert.deepEqual(await call(obs, 'test_dock_key', { key: 'Tab' }), { accepted: false });
  const counters = await call(obs, 'test_counters');
  assert.equal(counters.text_sent, steps.length + 1, 'one more for the frame sent at resume');

  await obs.stop();
  assert.equal(obs.exit.code, 0);
  const lines = obs.clackeryLines();
  assert.equal(lines.filter((line) => /^\[clackery\] totals sent=\d+ dropped=0 unknown=0$/.test(line)).length, 1,
    lines.join('\n'));
  assert.ok(fs.existsSync(obs.configFile), 'settings saved at shutdown');
}));

test('the dock pause controls follow and drive pausing', () => withTestObs(async (obs) => {
  assert.deepEqual(await call(obs, 'test_dock_paused', { paused: true }), { applied: true, paused: true });
  assert.deepEqual(await call(obs, 'test_dock_paused', { paused: false }), { applied: true, paused: false });
  assert.equal((await call(obs, 'get_state')).paused, false);
  await pressHotkey(obs, 'clackery.pause_toggle');
  await waitFor(async () => (await call(obs, 'get_state')).paused, 'paused again');
  assert.deepEqual(await call(obs, 'test_dock_paused', { paused: 'no' }), { applied: false, paused: true });
  assert.deepEqual(await call(obs, 'test_dock_paused', { paused: true }), { applied: true, paused: true });
}));
