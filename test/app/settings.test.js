'use strict';
const { test, describe, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { launcherPaths } = require('../../app/core/layout');
const { DEFAULTS, loadSettings, saveSettings, effectiveClientId } = require('../../app/core/settings');
const { readBuildInfo, UNSET_UPDATE_API } = require('../../app/core/build-info');
const files = require('../../app/core/files');
const { createHandlers } = require('../../app/handlers');
const { testContext } = require('../support/context');

const PAGE_KEYS = ['clientId', 'gameRam', 'serverRam', 'stopServerOnExit'];
// [key, values that do not fit it]; the page keys are refused on set, every key is fixed on load
const MISFITS = [
  ['clientId', [7, null, 'a\tb', 'id\u0085', 'x'.repeat(1025)]],
  ['gameRam', ['4G -javaagent:x', '8', 4.5, 1, 17, null, true]],
  ['serverRam', [13, 1, '3', [3]]],
  ['stopServerOnExit', ['true', 1, null]],
  ['shortcut', [1, '2', null]],
  ['lastPlay', [-1, '1700000000000', null]],
  ['lastFabric', [{ loader: '0.19.5' }, { loader: '0.19.5', installer: '../1.1.0' }, '0.19.5']],
  ['launcherPath', ['C:\\Minecraft\nLauncher.exe', 7]],
];

let dir, file;
beforeEach(() => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-settings-'));
  file = path.join(dir, '.quorlin', 'launcher.json');
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

function store(text) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, text);
}

test('the launcher folder lies under APPDATA, or the roaming folder under home without it, joined the Windows way', () => {
  for (const env of [{ APPDATA: 'C:\\Users\\Ayşe\\AppData\\Roaming' }, {}, { APPDATA: '' }]) {
    assert.equal(launcherPaths({ env, home: 'C:\\Users\\Ayşe' }, path.win32).BASE, 'C:\\Users\\Ayşe\\AppData\\Roaming\\.quorlin');
  }
});

describe('loadSettings', () => {
  test('lays a partial file over the defaults, keeps unknown keys, "__proto__" as data, read past a byte-order mark', () => {
    const kept = { gameRam: 8, shortcut: true, lastFabric: { loader: '0.19.5', installer: '1.1.0' }, launcherPath: 'D:\\Oyun\\MinecraftLauncher.exe' };
    store(`\uFEFF{ ${JSON.stringify(kept).slice(1, -1)}, "futureKey": [1], "__proto__": { "polluted": 1 } }`);
    const settings = loadSettings(file);
    assert.deepEqual([settings, settings.polluted], [{ ...DEFAULTS, ...kept, futureKey: [1], ['__proto__']: { polluted: 1 } }, undefined]);
  });

  test('a value that does not fit its key gives way to the default, or is left out; the other keys stay', () => {
    for (const [key, values] of MISFITS) {
      for (const value of values) {
        store(JSON.stringify({ [key]: value, serverRam: 12, futureKey: 'x' }));
        assert.deepEqual(loadSettings(file), { ...DEFAULTS, serverRam: 12, futureKey: 'x' }, `${key}: ${JSON.stringify(value)}`);
      }
    }
  });

  test('gives a fresh copy of the defaults without a file and for text that is not a JSON object, leaving the file alone', () => {
    const fresh = loadSettings(file);
    assert.deepEqual(fresh, DEFAULTS);
    fresh.gameRam = 12;
    for (const text of ['{ "gameRam": 8', 'null', '[1,2]', '"text"', '']) {
      store(text);
      assert.deepEqual([loadSettings(file), fs.readFileSync(file, 'utf8')], [{ ...DEFAULTS, gameRam: 4 }, text]);
    }
  });
});

describe('saveSettings', () => {
  test('creates the base directory and writes every key, defaults first, as two-space JSON without a trailing newline', () => {
    store('{ "gameRam": 8, "mine": "kept" }');
    const settings = loadSettings(file);
    fs.rmSync(path.dirname(file), { recursive: true });
    saveSettings(file, settings);
    assert.deepEqual([fs.readFileSync(file, 'utf8'), fs.readdirSync(path.dirname(file))],
      [JSON.stringify({ ...DEFAULTS, gameRam: 8, mine: 'kept' }, null, 2), ['launcher.json']]);
  });

  test('removes side files of killed saves: ours and other processes\' older than a minute, not a live writer\'s', () => {
    const side = (pid) => `${file}.${pid}.tmp`;
    store('{}');
    for (const pid of [process.pid, 999991, 999992]) fs.writeFileSync(side(pid), '{"gameRam": 6');
    fs.writeFileSync(`${file}.bak.tmp`, 'not ours to judge');
    const twoMinutesAgo = new Date(Date.now() - 2 * 60 * 1000);
    fs.utimesSync(side(999991), twoMinutesAgo, twoMinutesAgo);
    saveSettings(file, { ...DEFAULTS });
    assert.deepEqual(fs.readdirSync(path.dirname(file)).sort(), ['launcher.json', 'launcher.json.999992.tmp', 'launcher.json.bak.tmp']);
  });

  test('a failed save reports itself in Turkish and leaves the old file and no temporary file', () => {
    store('{ "gameRam": 8 }');
    // a directory where the temporary file would go makes the write fail
    fs.mkdirSync(`${file}.${process.pid}.tmp`);
    for (const settings of [{ ...DEFAULTS }, { big: 10n }]) {
      assert.throws(() => saveSettings(file, settings), { message: /^Ayarlar kaydedilemedi: / });
      assert.equal(fs.readFileSync(file, 'utf8'), '{ "gameRam": 8 }');
    }
  });
});

test('the page sets its own keys alone, each to a value that fits; a misfit refuses the whole change, in memory and on disk', () => {
  const ctx = testContext({ dir });
  const set = (changes) => createHandlers(ctx, {}, {})['settings:set'](null, changes);
  const ignored = { shortcut: 2, lastPlay: 5, lastFabric: { loader: '0.19.5', installer: '1.1.0' }, launcherPath: 'C:\\x.exe', futureKey: 1 };
  const mine = { clientId: ' 11111111-2222-3333-4444-555555555555 ', gameRam: 16, serverRam: 2, stopServerOnExit: false };
  assert.equal(set({ ...ignored, ...mine, constructor: 'x' }), ctx.settings);
  const saved = fs.readFileSync(file, 'utf8');
  assert.deepEqual([ctx.settings, JSON.parse(saved)], [{ ...DEFAULTS, ...mine }, { ...DEFAULTS, ...mine }]);
  for (const [key, values] of MISFITS.filter(([k]) => PAGE_KEYS.includes(k))) {
    for (const value of [...values, 10n]) {
      assert.throws(() => set({ serverRam: 9, [key]: value }), { message: `Geçersiz ayar değeri: ${key}` });
      assert.deepEqual([ctx.settings, fs.readFileSync(file, 'utf8')], [{ ...DEFAULTS, ...mine }, saved], `${key}: ${value}`);
    }
  }
  for (const changes of [undefined, null, 'gameRam', ['x']]) assert.deepEqual(set(changes), { ...DEFAULTS, ...mine });
});

describe('effective client id', () => {
  test("prefers the user's own id, trimmed, and falls back to the built-in one", () => {
    const builtin = ' 11111111-2222-3333-4444-555555555555 ';
    assert.equal(effectiveClientId({ clientId: '  mine \n' }, builtin), 'mine');
    for (const clientId of ['', '   ', 42]) assert.equal(effectiveClientId({ clientId }, builtin), builtin.trim());
    assert.equal(effectiveClientId({ clientId: '' }, ''), '');
  });

  test('comes from build-info.json beside main.js; a source checkout has none', () => {
    const unset = { clientId: '', updateApi: UNSET_UPDATE_API };
    for (const [text, info] of [[null, unset], ['{"clientId":"abc-123","updateApi":"http://u.example"}', { clientId: 'abc-123', updateApi: 'http://u.example' }],
      ['{"clientId":7}', unset]]) {
      if (text) fs.writeFileSync(path.join(dir, 'build-info.json'), text);
      assert.deepEqual(readBuildInfo(dir), info, text);
    }
  });
});

test('renameHeld retries while Windows holds the file and gives up after the limit; other errors fail at once', (t) => {
  const saved = { ...files.limits };
  t.after(() => Object.assign(files.limits, saved));
  Object.assign(files.limits, { renameTries: 3, renamePauseMs: 1 });
  // [codes the rename fails with, one per call, then success; calls made; code thrown]
  for (const [codes, calls, thrown] of [[['EBUSY', 'EPERM'], 3, null], [['EPERM', 'EPERM', 'EACCES'], 3, 'EACCES'], [['ENOENT'], 1, 'ENOENT']]) {
    let n = 0;
    const held = () => files.renameHeld('a', 'b', () => {
      const code = codes[n++];
      if (code) throw Object.assign(new Error(code), { code });
    });
    if (thrown) assert.throws(held, { code: thrown });
    else held();
    assert.equal(n, calls, codes.join());
  }
});
