// Nothing private on stream, in the real OBS on X11 (not in test mode): a GTK sign-in form on
// OBS's display with a session bus and the desktop's accessibility bus; keys typed by XTest into
// its password entry go out masked and never into the keys text, keys typed into its user-name
// entry go out named; a stand-in screen locker switches delivery off and on; buses that vanish
// and a locker that never says "unlocked" stall and crash nothing.
import assert from 'node:assert/strict';
import { execFile, spawn } from 'node:child_process';
import { once } from 'node:events';
import { fileURLToPath } from 'node:url';
import { test } from 'node:test';
import { setTimeout as sleep } from 'node:timers/promises';
import { promisify } from 'node:util';
import { collectVendorEvents, keyEvents, pressHotkey, textEvents, waitFor } from './lib/clackery.mjs';
import { hostName, startObs } from './lib/obs_host.mjs';

// OBS in a host's root reaches this machine's session bus (the locker's tests run there) but not
// the accessibility bus that bus starts for the test's desktop: the focus tests run on OBS 29.
const ACCESSIBILITY = hostName === 'obs29' ? {} : { skip: `no accessibility bus inside the ${hostName} root` };

const run = promisify(execFile);
const support = (name) => fileURLToPath(new URL(`./support/${name}`, import.meta.url));
const MASKED_STATUS = 'パスワード入力中のため伏せています';
const NO_MODS = { ctrl: false, shift: false, alt: false, win: false };

// A child whose stdout lines we wait for.
function startChild(command, args, env) {
  const child = spawn(command, args, { env: { ...process.env, ...env }, stdio: ['pipe', 'pipe', 'ignore'] });
  child.lines = [];
  child.stdout.setEncoding('utf8');
  let partial = '';
  child.stdout.on('data', (chunk) => {
    partial += chunk;
    const parts = partial.split('\n');
    partial = parts.pop();
    child.lines.push(...parts);
  });
  child.say = (line) => child.stdin.write(`${line}\n`);
  child.waitLine = (line) => waitFor(() => child.lines.includes(line), `"${line}" from ${args[0] ?? command}`, 10000);
  child.end = async () => {
    if (child.exitCode === null && child.signalCode === null) {
      child.kill('SIGTERM');
      await once(child, 'exit');
    }
  };
  return child;
}

// A session bus of our own; its address is the first line it prints.
async function startSessionBus() {
  const bus = startChild('dbus-daemon', ['--session', '--nofork', '--nopidfile', '--print-address']);
  await waitFor(() => bus.lines.length > 0, 'the session bus address');
  bus.address = bus.lines[0];
  return bus;
}

async function withDesktop(body) {
  const bus = await startSessionBus();
  // Test requests beside the real X11 capture; no system bus, so no logind of the machine's.
  const obs = await startObs({ env: { CLACKERY_TEST_HOOKS: '1', DBUS_SESSION_BUS_ADDRESS: bus.address,
    DBUS_SYSTEM_BUS_ADDRESS: 'unix:path=/nonexistent' } });
  obs.events = collectVendorEvents(obs.client);
  const desktop = { DISPLAY: `:${obs.display}`, DBUS_SESSION_BUS_ADDRESS: bus.address };
  const children = [];
  const child = async (script) => {
    const started = startChild('/usr/bin/python3', [support(script)], desktop);
    children.push(started);
    await started.waitLine('ready');
    return started;
  };
  try {
    await body({ obs, bus, desktop, child });
  } finally {
    for (const c of children) await c.end();
    await obs.kill();
    await bus.end();
    obs.cleanup();
  }
}

function xdotool(desktop, ...args) {
  return run('xdotool', args, { env: { ...process.env, ...desktop } });
}

const state = async (obs) => obs.callVendor('clackery', 'get_state');

async function resume(obs) {
  await pressHotkey(obs, 'clackery.pause_toggle');
  await waitFor(async () => !(await state(obs)).paused, 'resumed');
}

// Moves the form's focus; returns how long the watcher's word took to reach the state.
async function focus(form, obs, entry) {
  form.lines.length = 0;
  const asked = Date.now();
  form.say(`focus ${entry}`);
  await form.waitLine(`focused ${entry}`);
  await waitFor(async () => (await state(obs)).privacy.passwordField === (entry === 'password'),
    `the watcher to see the ${entry} entry`);
  return Date.now() - asked;
}

// The sign-in form, once its focus changes reach the watcher. GTK's accessibility bridge sends a
// focus change only when it knows a listener wants it, and it learns that from the registry on its
// own time after the window is up: a change before then reaches no one (a screen reader neither).
// The focus goes back and forth until one is seen, and rests on the user-name entry.
async function signInForm(child, obs) {
  await waitFor(async () => (await state(obs)).privacy.detector === 'atspi', 'the watcher on the accessibility bus');
  const form = await child('login_form.py');
  for (let attempt = 1; ; attempt++) {
    form.lines.length = 0;
    form.say('focus password');
    await form.waitLine('focused password');
    const seen = await waitFor(async () => (await state(obs)).privacy.passwordField, 'a first focus change', 1500)
      .then(() => true, () => false);
    if (seen) break;
    if (attempt === 5) throw new Error('no focus change of the form reached the watcher in five tries');
    console.log(`# focus change ${attempt} came before the form's bridge knew of a listener; again`);
    form.lines.length = 0;
    form.say('focus user');
    await form.waitLine('focused user');
  }
  await focus(form, obs, 'user');
  return form;
}

async function formTexts(form) {
  form.lines.length = 0;
  form.say('texts');
  await waitFor(() => form.lines.find((line) => line.startsWith('texts ')), 'the form\'s texts');
  return form.lines.find((line) => line.startsWith('texts '));
}

// obs-websocket hands vendor events out from a pool of threads: order by "seq".
const shapes = (obs) => keyEvents(obs).sort((a, b) => a.seq - b.seq).map(({ code, down, mods }) => ({ code, down, mods }));
const tap = (code) => [{ code, down: true, mods: NO_MODS }, { code, down: false, mods: NO_MODS }];

async function typed(obs, count) {
  await waitFor(() => keyEvents(obs).length >= count, `${count} key events`);
  await sleep(150); // anything beyond the count would show in the comparison
  return shapes(obs);
}

async function dockLabels(obs) {
  const reply = await obs.callVendor('clackery_test', 'click_dock_button', { dock: 'clackery_dock', text: 'no such button' });
  return reply.labels.map((label) => label.text);
}

test('keys typed into a password field go out masked and never into the text; the user-name field is named again', ACCESSIBILITY, () => withDesktop(async ({ obs, desktop, child }) => {
  assert.equal((await state(obs)).privacy.detector, 'atspi');
  assert.ok(!obs.clackeryLines().some((line) => line.includes('privacy')), obs.clackeryLines().join('\n'));
  assert.deepEqual(await obs.callVendor('clackery', 'test_set_text_options', { textSource: 'keys' }), { accepted: true });
  await resume(obs);
  const form = await signInForm(child, obs);

  await focus(form, obs, 'password');
  assert.ok((await dockLabels(obs)).includes(MASKED_STATUS));
  await xdotool(desktop, 'type', '--delay', '20', 'hunter2');
  const masked = await typed(obs, 14);
  assert.deepEqual(masked, Array(7).fill(tap('*')).flat(), 'every key masked, modifiers false');

  const back = await focus(form, obs, 'user');
  console.log(`# named again: the state said so ${back} ms after the form was asked to move the focus`);
  assert.ok(!(await dockLabels(obs)).includes(MASKED_STATUS));
  await xdotool(desktop, 'type', '--delay', '20', 'bob');
  const all = await typed(obs, 20);
  assert.deepEqual(all.slice(14), [...tap('KeyB'), ...tap('KeyO'), ...tap('KeyB')]);
  assert.equal(await formTexts(form), 'texts bob 7', 'the keys reached the form\'s fields');
  for (const frame of textEvents(obs)) assert.doesNotMatch(frame.text + frame.committed, /[hunter2]/, JSON.stringify(frame));
}));

test('Tab, then typing at once: no key after the focus entered the password field goes out named', ACCESSIBILITY, () => withDesktop(async ({ obs, desktop, child }) => {
  await resume(obs);
  const form = await signInForm(child, obs);
  await focus(form, obs, 'user');
  // GTK moves the focus itself on Tab; the keys follow without a pause.
  await xdotool(desktop, 'key', '--delay', '0', 'a', 'Tab', 'x', 'y', 'z', 'shift+Tab', 'q');
  const events = await typed(obs, 16);
  // GTK's own account: "a" replaced by "q" in the user name, three characters in the password.
  assert.equal(await formTexts(form), 'texts q 3');
  assert.deepEqual(events, [
    ...tap('KeyA'), ...tap('Tab'),
    ...Array(3).fill(tap('*')).flat(),
    // Shift+Tab is typed in the password field: masked, its release too.
    { code: '*', down: true, mods: NO_MODS }, { code: '*', down: true, mods: NO_MODS },
    { code: '*', down: false, mods: NO_MODS }, { code: '*', down: false, mods: NO_MODS },
    ...tap('KeyQ'),
  ], JSON.stringify(events));
}));

test('a screen locker switches delivery off and on; held keys are released; one that never unlocks yields to the pause hotkey', () => withDesktop(async ({ obs, desktop, child }) => {
  await resume(obs);
  const locker = await child('screen_locker.py');
  await xdotool(desktop, 'keydown', 'Shift_L');
  await waitFor(() => shapes(obs).some((e) => e.code === 'ShiftLeft' && e.down), 'Shift held');

  locker.say('lock');
  await waitFor(async () => (await state(obs)).privacy.screenLocked, 'locked');
  await waitFor(() => shapes(obs).some((e) => e.code === 'ShiftLeft' && !e.down), 'Shift released on the page at the lock');
  const atLock = keyEvents(obs).length;
  await xdotool(desktop, 'keyup', 'Shift_L', 'type', '--delay', '20', 'secret');
  await sleep(300);
  assert.equal(keyEvents(obs).length, atLock, 'nothing while locked');

  locker.say('unlock');
  await waitFor(async () => !(await state(obs)).privacy.screenLocked, 'unlocked');
  await xdotool(desktop, 'key', 'c');
  await waitFor(() => shapes(obs).some((e) => e.code === 'KeyC' && !e.down), 'keys again');

  // A lost "unlocked": the locker says so only when asked; the first key asks.
  locker.say('lock');
  await waitFor(async () => (await state(obs)).privacy.screenLocked, 'locked again');
  locker.say('quiet-unlock');
  await locker.waitLine('unlocked');
  await xdotool(desktop, 'key', 'e');
  await waitFor(async () => !(await state(obs)).privacy.screenLocked, 'unlocked after asking');
  await xdotool(desktop, 'key', 'f');
  await waitFor(() => shapes(obs).some((e) => e.code === 'KeyF' && !e.down), 'keys after the lost signal');

  // A locker that keeps saying locked: pausing and resuming is the streamer's word.
  locker.say('lock');
  await waitFor(async () => (await state(obs)).privacy.screenLocked, 'locked a third time');
  await pressHotkey(obs, 'clackery.pause_toggle');
  await waitFor(async () => (await state(obs)).paused, 'paused');
  await resume(obs);
  assert.equal((await state(obs)).privacy.screenLocked, false);
  await xdotool(desktop, 'key', 'g');
  await waitFor(() => shapes(obs).some((e) => e.code === 'KeyG' && !e.down), 'keys after the pause hotkey');
  // Neither what was typed into the locker nor the key that asked it again went out.
  const codes = shapes(obs).map((e) => e.code);
  for (const code of ['KeyS', 'KeyR', 'KeyT', 'KeyE']) assert.ok(!codes.includes(code), `${code} in ${codes}`);
}));

test('buses that vanish: OBS runs on, keys go out named, the log says so once, shutdown is clean', ACCESSIBILITY, () => withDesktop(async ({ obs, bus, desktop, child }) => {
  await resume(obs);
  const form = await signInForm(child, obs);
  await focus(form, obs, 'password');
  await form.end();
  await waitFor(async () => !(await state(obs)).privacy.passwordField, 'the form left with its focus');
  await bus.end();
  await waitFor(async () => (await state(obs)).privacy.detector === 'none', 'the watcher to notice');
  await xdotool(desktop, 'key', 'k');
  await waitFor(() => shapes(obs).some((e) => e.code === 'KeyK' && !e.down), 'named keys without the buses');
  const lines = obs.clackeryLines().filter((line) => line.includes('privacy'));
  assert.deepEqual(lines, ['[clackery] privacy: the accessibility bus went away; password fields are not recognised until it is back']);
  const exit = await obs.stop();
  assert.equal(exit.code, 0);
}));
