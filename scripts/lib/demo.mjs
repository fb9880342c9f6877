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
import os from 'node:os';
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

// `windowed`: a real window on the display, 1920x1080 with no browser frame (kiosk), for OBS
// to capture; else headless.
async function openPage(port, windowed) {
  const options = {
    executablePath: process.env.CLACKERY_CHROMIUM ?? '/usr/bin/chromium',
    headless: !windowed,
    env: { ...process.env, DISPLAY: args.display },
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required',
      // Full screen on the right half of the screen, beside OBS.
      ...(windowed ? ['--kiosk', '--window-position=1920,0', '--window-size=1920,1080'] : [])],
  };
  let page;
  let close;
  if (windowed) {
    // Only the browser's first window is a kiosk one: a new context would open a plain window.
    // Nothing of the browser's own over the captured page: no translation offer, no bar saying
    // that it is automated.
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-page-'));
    fs.mkdirSync(path.join(profile, 'Default'));
    fs.writeFileSync(path.join(profile, 'Default/Preferences'), JSON.stringify({ translate: { enabled: false } }));
    const context = await chromium.launchPersistentContext(profile,
      { ...options, viewport: null, ignoreDefaultArgs: ['--enable-automation'] });
    page = context.pages()[0] ?? await context.newPage();
    close = async () => {
      await context.close();
      fs.rmSync(profile, { recursive: true, force: true });
    };
  } else {
    const browser = await chromium.launch(options);
    page = await browser.newPage({ viewport: { width: 1920, height: 1080 } });
    close = () => browser.close();
  }
  const background = windowed ? `&bg=${KEY_BACKGROUND}` : '';
  await page.goto(`file://${args.page}?ws=ws://127.0.0.1:${port}${background}`);
  await page.waitForFunction(() => document.getElementById('connection')?.hidden === true, null, { timeout: 30000 });
  return { close, page };
}

// The page's window captured into the current scene with the chroma key. A streamer takes the
// window capture (Xcomposite); under Xvfb OBS's software OpenGL cannot take a window's pixmap
// ("Cannot create EGLImage"), so the demo takes the screen capture of the right half of the
// screen, where the page's window is, which OBS reads through shared memory instead.
async function captureWindow(client, inputKinds) {
  // OBS 32 names its second version of the screen capture.
  const inputKind = ['xshm_input_v2', 'xshm_input'].find((kind) => inputKinds.includes(kind));
  if (!inputKind) throw new Error(`OBS has no screen capture among ${inputKinds.join(', ')}`);
  const { currentProgramSceneName: sceneName } = await client.call('GetCurrentProgramScene');
  const inputName = 'Clackery (page window)';
  // The run folder keeps OBS's scenes: an earlier run's capture is replaced.
  const exists = async () => (await client.call('GetInputList')).inputs.some((input) => input.inputName === inputName);
  if (await exists()) {
    await client.call('RemoveInput', { inputName });
    // The name is free once OBS has let go of the source, a moment later.
    for (let tries = 0; (await exists()) && tries < 50; tries += 1) await sleep(100);
  }
  const [x, y, width, height] = pageWindowGeometry();
  const [screenWidth, screenHeight] = X('xdpyinfo').match(/dimensions:\s+(\d+)x(\d+)/).slice(1).map(Number);
  await client.call('CreateInput', {
    sceneName, inputName, inputKind,
    inputSettings: {
      screen: 0, show_cursor: false, advanced: true, server: args.display,
      cut_left: x, cut_top: y, cut_right: screenWidth - x - width, cut_bot: screenHeight - y - height,
    },
  });
  await client.call('CreateSourceFilter', {
    sourceName: inputName, filterName: 'Chroma Key', filterKind: 'chroma_key_filter_v2',
    // The background is one exact colour: a narrow key keeps the pale key caps, whose colour
    // is near grey, which the default similarity (400) would take out too.
    filterSettings: { key_color_type: 'custom', key_color: KEY_COLOUR, similarity: 150, smoothness: 40 },
  });
  console.log(`  OBS captures the page's window (${width}x${height} at ${x},${y}) as "${inputName}", with a chroma key`);
  return inputName;
}

// Where the page's screen-sized window is: [x, y, width, height].
function pageWindowGeometry() {
  const ids = X('xdotool', 'search', '--onlyvisible', '--class', 'chromium').split('\n').filter(Boolean);
  for (const id of ids) {
    if (!/Clackery/.test(X('xdotool', 'getwindowname', id))) continue;
    const geometry = X('xdotool', 'getwindowgeometry', '--shell', id);
    const value = (name) => Number(geometry.match(new RegExp(`^${name}=(\\d+)$`, 'm'))[1]);
    return [value('X'), value('Y'), value('WIDTH'), value('HEIGHT')];
  }
  throw new Error('no Chromium window of the page on the display');
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
  // OBS gone in the middle of the demo is a failure, not an early end.
  let closing = false;
  client.on('ConnectionClosed', () => {
    if (closing) return;
    console.error('demo failed: OBS closed the connection');
    process.exit(1);
  });
  const events = [];
  client.on('VendorEvent', (e) => {
    if (e.vendorName === 'clackery') events.push({ type: e.eventType, data: e.eventData });
  });

  // The dock docked and shown, capture started with its own button, as a streamer would.
  await call(client, 'test_show_dock', { visible: true });
  await call(client, 'test_dock_geometry', { floating: false });
  await call(client, 'test_dock_paused', { paused: false });
  await call(client, 'test_set_text_options', { textSource: 'keys' });
  // The main window gets the left half of the screen, once OBS has laid it out itself (OBS 29
  // sets its first size after its window is up).
  for (const id of X('xdotool', 'search', '--onlyvisible', '--name', '^OBS ').split('\n').filter(Boolean)) {
    X('xdotool', 'windowmove', id, '0', '0', 'windowsize', id, '1920', '1080');
  }

  const { inputKinds } = await client.call('GetInputKindList');
  const windowed = !inputKinds.includes('browser_source');
  const { close: closePage, page } = await openPage(args.port, windowed);
  const captured = windowed ? await captureWindow(client, inputKinds) : null;
  await typeText('Hello Clackery!');
  // Ctrl+Z held: the keys light and the drawing-app shortcut sheet names the command.
  send('ControlLeft', true);
  send('KeyZ', true);
  await page.waitForFunction(() => document.querySelectorAll('.key.down').length >= 2, null, { timeout: 10000 });
  await sleep(400);
  const pageShot = path.join(args.out, 'overlay-page.png');
  await page.screenshot({ path: pageShot });
  // OBS draws its preview at its own pace: a few frames of the held keys, while the shortcut
  // sheet still names the command. The picture is OBS's half of the screen.
  await sleep(captured ? 400 : 0);
  X('import', '-window', 'root', '-crop', '1920x1080+0+0', '+repage', path.join(args.out, 'obs-window.png'));
  if (captured) {
    const colours = await sourcePicture(client, captured, path.join(args.out, 'obs-capture.png'));
    if (colours < 16) throw new Error(`the window capture shows ${colours} colour(s): no page in OBS`);
  }
  send('KeyZ', false);
  send('ControlLeft', false);
  await sleep(200);
  if (!args['keep-open']) await closePage();

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
    await closePage();
  }
  closing = true;
  await client.disconnect();
}

main().catch((error) => {
  console.error(`demo failed: ${error.message}`);
  process.exit(1);
});
