// Capture's health in the real OBS (test mode, which stands in for the system's events through
// "test_capture_event"): the state's "capture" record and the dock's status lines follow a lost
// hook, a failed and a successful reinstall, a lock with held keys, and an elevated foreground.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { call, counters, keyEvents, pushKey, resume, tap, waitFor } from './lib/clackery.mjs';
import { withTestObs } from './lib/test_obs.mjs';

const NOTICE = '管理者として実行中のウィンドウのキーは表示できません';
const REINSTALLED = '[clackery] hook reinstalled (1)';

async function capture(obs) {
  return (await call(obs, 'get_state')).capture;
}

async function dock(obs) {
  const status = await call(obs, 'test_dock_status');
  assert.equal(status.accepted, true);
  return status;
}

async function event(obs, data) {
  assert.deepEqual(await call(obs, 'test_capture_event', data), { accepted: true }, JSON.stringify(data));
}

// The latest state event that carries a capture record satisfying `predicate`.
function stateEvent(obs, predicate) {
  return obs.events.filter((e) => e.type === 'state' && e.data.capture && predicate(e.data.capture)).pop();
}

// The health line's capture and delivery parts; a note on password fields may follow them,
// depending on whether the test's session has an accessibility bus.
const captureAndDelivery = (line) => line.split(' ／ ').slice(0, 2).join(' ／ ');

test('the capture record and the dock follow a lost hook and its reinstall', () => withTestObs(async (obs) => {
  // Paused at load, nothing typed yet: no age (the host's data objects cannot carry a null).
  assert.deepEqual(await capture(obs), { status: 'paused', error: 0, reinstalls: 0, elevatedForeground: false });
  assert.equal((await dock(obs)).capture, 'キーの見張り：停止中・キーはまだ来ていません');

  await resume(obs);
  await tap(obs, 'KeyA');
  await waitFor(() => keyEvents(obs).length >= 2, 'the tapped key');
  const active = await capture(obs);
  assert.equal(active.status, 'active');
  assert.equal(typeof active.lastKeyAgeMs, 'number');
  assert.ok(active.lastKeyAgeMs >= 0 && active.lastKeyAgeMs < 5000, `${active.lastKeyAgeMs}`);

  // Lost, and the reinstall fails: failed with the reason, in the state, the dock and a broadcast.
  await event(obs, { event: 'hook_lost', error: 5 });
  await waitFor(async () => (await capture(obs)).status === 'failed', 'the failed capture');
  assert.equal((await capture(obs)).error, 5);
  await waitFor(() => stateEvent(obs, (c) => c.status === 'failed' && c.error === 5), 'a state broadcast');
  await waitFor(async () => (await dock(obs)).capture.startsWith('キーの見張り：キーを拾えません（エラー 5）'),
    'the dock line of the failure');
  assert.equal(captureAndDelivery((await dock(obs)).health), 'キーを拾えません ／ 受け渡し：準備できました');

  // Put back: active, counted, logged, and the dock says so.
  await event(obs, { event: 'hook_lost' });
  await waitFor(async () => (await capture(obs)).status === 'active', 'the recovered capture');
  assert.equal((await capture(obs)).reinstalls, 1);
  await waitFor(async () => /^キーの見張り：正常・つなぎ直し 1 回・最後のキー \d+ 秒前$/.test((await dock(obs)).capture),
    'the dock line of the recovery');
  assert.equal(captureAndDelivery((await dock(obs)).health), 'キーの受付：動作中 ／ 受け渡し：準備できました');
  await waitFor(() => obs.clackeryLines().includes(REINSTALLED), 'the reinstall log line');
}));

test('a lock releases held keys on the page and delivers nothing until unlock', () => withTestObs(async (obs) => {
  await resume(obs);
  await pushKey(obs, 'ControlRight', true);
  await pushKey(obs, 'ShiftLeft', true);
  await waitFor(() => keyEvents(obs).length >= 2, 'the held keys');

  await event(obs, { event: 'away' });
  await waitFor(() => keyEvents(obs).length >= 4, 'the releases');
  const releases = keyEvents(obs).slice(2).sort((a, b) => a.seq - b.seq);
  assert.deepEqual(releases.map(({ code, down, mods }) => ({ code, down, ctrl: mods.ctrl, shift: mods.shift })), [
    { code: 'ControlRight', down: false, ctrl: false, shift: true },
    { code: 'ShiftLeft', down: false, ctrl: false, shift: false },
  ]);
  await waitFor(async () => (await capture(obs)).status === 'paused', 'the paused capture');
  await waitFor(async () => (await dock(obs)).capture.startsWith('キーの見張り：画面ロック・スリープの間は止めています'),
    'the dock line of the lock');

  const before = await counters(obs);
  await tap(obs, 'KeyB');
  await waitFor(async () => (await counters(obs)).paused >= before.paused + 2, 'the refused keys');
  assert.equal(keyEvents(obs).length, 4, 'nothing delivered while locked');

  await event(obs, { event: 'back' });
  await waitFor(async () => (await capture(obs)).status === 'active', 'the unlocked capture');
  await tap(obs, 'KeyB');
  await waitFor(() => keyEvents(obs).length >= 6, 'keys after unlock');
  assert.deepEqual(keyEvents(obs).slice(4).map((e) => e.code), ['KeyB', 'KeyB']);
  // The keys were released once, not again when the session came back.
  assert.equal(keyEvents(obs).filter((e) => e.code === 'ControlRight').length, 2);
}));

test('the elevated-window notice shows and goes with the focus', () => withTestObs(async (obs) => {
  assert.equal((await dock(obs)).notice, '');
  await event(obs, { event: 'elevated' });
  await waitFor(async () => (await capture(obs)).elevatedForeground === true, 'the elevated foreground');
  await waitFor(async () => (await dock(obs)).notice === NOTICE, 'the notice');
  await waitFor(() => stateEvent(obs, (c) => c.elevatedForeground === true), 'a state broadcast');

  await event(obs, { event: 'not_elevated' });
  await waitFor(async () => (await capture(obs)).elevatedForeground === false, 'the focus back');
  await waitFor(async () => (await dock(obs)).notice === '', 'the notice gone');
  for (const refused of [{ event: 'Elevated' }, { event: 'hook_lost', error: -1 }])
    assert.deepEqual(await call(obs, 'test_capture_event', refused), { accepted: false }, JSON.stringify(refused));
}));
