// The data bundle script: every layout, skin and sheet reaches the page byte for byte, and
// nothing the module would refuse is bundled.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import vm from 'node:vm';
import { pathToFileURL } from 'node:url';
import { REPO, launch, openPage } from './helpers.mjs';

const SCRIPT = path.join(REPO, 'cmake', 'bundle_page_data.cmake');
let dir;

function write(rel, content) {
  const file = path.join(dir, rel);
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, content);
}

function bundle(out = path.join(dir, 'overlay', 'data-bundle.js')) {
  execFileSync('cmake', ['-DDATA_DIR=' + dir, '-DOUT=' + out, '-P', SCRIPT], { stdio: 'pipe' });
  const sandbox = { window: {} };
  vm.runInNewContext(fs.readFileSync(out, 'utf8'), sandbox);
  const decode = (list) => Object.fromEntries(list.map(([id, hex]) => [Buffer.from(id, 'hex').toString('utf8'), Buffer.from(hex, 'hex')]));
  const d = sandbox.window.CLACKERY_DATA;
  return { format: d.format, layouts: decode(d.layouts), skins: decode(d.skins), shortcuts: decode(d.shortcuts) };
}

const TRICKY = JSON.stringify({ name: '</script><script>alert(1)</script> "引用" \\ \u2028 😀 \'', rows: [
  { keys: [{ code: 'KeyA', label: 'A', shift: 'A', x: 0, y: 0 }] }] });

before(() => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-bundle-'));
  fs.cpSync(path.join(REPO, 'data', 'overlay'), path.join(dir, 'overlay'), { recursive: true });
  write('layouts/tricky.json', TRICKY);
  write('layouts/with-dash_2.json', '{"rows":[{"keys":[{"code":"Space","label":"","x":0,"y":0,"w":6}]}]}');
  write('layouts/notes.txt', 'not a layout');
  write('shortcuts/clipstudio.json', '{"Ctrl+KeyZ":"取り消し"}');
  write('shortcuts/none.json', '{"KeyA":"never"}');
  write('skin/plain/config.json', '{"displayName":"ふつう","keyboard":{"keyColor":"#123456"}}');
  write('skin/big/config.json', JSON.stringify({ pad: 'x'.repeat(70000) }));
  fs.mkdirSync(path.join(dir, 'skin', 'empty'), { recursive: true });
  fs.symlinkSync(path.join(dir, 'skin', 'plain'), path.join(dir, 'skin', 'linked'));
});
after(() => fs.rmSync(dir, { recursive: true, force: true }));

test('files reach the bundle byte for byte, under their ids', () => {
  const b = bundle();
  assert.equal(b.format, 'hex');
  assert.deepEqual(Object.keys(b.layouts).sort(), ['tricky', 'with-dash_2']);
  assert.equal(b.layouts.tricky.toString('utf8'), TRICKY);
  assert.deepEqual(Object.keys(b.shortcuts), ['clipstudio']);
  assert.deepEqual(Object.keys(b.skins), ['plain'], 'no oversized, empty or linked skin');
  assert.equal(JSON.parse(b.skins.plain).displayName, 'ふつう');
});

test('a second run replaces the bundle with what is there now', () => {
  write('layouts/later.json', '{"rows":[]}');
  fs.rmSync(path.join(dir, 'layouts', 'with-dash_2.json'));
  assert.deepEqual(Object.keys(bundle().layouts).sort(), ['later', 'tricky']);
});

test('the script refuses to run without its folders', () => {
  const missing = spawnSync('cmake', ['-DOUT=' + path.join(dir, 'x.js'), '-P', SCRIPT], { encoding: 'utf8' });
  assert.notEqual(missing.status, 0);
  const nowhere = spawnSync('cmake', ['-DDATA_DIR=' + path.join(dir, 'nope'), '-DOUT=' + path.join(dir, 'x.js'), '-P', SCRIPT], { encoding: 'utf8' });
  assert.notEqual(nowhere.status, 0);
  assert.equal(fs.existsSync(path.join(dir, 'x.js')), false);
});

test('the page reads the bundled text as data, never as markup or script', async () => {
  bundle();
  const context = await launch();
  try {
    const { page, errors } = await openPage(context, pathToFileURL(path.join(dir, 'overlay', 'overlay.html')).href);
    const seen = await page.evaluate(() => ({
      name: window.Clackery.data.peek('layouts', 'tricky').name,
      ids: window.Clackery.data.ids('layouts').sort(),
      scripts: document.scripts.length,
    }));
    assert.equal(seen.name, JSON.parse(TRICKY).name);
    assert.deepEqual(seen.ids, ['later', 'tricky']);
    assert.equal(seen.scripts, await page.evaluate(() => document.querySelectorAll('script[src]').length));
    assert.deepEqual(errors, []);
  } finally {
    await context.close();
  }
});
