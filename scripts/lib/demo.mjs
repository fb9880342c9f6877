// The run command's demonstration: a real obs-websocket client drives the running OBS (test
// mode), the overlay page follows it in Chromium, and both are shown: the events the client
// received are printed, the page and the OBS window are saved as pictures.
//
// node scripts/lib/demo.mjs --port <websocket port> --page <installed overlay.html> --out <dir>
//                           [--typing test|xdotool] [--display :N] [--keep-open]
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
    typing: { type: 'string', default: 'test' },
    display: { type: 'string', default: process.env.DISPLAY ?? '' },
    'keep-open': { type: 'boolean', default: false },
  },
});

// Set-1 scan codes and virtual keys of what the demo types.
const LETTER_SCANCODES = { Q: 0x10, W: 0x11, E: 0x12, R: 0x13, T: 0x14, Y: 0x15, U: 0x16, I: 0x17, O: 0x18, P: 0x19,
  A: 0x1e, S: 0x1f, D: 0x20, F: 0x21, G: 0x22, H: 0x23, J: 0x24, K: 0x25, L: 0x26,
  Z: 0x2c, X: 0x2d, C: 0x2e, V: 0x2f, B: 0x30, N: 0x31, M: 0x32 };
const SPECIAL = {
  ShiftLeft: { scancode: 0x2a, vk: 0xa0, xkey: 'Shift_L' },
  ControlLeft: { scancode: 0x1d, vk: 0xa2, xkey: 'Control_L' },
  Space: { scancode: 0x39, vk: 0x20, xkey: 'space' },
  Digit1: { scancode: 0x02, vk: 0x31, xkey: '1' },
};

function keyOf(code) {
  if (SPECIAL[code]) return SPECIAL[code];
  const letter = code.replace(/^Key/, '');
  return { scancode: LETTER_SCANCODES[letter], vk: letter.charCodeAt(0), xkey: letter.toLowerCase() };
}

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

// One key transition, through the test request or as a real key on the X display.
async function send(client, code, down) {
  const key = keyOf(code);
  if (args.typing === 'xdotool') {
    execFileSync('xdotool', [down ? 'keydown' : 'keyup', key.xkey], { env: { ...process.env, DISPLAY: args.display } });
    return;
  }
  const reply = await call(client, 'test_push_key', { scancode: key.scancode, vk: key.vk, extended: false, down });
  if (!reply.queued) throw new Error(`the module did not take ${code}`);
}

async function typeText(client, text) {
  for (const ch of text) {
    const upper = ch >= 'A' && ch <= 'Z';
    const code = ch === ' ' ? 'Space' : ch === '!' ? 'Digit1' : `Key${ch.toUpperCase()}`;
    const shifted = upper || ch === '!';
    if (shifted) await send(client, 'ShiftLeft', true);
    await send(client, code, true);
    await send(client, code, false);
    if (shifted) await send(client, 'ShiftLeft', false);
    await sleep(60);
  }
}

async function openPage(port) {
  const browser = await chromium.launch({
    executablePath: process.env.CLACKERY_CHROMIUM ?? '/usr/bin/chromium',
    headless: !process.env.DISPLAY || process.env.CLACKERY_HEADLESS === '1',
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
  await typeText(client, 'Hello Clackery!');
  // Ctrl+Z held: the keys light and the drawing-app shortcut sheet names the command.
  await send(client, 'ControlLeft', true);
  await send(client, 'KeyZ', true);
  await page.waitForFunction(() => document.querySelectorAll('.key.down').length >= 2, null, { timeout: 10000 });
  await sleep(400);
  const pageShot = path.join(args.out, 'overlay-page.png');
  await page.screenshot({ path: pageShot });
  await send(client, 'KeyZ', false);
  await send(client, 'ControlLeft', false);
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
