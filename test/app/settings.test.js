'use strict';
const { test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { launcherPaths } = require('../../app/core/layout');
const { DEFAULTS, loadSettings, saveSettings, effectiveClientId } = require('../../app/core/settings');
const { readBuildInfo, UNSET_UPDATE_API } = require('../../app/core/build-info');
const { createContext } = require('../../app/core/context');
const { ramDefaults, lowMemoryWarning } = require('../../app/core/memory');
const files = require('../../app/core/files');
const { createHandlers } = require('../../app/handlers');
const { testContext } = require('../support/context');

const GIB = 1024 ** 3;
// [key, values that do not fit it]; the first four, the page's keys, are refused on set; every key is fixed on load
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

test('loadSettings lays the file over a fresh copy of the defaults; a value unfit for its key gives way; unknown keys and "__proto__" stay as data; no JSON object counts as none', () => {
  assert.deepEqual(Object.assign(loadSettings(file), { gameRam: 12 }), { ...DEFAULTS, gameRam: 12 });
  const kept = { gameRam: 8, shortcut: true, lastFabric: { loader: '0.19.5', installer: '1.1.0' }, launcherPath: 'D:\\Oyun\\MinecraftLauncher.exe' };
  store(`\uFEFF{ ${JSON.stringify(kept).slice(1, -1)}, "futureKey": [1], "__proto__": { "polluted": 1 } }`);
  const settings = loadSettings(file);
  assert.deepEqual([settings, settings.polluted], [{ ...DEFAULTS, ...kept, futureKey: [1], ['__proto__']: { polluted: 1 } }, undefined]);
  for (const text of ['{ "gameRam": 8', 'null', '[1,2]', '"text"', '']) {
    store(text);
    assert.deepEqual([loadSettings(file), fs.readFileSync(file, 'utf8')], [{ ...DEFAULTS, gameRam: 4 }, text]);
  }
  for (const [key, values] of MISFITS) {
    for (const value of values) {
      store(JSON.stringify({ [key]: value, serverRam: 12, futureKey: 'x' }));
      assert.deepEqual(loadSettings(file), { ...DEFAULTS, serverRam: 12, futureKey: 'x' }, `${key}: ${JSON.stringify(value)}`);
    }
  }
});

test('memory: a first start takes both sizes from the memory the PC reports; a stored size that fits stays', () => {
  // [total memory in GB as Windows reports it, game, server]
  for (const [total, gameRam, serverRam] of [[3.8, 2, 2], [7.8, 2, 2], [8.4, 2, 2], [11.9, 3, 2], [15.8, 4, 3], [16.4, 4, 3], [23.9, 5, 3], [31.8, 6, 4], [128, 6, 4]]) {
    assert.deepEqual(ramDefaults(total * GIB), { gameRam, serverRam }, `${total} GB`);
  }
  const settings = (totalMemory) => createContext({ env: { APPDATA: dir }, home: dir, totalMemory }).settings;
  assert.deepEqual(settings(7.8 * GIB), { ...DEFAULTS, gameRam: 2, serverRam: 2 });
  store('{ "gameRam": 8, "serverRam": 13 }');
  assert.deepEqual(settings(31.8 * GIB), { ...DEFAULTS, gameRam: 8, serverRam: 4 });
});

test('memory: before Play, free memory under 70 % of what the game and a server still to start take is a warning', () => {
  const sizes = { gameRam: 4, serverRam: 3 };
  // [free GB, the server already runs, warned]
  for (const [free, serverRunning, warned] of [[4.85, false, true], [4.95, false, false], [2.75, true, true], [2.85, true, false]]) {
    assert.equal(lowMemoryWarning({ ...sizes, serverRunning }, free * GIB) !== null, warned, `${free} GB`);
  }
  assert.equal(lowMemoryWarning(sizes, 3.15 * GIB), 'Boş bellek az: 3,1 GB boş, oyun ve sunucu 7 GB isteyebilir. Takılma olursa açık programları kapat.');
});

test("saveSettings removes side files of killed saves, ours and other processes' older than a minute, not a live writer's; a failed save says so in Turkish and leaves the old file", () => {
  const side = (pid) => `${file}.${pid}.tmp`;
  store('{}');
  for (const pid of [process.pid, 999991, 999992]) fs.writeFileSync(side(pid), '{"gameRam": 6');
  fs.writeFileSync(`${file}.bak.tmp`, 'not ours to judge');
  const twoMinutesAgo = new Date(Date.now() - 2 * 60 * 1000);
  fs.utimesSync(side(999991), twoMinutesAgo, twoMinutesAgo);
  saveSettings(file, { gameRam: 8 });
  assert.deepEqual(fs.readdirSync(path.dirname(file)).sort(), ['launcher.json', 'launcher.json.999992.tmp', 'launcher.json.bak.tmp']);
  // a directory where the temporary file would go makes the write fail
  fs.mkdirSync(side(process.pid));
  for (const settings of [{ ...DEFAULTS }, { big: 10n }]) {
    assert.throws(() => saveSettings(file, settings), { message: /^Ayarlar kaydedilemedi: / });
    assert.equal(fs.readFileSync(file, 'utf8'), '{\n  "gameRam": 8\n}');
  }
});

test('the page sets its own keys alone, each to a value that fits; a misfit refuses the whole change, in memory and on disk', () => {
  const ctx = testContext({ dir });
  const set = (changes) => createHandlers(ctx, {}, {})['settings:set'](null, changes);
  const ignored = { shortcut: 2, lastPlay: 5, lastFabric: { loader: '0.19.5', installer: '1.1.0' }, launcherPath: 'C:\\x.exe', futureKey: 1 };
  const mine = { clientId: ' 11111111-2222-3333-4444-555555555555 ', gameRam: 16, serverRam: 2, stopServerOnExit: false };
  assert.equal(set({ ...ignored, ...mine, constructor: 'x' }), ctx.settings);
  const saved = fs.readFileSync(file, 'utf8');
  assert.deepEqual([ctx.settings, JSON.parse(saved)], [{ ...DEFAULTS, ...mine }, { ...DEFAULTS, ...mine }]);
  for (const [key, values] of MISFITS.slice(0, 4)) {
    for (const value of [...values, 10n]) {
      assert.throws(() => set({ serverRam: 9, [key]: value }), { message: `Geçersiz ayar değeri: ${key}` });
      assert.deepEqual([ctx.settings, fs.readFileSync(file, 'utf8')], [{ ...DEFAULTS, ...mine }, saved], `${key}: ${value}`);
    }
  }
  for (const changes of [undefined, null, 'gameRam', ['x']]) assert.deepEqual(set(changes), { ...DEFAULTS, ...mine });
});

test("the client id: the user's own, trimmed, else the built-in one from build-info.json beside main.js; a source checkout has none", () => {
  const builtin = ' 11111111-2222-3333-4444-555555555555 ';
  for (const [clientId, id] of [['  mine \n', 'mine'], ['', builtin.trim()], ['   ', builtin.trim()], [42, builtin.trim()]]) {
    assert.equal(effectiveClientId({ clientId }, builtin), id);
  }
  const unset = { clientId: '', updateApi: UNSET_UPDATE_API, updateKey: '' };
  for (const [text, info] of [[null, unset], ['{"clientId":"abc-123","updateApi":"http://u.example","updateKey":"PEM\\n"}', { clientId: 'abc-123', updateApi: 'http://u.example', updateKey: 'PEM' }],
    ['{"clientId":7}', unset]]) {
    if (text) fs.writeFileSync(path.join(dir, 'build-info.json'), text);
    assert.deepEqual(readBuildInfo(dir), info, text);
  }
});

test('renameHeld retries while Windows holds the file and gives up after the limit; other errors fail at once', (t) => {
  const saved = { ...files.limits };
  t.after(() => Object.assign(files.limits, saved));
  Object.assign(files.limits, { renameTries: 3, renamePauseMs: 1 });
  // [codes the rename fails with, one per call, then success; code thrown]
  for (const [codes, thrown] of [[['EBUSY', 'EPERM']], [['EPERM', 'EPERM', 'EACCES'], 'EACCES'], [['ENOENT'], 'ENOENT']]) {
    const held = () => files.renameHeld('a', 'b', () => {
      const code = codes.shift();
      if (code) throw Object.assign(new Error(code), { code });
    });
    if (thrown) assert.throws(held, { code: thrown });
    else held();
  }
});
