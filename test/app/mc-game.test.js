'use strict';
const { describe, test, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const endpoints = require('../../app/core/endpoints');
const { Game } = require('../../app/mc');
const { mavenPath } = require('../../app/mc/rules');
const { startMojangWorld } = require('../support/mojang-world');

let mw, restoreEndpoints, base, top, root, events, game;

before(async () => {
  mw = await startMojangWorld({ assets: 200, assetSizes: [120, 2000, 15000, 48000, 300000] });
  restoreEndpoints = mw.useAsEndpoints(endpoints);
  base = fs.mkdtempSync(path.join(os.tmpdir(), 'mc-game-'));
});
after(async () => {
  restoreEndpoints();
  await mw.close();
  fs.rmSync(base, { recursive: true, force: true });
});
beforeEach(() => {
  top = fs.mkdtempSync(path.join(base, 'case-'));
  root = path.join(top, 'minecraft');
  events = [];
  game = new Game({ root, gameDir: path.join(top, 'brimlox'), system: { os: 'windows', arch: 'x86_64' }, progress: (label, f) => events.push([label, f]) });
  mw.clearRequests();
});

const libFile = (rel) => path.join(root, 'libraries', ...rel.split('/'));
const objectFile = (hash) => path.join(root, 'assets', 'objects', hash.slice(0, 2), hash);
const vanillaLib = (name) => mw.vanilla.libraries.find((l) => l.name === name).downloads.artifact;
const firstAsset = () => Object.values(mw.index.objects)[0];
const assetPath = (h) => `/res/${h.slice(0, 2)}/${h}`;
const allFiles = (dir) => fs.readdirSync(dir, { recursive: true, withFileTypes: true })
  .filter((e) => e.isFile()).map((e) => path.join(e.parentPath || e.path, e.name));
const sameAsServed = (file, urlPath) => assert.ok(fs.readFileSync(file).equals(mw.bytes(urlPath)), urlPath);

// Fabric's first; asm 9.6 gives way to Fabric's 9.8 but its sources jar stays; only Windows natives
const EXPECTED_LIBS = [
  ...['org.ow2.asm:asm:9.8', 'net.fabricmc:sponge-mixin:0.15.5+mixin.0.8.7', 'net.fabricmc:intermediary:26.3',
    'net.fabricmc:fabric-loader:0.19.3'].map((n) => ['/maven/', mavenPath(n)]),
  ...['org.ow2.asm:asm:9.6:sources', 'com.mojang:brigadier:1.3.10', 'org.lwjgl:lwjgl:3.4.1', 'org.lwjgl:lwjgl:3.4.1:natives-windows',
    'ca.weblite:java-objc-bridge:1.1', 'com.example:one-mib:1.0', 'com.example:three-mib:1.0'].map((n) => ['/libraries/', mavenPath(n)]),
];

describe('Game.install', () => {
  test('fetches every file byte for byte, returns the installation record, reports on a bar that never goes back; then only checks', async () => {
    const inst = await game.install('26.3', mw.profileUrl);
    const jar = path.join(root, 'versions', '26.3', '26.3.jar');
    assert.deepEqual(inst.classpath, [...EXPECTED_LIBS.map(([, rel]) => libFile(rel)), jar]);
    for (const [from, rel] of EXPECTED_LIBS) sameAsServed(libFile(rel), from + rel);
    sameAsServed(jar, '/v1/objects/client/client.jar');
    const logConfig = path.join(root, 'assets', 'log_configs', 'client-1.21.2.xml');
    assert.deepEqual([inst.logArg, fs.existsSync(logConfig), inst.assetIndex, inst.vanilla, inst.fabric,
      fs.readFileSync(path.join(root, 'versions', '26.3', '26.3.json'), 'utf8')],
    ['-Dlog4j.configurationFile=' + logConfig, true, '29', mw.vanilla, mw.fabric, JSON.stringify(mw.vanilla)]);
    for (const { hash } of Object.values(mw.index.objects)) sameAsServed(objectFile(hash), assetPath(hash));
    // the index names one object twice; it is fetched once
    assert.deepEqual([mw.world.count(assetPath(firstAsset().hash)), allFiles(root).filter((f) => f.endsWith('.part'))], [1, []]);
    // 7 admitted vanilla libraries + 4 Fabric ones + client jar + logging configuration, then the assets
    const labels = events.map(([l]) => l);
    assert.deepEqual([events[0], events.at(-1), ...['Oyun indiriliyor (', 'Ses ve dokular indiriliyor ('].map((p) => labels.filter((l) => l.startsWith(p)).length)],
      [['Oyun dosyaları kontrol ediliyor', 0], ['Oyun hazır', 1], 13, 200]);
    assert.ok(labels.includes('Oyun indiriliyor (13/13)') && labels.includes('Ses ve dokular indiriliyor (200/200)'));
    events.forEach(([, f], i) => assert.ok(i === 0 || f >= events[i - 1][1], `step ${i}: ${f}`));
    // once complete, an install asks for the Fabric profile only and reports just checking and ready
    mw.clearRequests();
    events.length = 0;
    assert.deepEqual((await game.install('26.3', mw.profileUrl)).classpath, inst.classpath);
    assert.deepEqual([mw.world.requests.map((r) => r.path), events],
      [[new URL(mw.profileUrl).pathname], [['Oyun dosyaları kontrol ediliyor', 0], ['Oyun hazır', 1]]]);
  });

  test('damage: small files of the right size are trusted, 2 MiB and more are hashed, wrong sizes are fetched again', async () => {
    await game.install('26.3', mw.profileUrl);
    const [small, big, cut] = ['com.example:one-mib:1.0', 'com.example:three-mib:1.0', 'com.mojang:brigadier:1.3.10'].map((n) => vanillaLib(n).path);
    const [a, b] = [...new Set(Object.values(mw.index.objects).map((o) => o.hash))];
    const wrong = (f) => Buffer.alloc(fs.statSync(f).size, 7);
    for (const f of [libFile(small), libFile(big), objectFile(b)]) fs.writeFileSync(f, wrong(f));
    for (const f of [objectFile(a), libFile(cut)]) fs.writeFileSync(f, 'short');
    const stored = path.join(root, 'versions', '26.3', '26.3.json');
    fs.writeFileSync(stored, '{"id": "26.');
    const index = path.join(root, 'assets', 'indexes', '29.json');
    fs.writeFileSync(index, wrong(index));
    mw.clearRequests();
    await game.install('26.3', mw.profileUrl);
    for (const lib of [big, cut]) sameAsServed(libFile(lib), '/libraries/' + lib);
    sameAsServed(objectFile(a), assetPath(a));
    // a stored version file or asset index that no longer parses is fetched again
    assert.deepEqual([mw.world.count('/libraries/' + small), fs.readFileSync(objectFile(b))[0], fs.readFileSync(libFile(small))[0],
      fs.readFileSync(stored, 'utf8'), fs.readFileSync(index, 'utf8')], [0, 7, 7, JSON.stringify(mw.vanilla), JSON.stringify(mw.index)]);
    // a repair hashes every file: the two of the right size are fetched again, and said
    const lines = [];
    await new Game({ root, gameDir: game.gameDir, system: game.system, log: (line) => lines.push(line), repair: true }).install('26.3', mw.profileUrl);
    sameAsServed(libFile(small), '/libraries/' + small);
    sameAsServed(objectFile(b), assetPath(b));
    assert.deepEqual(lines, ['[Quorlin] Onarıldı: 2 dosya']);
  });

  test('a big file found right is not read again while its size and time hold; a new time, a damaged record or a repair reads it', async () => {
    await game.install('26.3', mw.profileUrl);
    const rel = vanillaLib('com.example:three-mib:1.0').path;
    const big = libFile(rel);
    const size = fs.statSync(big).size;
    const time = 1700000000; // whole seconds: set again, the record's time is met exactly
    // an install finds the file right and records it with `time`; then it is damaged, same size, same time
    const settleAndDamage = async () => {
      fs.utimesSync(big, time, time);
      await game.install('26.3', mw.profileUrl);
      fs.writeFileSync(big, Buffer.alloc(size, 7));
      fs.utimesSync(big, time, time);
    };
    mw.clearRequests();
    const seen = [];
    for (const [name, change, options] of [
      ['unchanged', settleAndDamage, {}],
      ['new time', () => fs.utimesSync(big, time + 1, time + 1), {}],
      ['damaged record', async () => {
        await settleAndDamage();
        fs.writeFileSync(path.join(root, 'verified-files.json'), '{"');
      }, {}],
      ['repair', settleAndDamage, { repair: true }],
    ]) {
      await change();
      await new Game({ root, gameDir: game.gameDir, system: game.system, ...options }).install('26.3', mw.profileUrl);
      seen.push([name, mw.world.count('/libraries/' + rel), fs.readFileSync(big)[0] === 7]);
    }
    assert.deepEqual(seen, [['unchanged', 0, true], ['new time', 1, false], ['damaged record', 2, false], ['repair', 3, false]]);
  });
});

describe('Game.install failures', () => {
  const touched = [];
  afterEach(() => {
    mw.world.latency = 0;
    for (const urlPath of touched.splice(0)) mw.restore(urlPath);
  });
  // answers urlPath with successive plans, `true` standing for the right bytes, until the test ends
  const plan = (urlPath, plans) => touched.push(urlPath) && mw.world.route(urlPath, plans.map((p) => (p === true ? { body: mw.bytes(urlPath) } : p)));

  test('a missing version fails by name, a version with a separator is refused; an asset index or a Fabric profile that fails is asked once', async () => {
    await assert.rejects(game.install('../26.3', mw.profileUrl), { message: 'Geçersiz dosya yolu: ../26.3' });
    assert.deepEqual(fs.readdirSync(top), []);
    await assert.rejects(game.install('9.9', mw.profileUrl), { message: 'Minecraft 9.9 bulunamadı' });
    const indexPath = new URL(mw.vanilla.assetIndex.url).pathname;
    plan(indexPath, [{ status: 503 }]);
    await assert.rejects(game.install('26.3', mw.profileUrl), { message: `HTTP 503 — ${mw.vanilla.assetIndex.url}` });
    assert.equal(mw.world.count(indexPath), 1);
    mw.restore(indexPath);
    await assert.rejects(game.install('26.3', mw.world.url + '/no-profile'), { message: `HTTP 404 — ${mw.world.url}/no-profile` });
    assert.equal(mw.world.count('/no-profile'), 1);
  });

  test('a refused file fails at once and stops the assets; the install settles after every transfer, even retried', async () => {
    const logPath = new URL(mw.vanilla.logging.client.file.url).pathname;
    mw.world.latency = 30; // the assets are under way when the refusal comes
    plan(logPath, [{ status: 404 }]);
    for (let round = 0; round < 2; round++) {
      await assert.rejects(game.install('26.3', mw.profileUrl), { message: `HTTP 404 — ${mw.world.url}${logPath}` });
    }
    const asked = mw.world.requests.length;
    await new Promise((r) => setTimeout(r, 150));
    assert.equal(mw.world.requests.length, asked, 'nothing is asked after the install failed');
    assert.deepEqual([mw.world.count(logPath), mw.world.requests.filter((r) => r.path.startsWith('/res/')).length < 200,
      events.some(([label]) => label === 'Oyun hazır')], [2, true, false]);
    assert.ok(mw.world.peak <= 8 + 24 + 2, `${mw.world.peak} at once`);
  });

  // serves the world's documents after `change`, the version file already stored
  async function installWith(change) {
    const { vanilla, fabric, index } = structuredClone({ vanilla: mw.vanilla, fabric: mw.fabric, index: mw.index });
    change({ vanilla, fabric, index });
    const indexBytes = Buffer.from(JSON.stringify(index));
    Object.assign(vanilla.assetIndex, { sha1: crypto.createHash('sha1').update(indexBytes).digest('hex'), size: indexBytes.length });
    plan(new URL(mw.vanilla.assetIndex.url).pathname, [{ body: indexBytes }]);
    plan(new URL(mw.profileUrl).pathname, [{ body: fabric }]);
    fs.mkdirSync(path.join(root, 'versions', '26.3'), { recursive: true });
    fs.writeFileSync(path.join(root, 'versions', '26.3', '26.3.json'), JSON.stringify(vanilla));
    await game.install('26.3', mw.profileUrl);
  }

  const libPath = (p) => (d) => { d.vanilla.libraries[2].downloads.artifact.path = p; };
  const cases = [
    ['a library without a path', libPath(undefined), 'com.mojang:brigadier:1.3.10'],
    ['an asset hash that is not 40 hex digits', (d) => { Object.values(d.index.objects)[0].hash = '../../../../evil'; }, '../../../../evil'],
    ...['../../../evil.jar', '/tmp/evil.jar', 'C:\\evil.jar'].map((p) => [`a library path ${p}`, libPath(p), p]),
    ['an asset index id with separators', (d) => { d.vanilla.assetIndex.id = '../../escape'; }, '../../escape'],
    ['a logging file id with separators', (d) => { d.vanilla.logging.client.file.id = '..\\..\\x.xml'; }, '..\\..\\x.xml'],
  ];
  for (const [name, change, shown] of cases) {
    test(name + ' is refused before anything lands outside', async () => {
      await assert.rejects(installWith(change), { message: 'Geçersiz dosya yolu: ' + shown });
      assert.deepEqual([fs.readdirSync(top), allFiles(root).filter((f) => !f.startsWith(root + path.sep))], [['minecraft'], []]);
    });
  }
});
