const { test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { app } = require('electron');
const { APP_DIR, startedLauncher, signIn } = require('../support/launcher');
const { windowlessJava } = require('../../app/play');

let appData;
beforeEach(() => { appData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-play-')); });
afterEach(() => fs.rmSync(appData, { recursive: true, force: true }));

const started = (answers) => startedLauncher({ appData, answers });
const FV = { loader: '0.19.5', installer: '1.1.0' };
const savedLastPlay = (state) => JSON.parse(fs.readFileSync(state.paths.SETTINGS_FILE, 'utf8')).lastPlay;

test('signed in: prepares in order, starts the game into the local server, and learns its exit', async () => {
  const { quorlin, state, services, events, testing } = await started({ closeOfficialLauncher: true });
  signIn(state);
  state.settings.gameRam = 6;
  assert.deepEqual(await quorlin.play(), { ok: true, how: 'direct' });
  assert.deepEqual(services.calls, [
    ['ensureJava'], ['fabricVersions'], ['ensureClientFabric', FV], ['refreshModJar'], ['fabricApi'], ['perfMods', 'client'],
    ['syncMods', path.join(state.paths.GAME_DIR, 'mods'), ['/carried/brimlox-1.0.0.jar', '/cache/fabric-api.jar', '/cache/sodium.jar']],
    ['writeGameDefaults'], ['closeOfficialLauncher'], ['sleep', 2000], ['writeProfile', 'fabric-loader-0.19.5-26.3'],
    ['ensureServerFiles', FV, '/cache/fabric-api.jar'], ['startServer', 'C:\\Java\\bin\\JAVA.EXE', '/server/fabric-server-26.3-0.19.5.jar'],
    ['install', '26.3', 'https://meta.fabricmc.net/v2/versions/loader/26.3/0.19.5/profile/json'], ['launch'],
  ]);
  const [{ options }] = services.launches;
  const { java, ramGb, versionId, quickPlay, account } = options;
  assert.deepEqual({ java, ramGb, versionId, quickPlay, account: account.name },
    { java: 'C:\\Java\\bin\\javaw.exe', ramGb: 6, versionId: 'fabric-loader-0.19.5-26.3', quickPlay: 'localhost:25565', account: 'Ayşe' });
  assert.ok(Date.now() - savedLastPlay(state) < 60e3);
  options.onLine('Loading Minecraft');
  options.onExit(3);
  await testing.flush();
  assert.deepEqual(events.map(([channel, p]) => (channel === 'progress' ? `${p.step} ${p.label} ${p.pct}` : [channel, p])), [
    'fabric Sürümler kontrol ediliyor 0.1', 'mods Modlar hazırlanıyor 0.2', 'launch Hesap doğrulanıyor 0.1', 'launch Minecraft açılıyor 1',
    ['game', { running: true }], ['log', '[Oyun] Loading Minecraft'], ['game', { running: false, code: 3 }],
  ]);
  assert.equal(state.gameProc, null);
});

test('a second Play while one runs answers { ok: false } at once; with the game still running none is started', { timeout: 5000 }, async () => {
  let release;
  const { quorlin, state, services, events, testing } = await started({ ensureJava: () => new Promise((resolve) => { release = resolve; }) });
  signIn(state);
  const first = quorlin.play();
  await testing.flush();
  const eventsBefore = events.length;
  assert.deepEqual(await quorlin.play(), { ok: false });
  await testing.flush();
  assert.equal(events.length, eventsBefore);
  release('java');
  assert.deepEqual(await first, { ok: true, how: 'direct' });
  assert.equal(services.launches[0].options.java, 'java', 'plain java from the search path stays as it is');
  const lastPlay = state.settings.lastPlay;
  services.ensureJava = async () => 'java';
  assert.deepEqual(await quorlin.play(), { ok: true, how: 'direct', already: true });
  assert.deepEqual([services.launches.length, state.settings.lastPlay], [1, lastPlay]);
  services.launches[0].options.onExit(0);
  assert.deepEqual(await quorlin.play(), { ok: true, how: 'direct' });
  assert.equal(services.launches.length, 2);
});

test('signed out: the official launcher is opened, installed when missing; none at all is still ok', async () => {
  const openedSecondTime = () => { let n = 0; return () => (n++ ? 'store' : null); };
  const cases = [
    [{}, 'exe', ['openOfficialLauncher']],
    [{ openOfficialLauncher: openedSecondTime(), installOfficialLauncher: true }, 'store',
      ['openOfficialLauncher', 'installOfficialLauncher', 'openOfficialLauncher']],
    [{ openOfficialLauncher: null }, null, ['openOfficialLauncher', 'installOfficialLauncher']],
  ];
  for (const [answers, how, steps] of cases) {
    const { quorlin, services, state } = await started(answers);
    assert.deepEqual(await quorlin.play(), { ok: true, how, wasOpen: false });
    const names = services.calls.map((c) => c[0]);
    assert.deepEqual(names.slice(names.indexOf('startServer') + 1), steps);
    assert.ok(savedLastPlay(state) > 0, String(how));
  }
});

test('a failure ends Play with its message, the stack in the log, nothing undone, and the next Play runs', async () => {
  const { quorlin, services, events, testing, state } = await started({
    startServer: () => { throw new Error('Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.'); },
    fabricApi: (() => { let n = 0; return () => { if (n++) throw 'çevrimdışı'; return '/cache/fabric-api.jar'; }; })(),
  });
  signIn(state);
  assert.deepEqual(await quorlin.play(), { ok: false, error: 'Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.' });
  assert.deepEqual(await quorlin.play(), { ok: false, error: 'çevrimdışı' });
  await testing.flush();
  const logs = events.filter(([c]) => c === 'log').map(([, line]) => line);
  assert.match(logs[0], /^\[Quorlin\] HATA: Error: Sunucu açılamadı.*\n\s+at /s);
  assert.equal(logs[1], '[Quorlin] HATA: çevrimdışı');
  assert.ok(services.calls.some((c) => c[0] === 'writeProfile'));
  assert.deepEqual([services.launches.length, state.settings.lastPlay, state.busy], [0, 0, false]);
});

test('only a final java.exe, of any case, becomes javaw.exe', () => {
  const cases = [
    ['C:\\rt\\bin\\java.exe', 'C:\\rt\\bin\\javaw.exe'], ['C:\\rt\\bin\\Java.EXE', 'C:\\rt\\bin\\javaw.exe'], ['java.exe', 'javaw.exe'],
    ['java', 'java'], ['/usr/bin/java', '/usr/bin/java'], ['C:\\java.exe\\bin\\java', 'C:\\java.exe\\bin\\java'],
  ];
  for (const [java, expected] of cases) assert.equal(windowlessJava(java), expected, java);
});

test('the diagnostic run prints the profile, the mods and Play, saves a picture of the page in the temporary folder and exits', async () => {
  const lines = [];
  const selfTest = async (answers) => {
    const launcher = await started(answers);
    launcher.testing.capture = () => Buffer.from('PNG!');
    lines.length = 0;
    // loaded after each start, so that it sees that launcher's modules
    await require(path.join(APP_DIR, 'selftest.js')).selfTest(launcher.services, app, { delayMs: 0, tmpDir: appData, print: (line) => lines.push(line) });
    return launcher;
  };
  const profiles = path.join(appData, '.minecraft', 'launcher_profiles.json');
  const { testing, services, state } = await selfTest({
    writeProfile: (versionId) => {
      fs.mkdirSync(path.dirname(profiles), { recursive: true });
      fs.writeFileSync(profiles, JSON.stringify({ profiles: { 'quorlin-brimlox': { lastVersionId: versionId } } }));
    },
    syncMods: (dir) => { fs.mkdirSync(dir, { recursive: true }); fs.writeFileSync(path.join(dir, 'brimlox-1.0.0.jar'), ''); },
  });
  const shot = path.join(appData, 'electron-shot.png');
  assert.deepEqual(lines, ['SELFTEST profile {"lastVersionId":"fabric-loader-0.19.5-26.3"}', 'SELFTEST mods ["brimlox-1.0.0.jar"]',
    'SELFTEST play {"ok":true,"how":"exe","wasOpen":false}', `SELFTEST shot ${shot}`]);
  assert.deepEqual([fs.readFileSync(shot, 'utf8'), testing.calls.exit], ['PNG!', [0]]);
  assert.deepEqual(services.calls.find((c) => c[0] === 'syncMods')[2], [state.paths.CARRIED_MOD_JAR]);
  const failing = await selfTest({ writeGameDefaults: () => { throw new Error('disk dolu'); } });
  assert.match(lines.join('\n'), /^SELFTEST error Error: disk dolu/);
  assert.deepEqual(failing.testing.calls.exit, [0]);
});
