// The run command's demonstration: a real obs-websocket client works the dock through the test
// requests, xdotool types on the X display as a person would (the module captures it as real
// keys), the overlay page follows in Chromium, and both are shown: the events the client
// received are printed, the page and the OBS window are saved as pictures.
//
// node scripts/lib/demo.mjs --port <websocket port> --page <installed overlay.html> --out <dir>
//                           [--display :N] [--keep-open]
//
// With --keep-open the page stays open against OBS after the demo ("demo-done" appears in
// the out folder then) until the process is told to stop.

import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { setTimeout as sleep } from 'node:timers/promises';
import { parseArgs } from 'node:util';
import OBSWebSocket, { EventSubscription } from 'obs-websocket-js';
import { chromium } from 'playwright-core';

const { values: args } = parseArgs({
  options: {
    port: { type: 'string' },
    page: { type: 'string' },
    out: { type: 'string' },
    display: { type: 'string', default: process.env.DISPLAY ?? '' },
    'keep-open': { type: 'boolean', default: false },
  },
});

// X keysyms of the named keys the demo types; letters are their own lowercase keysyms.
const KEYSYMS = { ShiftLeft: 'Shift_L', ControlLeft: 'Control_L', Space: 'space', Digit1: '1' };
const keysymOf = (code) => KEYSYMS[code] ?? code.replace(/^Key/, '').toLowerCase();

async function connect(port) {
  const client = new OBSWebSocket();
  const deadline = Date.now() + 60000;
  for (;;) {
    try {
      await client.connect(`ws://127.0.0.1:${port}`, undefined, { eventSubscriptions: EventSubscription.Vendors });
      return client;
    } catch (error) {
      if (Date.now() > deadline) throw error;
      await sleep(200);
    }
  }
}

async function call(client, requestType, requestData) {
  const args = { vendorName: 'clackery', requestType };
  if (requestData) args.requestData = requestData;
  return (await client.call('CallVendorRequest', args)).responseData;
}

// One key transition, as a real key on the X display.
function send(code, down) {
  execFileSync('xdotool', [down ? 'keydown' : 'keyup', keysymOf(code)], { env: { ...process.env, DISPLAY: args.display } });
}

async function typeText(text) {
  for (const ch of text) {
    const upper = ch >= 'A' && ch <= 'Z';
    const code = ch === ' ' ? 'Space' : ch === '!' ? 'Digit1' : `Key${ch.toUpperCase()}`;
    const shifted = upper || ch === '!';
    if (shifted) send('ShiftLeft', true);
    send(code, true);
    send(code, false);
    if (shifted) send('ShiftLeft', false);
    await sleep(60);
  }
}

async function openPage(port) {
  const browser = await chromium.launch({
    executablePath: process.env.CLACKERY_CHROMIUM ?? '/usr/bin/chromium',
    // Headless: a window on the display would cover OBS and take the typing.
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required'],
  });
  const page = await browser.newPage({ viewport: { width: 1920, height: 1080 } });
  await page.goto(`file://${args.page}?ws=ws://127.0.0.1:${port}`);
  await page.waitForFunction(() => document.getElementById('connection')?.hidden === true, null, { timeout: 30000 });
  return { browser, page };
}

async function main() {
  fs.mkdirSync(args.out, { recursive: true });
  const client = await connect(args.port);
  const events = [];
  client.on('VendorEvent', (e) => {
    if (e.vendorName === 'clackery') events.push({ type: e.eventType, data: e.eventData });
  });

  // The dock docked and shown, capture started with its own button, as a streamer would.
  await call(client, 'test_show_dock', { visible: true });
  await call(client, 'test_dock_geometry', { floating: false });
  await call(client, 'test_dock_paused', { paused: false });
  await call(client, 'test_set_text_options', { textSource: 'keys' });

  const { browser, page } = await openPage(args.port);
  await typeText('Hello Clackery!');
  // Ctrl+Z held: the keys light and the drawing-app shortcut sheet names the command.
  send('ControlLeft', true);
  send('KeyZ', true);
  await page.waitForFunction(() => document.querySelectorAll('.key.down').length >= 2, null, { timeout: 10000 });
  await sleep(400);
  const pageShot = path.join(args.out, 'overlay-page.png');
  await page.screenshot({ path: pageShot });
  send('KeyZ', false);
  send('ControlLeft', false);
  await sleep(200);
  if (!args['keep-open']) await browser.close();

  const keys = events.filter((e) => e.type === 'key').map((e) => e.data).sort((a, b) => a.seq - b.seq);
  const texts = events.filter((e) => e.type === 'text').map((e) => e.data).sort((a, b) => a.seq - b.seq);
  console.log(`  a client received ${keys.length} key events, ${texts.length} text frames and `
    + `${events.filter((e) => e.type === 'state').length} state changes; the first keys:`);
  for (const key of keys.slice(0, 6)) console.log(`    ${JSON.stringify(key)}`);
  if (texts.length) console.log(`  the last text frame: ${JSON.stringify(texts.at(-1))}`);
  console.log(`  counters: ${JSON.stringify(await call(client, 'test_counters'))}`);
  console.log(`  page screenshot: ${pageShot}`);
  if (args['keep-open']) {
    console.log('  the page stays open against OBS and follows every key');
    fs.writeFileSync(path.join(args.out, 'demo-done'), '');
    await new Promise((resolve) => {
      process.once('SIGTERM', resolve);
      process.once('SIGINT', resolve);
    });
    await browser.close();
  }
  await client.disconnect();
}

main().catch((error) => {
  console.error(`demo failed: ${error.message}`);
  process.exit(1);
});
