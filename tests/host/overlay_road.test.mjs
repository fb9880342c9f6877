// Which browser sources get what the streamer types, in the real OBS with the stand-in
// browser source: our overlay's own source through its "javascript_event", never the
// broadcast to every browser source (a third party's chat or alert widget would read the
// keys); the broadcast only on a host whose browser sources lack that procedure.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import {
  broadcastEvents, call, clearPageEvents, keyEvents, OVERLAY_SOURCE, placeOverlay, resume, sourceEvents, startTestObs, tap,
  textEvents, waitFor,
} from './lib/clackery.mjs';
import { withObsFrom } from './lib/test_obs.mjs';

const FOREIGN = 'Chat widget';
const FALLBACK_LINE = '[clackery] browser sources lack javascript_event; overlay events go to every browser source';

async function addForeignSource(obs) {
  const { currentProgramSceneName: sceneName } = await obs.client.call('GetCurrentProgramScene');
  await obs.client.call('CreateInput', {
    sceneName, inputName: FOREIGN, inputKind: 'browser_source',
    inputSettings: { is_local_file: false, url: 'https://widgets.example.invalid/chat', width: 400, height: 600 },
  });
}

// Two key presses, each also a text frame of the keys text; returns the numbers of the key and
// text events that the client received for them.
async function typeKeys(obs) {
  assert.deepEqual(await call(obs, 'test_set_text_options', { textSource: 'keys' }), { accepted: true });
  const keysBefore = keyEvents(obs).length;
  const textsBefore = textEvents(obs).length;
  await tap(obs, 'KeyA');
  await tap(obs, 'KeyB');
  await waitFor(() => keyEvents(obs).length - keysBefore >= 4 && textEvents(obs).length - textsBefore >= 2,
    'four key events and two text frames at the client');
  return [...keyEvents(obs).slice(keysBefore), ...textEvents(obs).slice(textsBefore)].map((data) => data.seq);
}

const kinds = (events) => events.map((event) => JSON.parse(event.event_data.json).kind);

// The state tells tools which road reaches the overlay; it follows within two seconds.
async function roadInState(obs, road) {
  await waitFor(async () => (await call(obs, 'get_state')).overlayRoad === road, `overlayRoad "${road}"`, 5000);
}

test('keys, text and state reach the overlay source only, nothing goes out on the broadcast', () =>
  withObsFrom(startTestObs, async (obs) => {
    await addForeignSource(obs);
    await roadInState(obs, 'none');
    await placeOverlay(obs);
    await resume(obs);
    await clearPageEvents(obs);
    // The client's copy of each key and text event is numbered; the overlay got the same ones.
    const sent = await typeKeys(obs);
    let received = [];
    await waitFor(async () => {
      received = await sourceEvents(obs);
      const seqs = new Set(received.map((event) => JSON.parse(event.event_data.json).seq));
      return sent.every((seq) => seqs.has(seq));
    }, 'the typed keys and text at the overlay source');
    assert.deepEqual([...new Set(received.map((event) => event.source))], [OVERLAY_SOURCE]);
    assert.ok(kinds(received).includes('key') && kinds(received).includes('text'), kinds(received).join());
    // The periodic state follows within two seconds, on the same road.
    await waitFor(async () => kinds(await sourceEvents(obs)).includes('state'), 'a state at the overlay', 4000);
    for (const event of await sourceEvents(obs)) {
      // What the page's CustomEvent carries as detail: exactly {"json": envelope}.
      assert.equal(event.event_name, 'fernquarry.clackery');
      assert.deepEqual(Object.keys(event.event_data), ['json']);
      assert.equal(JSON.parse(event.event_data.json).type, 'fernquarry.clackery');
    }
    assert.deepEqual(await broadcastEvents(obs), [], 'nothing on the broadcast road');
    await roadInState(obs, 'source');
    assert.equal(obs.clackeryLines().filter((line) => line === FALLBACK_LINE).length, 0);

    // Once the overlay is gone, nothing reaches any browser source.
    await obs.client.call('RemoveInput', { inputName: OVERLAY_SOURCE });
    await clearPageEvents(obs);
    await tap(obs, 'KeyC');
    await new Promise((resolve) => setTimeout(resolve, 2500));
    assert.deepEqual(await sourceEvents(obs), []);
    assert.deepEqual(await broadcastEvents(obs), []);
    await roadInState(obs, 'none');
    const exit = await obs.stop();
    assert.equal(exit.signal, null, `OBS crashed at exit; log at ${obs.logFile}`);
  }));

test('a host whose browser sources lack javascript_event falls back to the broadcast, said once', () =>
  withObsFrom(startTestObs, async (obs) => {
    await placeOverlay(obs);
    await resume(obs);
    await clearPageEvents(obs);
    await typeKeys(obs);
    await waitFor(async () => kinds(await broadcastEvents(obs)).filter((kind) => kind === 'key').length >= 4,
      'the keys on the broadcast road');
    assert.deepEqual(await sourceEvents(obs), []);
    await roadInState(obs, 'broadcast');
    assert.equal(obs.clackeryLines().filter((line) => line === FALLBACK_LINE).length, 1, obs.clackeryLines().join('\n'));
    const exit = await obs.stop();
    assert.equal(exit.signal, null, `OBS crashed at exit; log at ${obs.logFile}`);
  }, { env: { CLACKERY_TEST_NO_JS_EVENT: '1' } }));
