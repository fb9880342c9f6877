// The libobs version the built module declares is the one of the headers it was built against:
// OBS 32 refuses a module that declares a newer libobs than its own, so a build against older
// headers must not claim a newer one.
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import fs from 'node:fs';
import { test } from 'node:test';
import { promisify } from 'node:util';
import { fromHost, hostCommand, hostName, paths } from './lib/obs_host.mjs';

// A second reading of the headers' version, from the host's own obs-config.h.
function headerVersion() {
  const text = fs.readFileSync(fromHost('/usr/include/obs/obs-config.h'), 'utf8');
  const part = (name) => {
    const match = text.match(new RegExp(`#define\\s+LIBOBS_API_${name}_VER\\s+(\\d+)`));
    assert.ok(match, `obs-config.h defines no LIBOBS_API_${name}_VER`);
    return Number(match[1]);
  };
  return ((part('MAJOR') << 24) | (part('MINOR') << 16) | part('PATCH')) >>> 0;
}

test(`the module declares the libobs version of its headers (${hostName})`, async () => {
  const probe = process.env.CLACKERY_VERSION_PROBE;
  assert.ok(probe && fs.existsSync(probe), `CLACKERY_VERSION_PROBE names no probe (got ${probe})`);
  assert.ok(paths.module && fs.existsSync(paths.module), `CLACKERY_MODULE names no module (got ${paths.module})`);
  const [program, args] = hostCommand(probe, [paths.module]);
  const { stdout } = await promisify(execFile)(program, args);
  const match = stdout.match(/^module 0x([0-9a-f]{8}) headers 0x([0-9a-f]{8})$/m);
  assert.ok(match, stdout);
  const [declared, headers] = [Number.parseInt(match[1], 16), Number.parseInt(match[2], 16)];
  const show = (v) => `${v >>> 24}.${(v >>> 16) & 0xff}.${v & 0xffff}`;
  assert.equal(headers, headerVersion(), `the probe saw headers ${show(headers)}`);
  assert.equal(show(declared), show(headers));
});
