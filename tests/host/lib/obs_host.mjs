// Starts the real OBS Studio under Xvfb with our module (and the test companion) installed in
// a private home, connects a real obs-websocket client, and shuts OBS down cleanly through the
// companion so that the frontend exit event runs.

import { execFile, spawn } from 'node:child_process';
import { once } from 'node:events';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { setTimeout as sleep } from 'node:timers/promises';
import { promisify } from 'node:util';
import OBSWebSocket, { EventSubscription } from 'obs-websocket-js';

// The host under test: "obs29" (default), the machine's own OBS, or "obs30" / "obs32", Debian
// 13's OBS 30 and Debian testing's OBS 32 in the roots of scripts/lib/host_root.sh. Xvfb, the
// client and the test's files stay on this machine either way: a root sees /tmp at the same path
// and reaches the display through its abstract socket, and its WebSocket port is on the same
// 127.0.0.1.
const ROOTS = {
  obs30: process.env.CLACKERY_OBS30_ROOT || '/var/cache/clackery/trixie-root',
  obs32: process.env.CLACKERY_OBS32_ROOT || '/var/cache/clackery/forky-root',
};
export const hostName = process.env.CLACKERY_HOST || 'obs29';
if (!['obs29', ...Object.keys(ROOTS)].includes(hostName)) {
  throw new Error(`CLACKERY_HOST must be obs29, obs30 or obs32, not ${hostName}`);
}
const enterRoot = fileURLToPath(new URL('../../../scripts/lib/host_root.sh', import.meta.url));

// The folder of the host's root as seen from here; '' for this machine's own OBS.
export const hostRoot = ROOTS[hostName] ?? '';

// A path inside the host as this machine sees it.
export function fromHost(file) { return hostRoot ? path.join(hostRoot, file) : file; }

// The folder a process of the host runs in, as the host sees it: from here a process in a root
// shows the root's own folder in front of it.
export function hostCwd(pid) {
  const cwd = fs.readlinkSync(`/proc/${pid}/cwd`);
  const root = fs.readlinkSync(`/proc/${pid}/root`);
  if (root === '/') return cwd;
  const inside = path.relative(root, cwd);
  if (inside.startsWith('..') || path.isAbsolute(inside)) throw new Error(`${cwd} is outside the root ${root}`);
  return path.join('/', inside);
}

// The command that runs a program of the host: in its root, or here. The process it starts is
// the program itself.
export function hostCommand(program, args = []) {
  return hostRoot ? ['bash', [enterRoot, hostName, program, ...args]] : [program, args];
}

// The command that starts OBS on this host. A crash leaves a core file in the private home, so
// that the harness can tell whose crash it was.
function obsCommand(args) {
  const [program, rest] = hostCommand('obs', args);
  return ['prlimit', ['--core=unlimited', '--', program, ...rest]];
}

// The backtrace of the thread that took the fatal signal, read from the core file; null when
// the system wrote none where OBS ran.
export async function crashingThread(home) {
  const core = fs.readdirSync(home).find((name) => /^core(\.\d+)?$/.test(name));
  if (!core) return null;
  const args = ['-batch', ...(hostRoot ? ['-iex', `set sysroot ${hostRoot}`] : []), '-ex', 'bt',
    fromHost('/usr/bin/obs'), path.join(home, core)];
  const { stdout } = await promisify(execFile)('gdb', args, { maxBuffer: 64 * 1024 * 1024 });
  // Paths as OBS saw them: the root's own folder names are no frame's business.
  const frames = stdout.split('\n').filter((line) => /^#\d/.test(line)).join('\n');
  return hostRoot ? frames.replaceAll(hostRoot, '') : frames;
}

// obs-websocket races itself when it unloads: closing its listening socket wakes its own IO
// thread, which may queue the next accept on the socket being closed and crash OBS. That is
// after every module of ours has finished, and stock OBS does it too; any other crash is
// reported as it is.
function isWebSocketTeardownRace(frames, log) {
  if (!frames || frames.includes('clackery')) return false;
  const top = frames.split('\n').slice(0, 3).join('\n');
  return /start_accept|handle_accept|reactive_socket_service/.test(top) &&
    frames.includes('WebSocketServer::ServerRunner') &&
    log.trimEnd().endsWith('[obs-websocket] [obs_module_unload] Shutting down...');
}

// OBS 32's frontend, closed on a loaded machine, now and then leaves sources of scenes that
// were switched away from behind when it clears the scene data ("Not all sources were cleared
// when clearing scene data"), and libobs's destruction thread then releases a scene item of a
// source already freed. It does so with no module of ours loaded (9 of 84 closes at a load of 2,
// none when quiet); any other crash is reported as it is.
function isSceneClearingRace(frames, log) {
  if (!frames || frames.includes('clackery')) return false;
  const top = frames.split('\n').slice(0, 3).join('\n');
  return /obs_sceneitem_release/.test(top) && log.includes('Not all sources were cleared when clearing scene data');
}

export const paths = {
  module: process.env.CLACKERY_MODULE,
  data: process.env.CLACKERY_DATA_DIR,
  companion: process.env.CLACKERY_COMPANION,
};

// What a start needs of the build: the module with its data, the companion, or neither (an
// installed package).
export function requireBuild({ module = true, companion = true } = {}) {
  const needed = { ...(module && { module: paths.module, data: paths.data }), ...(companion && { companion: paths.companion }) };
  for (const [name, value] of Object.entries(needed)) {
    if (!value || !fs.existsSync(value)) {
      throw new Error(`host tests need CLACKERY_${name.toUpperCase()} (got ${value}); run them through ctest`);
    }
  }
}

async function freePort() {
  const server = net.createServer();
  server.listen(0, '127.0.0.1');
  await once(server, 'listening');
  const { port } = server.address();
  server.close();
  await once(server, 'close');
  return port;
}

function installPlugin(home, name, libraryFile, dataDir) {
  const root = path.join(home, '.config/obs-studio/plugins', name);
  fs.mkdirSync(path.join(root, 'bin/64bit'), { recursive: true });
  fs.copyFileSync(libraryFile, path.join(root, 'bin/64bit', `${name}.so`));
  if (dataDir) fs.cpSync(dataDir, path.join(root, 'data'), { recursive: true });
  else fs.mkdirSync(path.join(root, 'data'), { recursive: true });
}

function writeGlobalIni(home, port) {
  const dir = path.join(home, '.config/obs-studio');
  fs.mkdirSync(dir, { recursive: true });
  fs.writeFileSync(path.join(dir, 'global.ini'), [
    '[General]', 'FirstRun=true', '',
    '[OBSWebSocket]', 'FirstLoad=false', 'ServerEnabled=true', 'AuthRequired=false', `ServerPort=${port}`, '',
  ].join('\n'));
  // OBS 31 and later read the first-run mark from the user's file: without it the
  // auto-configuration wizard opens, and a close during its modal loop never ends.
  const user = path.join(dir, 'user.ini');
  if (!fs.existsSync(user)) fs.writeFileSync(user, '[General]\nFirstRun=true\n');
}

// Xvfb picks a free display itself and tells us which through a pipe.
async function startXvfb(logFile, extraArgs = []) {
  const out = fs.openSync(logFile, 'a');
  const xvfb = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', '1920x1080x24', '-nolisten', 'tcp', '+extension', 'GLX',
    ...extraArgs],
    { stdio: ['ignore', out, out, 'pipe'] });
  let text = '';
  xvfb.stdio[3].setEncoding('utf8');
  for await (const chunk of xvfb.stdio[3]) {
    text += chunk;
    if (text.includes('\n')) break;
  }
  const display = Number.parseInt(text, 10);
  if (!Number.isInteger(display)) {
    xvfb.kill('SIGKILL');
    throw new Error(`Xvfb gave no display (${JSON.stringify(text)})`);
  }
  return { process: xvfb, display };
}

function exited(child) {
  if (child.exitCode !== null || child.signalCode !== null) return Promise.resolve();
  return once(child, 'exit');
}

export class ObsHost {
  constructor(fields) {
    Object.assign(this, fields);
    this.stopped = false;
  }

  get configDir() { return path.join(this.home, '.config/obs-studio/plugin_config/clackery'); }
  get configFile() { return path.join(this.configDir, 'config.json'); }

  log() { return fs.readFileSync(this.logFile, 'utf8'); }

  // Lines of ours, without the host's level prefix.
  clackeryLines() {
    return this.log().split('\n').filter((line) => line.includes('[clackery] '))
      .map((line) => line.slice(line.indexOf('[clackery] ')));
  }

  async callVendor(vendorName, requestType, requestData) {
    const args = { vendorName, requestType };
    // obs-websocket refuses an empty object here.
    if (requestData && Object.keys(requestData).length > 0) args.requestData = requestData;
    const reply = await this.client.call('CallVendorRequest', args);
    return reply.responseData;
  }

  // Closes the main window from inside OBS and waits for the process to end.
  async stop({ timeoutMs = 60000 } = {}) {
    if (this.stopped) return this.exit;
    this.stopped = true;
    try {
      await this.callVendor('clackery_test', 'close_main_window');
    } catch (error) {
      this.obs.kill('SIGKILL');
      throw new Error(`could not ask OBS to close: ${error.message}`);
    } finally {
      this.client.disconnect().catch(() => {});
    }
    const timer = sleep(timeoutMs, 'timeout', { ref: false });
    const result = await Promise.race([exited(this.obs).then(() => 'exited'), timer]);
    if (result === 'timeout') {
      this.obs.kill('SIGKILL');
      await exited(this.obs);
    }
    await this.stopXvfb();
    this.exit = { code: this.obs.exitCode, signal: this.obs.signalCode, timedOut: result === 'timeout' };
    if (this.exit.timedOut) throw new Error(`OBS did not exit within ${timeoutMs} ms; log at ${this.logFile}`);
    if (this.exit.signal !== null) {
      const frames = await crashingThread(this.home).catch((error) => `gdb failed: ${error.message}`);
      const log = this.log();
      const race = isWebSocketTeardownRace(frames, log) ? 'obs-websocket crashed in its own teardown, after ours'
        : isSceneClearingRace(frames, log) ? "the frontend's scene clearing lost sources and libobs freed one twice"
          : null;
      if (race) {
        console.log(`# ${race}; counted as a clean exit:\n${frames}`);
        this.exit = { code: 0, signal: null, hostCrash: this.exit.signal, timedOut: false };
      } else {
        // The log is gone with the private folder once the test ends: what a reader of the CI
        // output needs to tell whose crash it was goes there now.
        const tail = log.trimEnd().split('\n').slice(-15).join('\n');
        console.log(`# OBS ended by ${this.exit.signal} at exit; the crashing thread:\n${frames}\n# the log's end:\n${tail}`
          .replaceAll('\n', '\n# '));
      }
    }
    return this.exit;
  }

  async kill() {
    if (!this.stopped) {
      this.stopped = true;
      await this.client.disconnect().catch(() => {});
      this.obs.kill('SIGKILL');
      await exited(this.obs);
    }
    await this.stopXvfb();
  }

  async stopXvfb() {
    if (this.xvfb.exitCode === null && this.xvfb.signalCode === null) {
      this.xvfb.kill('SIGTERM');
      await exited(this.xvfb);
    }
  }

  // Removes the private folder unless the caller wants to keep it for a look.
  cleanup() {
    if (process.env.CLACKERY_KEEP_HOMES === '1') {
      console.log(`kept test home ${this.root}`);
      return;
    }
    fs.rmSync(this.root, { recursive: true, force: true });
  }
}

// options:
//   home        reuse this private folder (a restart keeps config and plug-ins)
//   config      text written to our config.json before start (undefined: leave as is)
//   env         extra environment for OBS
//   module      install our module (default true)
//   companion   install the test companion (default true)
//   subscribe   obs-websocket event subscriptions (default: vendor events)
//   xvfbArgs    extra arguments for Xvfb (a server without some extension)
//   editData    called with the installed data folder of our module before OBS starts
export async function startObs(options = {}) {
  requireBuild({ module: options.module !== false, companion: options.companion !== false });
  const root = options.root ?? fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-host-'));
  const home = path.join(root, 'home');
  const runtime = path.join(root, 'run');
  fs.mkdirSync(home, { recursive: true });
  fs.mkdirSync(runtime, { recursive: true, mode: 0o700 });
  const port = await freePort();
  writeGlobalIni(home, port);

  const plugins = path.join(home, '.config/obs-studio/plugins');
  fs.rmSync(plugins, { recursive: true, force: true });
  if (options.module !== false) installPlugin(home, 'clackery', paths.module, options.dataDir ?? paths.data);
  if (options.companion !== false) installPlugin(home, 'clackery_test_companion', paths.companion, null);
  // Entries a copy cannot carry (FIFOs, unreadable files) are made in place.
  if (options.editData) options.editData(path.join(plugins, 'clackery', 'data'));

  if (options.config !== undefined) {
    const dir = path.join(home, '.config/obs-studio/plugin_config/clackery');
    fs.mkdirSync(dir, { recursive: true });
    fs.writeFileSync(path.join(dir, 'config.json'), options.config);
  }

  const logFile = path.join(root, `obs-${Date.now()}.log`);
  const xvfb = await startXvfb(path.join(root, 'xvfb.log'), options.xvfbArgs);
  const out = fs.openSync(logFile, 'a');
  const env = {
    ...process.env,
    HOME: home,
    XDG_CONFIG_HOME: path.join(home, '.config'),
    XDG_RUNTIME_DIR: runtime,
    DISPLAY: `:${xvfb.display}`,
    QT_QPA_PLATFORM: 'xcb',
  };
  // Test mode only when a test asks for it.
  delete env.CLACKERY_TEST_HOOKS;
  delete env.CLACKERY_TEST_NO_HOOK;
  Object.assign(env, options.env);
  const [command, args] = obsCommand(['--multi', '--disable-updater', '--disable-missing-files-check',
    '--websocket_port', String(port)]);
  const obs = spawn(command, args, { env, cwd: home, stdio: ['ignore', out, out] });

  const client = new OBSWebSocket();
  const deadline = Date.now() + 60000;
  for (;;) {
    if (obs.exitCode !== null || obs.signalCode !== null) {
      xvfb.process.kill('SIGTERM');
      throw new Error(`OBS ended during start-up; log at ${logFile}`);
    }
    try {
      await client.connect(`ws://127.0.0.1:${port}`, undefined,
        { eventSubscriptions: options.subscribe ?? EventSubscription.Vendors });
      break;
    } catch (error) {
      // Only a refused connection means "not up yet"; anything else is a real fault.
      if (error.code !== -1) {
        obs.kill('SIGKILL');
        xvfb.process.kill('SIGTERM');
        throw new Error(`obs-websocket refused the client: ${error.code} ${error.message}; log at ${logFile}`);
      }
      if (Date.now() > deadline) {
        obs.kill('SIGKILL');
        xvfb.process.kill('SIGTERM');
        throw new Error(`obs-websocket did not answer within 60 s; log at ${logFile}`);
      }
      await sleep(100);
    }
  }
  // obs-websocket 5.5 (OBS 30) answers every request with 207 "not ready" until the frontend has
  // finished loading, some time after the server accepts clients.
  for (;;) {
    try {
      await client.call('GetVersion');
      break;
    } catch (error) {
      if (error.code !== 207 || Date.now() > deadline) {
        obs.kill('SIGKILL');
        xvfb.process.kill('SIGTERM');
        throw new Error(`OBS never became ready: ${error.code} ${error.message}; log at ${logFile}`);
      }
      await sleep(50);
    }
  }
  // A request that OBS never answers because it ended (a crash, a deadlock ended by a kill)
  // fails instead of leaving the test waiting for ever.
  const ended = exited(obs).then(() => {
    throw new Error(`OBS ended (${obs.exitCode ?? obs.signalCode}) before answering; log at ${logFile}`);
  });
  ended.catch(() => {});
  const send = client.call.bind(client);
  client.call = (...request) => Promise.race([send(...request), ended]);
  const host = new ObsHost({ root, home, port, obs, xvfb: xvfb.process, display: xvfb.display, client, logFile });
  if (options.companion !== false) {
    await host.waitForLog('[clackery-test] companion ready');
    // A task on OBS's UI thread, answered once the frontend's main loop runs. obs-websocket 5.7
    // (OBS 32) serves requests while the frontend still sets itself up, and one that creates a
    // scene then deadlocks OBS's start-up.
    await host.callVendor('clackery_test', 'list_dock_combos', { dock: '' });
  }
  return host;
}

ObsHost.prototype.waitForLog = async function waitForLog(text, timeoutMs = 20000) {
  const deadline = Date.now() + timeoutMs;
  while (!this.log().includes(text)) {
    if (Date.now() > deadline) throw new Error(`log never showed ${JSON.stringify(text)}; log at ${this.logFile}`);
    await sleep(50);
  }
};

// Counts lines of ours that equal `text` exactly.
export function countLines(lines, text) {
  return lines.filter((line) => line === text).length;
}
