// The sixteen shipped skins: readable by the module's strict rules, named as the dock shows
// them, and every drawing value one the page accepts.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { REPO, SKIN_ORDER, stagedOverlay } from './helpers.mjs';

const BUILTIN = new Set(['navy_gold', 'porcelain', 'ice_glass', 'default']);
const FORBIDDEN = /[\u0000-\u001f\u007f-\u009f\u061c\u200b-\u200f\u2028-\u202e\u2060-\u206f\ufeff]/u;

const skinFile = (id) => path.join(REPO, 'data', 'skin', id, 'config.json');

test('each skin of the skin order ships a small, strict JSON config', () => {
  for (const id of SKIN_ORDER) {
    const bytes = fs.readFileSync(skinFile(id));
    assert.ok(bytes.length >= 2 && bytes.length < 65536, `${id} size ${bytes.length}`);
    assert.notEqual(bytes[0], 0xef, `${id} has no byte-order mark`);
    const text = bytes.toString('utf8');
    assert.equal(Buffer.from(text, 'utf8').compare(bytes), 0, `${id} is UTF-8`);
    const doc = JSON.parse(text);
    assert.ok(doc !== null && typeof doc === 'object' && !Array.isArray(doc), `${id} is an object`);
  }
});

test('the crystal skins carry a Japanese display name; the four built-in ones carry none', () => {
  const names = new Set();
  for (const id of SKIN_ORDER) {
    const text = fs.readFileSync(skinFile(id), 'utf8');
    const count = (text.match(/"displayName"\s*:/g) || []).length;
    const name = JSON.parse(text).displayName;
    if (BUILTIN.has(id)) {
      assert.equal(count, 0, id);
      continue;
    }
    assert.equal(count, 1, `${id} names itself once`);
    const points = Array.from(name);
    assert.ok(points.length >= 1 && points.length <= 80 && Buffer.byteLength(name) <= 320, id);
    assert.ok(points.some((c) => c !== ' ' && c !== '\u3000'), id);
    assert.ok(!FORBIDDEN.test(name), id);
    assert.match(name, /[\u3040-\u30ff\u4e00-\u9fff]/u, `${id} is named in Japanese`);
    assert.ok(!names.has(name), `${id} has a name of its own`);
    names.add(name);
  }
  assert.equal(JSON.parse(fs.readFileSync(skinFile('cute_strawberry_milk'), 'utf8')).displayName, 'いちごミルク');
});

const staged = stagedOverlay();

test('every drawing value of every skin is taken by the page, none falls back', async () => {
  const { page } = await staged.open();
  const rejected = await page.evaluate((ids) => {
    const C = window.Clackery;
    const out = [];
    for (const id of ids) {
      const cfg = C.data.peek('skins', id);
      if (!cfg) { out.push(id + ': unreadable'); continue; }
      const skin = C.skin.readSkin(cfg);
      const given = [];
      for (const part of ['keyboard', 'text', 'badge']) {
        for (const [k, v] of Object.entries(cfg[part] || {})) if (typeof v === 'string' && !['direction', 'font'].includes(k)) given.push([part + '.' + k, v]);
      }
      const taken = new Set(Object.values(skin.vars).concat(skin.tints));
      for (const tone of ['white', 'dark']) for (const v of Object.values(skin.text.tones[tone])) taken.add(v);
      for (const [k, v] of given) if (!taken.has(v)) out.push(`${id}: ${k}`);
      for (const tone of ['white', 'dark']) {
        for (const [k, v] of Object.entries((cfg.text || {})[tone] || {})) if (!taken.has(v)) out.push(`${id}: text.${tone}.${k}`);
      }
      if (cfg.style && skin.style !== cfg.style) out.push(id + ': style');
    }
    return out;
  }, SKIN_ORDER);
  assert.deepEqual(rejected, []);
});
