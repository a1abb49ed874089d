'use strict';
const { test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { app } = require('electron');
const { startedLauncher, signIn } = require('../support/launcher');
const { selfTest } = require('../../app/selftest');

let appData;
beforeEach(() => { appData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-play-')); });
afterEach(() => fs.rmSync(appData, { recursive: true, force: true }));

const started = (answers) => startedLauncher({ appData, answers });
const FV = { loader: '0.19.5', installer: '1.1.0' };
const GIB = 1024 ** 3;
const savedLastPlay = (ctx) => JSON.parse(fs.readFileSync(ctx.paths.SETTINGS_FILE, 'utf8')).lastPlay;

test('signed in: prepares in order, waits for a closed official launcher, and starts the game windowless into the local server; too little free memory is warned of', async () => {
  const { quorlin, ctx, services, events, testing } = await started({ closeOfficialLauncher: true, freeMemory: 5 * GIB });
  signIn(ctx);
  Object.assign(ctx.settings, { gameRam: 6, serverRam: 3 });
  const warning = 'Boş bellek az: 5 GB boş, oyun ve sunucu 9 GB isteyebilir. Takılma olursa açık programları kapat.';
  assert.deepEqual(await quorlin.play(), { ok: true, how: 'direct', warning });
  await testing.flush();
  assert.ok(events.some(([c, line]) => c === 'log' && line === `[Quorlin] ${warning}`));
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
  // a running server has its memory already: the game's 6 GB fit in 5 GB free at 70 %
  services.launches[0].options.onExit(0);
  services.serverStatus = () => 'running';
  assert.deepEqual(await quorlin.play(), { ok: true, how: 'direct' });
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

test('a failing diagnostic run prints the error and still ends the process', async () => {
  const { testing, services, ctx } = await started({ writeGameDefaults: () => { throw new Error('disk dolu'); } });
  const lines = [];
  await selfTest(ctx, services, app, { delayMs: 0, tmpDir: appData, print: (line) => lines.push(line) });
  assert.match(lines.join('\n'), /^SELFTEST error Error: disk dolu/);
  assert.deepEqual(testing.calls.exit, [0]);
});

test('after a crash, told in one sentence, the game starts again from the last Play, without preparing again; a damaged file or a repair asked for has the game files checked by digest first', async () => {
  const { quorlin, ctx, services, events, testing } = await started();
  assert.deepEqual(await quorlin.restartGame(), { ok: false, error: "Önce OYNA'ya bas: yeniden başlatılacak bir oyun yok." });
  const games = [];
  services.Game = class extends services.Game {
    constructor(options) {
      super(options);
      games.push(options);
    }
  };
  signIn(ctx);
  await quorlin.play();
  const JAR = ['startServer', 'C:\\Java\\bin\\JAVA.EXE', '/server/fabric-server-26.3-0.19.5.jar'];
  const INSTALL = ['install', '26.3', 'https://meta.fabricmc.net/v2/versions/loader/26.3/0.19.5/profile/json'];
  // the launcher's crash explanation over what each start told: a javaw.exe that could not be run, a damaged mod
  const crashes = [
    [-1, () => games.at(-1).log('[Quorlin] HATA: Oyun başlatılamadı: spawn C:\\Java\\bin\\javaw.exe ENOENT'), [JAR, ['launch']],
      'javaw.exe bulunamadı; virüs programı silmiş olabilir. Quorlin klasörüne virüs programında izin verip tekrar dene.'],
    [1, (onLine) => ['Failed to read mods\\sodium.jar', 'java.util.zip.ZipException: zip END header not found'].forEach(onLine), [JAR, INSTALL, ['launch']],
      'Bozuk bir dosya var (sodium.jar). Ayarlar\'dan "Dosyaları onar" ile onarıp tekrar dene.'],
  ];
  for (const [code, tell, steps, text] of crashes) {
    const { onLine, onExit } = services.launches.at(-1).options;
    tell(onLine);
    onExit(code);
    while (!events.some(([c, e]) => c === 'game' && e.code === code)) await testing.flush();
    assert.deepEqual(events.filter(([c]) => c === 'game').at(-1)[1], { running: false, code, crashed: true, text });
    assert.ok(events.some(([c, line]) => c === 'log' && line === `[Quorlin] HATA: ${text}`), text);
    services.calls.length = 0;
    assert.deepEqual(await quorlin.restartGame(), { ok: true, how: 'direct' });
    assert.deepEqual(services.calls, steps, `after a crash with ${code}`);
  }
  const [first, ...again] = services.launches.map(({ options: { java, versionId, inst, quickPlay } }) => ({ java, versionId, inst, quickPlay }));
  assert.deepEqual(again, [first, first]);
  services.launches.at(-1).options.onExit(0);
  assert.deepEqual(await quorlin.repairFiles(), { ok: true });
  await quorlin.play();
  assert.deepEqual(games.map((g) => g.repair), [false, true, true]);
});
