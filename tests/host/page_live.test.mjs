// The overlay page in Chromium, outside OBS, fed by the real OBS: it logs in to obs-websocket
// itself and follows the vendor events while keys are pushed through the test request.
import assert from 'node:assert/strict';
import path from 'node:path';
import { test } from 'node:test';
import { launch, litCodes, openPage } from '../page/helpers.mjs';
import { call, pushKey, resume, startTestObs } from './lib/clackery.mjs';

test('keys pushed into the module light the keys of the page, and releases unlight them', async () => {
  const obs = await startTestObs();
  const context = await launch();
  try {
    const installed = path.join(obs.home, '.config/obs-studio/plugins/clackery/data/overlay/overlay.html');
    const { page, errors } = await openPage(context, `file://${installed}?ws=ws://127.0.0.1:${obs.port}`);
    await page.waitForFunction(() => document.getElementById('connection').hidden === true);
    await resume(obs);
    await page.waitForFunction(() => !document.getElementById('overlay').classList.contains('hidden'));

    await pushKey(obs, 'ShiftLeft', true);
    await pushKey(obs, 'KeyA', true);
    await page.waitForFunction(() => document.querySelectorAll('#keys .key.down').length === 2);
    assert.deepEqual(await litCodes(page), ['KeyA', 'ShiftLeft']);
    await pushKey(obs, 'KeyA', false);
    await pushKey(obs, 'ShiftLeft', false);
    await page.waitForFunction(() => document.querySelectorAll('#keys .key.down').length === 0);

    // A layout change reaches the page as a new state: it draws the other keyboard.
    assert.deepEqual(await call(obs, 'test_set_overlay_options', { layout: 'us_full' }), { accepted: true });
    await page.waitForFunction(() => document.querySelector('#keys .key[data-code="NumpadEnter"]') !== null);
    assert.deepEqual(errors, []);
  } finally {
    await context.close();
    await obs.kill();
    obs.cleanup();
  }
});
