'use strict';
// Installation and launch against Mojang's and Fabric's own files from ../shared/realdata.
const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const endpoints = require('../../app/endpoints');
const { Game } = require('../../app/mc');
const { launchArgs } = require('../../app/mc/launch-args');
const { startWorld } = require('../support/world');
const { startMojangWorld } = require('../support/mojang-world');

const REAL = path.join(__dirname, '..', '..', '..', 'shared', 'realdata');
const skip = fs.existsSync(REAL) ? false : `real sample files not found at ${REAL}`;
const readReal = (rel) => JSON.parse(fs.readFileSync(path.join(REAL, rel), 'utf8'));
const WIN = { os: 'windows', arch: 'x86_64' };
const ACCOUNT = { name: 'Ayse_42', uuid: 'uuid', mcToken: 'tok', xuid: '2535' };
const KNOT = 'net.fabricmc.loader.impl.launch.knot.KnotClient';

function realArgs(versionFile, quickPlay = 'localhost:25565') {
  const root = 'C:\\Users\\A\\AppData\\Roaming\\.quorlin\\minecraft';
  return launchArgs({
    root, gameDir: 'C:\\Users\\A\\AppData\\Roaming\\.quorlin\\brimlox', nativesDir: root + '\\natives\\x',
    inst: {
      vanilla: readReal(versionFile), fabric: readReal('fabric/installed-profiles/fabric-loader-0.16.14-1.21.5.json'),
      classpath: [root + '\\a.jar', root + '\\b.jar'], logArg: '-Dlog4j.configurationFile=C:\\l.xml', assetIndex: '29',
    },
    account: ACCOUNT, ramGb: 4, versionId: 'fabric-loader-0.16.14-26.3', quickPlay, paths: path.win32, system: WIN,
  });
}
const count = (list, text) => list.filter((a) => a === text).length;

describe('real version files on Windows', { skip }, () => {
  for (const version of ['26.2', '1.21.11', '1.20.1']) {
    test(`${version}: one quick play pair, no demo, size or other-system arguments, one class path`, () => {
      const a = realArgs(`mojang/versions/${version}.json`);
      assert.equal(count(a, '--quickPlayMultiplayer'), 1);
      assert.equal(a[a.indexOf('--quickPlayMultiplayer') + 1], 'localhost:25565');
      for (const absent of ['--demo', '--width', '--quickPlayPath', '--quickPlaySingleplayer', '--quickPlayRealms', '-XstartOnFirstThread', '-Xss1M']) {
        assert.equal(count(a, absent), 0, absent);
      }
      assert.equal(count(a, '-cp'), 1);
      assert.equal(a[a.indexOf('-cp') + 1], 'C:\\Users\\A\\AppData\\Roaming\\.quorlin\\minecraft\\a.jar;C:\\Users\\A\\AppData\\Roaming\\.quorlin\\minecraft\\b.jar');
      assert.ok(a.some((x) => x.startsWith('-XX:HeapDumpPath=')));
      assert.equal(a[a.indexOf(KNOT) - 1], '-DFabricMcEmu= net.minecraft.client.main.Main ');
      assert.ok(a.every((x) => !/\$\{(auth_|version_|game_|assets_|natives_|launcher_|classpath|quickPlayMultiplayer)/.test(x)), a.join(' '));
      // memory settings come first; the version's machine-default JVM list is not used
      assert.deepEqual([a.indexOf('-Xmx4G'), count(a, '-XX:+UseZGC')], [0, 0]);
    });
  }

  test('1.12.2 without an arguments object still gets memory, class path, main class and quick play', () => {
    const a = realArgs('mojang/versions/1.12.2.json');
    assert.deepEqual(a.slice(5), ['-DFabricMcEmu= net.minecraft.client.main.Main ', '-cp',
      'C:\\Users\\A\\AppData\\Roaming\\.quorlin\\minecraft\\a.jar;C:\\Users\\A\\AppData\\Roaming\\.quorlin\\minecraft\\b.jar',
      KNOT, '--quickPlayMultiplayer', 'localhost:25565']);
  });
});

describe('installing the libraries of a real version file', { skip }, () => {
  let mw;
  let restore;
  let top;
  before(async () => {
    if (skip) return;
    mw = await startMojangWorld({ template: readReal('mojang/versions/26.2.json'), assets: 5, assetSizes: [100], clientSize: 4096, maxLibSize: 2048 });
    restore = mw.useAsEndpoints(endpoints);
    top = fs.mkdtempSync(path.join(os.tmpdir(), 'mc-real-'));
  });
  after(async () => {
    if (skip) return;
    restore();
    await mw.close();
  });

  test('admits the Windows natives of every kind, leaves out the other systems\' ones and replaces nothing wrongly', async () => {
    const game = new Game({ root: path.join(top, 'minecraft'), gameDir: path.join(top, 'g'), system: WIN });
    const inst = await game.install('26.3', mw.profileUrl);
    const names = inst.classpath.map((f) => path.basename(f));
    for (const n of ['lwjgl-freetype-3.4.1-natives-windows.jar', 'lwjgl-freetype-3.4.1-natives-windows-arm64.jar', 'jtracy-1.0.37-natives-windows.jar', 'jtracy-1.0.37.jar', 'fastutil-8.5.18.jar']) {
      assert.ok(names.includes(n), n);
    }
    assert.deepEqual(names.filter((n) => /natives-(linux|macos)|java-objc-bridge|linux-x86_64|osx-/.test(n)), []);
    assert.equal(names.at(-1), '26.3.jar');
    assert.equal(new Set(inst.classpath).size, inst.classpath.length);
    for (const f of inst.classpath) assert.ok(fs.existsSync(f), f);
  });
});

describe('real asset indexes', { skip }, () => {
  let world;
  before(async () => {
    if (!skip) world = await startWorld({ https: true });
  });
  after(() => world && world.close());

  test('Mojang\'s exact index files pass the hash check and list their objects once each', async () => {
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'mc-index-'));
    const game = new Game({ root, gameDir: path.join(root, 'g'), system: WIN });
    const cases = [
      ['1.12', 'a21e1ded1a24ea1548dd8db0cf30b6acb02655a9', 143136],
      ['5', '2dc7096b288a21c5f1bb7c17a8a7132cb32ca6cd', 411881],
    ];
    for (const [id, sha1, size] of cases) {
      const bytes = fs.readFileSync(path.join(REAL, 'mojang', 'assets', 'indexes', id + '.json'));
      world.route(`/${id}.json`, { body: bytes });
      const index = await game.assetIndex({ assetIndex: { id, sha1, size, url: `${world.url}/${id}.json` } });
      const due = await game.dueAssets(index);
      const unique = new Set(Object.values(index.objects).map((o) => o.hash));
      assert.equal(due.length, unique.size);
      assert.ok(due.every((o) => o.file === path.join(root, 'assets', 'objects', o.hash.slice(0, 2), o.hash)));
    }
  });
});
