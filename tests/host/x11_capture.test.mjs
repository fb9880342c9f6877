// Real key capture on X11 in the real OBS (not in test mode): keys typed with xdotool into OBS's
// own Xvfb reach a real obs-websocket client as "key" events named as on Windows; mouse buttons
// and wheel notches beside them while the mouse option is on; pause and resume; keys held across
// sweeps; shutdown; a display that dies; a server without XInput 2.
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { promisify } from 'node:util';
import { browserEnvelopes, collectVendorEvents, keyEvents, placeOverlay, pressHotkey, waitFor } from './lib/clackery.mjs';
import { countLines, crashingThread, startObs } from './lib/obs_host.mjs';
import { withObsFrom } from './lib/test_obs.mjs';

const run = promisify(execFile);
const NO_MODS = { ctrl: false, shift: false, alt: false, win: false };
const SHIFT = { ...NO_MODS, shift: true };
const CTRL = { ...NO_MODS, ctrl: true };
const HOOK_INSTALLED = '[clackery] hook installed';
const LOST_LINE = '[clackery] key capture stopped: the X display connection was lost (xcb error 1)';

async function startCapturingObs(options = {}) {
  const obs = await startObs(options);
  obs.events = collectVendorEvents(obs.client);
  return obs;
}

const withObs = (body, options) => withObsFrom(startCapturingObs, body, options);

// xdotool on OBS's own display; one call may chain several commands.
function xdotool(obs, ...args) {
  return run('xdotool', args, { env: { ...process.env, DISPLAY: `:${obs.display}` } });
}

async function setPaused(obs, paused) {
  const before = obs.events.length;
  await pressHotkey(obs, 'clackery.pause_toggle');
  await waitFor(() => obs.events.slice(before).some((e) => e.type === 'state' && e.data.paused === paused),
    `the ${paused ? 'paused' : 'resumed'} state`);
}

// obs-websocket hands vendor events out from a pool of threads: order by "seq".
function shapes(obs) {
  return keyEvents(obs).sort((a, b) => a.seq - b.seq).map(({ code, down, mods }) => ({ code, down, mods }));
}

// Waits for the release of `code` and, when given, for `count` key events in all: events leave
// obs-websocket from a pool of threads, so on a busy machine earlier ones may still be on their way.
async function typedUntilRelease(obs, code, count = 0) {
  await waitFor(() => shapes(obs).some((e) => e.code === code && !e.down), `the release of ${code}`);
  // Too few in the end shows in the caller's comparison.
  await waitFor(() => keyEvents(obs).length >= count, `${count} key events`).catch(() => {});
  return shapes(obs);
}

const tapOf = (code, mods = NO_MODS) => [{ code, down: true, mods }, { code, down: false, mods }];

test('keys typed on the X display arrive named as on Windows, with their modifiers, in order', () => withObs(async (obs) => {
  assert.equal(countLines(obs.clackeryLines(), HOOK_INSTALLED), 1, obs.clackeryLines().join('\n'));
  await setPaused(obs, false);

  // Right Ctrl by keycode: xdotool adds the left one to a Control_R keysym. The Japanese keys by
  // keycode too (Yen, Ro, Henkan, Katakana/Hiragana, Muhenkan): the default keymap may give them
  // no keysym, yet the key still goes out.
  await xdotool(obs, 'keydown', '--delay', '0', 'Shift_L', 'key', '--delay', '0', 'a', 'keyup', '--delay', '0',
    'Shift_L', 'keydown', '--delay', '0', '105', 'key', '--delay', '0', 'c', 'keyup', '--delay', '0', '105',
    'key', '--delay', '0', 'KP_Enter', 'Left', 'Up', 'Right', 'Down', 'F1', 'F12', '132', '97', '100', '101', '102',
    'Return', 'Escape');
  const expected = [
    { code: 'ShiftLeft', down: true, mods: SHIFT }, ...tapOf('KeyA', SHIFT), { code: 'ShiftLeft', down: false, mods: NO_MODS },
    { code: 'ControlRight', down: true, mods: CTRL }, ...tapOf('KeyC', CTRL), { code: 'ControlRight', down: false, mods: NO_MODS },
    ...['NumpadEnter', 'ArrowLeft', 'ArrowUp', 'ArrowRight', 'ArrowDown', 'F1', 'F12',
      'IntlYen', 'IntlRo', 'Convert', 'KanaMode', 'NonConvert', 'Enter'].flatMap((code) => tapOf(code)),
  ];
  // Escape comes last: anything lost would leave a gap, anything doubled would come before it.
  const events = await typedUntilRelease(obs, 'Escape', expected.length + 2);
  assert.deepEqual(events, [...expected, ...tapOf('Escape')]);
  for (const event of keyEvents(obs)) assert.ok(Math.abs(event.t - Date.now()) < 10000, 'wall-clock time');
}));

test('pause stops capture, resume restarts it; held keys stay held, doubled presses and releases come out once', () => withObs(async (obs) => {
  await setPaused(obs, false);
  await xdotool(obs, 'key', '--delay', '0', 'a');
  await typedUntilRelease(obs, 'KeyA');

  await setPaused(obs, true);
  await xdotool(obs, 'key', '--delay', '0', 'b');
  await setPaused(obs, false);
  await xdotool(obs, 'key', '--delay', '0', 'c');
  assert.deepEqual(await typedUntilRelease(obs, 'KeyC'), [...tapOf('KeyA'), ...tapOf('KeyC')], 'nothing while paused');

  // Held through three sweeps (250 ms apart): the X server says it is down, so no release.
  await xdotool(obs, 'keydown', '--delay', '0', 'd');
  await waitFor(() => shapes(obs).some((e) => e.code === 'KeyD'), 'the press of KeyD');
  await sleep(900);
  assert.equal(shapes(obs).filter((e) => e.code === 'KeyD').length, 1, 'no release while held');
  await xdotool(obs, 'keyup', '--delay', '0', 'd');

  await xdotool(obs, 'keydown', '--delay', '0', 'e', 'keydown', '--delay', '0', 'e', 'keyup', '--delay', '0', 'e',
    'keyup', '--delay', '0', 'e', 'key', '--delay', '0', 'f');
  const events = await typedUntilRelease(obs, 'KeyF');
  assert.deepEqual(events.slice(4), [...tapOf('KeyD'), ...tapOf('KeyE'), ...tapOf('KeyF')]);
}));

// Mouse events of both roads: the vendor events a client gets and the envelopes of the page's
// road (the obs-browser stand-in), each ordered by "seq" and with the keys among them.
const MOUSE_KINDS = new Set(['key', 'mouse', 'wheel']);
function streamOf(events) {
  return events.sort((a, b) => a.seq - b.seq).map(({ kind, data }) => {
    if (kind === 'key') return { key: data.code, down: data.down, mods: data.mods };
    if (kind === 'mouse') return { button: data.button, down: data.down, mods: data.mods };
    return { dx: data.dx, dy: data.dy, mods: data.mods };
  });
}
const clientStream = (obs) => streamOf(obs.events.filter((e) => MOUSE_KINDS.has(e.type)).map((e) => ({ kind: e.type, seq: e.data.seq, data: e.data })));
async function pageStream(obs) {
  return streamOf((await browserEnvelopes(obs)).filter((e) => MOUSE_KINDS.has(e.kind)));
}

// Ctrl held across clicks of every button and notches of both wheels, as xdotool (XTest) sends
// them: X buttons 1-3 and 8-9, 4-7 the wheel.
const MOUSE_INPUT = ['keydown', '--delay', '0', 'Control_L', 'click', '--delay', '0', '1', 'click', '--delay', '0', '4',
  'click', '--delay', '0', '4', 'click', '--delay', '0', '5', 'keyup', '--delay', '0', 'Control_L', 'click', '--delay', '0', '2',
  'click', '--delay', '0', '3', 'click', '--delay', '0', '8', 'click', '--delay', '0', '9', 'click', '--delay', '0', '6',
  'click', '--delay', '0', '7', 'key', '--delay', '0', 'Escape'];
const clickOf = (button, mods = NO_MODS) => [{ button, down: true, mods }, { button, down: false, mods }];
const MOUSE_EXPECTED = [
  { key: 'ControlLeft', down: true, mods: CTRL }, ...clickOf(0, CTRL), { dx: 0, dy: -1, mods: CTRL },
  { dx: 0, dy: -1, mods: CTRL }, { dx: 0, dy: 1, mods: CTRL }, { key: 'ControlLeft', down: false, mods: NO_MODS },
  ...clickOf(1), ...clickOf(2), ...clickOf(3), ...clickOf(4), { dx: -1, dy: 0, mods: NO_MODS }, { dx: 1, dy: 0, mods: NO_MODS },
  { key: 'Escape', down: true, mods: NO_MODS }, { key: 'Escape', down: false, mods: NO_MODS },
];

test('with the mouse on, buttons and wheel notches arrive among the keys with their modifiers; off, none', () => withObs(async (obs) => {
  // The page's road reaches our overlay's own source: the scene has one, as a streamer's does.
  await placeOverlay(obs);
  await setPaused(obs, false);
  // Off by default: the same input gives the keys alone.
  await xdotool(obs, ...MOUSE_INPUT);
  await typedUntilRelease(obs, 'Escape', 4);
  assert.deepEqual(clientStream(obs).filter((e) => !('key' in e)), [], 'no mouse event while off');

  let reply = await obs.callVendor('clackery', 'test_set_overlay_options', { mouse: true });
  assert.equal(reply.accepted, true);
  await waitFor(() => obs.events.some((e) => e.type === 'state' && e.data.mouse === true), 'the state with the mouse on');
  const before = obs.events.length;
  const envelopesBefore = (await browserEnvelopes(obs)).length;
  // The hook thread follows the option in a moment: a key typed after it shows it has.
  await xdotool(obs, 'key', '--delay', '0', 'Escape');
  await waitFor(() => obs.events.slice(before).filter((e) => e.type === 'key').length === 2, 'the key after switching on');
  const from = obs.events.length;
  const pageFrom = (await browserEnvelopes(obs)).length;
  await xdotool(obs, ...MOUSE_INPUT);
  await waitFor(() => clientStream({ events: obs.events.slice(from) }).length >= MOUSE_EXPECTED.length, 'the mouse events');
  await sleep(200); // anything doubled would arrive now
  assert.deepEqual(clientStream({ events: obs.events.slice(from) }), MOUSE_EXPECTED);
  const page = (await browserEnvelopes(obs)).slice(pageFrom);
  assert.deepEqual(streamOf(page.filter((e) => MOUSE_KINDS.has(e.kind))), MOUSE_EXPECTED, 'the page road carries the same');
  for (const e of obs.events.slice(from).filter((x) => x.type === 'mouse' || x.type === 'wheel')) {
    assert.ok(Math.abs(e.data.t - Date.now()) < 10000, 'wall-clock time');
    assert.equal(typeof e.data.seq, 'number');
  }
  assert.ok(envelopesBefore <= pageFrom);
  const totals = await obs.callVendor('clackery', 'test_counters');
  // The keys before (four while off, two after switching on) and every mouse event.
  assert.equal(totals.sent, 6 + MOUSE_EXPECTED.length, `mouse events count in "sent": ${JSON.stringify(totals)}`);

  // Off again: nothing of the mouse, the keys as before.
  reply = await obs.callVendor('clackery', 'test_set_overlay_options', { mouse: false });
  assert.equal(reply.accepted, true);
  const offFrom = obs.events.length;
  await xdotool(obs, 'key', '--delay', '0', 'Escape');
  await waitFor(() => obs.events.slice(offFrom).filter((e) => e.type === 'key').length === 2, 'the key after switching off');
  const afterOff = obs.events.length;
  await xdotool(obs, ...MOUSE_INPUT);
  await waitFor(() => obs.events.slice(afterOff).filter((e) => e.type === 'key').length === 4, 'the keys');
  await sleep(200);
  assert.deepEqual(obs.events.slice(afterOff).filter((e) => e.type === 'mouse' || e.type === 'wheel'), []);
}, { env: { CLACKERY_TEST_HOOKS: '1' } }));

test('the mouse option kept in the settings is on from the start', () => withObs(async (obs) => {
  await setPaused(obs, false);
  const state = obs.events.find((e) => e.type === 'state');
  assert.equal(state.data.mouse, true);
  await xdotool(obs, 'keydown', '--delay', '0', 'Shift_L', 'click', '--delay', '0', '3', 'keyup', '--delay', '0', 'Shift_L',
    'key', '--delay', '0', 'Escape');
  await typedUntilRelease(obs, 'Escape', 6);
  assert.deepEqual(clientStream(obs), [{ key: 'ShiftLeft', down: true, mods: SHIFT }, ...clickOf(2, SHIFT),
    { key: 'ShiftLeft', down: false, mods: NO_MODS }, { key: 'Escape', down: true, mods: NO_MODS }, { key: 'Escape', down: false, mods: NO_MODS }]);
}, { config: JSON.stringify({ mouse: true }) }));

// OBS's own log file carries times; the stdout copy does not.
function timedLog(obs) {
  const dir = path.join(obs.home, '.config/obs-studio/logs');
  const [file] = fs.readdirSync(dir);
  return fs.readFileSync(path.join(dir, file), 'utf8').split('\n');
}

function lineTime(lines, text) {
  const line = lines.find((l) => l.includes(text));
  assert.ok(line, `no line with ${text}`);
  const [, h, m, s] = line.match(/^(\d\d):(\d\d):(\d\d\.\d\d\d): /).map(Number);
  return ((h * 60 + m) * 60 + s) * 1000;
}

test('at shutdown the capture thread is stopped and joined within a second', async () => {
  const obs = await startCapturingObs();
  try {
    await setPaused(obs, false);
    await xdotool(obs, 'key', '--delay', '0', 'a');
    await typedUntilRelease(obs, 'KeyA');
    const exit = await obs.stop();
    assert.equal(exit.code, 0);
    const lines = timedLog(obs);
    // Shutdown runs from the frontend's exit event; the totals line is its last step but one.
    const took = lineTime(lines, '[clackery] totals') - lineTime(lines, '==== Shutting down');
    console.log(`shutdown to totals line: ${took} ms`);
    assert.ok(took >= 0 && took < 1000, `${took} ms`);
    assert.match(lines.find((l) => l.includes('[clackery] totals')), /totals sent=2 dropped=0 unknown=0$/);
  } finally {
    await obs.kill();
    obs.cleanup();
  }
});

test('a display that dies ends our capture thread with its error line, and nothing of ours crashes', async () => {
  const obs = await startCapturingObs();
  try {
    await setPaused(obs, false);
    const exited = new Promise((resolve) => obs.obs.once('exit', (code, signal) => resolve({ code, signal })));
    obs.xvfb.kill('SIGKILL');
    // OBS itself may end (its own X connection broke too); our module must not be why.
    const exit = await Promise.race([exited, sleep(20000).then(() => null)]);
    console.log(`OBS after the display died: ${JSON.stringify(exit)}`);
    const lines = obs.clackeryLines();
    // OBS's own X connection breaks too, and when OBS dies of it first our thread may not have
    // had the moment to log: then the core file decides whose fault it was.
    const crashed = Boolean(exit && exit.signal);
    const lost = countLines(lines, LOST_LINE);
    if (crashed) assert.ok(lost <= 1, lines.join('\n'));
    else assert.equal(lost, 1, lines.join('\n'));
    const frames = crashed ? await crashingThread(obs.home) : null;
    if (crashed && frames === null) console.log('no core file written here: frames not checked');
    if (frames !== null) {
      assert.match(frames, /^#0 /m, 'gdb read the core');
      console.log(`the crashing thread:\n${frames.split('\n').slice(0, 6).join('\n')}`);
      const ours = frames.split('\n').filter((line) => line.includes('clackery'));
      assert.deepEqual(ours, [], 'no frame of ours in the thread that crashed OBS');
    }
  } finally {
    await obs.kill();
    obs.cleanup();
  }
});

test('an X server without XInput 2 events: the hook fails with its reason, the dock says so, OBS runs on', () => withObs(async (obs) => {
  const lines = obs.clackeryLines();
  assert.deepEqual(lines.slice(0, 2), [
    '[clackery] key capture unavailable: the X server lacks XInput 2.1',
    '[clackery] hook failed error=1150',
  ]);
  const reply = await obs.callVendor('clackery_test', 'click_dock_button', { dock: 'clackery_dock', text: 'no such button' });
  const health = reply.labels.map((l) => l.text).filter((text) => text.includes(' ／ '));
  assert.deepEqual(health, ['キーを拾えません ／ 受け渡し：準備できました ／ パスワード欄を見分けられません']);
  const exit = await obs.stop();
  assert.equal(exit.code, 0);
}, { xvfbArgs: ['-extension', 'Generic Event Extension'] }));
