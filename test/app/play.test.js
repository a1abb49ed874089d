'use strict';
const { test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { app } = require('electron');
const { startedLauncher, signIn } = require('../support/launcher');
const { windowlessJava } = require('../../app/play');
const { selfTest } = require('../../app/selftest');

let appData;
beforeEach(() => { appData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-play-')); });
afterEach(() => fs.rmSync(appData, { recursive: true, force: true }));

const started = (answers) => startedLauncher({ appData, answers });
const FV = { loader: '0.19.5', installer: '1.1.0' };
const savedLastPlay = (ctx) => JSON.parse(fs.readFileSync(ctx.paths.SETTINGS_FILE, 'utf8')).lastPlay;

test('signed in: prepares in order, waits for a closed official launcher, and starts the game windowless into the local server', async () => {
  const { quorlin, ctx, services } = await started({ closeOfficialLauncher: true });
  signIn(ctx);
  ctx.settings.gameRam = 6;
  assert.deepEqual(await quorlin.play(), { ok: true, how: 'direct' });
  assert.deepEqual(services.calls, [
    ['ensureJava'], ['fabricVersions'], ['ensureClientFabric', FV], ['refreshModJar'], ['fabricApi'], ['perfMods', 'client'],
    ['syncMods', path.join(ctx.paths.GAME_DIR, 'mods'), ['/carried/brimlox-1.0.0.jar', '/cache/fabric-api.jar', '/cache/sodium.jar']],
    ['writeGameDefaults'], ['closeOfficialLauncher'], ['sleep', 2000], ['writeProfile', 'fabric-loader-0.19.5-26.3'],
    ['perfMods', 'server'], ['ensureServerFiles', FV, ['/carried/brimlox-1.0.0.jar', '/cache/fabric-api.jar', '/cache/sodium.jar']], ['startServer', 'C:\\Java\\bin\\JAVA.EXE', '/server/fabric-server-26.3-0.19.5.jar'],
    ['install', '26.3', 'https://meta.fabricmc.net/v2/versions/loader/26.3/0.19.5/profile/json'], ['launch'],
  ]);
  const { java, ramGb, versionId, quickPlay, account } = services.launches[0].options;
  assert.deepEqual({ java, ramGb, versionId, quickPlay, account: account.name },
    { java: 'C:\\Java\\bin\\javaw.exe', ramGb: 6, versionId: 'fabric-loader-0.19.5-26.3', quickPlay: 'localhost:25565', account: 'Ayşe' });
  assert.ok(Date.now() - savedLastPlay(ctx) < 60e3);
});

test('a second Play while one runs answers { ok: false } at once; with the game still running none is started', { timeout: 5000 }, async () => {
  let release;
  const { quorlin, ctx, services, events, testing } = await started({ ensureJava: () => new Promise((resolve) => { release = resolve; }) });
  signIn(ctx);
  const first = quorlin.play();
  await testing.flush();
  const eventsBefore = events.length;
  assert.deepEqual(await quorlin.play(), { ok: false });
  await testing.flush();
  assert.equal(events.length, eventsBefore);
  release('java');
  assert.deepEqual(await first, { ok: true, how: 'direct' });
  const lastPlay = ctx.settings.lastPlay;
  services.ensureJava = async () => 'java';
  assert.deepEqual(await quorlin.play(), { ok: true, how: 'direct', already: true });
  assert.deepEqual([services.launches.length, ctx.settings.lastPlay], [1, lastPlay]);
  services.launches[0].options.onExit(0);
  assert.deepEqual([await quorlin.play(), services.launches.length], [{ ok: true, how: 'direct' }, 2]);
});

test('signed out: the official launcher is opened, or installed and then opened, or said to be missing', async () => {
  let opened = 0;
  const cases = [[{}, 'exe', ['openOfficialLauncher']], [{ openOfficialLauncher: () => (opened++ ? 'store' : null), installOfficialLauncher: true },
    'store', ['openOfficialLauncher', 'installOfficialLauncher', 'openOfficialLauncher']],
    [{ openOfficialLauncher: null }, null, ['openOfficialLauncher', 'installOfficialLauncher']]];
  for (const [answers, how, steps] of cases) {
    const { quorlin, services, ctx } = await started(answers);
    assert.deepEqual(await quorlin.play(), { ok: true, how, wasOpen: false });
    const names = services.calls.map((c) => c[0]);
    assert.deepEqual(names.slice(names.indexOf('startServer') + 1), steps);
    assert.ok(savedLastPlay(ctx) > 0, how);
  }
});

test('a failure ends Play with its message, the stack in the log, nothing undone, and the next Play runs', async () => {
  const { quorlin, services, events, testing, ctx } = await started({
    startServer: () => { throw new Error('Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.'); },
    fabricApi: (() => { let n = 0; return () => { if (n++) throw 'çevrimdışı'; return '/cache/fabric-api.jar'; }; })(),
  });
  signIn(ctx);
  assert.deepEqual(await quorlin.play(), { ok: false, error: 'Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.' });
  assert.deepEqual(await quorlin.play(), { ok: false, error: 'çevrimdışı' });
  await testing.flush();
  const logs = events.filter(([c]) => c === 'log').map(([, line]) => line);
  assert.match(logs[0], /^\[Quorlin\] HATA: Error: Sunucu açılamadı.*\n\s+at /s);
  assert.equal(logs[1], '[Quorlin] HATA: çevrimdışı');
  assert.deepEqual([services.calls.some((c) => c[0] === 'writeProfile'), services.launches.length, ctx.settings.lastPlay], [true, 0, 0]);
});

test('only a final java.exe, of any case, becomes javaw.exe', () => {
  const cases = [['C:\\rt\\bin\\Java.EXE', 'C:\\rt\\bin\\javaw.exe'], ['java.exe', 'javaw.exe'], ['java', 'java'],
    ['/usr/bin/java', '/usr/bin/java'], ['C:\\java.exe\\bin\\java', 'C:\\java.exe\\bin\\java']];
  for (const [java, expected] of cases) assert.equal(windowlessJava(java), expected, java);
});

test('a failing diagnostic run prints the error and still ends the process', async () => {
  const { testing, services, ctx } = await started({ writeGameDefaults: () => { throw new Error('disk dolu'); } });
  const lines = [];
  await selfTest(ctx, services, app, { delayMs: 0, tmpDir: appData, print: (line) => lines.push(line) });
  assert.match(lines.join('\n'), /^SELFTEST error Error: disk dolu/);
  assert.deepEqual(testing.calls.exit, [0]);
});
