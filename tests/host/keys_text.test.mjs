// The "keys" text source in the real OBS: the installed layout's labels typed from test keys,
// with Shift, Backspace and Enter, positions in UTF-16 units, and the 4000 code-point window.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { KEYS, call, pushKey, resume, startTestObs, tap, textEvents, waitFor } from './lib/clackery.mjs';

test('keys type the JIS labels into text frames', async () => {
  const obs = await startTestObs();
  try {
    await resume(obs);
    assert.deepEqual(await call(obs, 'test_set_text_options', { textSource: 'keys' }), { accepted: true });
    // The resume and the source change each send the current text first; vendor events may
    // arrive late, so wait for both before counting.
    await waitFor(() => textEvents(obs).length >= 2, 'the frames of the resume and the source change');
    const before = textEvents(obs).length;
    await tap(obs, 'KeyA');
    await pushKey(obs, 'ShiftLeft', true);
    await tap(obs, 'KeyB');
    await tap(obs, 'Digit2'); // Shift+2 is a double quote on a JIS keyboard
    await pushKey(obs, 'ShiftLeft', false);
    await tap(obs, 'IntlYen'); // the yen key types a backslash
    await tap(obs, 'Space');
    await tap(obs, 'NumpadEnter');
    await tap(obs, 'Backspace');
    await pushKey(obs, 'ControlRight', true);
    await tap(obs, 'KeyC'); // Ctrl+C types nothing
    await pushKey(obs, 'ControlRight', false);
    const frames = await waitFor(() => {
      const found = textEvents(obs).slice(before);
      return found.length >= 7 ? found : null;
    }, 'seven text frames');
    frames.sort((a, b) => a.seq - b.seq);
    assert.deepEqual(frames.map(({ op, committed, text }) => ({ op, committed, text })), [
      { op: 'type', committed: 'a', text: 'a' },
      { op: 'type', committed: 'B', text: 'aB' },
      { op: 'type', committed: '"', text: 'aB"' },
      { op: 'type', committed: '\\', text: 'aB"\\' },
      { op: 'type', committed: ' ', text: 'aB"\\ ' },
      { op: 'enter', committed: '\n', text: 'aB"\\ \n' },
      { op: 'backspace', committed: '', text: 'aB"\\ ' },
    ]);
    for (const frame of frames) {
      assert.equal(frame.preedit, '');
      assert.equal(frame.cursor, 0);
      assert.equal(frame.caret, frame.text.length, 'caret at the end, in UTF-16 units');
    }
    await pushKey(obs, 'KeyC', false); // settle before counting
    assert.equal(textEvents(obs).length - before, 7);
  } finally {
    await obs.kill();
    obs.cleanup();
  }
});

test('a run of 5000 typed characters keeps the last 4000', async () => {
  const obs = await startTestObs();
  try {
    await resume(obs);
    await call(obs, 'test_set_text_options', { textSource: 'keys' });
    // Serial batches keep the keys in order and take a fraction of one request per key.
    const taps = Array.from({ length: 5000 }, (_, i) => (i === 4999 ? KEYS.KeyB : KEYS.KeyA));
    for (let start = 0; start < taps.length; start += 500) {
      const requests = taps.slice(start, start + 500).flatMap((key) => [true, false].map((down) => ({
        requestType: 'CallVendorRequest',
        requestData: { vendorName: 'clackery', requestType: 'test_push_key',
          requestData: { scancode: key.scancode, vk: key.vk, extended: false, down } },
      })));
      const replies = await obs.client.callBatch(requests);
      assert.ok(replies.every((r) => r.requestStatus.result && r.responseData.responseData.queued));
    }
    const last = await waitFor(() => textEvents(obs).find((f) => f.committed === 'b'), 'the last frame', 20000);
    assert.equal(last.text.length, 4000);
    assert.equal(last.text, `${'a'.repeat(3999)}b`);
    assert.equal(last.caret, 4000);
  } finally {
    await obs.kill();
    obs.cleanup();
  }
});
