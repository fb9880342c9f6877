// The data folder under attack, in the real OBS (test mode): links that point outside, huge
// files, FIFOs, entries that cannot be read as files (folders and dangling links where files
// belong) and names with odd bytes in layouts/, skin/, shortcuts/ and sounds/. The module starts
// as usual, offers only what is valid, reads nothing outside its folders and never waits on a
// FIFO.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { test } from 'node:test';
import { call, startTestObs } from './lib/clackery.mjs';
import { paths } from './lib/obs_host.mjs';

const HUGE = 2 ** 31; // sparse: nothing is written
const INVALID_UTF8 = Buffer.from([0x62, 0x61, 0x64, 0xff]); // "bad" + a lone 0xFF byte

function mkfifo(file) {
  execFileSync('mkfifo', [file]);
}

function huge(file) {
  fs.writeFileSync(file, '');
  fs.truncateSync(file, HUGE);
}

const join = (...parts) => Buffer.concat(parts.map((p) => (Buffer.isBuffer(p) ? p : Buffer.from(p))));

function listStaged(folder, keep) {
  const dir = path.join(paths.data, folder);
  return fs.existsSync(dir) ? fs.readdirSync(dir, { withFileTypes: true }).filter(keep).map((e) => e.name) : [];
}

const staged = {
  layouts: listStaged('layouts', (e) => e.isFile() && e.name.endsWith('.json')).map((n) => n.slice(0, -5)),
  skins: listStaged('skin', (e) => e.isDirectory()),
  sheets: listStaged('shortcuts', (e) => e.isFile() && e.name.endsWith('.json')).map((n) => n.slice(0, -5)),
  packs: listStaged('sounds', (e) => e.isDirectory()),
};

// Valid files outside the data folder: each would be accepted if the module followed a link.
function makeOutside(root) {
  const outside = path.join(root, 'outside');
  fs.mkdirSync(path.join(outside, 'skin'), { recursive: true });
  fs.copyFileSync(path.join(paths.data, 'layouts', 'jis_tkl.json'), path.join(outside, 'layout.json'));
  fs.writeFileSync(path.join(outside, 'sheet.json'), JSON.stringify({ pen: 'P' }));
  fs.writeFileSync(path.join(outside, 'skin', 'config.json'), JSON.stringify({ displayName: 'よそのスキン' }));
  fs.cpSync(path.join(paths.data, 'sounds', 'shizuka'), path.join(outside, 'pack'), { recursive: true });
  return outside;
}

// A folder of JSON files: links out and dangling, a huge file, a FIFO, a folder with the
// file's name, odd names, and one good copy under `goodName`; `outsideFile` is a valid file
// outside the data folder.
function attackJsonFolder(dir, outsideFile, content, goodName) {
  const outside = path.dirname(outsideFile);
  fs.symlinkSync(outsideFile, path.join(dir, 'linked_out.json'));
  huge(path.join(dir, 'huge.json'));
  mkfifo(path.join(dir, 'fifo.json'));
  fs.symlinkSync(path.join(outside, 'gone.json'), path.join(dir, 'dangling.json'));
  fs.mkdirSync(path.join(dir, 'folder.json'));
  fs.writeFileSync(path.join(dir, 'with space.json'), content);
  fs.writeFileSync(path.join(dir, 'dots.v2.json'), content);
  fs.writeFileSync(join(dir, '/', INVALID_UTF8, '.json'), content);
  fs.writeFileSync(path.join(dir, `${goodName}.json`), content);
}

function attackLayouts(data, outside) {
  const dir = path.join(data, 'layouts');
  attackJsonFolder(dir, path.join(outside, 'layout.json'), fs.readFileSync(path.join(dir, 'jis_tkl.json')), 'ok_copy');
}

function attackSkins(data, outside) {
  const dir = path.join(data, 'skin');
  fs.mkdirSync(dir, { recursive: true });
  const skin = (name, make) => {
    const folder = Buffer.isBuffer(name) ? join(dir, '/', name) : path.join(dir, name);
    fs.mkdirSync(folder);
    make(Buffer.isBuffer(folder) ? join(folder, '/config.json') : path.join(folder, 'config.json'));
  };
  const config = JSON.stringify({ displayName: '正しいスキン' });
  fs.symlinkSync(path.join(outside, 'skin'), path.join(dir, 'linked_out'));
  skin('fifo_skin', mkfifo);
  skin('huge_skin', huge);
  skin('config_link_skin', (file) => fs.symlinkSync(path.join(outside, 'skin', 'config.json'), file));
  skin('folder_skin', (file) => fs.mkdirSync(file));
  skin('dangling_skin', (file) => fs.symlinkSync(path.join(outside, 'gone.json'), file));
  skin('with space', (file) => fs.writeFileSync(file, config));
  skin('dots.v2', (file) => fs.writeFileSync(file, config));
  skin(INVALID_UTF8, (file) => fs.writeFileSync(file, config));
  skin('ok_skin', (file) => fs.writeFileSync(file, config));
}

function attackSheets(data, outside) {
  attackJsonFolder(path.join(data, 'shortcuts'), path.join(outside, 'sheet.json'), JSON.stringify({ pen: 'P', eraser: 'E' }), 'ok_sheet');
}

function attackPacks(data, outside) {
  const dir = path.join(data, 'sounds');
  const source = path.join(outside, 'pack');
  const pack = (name, change) => {
    const folder = Buffer.isBuffer(name) ? join(dir, '/', name) : path.join(dir, name);
    // Copied file by file: a name that is not UTF-8 exists only as bytes.
    fs.mkdirSync(folder);
    for (const file of fs.readdirSync(source)) fs.copyFileSync(path.join(source, file), join(folder, '/', file));
    if (change) change(folder.toString());
  };
  const replace = (file, make) => { fs.rmSync(file, { force: true }); make(file); };
  fs.symlinkSync(source, path.join(dir, 'linked_out'));
  pack('fifo_pack', (f) => replace(path.join(f, 'normal.wav'), mkfifo));
  pack('fifojson_pack', (f) => replace(path.join(f, 'pack.json'), mkfifo));
  pack('huge_pack', (f) => replace(path.join(f, 'normal.wav'), huge));
  pack('linkwav_pack', (f) => replace(path.join(f, 'normal.wav'),
    (file) => fs.symlinkSync(path.join(source, 'normal.wav'), file)));
  pack('folder_pack', (f) => replace(path.join(f, 'normal.wav'), (file) => fs.mkdirSync(file)));
  pack('dangling_pack', (f) => replace(path.join(f, 'normal.wav'),
    (file) => fs.symlinkSync(path.join(outside, 'gone.wav'), file)));
  pack('dots.v2');
  pack(INVALID_UTF8);
  // A valid pack whose optional sounds are a FIFO, a huge file and a link outside: offered,
  // without those three.
  pack('ok_pack', (f) => {
    for (const name of fs.readdirSync(f)) {
      if (/^(space|enter|backspace)/.test(name)) fs.rmSync(path.join(f, name));
    }
    mkfifo(path.join(f, 'space.wav'));
    huge(path.join(f, 'enter.wav'));
    fs.symlinkSync(path.join(source, 'normal.wav'), path.join(f, 'backspace.wav'));
  });
}

async function dockCombos(obs) {
  const reply = await obs.callVendor('clackery_test', 'list_dock_combos', { dock: 'clackery_dock' });
  assert.equal(reply.found, true, 'the dock exists');
  return reply.combos.map((combo) => combo.items);
}

// The combo whose values include `marker`, as [value, text] pairs.
function comboWith(combos, marker) {
  const combo = combos.find((items) => items.some((item) => item.value === marker));
  assert.ok(combo, `a combo offering ${marker}`);
  return combo.map((item) => [item.value, item.text]);
}

const sorted = (list) => [...list].sort();
const values = (combo) => combo.map(([value]) => value);

test('a hostile data folder: only valid entries are offered, nothing outside is read', async (t) => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-files-'));
  t.after(() => fs.rmSync(root, { recursive: true, force: true }));
  const outside = makeOutside(root);
  const obs = await startTestObs({
    // Settings that name the attacking entries: each is corrected at load, none is waited on.
    config: JSON.stringify({ layout: 'fifo', skin: 'fifo_skin', shortcuts: 'fifo', sound_pack: 'fifo_pack' }),
    editData: (data) => {
      attackLayouts(data, outside);
      attackSkins(data, outside);
      attackSheets(data, outside);
      attackPacks(data, outside);
    },
  });
  try {
    assert.ok(obs.clackeryLines().some((line) => line.startsWith('[clackery] plugin loaded')), 'start-up completed');
    const state = await call(obs, 'get_state');
    assert.equal(state.layout, 'jis_tkl');
    assert.equal(state.shortcuts, 'clipstudio');
    assert.equal(state.soundPack, 'shizuka');
    assert.notEqual(state.skin, 'fifo_skin');

    const combos = await dockCombos(obs);
    assert.deepEqual(sorted(values(comboWith(combos, 'jis_tkl'))), sorted([...staged.layouts, 'ok_copy']));
    const skins = comboWith(combos, 'ok_skin');
    // A skin whose file is too large to read is still a valid skin, shown under its id.
    assert.deepEqual(sorted(values(skins)), sorted([...staged.skins, 'ok_skin', 'huge_skin']));
    assert.deepEqual(skins.find(([value]) => value === 'ok_skin'), ['ok_skin', '正しいスキン']);
    assert.deepEqual(skins.find(([value]) => value === 'huge_skin'), ['huge_skin', 'huge_skin']);
    assert.ok(!skins.some(([, text]) => text === 'よそのスキン'), 'no name read from outside');
    assert.deepEqual(values(comboWith(combos, 'ok_sheet')),
      ['none', ...['clipstudio', 'sai', 'photoshop'].filter((s) => staged.sheets.includes(s)),
        ...sorted([...staged.sheets.filter((s) => !['clipstudio', 'sai', 'photoshop'].includes(s)), 'ok_sheet'])]);
    assert.deepEqual(sorted(values(comboWith(combos, 'ok_pack'))), sorted([...staged.packs, 'ok_pack']));

    // Requests name the refused entries directly: refused, nothing changes.
    for (const [key, id] of [['layout', 'linked_out'], ['layout', 'huge'], ['layout', 'fifo'], ['layout', 'folder'],
      ['skin', 'linked_out'], ['skin', 'config_link_skin'], ['skin', 'fifo_skin'], ['shortcuts', 'linked_out'],
      ['shortcuts', 'fifo'], ['shortcuts', 'huge']]) {
      const reply = await call(obs, 'test_set_overlay_options', { [key]: id });
      assert.equal(reply.accepted, false, `${key} ${id} refused`);
    }
    const accepted = await call(obs, 'test_set_overlay_options',
      { layout: 'ok_copy', skin: 'ok_skin', shortcuts: 'ok_sheet', soundPack: 'ok_pack' });
    assert.equal(accepted.accepted, true);
    const after = await call(obs, 'get_state');
    assert.deepEqual([after.layout, after.skin, after.shortcuts, after.soundPack],
      ['ok_copy', 'ok_skin', 'ok_sheet', 'ok_pack']);
    assert.deepEqual(after.soundFiles.map((f) => f.name).filter((n) => !n.startsWith('normal')), [],
      'the FIFO, the huge file and the link are not offered as sounds');
  } finally {
    await obs.kill();
    obs.cleanup();
  }
});

test('a FIFO in place of "config.json" is set aside without waiting on it', async (t) => {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'clackery-files-'));
  t.after(() => fs.rmSync(root, { recursive: true, force: true }));
  const configDir = path.join(root, 'home', '.config', 'obs-studio', 'plugin_config', 'clackery');
  fs.mkdirSync(configDir, { recursive: true });
  mkfifo(path.join(configDir, 'config.json'));
  const obs = await startTestObs({ root });
  try {
    assert.equal((await call(obs, 'get_state')).mode, 'both');
    assert.ok(obs.clackeryLines().includes('[clackery] invalid settings; defaults selected; preserved=1'));
    assert.ok(fs.lstatSync(path.join(configDir, 'config.json.broken')).isFIFO(), 'the FIFO lies aside');
    await obs.stop();
    assert.equal(JSON.parse(fs.readFileSync(path.join(configDir, 'config.json'), 'utf8')).mode, 'both');
  } finally {
    await obs.kill();
  }
});
