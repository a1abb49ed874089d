'use strict';
const { test, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const endpoints = require('../../app/core/endpoints');
const http = require('../../app/core/http');
const fabric = require('../../app/setup/fabric');
const mods = require('../../app/setup/mods');
const { startWorld } = require('../support/world');
const { PATHS, useWorld, loaderList, installerList, mavenMetadata, serveModrinth } = require('../support/fabric-world');
const { testContext } = require('../support/context');

const OFFLINE = { status: 503, body: 'Service Unavailable' };
const FABRIC_API_FILE = 'fabric-api-0.140.10+26.3.jar';

let world, base, top, ctx;

before(async () => {
  world = await startWorld({ https: true });
  useWorld(endpoints, world);
  base = fs.mkdtempSync(path.join(os.tmpdir(), 'fabric-'));
  http.limits.retryStepMs = 1;
});
after(() => Promise.all([world.close(), fs.promises.rm(base, { recursive: true, force: true })]));
beforeEach(() => {
  top = fs.mkdtempSync(path.join(base, 'case-'));
  ctx = testContext({ dir: top });
  world.reset();
});

const storedSettings = () => JSON.parse(fs.readFileSync(ctx.paths.SETTINGS_FILE, 'utf8'));

function put(dir, name, text = name) {
  fs.mkdirSync(dir, { recursive: true });
  fs.writeFileSync(path.join(dir, name), text);
  return path.join(dir, name);
}

test("fabricVersions: the first stable loader and installer, else the first, stored; none from an unusable list; offline, the stored ones with a log line, else the request's error", async () => {
  for (const [loaders, installers, expected] of [
    [loaderList([['0.19.4', false], ['0.19.3', true]]), [['1.1.1', false], ['1.1.0', true]], { loader: '0.19.3', installer: '1.1.0' }],
    [loaderList([['0.19.4', false], ['0.19.3', false]]), [['1.1.1', false]], { loader: '0.19.4', installer: '1.1.1' }],
    [[], [['1.1.0', true]], 'Fabric 26.3 için bulunamadı'],
    [{ error: 'x' }, [['1.1.0', true]], 'Fabric 26.3 için bulunamadı'],
    [loaderList([['../../evil', true]]), [['1.1.0', true]], 'Fabric 26.3 için bulunamadı'],
    [loaderList([['0.19.3', true]]), [], 'Fabric yükleyicisi bulunamadı'],
  ]) {
    world.route(PATHS.loaders, { body: loaders }).route(PATHS.installers, { body: installerList(installers) });
    delete ctx.settings.lastFabric;
    if (typeof expected === 'string') await assert.rejects(fabric.fabricVersions(ctx), { message: expected }, JSON.stringify(loaders));
    else assert.deepEqual([await fabric.fabricVersions(ctx), storedSettings().lastFabric], [expected, expected]);
  }
  world.route(PATHS.loaders, OFFLINE);
  await assert.rejects(fabric.fabricVersions(ctx), { message: `HTTP 503 — ${world.url}${PATHS.loaders}` });
  ctx.settings.lastFabric = { loader: '0.19.2', installer: '1.0.3' };
  assert.deepEqual([await fabric.fabricVersions(ctx), ctx.lines],
    [ctx.settings.lastFabric, ['[Quorlin] Fabric sunucusu yanıt vermedi, kayıtlı sürüm kullanılıyor.']]);
});

test('ensureClientFabric writes the loader profile once, never over an existing file, and nothing on a failure', async () => {
  const id = 'fabric-loader-0.19.3-26.3';
  const file = path.join(ctx.paths.MC_DIR, 'versions', id, `${id}.json`);
  const profile = { id, inheritsFrom: '26.3', mainClass: 'net.fabricmc.loader.impl.launch.knot.KnotClient', libraries: [] };
  world.route(PATHS.profile('0.19.3'), OFFLINE);
  await assert.rejects(fabric.ensureClientFabric(ctx, { loader: '0.19.3' }), /^Error: HTTP 503/);
  await assert.rejects(fabric.ensureClientFabric(ctx, { loader: '..' }), { message: 'Fabric sürümü geçersiz: ..' });
  assert.equal(fs.existsSync(path.join(ctx.paths.MC_DIR, 'versions')), false);
  world.route(PATHS.profile('0.19.3'), { body: profile });
  assert.deepEqual([await fabric.ensureClientFabric(ctx, { loader: '0.19.3', installer: '1.1.0' }), fs.readFileSync(file, 'utf8')],
    [id, JSON.stringify(profile, null, 2)]);
  fs.writeFileSync(file, 'edited by hand');
  assert.deepEqual([await fabric.ensureClientFabric(ctx, { loader: '0.19.3' }), fs.readFileSync(file, 'utf8')], [id, 'edited by hand']);
});

test('fabricApi: Modrinth first, its primary file downloaded into the cache once', async () => {
  const [, primary] = serveModrinth(world, 'fabric-api', [{ filename: 'other.jar' }, { filename: FABRIC_API_FILE, primary: true }]);
  const jar = path.join(ctx.paths.CACHE_DIR, FABRIC_API_FILE);
  assert.deepEqual([await fabric.fabricApi(ctx), await fabric.fabricApi(ctx)], [jar, jar]);
  assert.deepEqual([fs.readFileSync(jar, 'utf8'), world.count(primary), ctx.lines, world.requests[0].path.split('?')[1]],
    [`fabric-api:${FABRIC_API_FILE}`, 1, [], 'game_versions=%5B%2226.3%22%5D&loaders=%5B%22fabric%22%5D']);
});

test('fabricApi: Maven next, the highest version of the game version, fetched with the plus sign encoded', async () => {
  const versions = ['0.140.2+26.3', '0.141.0+26.2', '0.140.10+26.3', '0.150.0+26.3-rc', '0.99.0+1.21.5'];
  world.route(PATHS.modrinth('fabric-api'), { body: [] }).route(`${PATHS.maven}maven-metadata.xml`, { body: mavenMetadata(versions) })
    .route(`${PATHS.maven}0.140.10%2B26.3/${FABRIC_API_FILE}`, { body: 'from maven' });
  assert.deepEqual([fs.readFileSync(await fabric.fabricApi(ctx), 'utf8'), ctx.lines], ['from maven', ['[Quorlin] Modrinth yanıt vermedi, Fabric sunucusu deneniyor…']]);
});

test('fabricApi offline: the best jar on the computer, the cache copy first; with none, a message naming every failure', async () => {
  const { CACHE_DIR, GAME_DIR, SERVER_DIR } = ctx.paths;
  world.route(PATHS.modrinth('fabric-api'), { body: [] }).route(`${PATHS.maven}maven-metadata.xml`, { body: mavenMetadata(['0.141.0+26.2']) });
  await assert.rejects(fabric.fabricApi(ctx), { message: 'Fabric API indirilemedi. İnternet bağlantını kontrol edip tekrar dene.\n  Fabric API 26.3 yok\n  Maven: 26.3 için sürüm yok' });
  put(path.join(GAME_DIR, 'mods'), FABRIC_API_FILE);
  put(CACHE_DIR, FABRIC_API_FILE);
  for (const name of ['Fabric-API-0.140.2+26.3.JAR', 'fabric-api-0.200.0+26.2.jar', 'fabric-api-0.200.0.jar',
    'fabric-api-0.200.0+26.3.zip', 'fabric-apix-0.9+26.3.jar']) put(path.join(SERVER_DIR, 'mods'), name);
  world.route(PATHS.modrinth('fabric-api'), OFFLINE);
  assert.deepEqual([await fabric.fabricApi(ctx), ctx.lines.at(-1)],
    [path.join(CACHE_DIR, FABRIC_API_FILE), `[Quorlin] İnternet yavaş — bilgisayardaki Fabric API kullanılıyor: ${FABRIC_API_FILE}`]);
});

test('performance mods: cache names carry the slug in front and the game version; a found jar is not looked up again', async () => {
  for (const [filename, cached] of [['lithium-fabric-0.15.0.jar', 'lithium-fabric-0.15.0-mc26.3.jar'],
    ['fabric-0.15+26.3.jar', 'lithium-fabric-0.15+26.3.jar'], ['Lithium-Fabric-0.8.0.JAR', 'Lithium-Fabric-0.8.0-mc26.3.jar']]) {
    ctx = testContext({ dir: top });
    serveModrinth(world, 'lithium', [{ filename }]);
    assert.deepEqual(await mods.perfMods(ctx, 'server'), [path.join(ctx.paths.CACHE_DIR, cached)], filename);
  }
  assert.deepEqual([await mods.perfMods(ctx, 'server'), world.count(PATHS.modrinth('lithium'))],
    [[path.join(ctx.paths.CACHE_DIR, 'Lithium-Fabric-0.8.0-mc26.3.jar')], 3]);
});

test('performance mods offline: the newest cached jar of the game version, else left out with a log line', async () => {
  // a file name that would leave the cache folder is refused like a failed download
  serveModrinth(world, 'sodium', [{ filename: '../../sodium-evil+26.3.jar' }]);
  world.route(PATHS.modrinth('lithium'), OFFLINE);
  ['lithium-fabric-0.15.2-mc26.3.jar', 'lithium-fabric-0.15.10-mc26.3.jar', 'lithium-fabric-0.16.0-mc26.2.jar'].forEach((n) => put(ctx.paths.CACHE_DIR, n));
  const lithium = [path.join(ctx.paths.CACHE_DIR, 'lithium-fabric-0.15.10-mc26.3.jar')];
  assert.deepEqual([await mods.perfMods(ctx, 'client'), await mods.perfMods(ctx, 'server')], [lithium, lithium]);
  assert.deepEqual([ctx.lines, world.count(PATHS.modrinth('lithium'))], [[
    '[Quorlin] sodium indirilemedi, onsuz devam ediliyor (Modrinth: sodium için geçersiz dosya bilgisi)',
    '[Quorlin] lithium indirilemedi, önbellekteki kullanılıyor: lithium-fabric-0.15.10-mc26.3.jar',
  ], 3], 'retried, then remembered');
});

test('syncMods replaces the jars it put there and older ones of its families; every other jar stays, whatever its name', async () => {
  const [dir, src] = ['mods', 'src'].map((name) => path.join(top, name));
  const record = path.join(ctx.paths.BASE, 'placed-mods.json');
  const sync = (...names) => mods.syncMods(ctx, dir, names.map((n) => put(src, n, `new ${n}`)));
  const older = ['Brimlox-0.9.jar', 'fabric-api-0.139.0+26.3.jar', 'sodium-fabric-0.7.0+mc26.3.jar',
    'sodium-fabric-mc1.19-0.4.2+build.16.jar', 'LITHIUM-FABRIC-0.15.0+mc1.21.4.JAR', 'lithium-fabric-mc1.20.1-0.11.2.jar'];
  const users = ['sodium-extra-fabric-0.6.0+mc26.3.jar', 'sodium-extra-0.5.4+mc1.20.1-build.112.jar', 'lithium-addon-1.0.jar',
    'lithiumfix-2.jar', 'fabric-api-fork-0.140.10+26.3.jar', 'fabric-api-base-0.4.31.jar', 'brimlox-addon-1.0.jar',
    'sodium-notes.txt', 'iris-1.9.jar'];
  for (const n of [...older, ...users, 'brimlox-1.0.0.jar']) put(dir, n, `old ${n}`);
  const same = put(dir, FABRIC_API_FILE, `new ${FABRIC_API_FILE}`);
  fs.utimesSync(same, 1000, 1000);
  fs.mkdirSync(path.join(dir, 'sodium-fabric-0.1.jar'));
  const wanted = ['brimlox-1.0.0.jar', FABRIC_API_FILE, 'sodium-renderer-mc26.3.jar'];
  await sync(...wanted);
  assert.deepEqual(fs.readdirSync(dir).sort(), [...users, ...wanted, 'sodium-fabric-0.1.jar'].sort());
  // an identical jar is not copied again
  assert.deepEqual([wanted.map((n) => fs.readFileSync(path.join(dir, n), 'utf8')), fs.statSync(same).mtimeMs], [wanted.map((n) => `new ${n}`), 1000 * 1000]);

  // a jar of ours outside the publishers' names goes by the record; a damaged record takes nothing
  await sync('brimlox-1.0.0.jar');
  assert.deepEqual(fs.readdirSync(dir).sort(), [...users, 'brimlox-1.0.0.jar', 'sodium-fabric-0.1.jar'].sort());
  for (const damaged of ['{"', JSON.stringify({ [dir]: ['../outside.jar', 'lithiumfix-2.jar/..'] }), JSON.stringify({ [dir]: 'iris-1.9.jar' })]) {
    put(top, 'outside.jar');
    put(dir, 'sodium-renderer-mc26.3.jar');
    fs.writeFileSync(record, damaged);
    await sync('brimlox-1.0.0.jar');
    assert.deepEqual([fs.readdirSync(dir).length, fs.existsSync(path.join(top, 'outside.jar'))], [users.length + 3, true], damaged);
  }
});
