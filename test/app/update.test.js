'use strict';
const { test, describe, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { startWorld } = require('../support/world');
const { makeZip, readZip } = require('../../boot/tests/wine/lib/zip');
const endpoints = require('../../app/core/endpoints');
const { download } = require('../../app/core/http');
const service = require('../../app/update/service');
const { resolveMod, createUpdates } = require('../../app/update/mod');
const { maybeUpdateLauncher, SCRIPT_NAME } = require('../../app/update/launcher');
const { testContext } = require('../support/context');

const { apiGet, manifest, cmpVer } = service;
const UNREACHABLE = 'Sunucuya ulaşılamadı. İnternetini kontrol et.';
const sha = (data) => crypto.createHash('sha256').update(data).digest('hex');
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
  // [the service's answer, the JSON or the failure's message]
  for (const [plan, expected] of [[{ body: { launcher: { version: '1' } } }, { launcher: { version: '1' } }],
    [{ status: 500, body: { error: 'bakımda' } }, { error: 'bakımda' }], [{ redirect: '/moved', body: { here: true } }, { here: true }],
    [{ body: '\uFEFF{"bom":1}' }, { bom: 1 }], [{ status: 404, body: '<html>yok</html>' }, 'Sunucu yanıtı okunamadı (404)'],
    [{ body: '' }, 'Sunucu yanıtı okunamadı (200)'], [{ stall: true, body: '{}' }, UNREACHABLE], [{ cut: 3, body: { long: 'x'.repeat(100) } }, UNREACHABLE]]) {
    world.route('/api/manifest.php', plan);
    service.limits.idleMs = plan.stall ? 200 : 5000;
    const got = await apiGet('/api/manifest.php').catch((err) => err.message);
    assert.deepEqual([got, await manifest()], [expected, typeof expected === 'string' ? null : expected]);
  }
  // an empty QUORLIN_API counts as none
  assert.deepEqual([world.count('/moved'), world.requests.every((r) => r.headers['user-agent'] === 'Quorlin-Launcher'),
    service.API_BASE({ QUORLIN_API: '' })], [0, true, endpoints.updateService]);
  process.env.QUORLIN_API = 'http://127.0.0.1:1';
  await assert.rejects(apiGet('/x'), { message: UNREACHABLE });
  process.env.QUORLIN_API = 'kein adres';
  await assert.rejects(apiGet('/x'), { code: 'ERR_INVALID_URL' });
  assert.equal(await manifest(), null);
});

test('cmpVer reads each dotted piece as the integer at its start', () => {
  const cases = [
    ['1.0.19', '1.0.9', 1], ['1.0', '1.0.0', 0], ['1.0.27-beta', '1.0.27', 0], ['2', '1.9.9', 1],
    [' +3.1', '3.0.5', 1], ['-1', '', -1], [undefined, 0, 0], ['x.5', '0.5', 0], [1.1, '1.0.9', 1],
    ['1.1e3', '1.2', -1], [`${'9'.repeat(400)}.1`, `${'9'.repeat(400)}.2`, -1],
  ];
  for (const [a, b, sign] of cases) assert.equal(Math.sign(cmpVer(a, b)), sign, `${a} vs ${b}`);
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
      assert.equal(await choose(mod, logs), expected, JSON.stringify(mod));
      assert.deepEqual(logs, logged, JSON.stringify(mod));
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
      for (const { name, data } of readZip(fs.readFileSync(zip))) {
        const target = path.join(dest, name);
        fs.mkdirSync(name.endsWith('/') ? target : path.dirname(target), { recursive: true });
        if (!name.endsWith('/')) fs.writeFileSync(target, data);
      }
      return { code: unpackCode };
    };
  }

  // every stage lies below a folder holding each of PowerShell's quote characters
  const base = () => path.join(dir, "O'Neil ‘Çağ’ ‚x‛");
  async function update({ layout = 'root', launcher = {}, tools, env = { QUORLIN_EXE: 'C:\\Q\\Quorlin.exe' } } = {}) {
    world.route('/app.zip', { body: LAYOUTS[layout] });
    const [cache, resources, tmp] = ['cache', 'resources', 'tmp'].map((name) => path.join(base(), name));
    fs.rmSync(cache, { recursive: true, force: true });
    const [calls, logs] = [[], []];
    const result = await maybeUpdateLauncher({
      man: { launcher: { version: '1.0.27', url: `${world.url}/app.zip`, ...launcher } }, currentVersion: '1.0.26', cacheDir: cache,
      appDir: path.join(resources, 'app'), runtimeResources: resources, download, relaunchExe: env.QUORLIN_EXE || '',
      log: (l) => logs.push(l), env, tmpDir: tmp, runTool: fakeTools(calls, tools),
    });
    const stage = path.join(resources, 'app.new');
    return { result, logs, stage, tmp, start: calls.find((c) => c.file === 'cmd.exe') };
  }

  test('a newer package is staged and the swap script started; an equal version is left alone', async () => {
    const same = { man: { launcher: { version: '1.0.26', url: 'x' } }, currentVersion: '1.0.26', log: assert.fail };
    assert.deepEqual(await maybeUpdateLauncher(same), false);
    // [manifest entry, environment]
    for (const [launcher, env] of [[{ sha256: sha(LAYOUTS.root).toUpperCase() }], [{}, {}]]) {
      const { result, logs, stage, tmp, start } = await update({ launcher, env });
      assert.deepEqual([result, logs, start.options.env.QUORLIN_UPDATE_FROM, fs.readFileSync(path.join(stage, 'main.js'), 'utf8')],
        [true, ['[Quorlin] Launcher güncellemesi hazır (1.0.27). Yeniden başlatılıyor…'], stage, 'yeni']);
      const script = fs.readFileSync(path.join(tmp, SCRIPT_NAME), 'latin1');
      assert.match(script, /^@echo off\r\n[\x20-\x7e\r\n]*del "%QUORLIN_UPDATE_SELF%"$/);
      // without a console input `timeout` ends at once on Windows (Wine waits, so only this shows it)
      assert.doesNotMatch(script, /timeout/i);
      // without QUORLIN_EXE the swap happens but nothing is started again
      const relaunch = env ? [undefined, false] : ['C:\\Q\\Quorlin.exe', true];
      assert.deepEqual([start.options.env.QUORLIN_UPDATE_RUN, /start "" \/d "%QUORLIN_UPDATE_RUN_DIR%" "%QUORLIN_UPDATE_RUN%"/.test(script)], relaunch);
    }
  });

  test('a skipped update keeps the old version and leaves neither stage nor mismatching package', async () => {
    for (const [options, message] of [[{ layout: 'neither' }, 'güncelleme paketi geçersiz'], [{ tools: { unpackCode: 1 } }, 'güncelleme paketi açılamadı (1)'],
      [{ tools: { startAnswer: { code: null, error: new Error('spawn cmd.exe ENOENT') } } }, 'güncelleme betiği başlatılamadı (spawn cmd.exe ENOENT)'],
      [{ launcher: { sha256: sha('başka') } }, 'dosya özeti uyuşmadı']]) {
      const { result, logs, stage } = await update(options);
      assert.deepEqual([result, logs, fs.existsSync(stage)], [false, [`[Quorlin] Launcher güncellemesi atlandı: ${message}`], false]);
    }
    assert.deepEqual(fs.readdirSync(path.join(base(), 'cache')), [], 'the package that did not match is gone');
  });
});
