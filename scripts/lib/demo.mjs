// The run command's demonstration: a real obs-websocket client works the dock through the test
// requests, xdotool types on the X display as a person would (the module captures it as real
// keys), the overlay page follows in Chromium, and both are shown: the events the client
// received are printed, the page and the OBS window are saved as pictures. Where OBS has no
// browser source (Debian's), the demo takes the second road itself: the page's Chromium window
// with a chroma-key background, captured into the current scene by a window capture with a
// chroma key filter, so that OBS's own preview shows the keyboard lighting up.
//
// node scripts/lib/demo.mjs --port <websocket port> --page <installed overlay.html> --out <dir>
//                           [--display :N] [--keep-open]
//
// With --keep-open the page stays open against OBS after the demo ("demo-done" appears in
// the out folder then) until the process is told to stop. The OBS window's picture is taken
// while keys are held (obs-window.png); the captured window's own picture as OBS renders it is
// obs-capture.png.

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

// The background the captured window gets, and OBS's form of it (0xAABBGGRR) for the key.
const KEY_BACKGROUND = '00b140';
const KEY_COLOUR = 0xff40b100;

const X = (command, ...rest) => execFileSync(command, rest, { env: { ...process.env, DISPLAY: args.display } })
  .toString().trim();

// `windowed`: a real window on the display, screen-sized with no browser frame (kiosk), for
// OBS to capture; else headless.
async function openPage(port, windowed) {
  const browser = await chromium.launch({
    executablePath: process.env.CLACKERY_CHROMIUM ?? '/usr/bin/chromium',
    headless: !windowed,
    env: { ...process.env, DISPLAY: args.display },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
      // Under OBS's window the page must keep drawing: the capture reads what it draws.
      ...(windowed ? ['--kiosk', '--window-position=0,0', '--window-size=1920,1080',
        '--disable-backgrounding-occluded-windows', '--disable-renderer-backgrounding'] : [])],
  });
  const page = await browser.newPage({ viewport: windowed ? null : { width: 1920, height: 1080 } });
  const background = windowed ? `&bg=${KEY_BACKGROUND}` : '';
  await page.goto(`file://${args.page}?ws=ws://127.0.0.1:${port}${background}`);
  await page.waitForFunction(() => document.getElementById('connection')?.hidden === true, null, { timeout: 30000 });
  return { browser, page };
}

// The page's window captured into the current scene with the chroma key, and OBS's window put
// back on top (there is no window manager under Xvfb: the newest window is on top, and it
// would take the typing).
async function captureWindow(client) {
  const { currentProgramSceneName: sceneName } = await client.call('GetCurrentProgramScene');
  const inputName = 'Clackery (window)';
  await client.call('CreateInput', { sceneName, inputName, inputKind: 'xcomposite_input', inputSettings: {} });
  let window;
  for (let tries = 0; !window; tries += 1) {
    const { propertyItems } = await client.call('GetInputPropertiesListPropertyItems',
      { inputName, propertyName: 'capture_window' });
    window = propertyItems.find((item) => /Clackery/.test(item.itemName) && /chrom/i.test(item.itemName));
    if (!window && tries > 50) {
      throw new Error(`no Chromium window among ${JSON.stringify(propertyItems.map((item) => item.itemName))}`);
    }
    if (!window) await sleep(200);
  }
  await client.call('SetInputSettings', { inputName, inputSettings: { capture_window: window.itemValue } });
  await client.call('CreateSourceFilter', {
    sourceName: inputName, filterName: 'Chroma Key', filterKind: 'chroma_key_filter_v2',
    filterSettings: { key_color_type: 'custom', key_color: KEY_COLOUR },
  });
  for (const id of X('xdotool', 'search', '--onlyvisible', '--name', '^OBS ').split('\n').filter(Boolean)) {
    X('xdotool', 'windowraise', id);
  }
  console.log(`  OBS captures the page's window "${window.itemName}" as "${inputName}", with a chroma key`);
  return inputName;
}

// What OBS renders of a source, as a picture; the number of colours in it tells a captured page
// from an empty (one-colour) capture.
async function sourcePicture(client, sourceName, file) {
  const { imageData } = await client.call('GetSourceScreenshot', { sourceName, imageFormat: 'png' });
  fs.writeFileSync(file, Buffer.from(imageData.replace(/^data:image\/png;base64,/, ''), 'base64'));
  return Number(X('convert', file, '-format', '%k', 'info:'));
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

  const { inputKinds } = await client.call('GetInputKindList');
  const windowed = !inputKinds.includes('browser_source');
  const { browser, page } = await openPage(args.port, windowed);
  const captured = windowed ? await captureWindow(client) : null;
  await typeText('Hello Clackery!');
  // Ctrl+Z held: the keys light and the drawing-app shortcut sheet names the command.
  send('ControlLeft', true);
  send('KeyZ', true);
  await page.waitForFunction(() => document.querySelectorAll('.key.down').length >= 2, null, { timeout: 10000 });
  await sleep(400);
  const pageShot = path.join(args.out, 'overlay-page.png');
  await page.screenshot({ path: pageShot });
  if (captured) {
    // OBS draws its preview at its own pace: give it a few frames of the held keys.
    await sleep(1000);
    const colours = await sourcePicture(client, captured, path.join(args.out, 'obs-capture.png'));
    if (colours < 16) throw new Error(`the window capture shows ${colours} colour(s): no page in OBS`);
  }
  X('import', '-window', 'root', path.join(args.out, 'obs-window.png'));
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
