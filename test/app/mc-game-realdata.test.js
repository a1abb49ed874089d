'use strict';
// Installation from Mojang's own version and asset index files in ../shared/realdata.
const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const endpoints = require('../../app/core/endpoints');
const { Game } = require('../../app/mc');
const { startMojangWorld } = require('../support/mojang-world');

const REAL = path.join(__dirname, '..', '..', '..', 'shared', 'realdata');
const skip = fs.existsSync(REAL) ? false : `real sample files not found at ${REAL}`;
const readReal = (rel) => JSON.parse(fs.readFileSync(path.join(REAL, rel), 'utf8'));
const WIN = { os: 'windows', arch: 'x86_64' };

describe('installing from real version and index files', { skip }, () => {
  let mw, restore, top, game;
  before(async () => {
    mw = await startMojangWorld({ template: readReal('mojang/versions/26.2.json'), assets: 5, assetSizes: [100], clientSize: 4096, maxLibSize: 2048 });
    restore = mw.useAsEndpoints(endpoints);
    top = fs.mkdtempSync(path.join(os.tmpdir(), 'mc-real-'));
    game = new Game({ root: path.join(top, 'minecraft'), gameDir: path.join(top, 'g'), system: WIN });
  });
  after(() => Promise.all([restore(), mw.close(), fs.promises.rm(top, { recursive: true, force: true })]));

  test('admits the Windows natives of every kind and leaves out the other systems\' ones', async () => {
    const inst = await game.install('26.3', mw.profileUrl);
    const names = inst.classpath.map((f) => path.basename(f));
    const windows = ['lwjgl-freetype-3.4.1-natives-windows.jar', 'lwjgl-freetype-3.4.1-natives-windows-arm64.jar', 'jtracy-1.0.37-natives-windows.jar', 'jtracy-1.0.37.jar'];
    assert.deepEqual([windows.filter((n) => !names.includes(n)), names.filter((n) => /natives-(linux|macos)|java-objc-bridge|linux-x86_64|osx-/.test(n)),
      names.at(-1), new Set(inst.classpath).size, inst.classpath.filter((f) => !fs.existsSync(f))], [[], [], '26.3.jar', inst.classpath.length, []]);
  });

  test('Mojang\'s exact index files pass the hash check and list their objects once each', async () => {
    for (const [id, sha1, size] of [['1.12', 'a21e1ded1a24ea1548dd8db0cf30b6acb02655a9', 143136], ['5', '2dc7096b288a21c5f1bb7c17a8a7132cb32ca6cd', 411881]]) {
      const bytes = fs.readFileSync(path.join(REAL, 'mojang', 'assets', 'indexes', id + '.json'));
      mw.world.route(`/${id}.json`, { body: bytes });
      const index = await game.assetIndex({ assetIndex: { id, sha1, size, url: `${mw.world.url}/${id}.json` } });
      const due = await game.dueAssets(index);
      assert.deepEqual([due.length, due.every((o) => o.file === path.join(top, 'minecraft', 'assets', 'objects', o.hash.slice(0, 2), o.hash))],
        [new Set(Object.values(index.objects).map((o) => o.hash)).size, true]);
    }
  });
});
