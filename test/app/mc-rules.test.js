'use strict';
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const { ruleAllows, mavenPath, libKey } = require('../../app/mc/rules');
const { needs, pool } = require('../../app/mc/files');
const { sha1File } = require('../../app/mc/net');

const WIN = { os: 'windows', arch: 'x86_64' };
const LINUX = { os: 'linux', arch: 'x86_64' };
const sha1 = (b) => crypto.createHash('sha1').update(b).digest('hex');
const waitFor = async (ok) => {
  for (let i = 0; i < 100 && !ok(); i++) await new Promise((r) => setTimeout(r, 20));
};

describe('ruleAllows', () => {
  test('the last matching rule decides, nothing matching denies, the architecture counts, an OS version range does not', () => {
    const notOnWindows = [{ action: 'allow' }, { action: 'disallow', os: { name: 'windows' } }];
    const onlyDisallowMac = [{ action: 'disallow', os: { name: 'osx' } }];
    assert.deepEqual([ruleAllows(notOnWindows, {}, WIN), ruleAllows(notOnWindows, {}, LINUX)], [false, true]);
    assert.deepEqual([ruleAllows(onlyDisallowMac, {}, WIN), ruleAllows(onlyDisallowMac, {}, LINUX)], [false, false]);
    assert.equal(ruleAllows([], {}, WIN), true);
    assert.equal(ruleAllows([{ action: 'allow', os: { arch: 'x86' } }], {}, WIN), false);
    assert.equal(ruleAllows([{ action: 'allow', os: { name: 'windows', versionRange: { max: '10.0.17134' } } }], {}, WIN), true);
  });
});

describe('mavenPath and libKey', () => {
  test('a coordinate with classifier maps to its path and key; versions share a key', () => {
    assert.equal(mavenPath('org.example:lib:1.2:natives-windows'), 'org/example/lib/1.2/lib-1.2-natives-windows.jar');
    assert.equal(libKey('org.example:lib:1.2:natives-windows'), 'org.example:lib:natives-windows');
    assert.equal(libKey('org.ow2.asm:asm:9.6'), libKey('org.ow2.asm:asm:9.8'));
    assert.throws(() => mavenPath('org.example:lib'), { message: 'Geçersiz kütüphane adı: org.example:lib' });
  });
});

describe('needs', () => {
  test('missing or other size: download; below 2 MiB the size is enough, from 2 MiB the content counts', async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'mc-needs-'));
    const write = (name, bytes) => {
      fs.writeFileSync(path.join(dir, name), bytes);
      return path.join(dir, name);
    };
    const under = Buffer.alloc(2 * 1024 * 1024 - 1, 1);
    const at = Buffer.alloc(2 * 1024 * 1024, 1);
    assert.equal(await needs(path.join(dir, 'none')), true);
    assert.equal(await needs(write('a', 'abc'), undefined, 4), true);
    assert.equal(await needs(write('u', under), sha1('other'), under.length), false);
    assert.equal(await needs(write('t', at), sha1('other'), at.length), true);
    assert.equal(await needs(write('t2', at), sha1(at), at.length), false);
    assert.equal(await needs(write('h', 'abc'), sha1('abd')), true);
    assert.equal(await needs(write('n', 'abc')), false);
    assert.deepEqual([await sha1File(path.join(dir, 'a')), await sha1File(dir)], [sha1('abc'), '']);
    fs.rmSync(dir, { recursive: true });
  });
});

describe('pool', () => {
  test('at most n at once; every success reported; three attempts in a row per item', async () => {
    let running = 0;
    let peak = 0;
    const done = [];
    const tries = new Map();
    await pool([50, 10, 30, 20, 40, 10], 3, async (ms) => {
      tries.set(ms, (tries.get(ms) || 0) + 1);
      if (ms === 20 && tries.get(ms) < 3) throw new Error('flaky');
      running++;
      peak = Math.max(peak, running);
      await new Promise((r) => setTimeout(r, ms));
      running--;
    }, (finished, total) => done.push(`${finished}/${total}`));
    assert.equal(peak, 3);
    assert.deepEqual(done, ['1/6', '2/6', '3/6', '4/6', '5/6', '6/6']);
    assert.equal(tries.get(20), 3);
  });

  test('a third failure rejects at once with that error while the other workers finish the list', async () => {
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
    assert.deepEqual([attempts, finished], [3, []]);
    await waitFor(() => finished.length === 3);
    assert.deepEqual(finished, ['slow', 'x', 'y']);
  });
});
