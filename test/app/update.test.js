'use strict';
const { test, describe, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { startWorld } = require('../support/world');
const { makeZip } = require('../support/zip');
const endpoints = require('../../app/core/endpoints');
const { download } = require('../../app/core/http');
const service = require('../../app/update/service');
const { resolveMod, createUpdates } = require('../../app/update/mod');
const { maybeUpdateLauncher, SCRIPT_NAME } = require('../../app/update/launcher');
const { signedManifest } = require('../../app/update/signature');
const { testContext } = require('../support/context');

const { apiGet, manifest, cmpVer } = service;
const UNREACHABLE = 'Sunucuya ulaşılamadı. İnternetini kontrol et.';
const sha = (data) => crypto.createHash('sha256').update(data).digest('hex');
// a throwaway key pair: the public key as build-info.json carries it, `sign` as the release tooling signs
const keys = crypto.generateKeyPairSync('ed25519');
const PUBLIC_KEY = keys.publicKey.export({ type: 'spki', format: 'pem' }).trim();
// the signed text as the release tooling writes it: a fixed first line, then the six fields (empty when absent)
const textOf = (man) => ['quorlin-manifest-1', ...['launcher', 'mod'].flatMap((entry) => ['version', 'url', 'sha256']
  .map((field) => `${entry}.${field}=${man[entry]?.[field] ?? ''}`))].map((line) => `${line}\n`).join('');
const sign = (man) => ({ ...man, sig: crypto.sign(null, Buffer.from(textOf(man), 'utf8'), keys.privateKey).toString('base64') });
let world, dir;

before(async () => { world = await startWorld(); });
after(() => world.close());
beforeEach(() => {
  service.limits.idleMs = 5000;
  process.env.QUORLIN_API = world.url;
  world.reset();
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-update-'));
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

test('the service client answers the JSON body whatever the status and follows no redirect; each failure has its message and manifest() makes it null', async () => {
  // [the service's answer (`api`: the service's address instead), the JSON or the failure's message]
  for (const [plan, expected] of [[{ status: 500, body: { error: 'bakımda' } }, { error: 'bakımda' }], [{ redirect: '/moved', body: { here: true } }, { here: true }],
    [{ body: '\uFEFF{"bom":1}' }, { bom: 1 }], [{ status: 404, body: '<html>yok</html>' }, 'Sunucu yanıtı okunamadı (404)'], [{ body: '' }, 'Sunucu yanıtı okunamadı (200)'],
    [{ stall: true, body: '{}' }, UNREACHABLE], [{ cut: 3, body: { long: 'x'.repeat(100) } }, UNREACHABLE], [{ api: 'http://127.0.0.1:1' }, UNREACHABLE],
    [{ api: 'kein adres' }, 'Invalid URL']]) {
    process.env.QUORLIN_API = plan.api ?? world.url;
    world.route('/api/manifest.php', plan);
    service.limits.idleMs = plan.stall ? 200 : 5000;
    const got = await apiGet('/api/manifest.php').catch((err) => err.message);
    assert.deepEqual([got, await manifest()], [expected, typeof expected === 'string' ? null : expected]);
  }
  // an empty QUORLIN_API counts as none
  assert.deepEqual([world.count('/moved'), world.requests.every((r) => r.headers['user-agent'] === 'Quorlin-Launcher'),
    service.API_BASE({ QUORLIN_API: '' })], [0, true, endpoints.updateService]);
});

test('cmpVer reads each dotted piece as the integer at its start', () => {
  for (const [a, b, sign] of [['1.0.19', '1.0.9', 1], ['1.0', '1.0.0', 0], ['1.0.27-beta', '1.0.27', 0], ['2', '1.9.9', 1],
    [' +3.1', '3.0.5', 1], ['-1', '', -1], [undefined, 0, 0], ['x.5', '0.5', 0], [1.1, '1.0.9', 1],
    ['1.1e3', '1.2', -1], [`${'9'.repeat(400)}.1`, `${'9'.repeat(400)}.2`, -1]]) assert.equal(Math.sign(cmpVer(a, b)), sign, `${a} vs ${b}`);
});

describe('choosing the mod archive', () => {
  const JAR = Buffer.from('yeni mod');
  const carried = '/app/assets/brimlox-1.0.0.jar';
  const choose = (mod, logs) => resolveMod({
    man: mod && { mod: { url: `${world.url}/mod.jar`, ...mod } },
    cacheDir: dir, bundledJar: carried, bundledVersion: '1.0.26', download, log: (l) => logs.push(l),
  });

  test('a newer mod is fetched once and verified at every use; a failed update leaves no file and the carried one serves', async () => {
    const cached = path.join(dir, 'brimlox-1.0.27.jar');
    fs.writeFileSync(path.join(dir, 'brimlox-1.0.28.jar.part'), 'yarım'); // an earlier broken download
    const skipped = (why) => [`[Quorlin] Mod güncellemesi atlandı: ${why}`];
    // [the mod host's answer, the manifest's mod, the archive used, the log]
    for (const [plan, mod, expected, logged] of [
      [{ body: JAR }, null, carried, []],
      [{ body: JAR }, { version: '1.0.26' }, carried, []],
      [{ body: JAR }, { version: '1.0.28', sha256: sha('başka') }, carried, skipped('mod dosya özeti uyuşmadı')],
      [{ status: 404 }, { version: '1.0.29' }, carried, skipped(`HTTP 404 — ${world.url}/mod.jar`)],
      [{ body: JAR }, { version: '1.0.30/../../x' }, carried, skipped('geçersiz sürüm: 1.0.30/../../x')],
      [{ body: JAR }, { version: '1.0.27' }, cached, ['[Quorlin] Mod güncellendi → 1.0.27']],
      [{ status: 404 }, { version: '1.0.27', sha256: sha(JAR).toUpperCase() }, cached, ['[Quorlin] Mod güncellendi → 1.0.27']],
    ]) {
      world.route('/mod.jar', plan);
      const logs = [];
      assert.deepEqual([await choose(mod, logs), logs], [expected, logged], JSON.stringify(mod));
    }
    assert.deepEqual(fs.readdirSync(dir), ['brimlox-1.0.27.jar']);
  });

  test('refreshModJar fetches a manifest missed at start-up until one arrives, shared by callers at the same moment', async () => {
    const { manifest, refreshModJar } = createUpdates(testContext({ dir, appDir: '/app' }));
    const busy = { status: 503, body: 'meşgul' };
    world.route('/api/manifest.php', [busy, busy, { body: { mod: { version: '1.0.27', url: `${world.url}/mod.jar` } } }]);
    world.route('/mod.jar', { body: JAR });
    assert.deepEqual([await manifest(), await refreshModJar()], [null, carried]);
    const cached = path.join(dir, '.quorlin', 'cache', 'brimlox-1.0.27.jar');
    assert.deepEqual([...await Promise.all([refreshModJar(), refreshModJar()]), await refreshModJar()], [cached, cached, cached]);
    assert.deepEqual([world.count('/api/manifest.php'), world.count('/mod.jar')], [3, 1]);
  });

  test('a keyed build takes a manifest only as far as its signature vouches, each file only with its digest; a refusal is said once and the carried mod serves', async () => {
    const mod = { version: '1.0.27', url: `${world.url}/mod.jar`, sha256: sha(JAR) };
    const good = { launcher: { version: '1.0.26', url: `${world.url}/app.zip`, sha256: sha('paket') }, mod };
    const signed = sign(good);
    const [refused, unverified, updated] = ['[Quorlin] HATA: güncelleme bildiriminin imzası geçersiz, güncelleme atlandı.',
      '[Quorlin] Güncellemeler doğrulanmıyor (imza anahtarı yok).', '[Quorlin] Mod güncellendi → 1.0.27'];
    // [what, manifest served, the build's key, the manifest used (null: none), the log]
    for (const [what, served, key, used, logged] of [
      ['signed', { ...signed, extra: 1 }, PUBLIC_KEY, good, [updated]],
      ['unsigned', good, PUBLIC_KEY, null, [refused]],
      ['changed after signing', { ...signed, mod: { ...mod, url: `${world.url}/evil.jar` } }, PUBLIC_KEY, null, [refused]],
      // only strings are signed: a number counts as the empty text, and only that is used
      ['a number where an empty text was signed', { ...sign({ mod: { ...mod, version: '' } }), mod: { ...mod, version: 1027 } }, PUBLIC_KEY,
        { launcher: { version: '', url: '', sha256: '' }, mod: { ...mod, version: '' } }, []],
      ['a line break in a value', sign({ ...good, launcher: { ...good.launcher, url: 'https://u/a.zip\nlauncher.version=9' } }), PUBLIC_KEY, null, [refused]],
      ['signed without the mod digest', sign({ mod: { ...mod, sha256: undefined } }), PUBLIC_KEY,
        { launcher: { version: '', url: '', sha256: '' }, mod: { ...mod, sha256: '' } }, ['[Quorlin] Mod güncellemesi atlandı: mod dosya özeti verilmemiş']],
      ['unkeyed', good, '', good, [unverified, updated]],
    ]) {
      world.reset();
      world.route('/api/manifest.php', { body: served }).route('/mod.jar', { body: JAR });
      const ctx = testContext({ dir: fs.mkdtempSync(path.join(dir, 'case-')), appDir: '/app' });
      const updates = createUpdates(ctx, { updateKey: key });
      const [first, again, jar] = [await updates.manifest(), await updates.manifest(), await updates.refreshModJar()];
      const isUpdated = logged.includes(updated);
      assert.deepEqual([first, again, jar, ctx.lines, world.count('/api/manifest.php'), world.count('/mod.jar')],
        [used, used, isUpdated ? path.join(ctx.paths.CACHE_DIR, 'brimlox-1.0.27.jar') : carried, logged, 1, isUpdated ? 1 : 0], what);
    }
  });
});

describe('staging a launcher update', () => {
  // a package holding an app folder is the end-to-end test's
  const LAYOUTS = {
    root: makeZip([{ name: 'main.js', data: 'yeni' }, { name: 'ui/index.html', data: '<p>' }]),
    neither: makeZip([{ name: 'paket/main.js', data: 'yeni' }]),
  };

  // PowerShell's unpacking as far as the update uses it: the two single-quoted paths, with
  // any of its quote characters doubled inside them.
  function fakeTools(calls, { unpackCode = 0, startAnswer = { code: 0 } } = {}) {
    const quoted = "'((?:[^'‘’‚‛]|['‘’‚‛]{2})*)'";
    return async (file, args, options) => {
      calls.push({ file, args, options });
      if (file === 'cmd.exe') return startAnswer;
      const m = args[4].match(new RegExp(`^Expand-Archive -LiteralPath ${quoted} -DestinationPath ${quoted} -Force$`));
      const [zip, dest] = [m[1], m[2]].map((p) => p.replace(/(['‘’‚‛])\1/g, '$1'));
      fs.mkdirSync(dest, { recursive: true });
      execFileSync('unzip', ['-qo', zip, '-d', dest]);
      return { code: unpackCode };
    };
  }

  // every stage lies below a folder holding each of PowerShell's quote characters
  const base = () => path.join(dir, "O'Neil ‘Çağ’ ‚x‛");
  async function update({ layout = 'root', launcher = {}, tools, env = { QUORLIN_EXE: 'C:\\Q\\Quorlin.exe' }, isSigned = false, skippedVersion } = {}) {
    world.route('/app.zip', { body: LAYOUTS[layout] });
    const [cache, resources, tmp] = ['cache', 'resources', 'tmp'].map((name) => path.join(base(), name));
    fs.rmSync(cache, { recursive: true, force: true });
    const [calls, logs] = [[], []];
    const man = { launcher: { version: '1.0.27', url: `${world.url}/app.zip`, ...launcher } };
    const result = await maybeUpdateLauncher({
      man: isSigned ? signedManifest(sign(man), PUBLIC_KEY) : man, skippedVersion, currentVersion: '1.0.26', cacheDir: cache,
      appDir: path.join(resources, 'app'), runtimeResources: resources, download, relaunchExe: env.QUORLIN_EXE || '',
      log: (l) => logs.push(l), env, tmpDir: tmp, runTool: fakeTools(calls, tools),
    });
    return { result, logs, stage: path.join(resources, 'app.new'), tmp, start: calls.find((c) => c.file === 'cmd.exe') };
  }

  test('a newer package is staged and the swap script started; an equal version is left alone', async () => {
    const same = { man: { launcher: { version: '1.0.26', url: 'x' } }, currentVersion: '1.0.26', log: assert.fail };
    assert.deepEqual(await maybeUpdateLauncher(same), false);
    // the version that did not open before is left alone too; a newer one than it is taken below
    assert.deepEqual(await maybeUpdateLauncher({ ...same, man: { launcher: { version: '1.0.27', url: 'x' } }, skippedVersion: '1.0.27' }), false);
    // [manifest entry, environment]
    for (const [launcher, env] of [[{ sha256: sha(LAYOUTS.root).toUpperCase() }], [{}, {}]]) {
      const { result, logs, stage, tmp, start } = await update({ launcher, env, skippedVersion: '1.0.26.9' });
      // the version it brings is written beside the stage, for a rollback to name
      assert.deepEqual([result, logs, start.options.env.QUORLIN_UPDATE_FROM, fs.readFileSync(path.join(stage, 'main.js'), 'utf8'),
        fs.readFileSync(`${stage}.version`, 'utf8')], [true, ['[Quorlin] Launcher güncellemesi hazır (1.0.27). Yeniden başlatılıyor…'], stage, 'yeni', '1.0.27']);
      const script = fs.readFileSync(path.join(tmp, SCRIPT_NAME), 'latin1');
      // ASCII, deleting itself at the end; no `timeout`, which ends at once without a console input on Windows (Wine waits, so only
      // this shows it); without QUORLIN_EXE the swap happens but nothing is started again: no start to count for the bootstrapper
      assert.deepEqual([/^@echo off\r\n[\x20-\x7e\r\n]*del "%QUORLIN_UPDATE_SELF%"$/.test(script), /timeout/i.test(script), start.options.env.QUORLIN_UPDATE_RUN,
        /start "" \/d "%QUORLIN_UPDATE_RUN_DIR%" "%QUORLIN_UPDATE_RUN%"/.test(script), /\r\n>"%QUORLIN_UPDATE_APP%\.starts" echo (\d)\r\n/.exec(script)[1]],
        [true, false, ...(env ? [undefined, false, '0'] : ['C:\\Q\\Quorlin.exe', true, '1'])]);
    }
  });

  test('a skipped update keeps the old version and leaves no stage', async () => {
    for (const [options, message] of [[{ layout: 'neither' }, 'güncelleme paketi geçersiz'], [{ tools: { unpackCode: 1 } }, 'güncelleme paketi açılamadı (1)'],
      [{ tools: { startAnswer: { code: null, error: new Error('spawn cmd.exe ENOENT') } } }, 'güncelleme betiği başlatılamadı (spawn cmd.exe ENOENT)'],
      [{ isSigned: true }, 'dosya özeti verilmemiş'], [{ launcher: { sha256: sha('başka') } }, 'dosya özeti uyuşmadı']]) {
      const { result, logs, stage } = await update(options);
      assert.deepEqual([result, logs, fs.existsSync(stage)], [false, [`[Quorlin] Launcher güncellemesi atlandı: ${message}`], false]);
    }
  });
});
