// The vendor requests that change options or read the module, in the real OBS: what each
// accepts, what each refuses (and that a refusal changes nothing), and that every change
// brings a vendor "state" with the next revision.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import { test } from 'node:test';
import { call, pressHotkey, startTestObs, waitFor } from './lib/clackery.mjs';
import { withTestObs } from './lib/test_obs.mjs';

const stateEvents = (obs) => obs.events.filter((e) => e.type === 'state').map((e) => e.data);

test('refused requests answer as defined and change nothing', () => withTestObs(async (obs) => {
  const before = await call(obs, 'get_state');
  const cases = [
    ['test_push_key', { scancode: 256, vk: 65, extended: false, down: true }, { queued: false }],
    ['test_push_key', { scancode: 30, vk: -1, extended: false, down: true }, { queued: false }],
    ['test_push_key', { scancode: 30, vk: 65, extended: false, down: 1 }, { queued: false }],
    ['test_push_key', { scancode: 30, vk: 65, down: true }, { queued: false }],
    ['test_set_mode', { mode: 'Keyboard' }, {}],
    ['test_set_mode', { mode: 3 }, {}],
    ['test_set_run_on_start', { enabled: 'yes' }, {}],
    ['test_set_run_on_start', { enabled: true }, { run_on_start: false }],
    ['test_set_overlay_options', { soundVolume: 50.5 }, { accepted: false }],
    ['test_set_overlay_options', { soundVolume: 101 }, { accepted: false }],
    ['test_set_overlay_options', { soundVolume: -1 }, { accepted: false }],
    ['test_set_overlay_options', { soundVolume: '50' }, { accepted: false }],
    ['test_set_overlay_options', { mode: 'Text' }, { accepted: false }],
    ['test_set_overlay_options', { skin: 'no_such_skin' }, { accepted: false }],
    ['test_set_overlay_options', { skin: 'has space' }, { accepted: false }],
    ['test_set_overlay_options', { layout: 'no_such_layout' }, { accepted: false }],
    ['test_set_overlay_options', { shortcuts: 'no_such_sheet' }, { accepted: false }],
    ['test_set_overlay_options', { heatmap: 'on' }, { accepted: false }],
    ['test_set_overlay_options', { textColor: 'Dark' }, { accepted: false }],
    ['test_set_text_options', { textSource: 'Keys' }, { accepted: false }],
    ['test_set_text_options', { textScroll: 'yes' }, { accepted: false }],
    ['test_set_text_options', { mask: 1 }, { accepted: false }],
    ['test_set_hotkeys', { pause_toggle: [{ key: 'OBS_KEY_NO_SUCH_KEY' }] }, { accepted: false }],
    ['test_set_hotkeys', { pause_toggle: [{ key: 'OBS_KEY_F9', shift: 'true' }] }, { accepted: false }],
    ['test_set_hotkeys', {
      pause_toggle: Array.from({ length: 17 }, () => ({ key: 'OBS_KEY_F9' })),
      hide_toggle: [{ key: 'OBS_KEY_F10' }],
    }, { accepted: false }],
  ];
  for (const [request, data, reply] of cases) {
    assert.deepEqual(await call(obs, request, data), reply, `${request} ${JSON.stringify(data)}`);
  }
  // Accepted without a change: no new revision.
  for (const [request, data] of [
    ['test_set_overlay_options', { heatmap: true, mask: true, run_on_start: true, textScroll: false }],
    ['test_set_overlay_options', { mode: 'both', soundVolume: 30 }],
    ['test_set_text_options', {}],
    ['test_stream_started', {}],
  ]) {
    assert.deepEqual(await call(obs, request, data), { accepted: true }, request);
  }
  const after = await call(obs, 'get_state');
  assert.deepEqual(after, before);
  assert.equal(stateEvents(obs).length, 0);
  const counters = await call(obs, 'test_counters');
  assert.equal(counters.heatmap_resets, 0);
  assert.equal(counters.queued, 0);
}));

test('accepted changes are saved and broadcast with the next revision', () => withTestObs(async (obs) => {
  const { rev } = await call(obs, 'get_state');
  const changes = [
    ['test_set_mode', { mode: 'text' }, { mode: 'text' }],
    ['test_set_overlay_options', { skin: 'navy_gold', soundVolume: 55, textLines: 25, kana: true },
      { accepted: true }],
    ['test_set_text_options', { textSource: 'keys', textColor: 'dark', textFontSize: 24, textDirection: 'up' },
      { accepted: true }],
    ['test_set_overlay_options', { layout: 'us_full', soundPack: 'no_such_pack' }, { accepted: true }],
  ];
  for (const [request, data, reply] of changes) assert.deepEqual(await call(obs, request, data), reply, request);
  await waitFor(() => stateEvents(obs).length >= 4, 'four state events');
  assert.deepEqual(stateEvents(obs).map((s) => s.rev).sort((a, b) => a - b), [rev + 1, rev + 2, rev + 3, rev + 4]);
  const state = await call(obs, 'get_state');
  assert.equal(state.mode, 'text');
  assert.equal(state.skin, 'navy_gold');
  assert.equal(state.soundVolume, 55);
  assert.equal(state.textLines, 0, 'out of range stores 0');
  assert.equal(state.kana, true);
  assert.equal(state.textSource, 'keys');
  assert.equal(state.textColor, 'dark');
  assert.equal(state.textFontSize, 24);
  assert.equal(state.textDirection, 'up');
  assert.equal(state.layout, 'us_full');
  assert.equal(state.soundPack, 'shizuka', 'a pack that does not exist falls back');
  assert.ok(state.soundFiles.length > 0);
  const saved = JSON.parse(fs.readFileSync(obs.configFile, 'utf8'));
  assert.equal(saved.skin, 'navy_gold');
  assert.equal(saved.layout, 'us_full');
  assert.equal(saved.text_source, 'keys');
}));

test('the hide and mode hotkeys toggle and cycle', () => withTestObs(async (obs) => {
  await pressHotkey(obs, 'clackery.hide_toggle');
  await waitFor(() => stateEvents(obs).length === 1, 'the hide state');
  assert.equal(stateEvents(obs)[0].hidden, false);
  for (let i = 0; i < 3; i++) await pressHotkey(obs, 'clackery.mode_cycle');
  await waitFor(() => stateEvents(obs).length === 4, 'three mode states');
  assert.deepEqual(stateEvents(obs).slice(1).sort((a, b) => a.rev - b.rev).map((s) => s.mode),
    ['keyboard', 'text', 'both']);
  await pressHotkey(obs, 'clackery.pause_toggle');
  await waitFor(() => stateEvents(obs).length === 5, 'the resume state');
  const resumed = await call(obs, 'get_state');
  assert.equal(resumed.paused, false);
  assert.equal(resumed.hidden, false, 'after an explicit hide toggle a resume keeps it');
}));

test('hotkey bindings set by request show in the state, are saved and survive a restart', async () => {
  const first = await startTestObs();
  try {
    const binding = [{ key: 'OBS_KEY_F9', control: true, extra: 'dropped' }, { key: 'OBS_KEY_A' }];
    assert.deepEqual(await call(first, 'test_set_hotkeys', { pause_toggle: binding, hide_toggle: [] }),
      { accepted: true });
    const expected = [{ key: 'OBS_KEY_F9', control: true }, { key: 'OBS_KEY_A' }];
    const { hotkeys } = await call(first, 'get_state');
    assert.deepEqual(hotkeys, { pause_toggle: expected, hide_toggle: [], mode_cycle: [] });
    await first.stop();
    const saved = JSON.parse(fs.readFileSync(first.configFile, 'utf8'));
    assert.deepEqual(saved.pause_hotkey, expected);
    assert.deepEqual(saved.hide_hotkey, []);

    const second = await startTestObs({ root: first.root });
    try {
      assert.deepEqual((await call(second, 'get_state')).hotkeys.pause_toggle, expected);
    } finally {
      await second.kill();
    }
  } finally {
    await first.kill();
    first.cleanup();
  }
});
