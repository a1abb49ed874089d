'use strict';
const { describe, test, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const { osName, archName, ruleAllows, mavenPath, libKey } = require('../../app/mc/rules');
const { needs, pool, inside, plainName } = require('../../app/mc/files');

const WIN = { os: 'windows', arch: 'x86_64' };
const LINUX = { os: 'linux', arch: 'x86_64' };

describe('osName and archName', () => {
  test('map Node names to the version files\' names', () => {
    assert.deepEqual(['win32', 'darwin', 'linux', 'freebsd'].map(osName), ['windows', 'osx', 'linux', 'linux']);
    assert.deepEqual(['x64', 'arm64', 'ia32', 'arm'].map(archName), ['x86_64', 'arm64', 'x86', 'x86']);
  });
});

describe('ruleAllows', () => {
  test('no rules or an empty list admit', () => {
    assert.equal(ruleAllows(undefined, {}, WIN), true);
    assert.equal(ruleAllows([], {}, WIN), true);
  });

  test('allow everything then disallow windows: denied on Windows only', () => {
    const rules = [{ action: 'allow' }, { action: 'disallow', os: { name: 'windows' } }];
    assert.equal(ruleAllows(rules, {}, WIN), false);
    assert.equal(ruleAllows(rules, {}, LINUX), true);
  });

  test('a lone disallow for another system denies everywhere', () => {
    const rules = [{ action: 'disallow', os: { name: 'osx' } }];
    assert.equal(ruleAllows(rules, {}, WIN), false);
    assert.equal(ruleAllows(rules, {}, LINUX), false);
  });

  test('architecture must match; an OS version range is ignored', () => {
    assert.equal(ruleAllows([{ action: 'allow', os: { arch: 'x86' } }], {}, WIN), false);
    assert.equal(ruleAllows([{ action: 'allow', os: { arch: 'x86' } }], {}, { os: 'windows', arch: 'x86' }), true);
    const ranged = [{ action: 'allow', os: { name: 'windows', versionRange: { max: '10.0.17134' } } }];
    assert.equal(ruleAllows(ranged, {}, WIN), true);
  });

  test('features compare set against unset, an absent feature counting as unset', () => {
    const wantsQuickPlay = [{ action: 'allow', features: { is_quick_play_multiplayer: true } }];
    const wantsNoDemo = [{ action: 'allow', features: { is_demo_user: false } }];
    assert.equal(ruleAllows(wantsQuickPlay, { is_quick_play_multiplayer: true }, WIN), true);
    assert.equal(ruleAllows(wantsQuickPlay, {}, WIN), false);
    assert.equal(ruleAllows(wantsNoDemo, {}, WIN), true);
    assert.equal(ruleAllows(wantsNoDemo, { is_demo_user: true }, WIN), false);
  });
});

describe('mavenPath and libKey', () => {
  test('a coordinate with classifier', () => {
    assert.equal(mavenPath('org.example:lib:1.2:natives-windows'), 'org/example/lib/1.2/lib-1.2-natives-windows.jar');
    assert.equal(libKey('org.example:lib:1.2:natives-windows'), 'org.example:lib:natives-windows');
  });

  test('versions share a key, classifiers do not', () => {
    assert.equal(mavenPath('net.fabricmc:sponge-mixin:0.15.5+mixin.0.8.7'),
      'net/fabricmc/sponge-mixin/0.15.5+mixin.0.8.7/sponge-mixin-0.15.5+mixin.0.8.7.jar');
    assert.equal(libKey('org.ow2.asm:asm:9.6'), libKey('org.ow2.asm:asm:9.8'));
    assert.notEqual(libKey('org.ow2.asm:asm:9.6:sources'), libKey('org.ow2.asm:asm:9.8'));
  });

  test('malformed coordinates are refused', () => {
    for (const bad of ['org.example:lib', 'a:b:c:d:e', 'a::1', undefined]) {
      assert.throws(() => mavenPath(bad), { message: 'Geçersiz kütüphane adı: ' + bad });
    }
  });
});

describe('inside and plainName', () => {
  const base = path.join(os.tmpdir(), 'root');
  test('keep ordinary names and refuse every way out', () => {
    assert.equal(inside(base, 'org/lwjgl/lwjgl.jar'), path.join(base, 'org', 'lwjgl', 'lwjgl.jar'));
    for (const bad of ['../x', 'a/../../x', '/etc/x', '\\x', 'C:\\x', 'C:x', 'a/./b', '', 'a//b']) {
      assert.throws(() => inside(base, bad), { message: 'Geçersiz dosya yolu: ' + bad }, bad);
    }
    assert.equal(plainName('26.3-snapshot-9'), '26.3-snapshot-9');
    for (const bad of ['a/b', 'a\\b', '..', '.', '', 'C:']) assert.throws(() => plainName(bad), /Geçersiz dosya yolu/);
  });
});

describe('needs', () => {
  let dir;
  beforeEach(() => {
    dir = fs.mkdtempSync(path.join(os.tmpdir(), 'mc-needs-'));
  });
  const write = (name, bytes) => {
    const f = path.join(dir, name);
    fs.writeFileSync(f, bytes);
    return f;
  };
  const sha1 = (b) => crypto.createHash('sha1').update(b).digest('hex');

  test('missing file or other size: download', async () => {
    assert.equal(await needs(path.join(dir, 'none'), undefined, undefined), true);
    assert.equal(await needs(write('a', 'abc'), undefined, 4), true);
  });

  test('below 2 MiB the size is enough; from 2 MiB the content is hashed', async () => {
    const under = Buffer.alloc(2 * 1024 * 1024 - 1, 1);
    const at = Buffer.alloc(2 * 1024 * 1024, 1);
    assert.equal(await needs(write('u', under), sha1('other'), under.length), false);
    assert.equal(await needs(write('t', at), sha1('other'), at.length), true);
    assert.equal(await needs(write('t2', at), sha1(at), at.length), false);
  });

  test('with a hash but no size the content decides; with neither the file is kept', async () => {
    assert.equal(await needs(write('h', 'abc'), sha1('abd'), undefined), true);
    assert.equal(await needs(write('h2', 'abc'), sha1('abc'), undefined), false);
    assert.equal(await needs(write('n', 'abc'), undefined, undefined), false);
  });
});

describe('pool', () => {
  test('never runs more than n at once and reports every success in order of finishing', async () => {
    let running = 0;
    let peak = 0;
    const done = [];
    await pool([5, 1, 3, 2, 4, 1], 3, async (ms) => {
      running++;
      peak = Math.max(peak, running);
      await new Promise((r) => setTimeout(r, ms));
      running--;
    }, (finished, total) => done.push(`${finished}/${total}`));
    assert.equal(peak, 3);
    assert.deepEqual(done, ['1/6', '2/6', '3/6', '4/6', '5/6', '6/6']);
  });

  test('an item gets three attempts in a row; a later success counts', async () => {
    const tries = new Map();
    await pool(['a', 'b'], 2, async (x) => {
      tries.set(x, (tries.get(x) || 0) + 1);
      if (x === 'a' && tries.get(x) < 3) throw new Error('flaky');
    });
    assert.deepEqual([...tries], [['a', 3], ['b', 1]]);
  });

  test('a third failure rejects at once with that error while other workers finish their items', async () => {
    const finished = [];
    let attempts = 0;
    const p = pool(['bad', 'slow', 'x', 'y'], 2, async (item) => {
      if (item === 'bad') {
        attempts++;
        throw new Error('HTTP 500 — bad');
      }
      await new Promise((r) => setTimeout(r, 30));
      finished.push(item);
    });
    await assert.rejects(p, { message: 'HTTP 500 — bad' });
    assert.equal(attempts, 3);
    assert.deepEqual(finished, []);
    for (let i = 0; i < 100 && finished.length < 3; i++) await new Promise((r) => setTimeout(r, 20));
    assert.deepEqual(finished, ['slow', 'x', 'y']);
  });

  test('an empty list resolves without calling anything', async () => {
    await pool([], 8, () => assert.fail('called'), () => assert.fail('reported'));
  });
});
