// Real key capture on X11 in the real OBS (not in test mode): keys typed with xdotool into OBS's
// own Xvfb reach a real obs-websocket client as "key" events named as on Windows; pause and
// resume; keys held across sweeps; shutdown; a display that dies; a server without XInput 2.
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { promisify } from 'node:util';
import { collectVendorEvents, keyEvents, pressHotkey, waitFor } from './lib/clackery.mjs';
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
