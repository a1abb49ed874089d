'use strict';
const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const { ruleAllows, mavenPath, libKey } = require('../../app/mc/rules');
const files = require('../../app/mc/files');

const { needs, pool } = files;
const { sha1File } = require('../../app/mc/net');

const WIN = { os: 'windows', arch: 'x86_64' };
const LINUX = { os: 'linux', arch: 'x86_64' };
const sha1 = (b) => crypto.createHash('sha1').update(b).digest('hex');

test('ruleAllows: the last matching rule decides, nothing matching denies, the architecture counts, an OS version range does not', () => {
  const cases = [ // [rules, system, allowed]
    [[{ action: 'allow' }, { action: 'disallow', os: { name: 'windows' } }], WIN, false], [[{ action: 'allow' }, { action: 'disallow', os: { name: 'windows' } }], LINUX, true],
    [[{ action: 'disallow', os: { name: 'osx' } }], WIN, false], [[{ action: 'disallow', os: { name: 'osx' } }], LINUX, false], [[], WIN, true],
    [[{ action: 'allow', os: { arch: 'x86' } }], WIN, false], [[{ action: 'allow', os: { name: 'windows', versionRange: { max: '10.0.17134' } } }], WIN, true],
  ];
  assert.deepEqual(cases.map(([rules, system]) => ruleAllows(rules, {}, system)), cases.map((c) => c[2]));
});

describe('mavenPath, libKey and needs', () => {
  test('a coordinate with classifier maps to its path and key; versions share a key; one that is no path is refused', () => {
    assert.equal(mavenPath('org.example:lib:1.2:natives-windows'), 'org/example/lib/1.2/lib-1.2-natives-windows.jar');
    assert.deepEqual([libKey('org.example:lib:1.2:natives-windows'), libKey('org.ow2.asm:asm:9.6')], ['org.example:lib:natives-windows', libKey('org.ow2.asm:asm:9.8')]);
    // too few pieces, or a piece or group step that is no plain file name
    for (const name of ['org.example:lib', 'org.evil:..:1', 'org..evil:x:1', 'org.evil:x:1:natives/../..', 'org.evil:x\\..:1',
      'org.evil:x:1.', 'org.evil:x :1', 'org.evil:x*?:1', 'org.evil:x:1\u0007']) {
      assert.throws(() => mavenPath(name), { message: `Geçersiz kütüphane adı: ${name}` });
    }
  });

  test('missing or other size: download; below 2 MiB the size is enough, from 2 MiB the content counts', async () => {
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'mc-needs-'));
    const under = Buffer.alloc(2 * 1024 * 1024 - 1, 1);
    const at = Buffer.alloc(2 * 1024 * 1024, 1);
    const cases = [ // [content, expected sha1, expected size, needed]
      [null, undefined, undefined, true], ['abc', undefined, 4, true], [under, sha1('other'), under.length, false],
      [at, sha1('other'), at.length, true], [at, sha1(at), at.length, false], ['abc', sha1('abd'), undefined, true], ['abc', undefined, undefined, false],
    ];
    for (const [i, [content, hash, size, needed]] of cases.entries()) {
      const file = path.join(dir, String(i));
      if (content !== null) fs.writeFileSync(file, content);
      assert.equal(await needs(file, hash, size), needed, `case ${i}`);
    }
    assert.deepEqual([await sha1File(path.join(dir, '1')), await sha1File(dir)], [sha1('abc'), '']);
    fs.rmSync(dir, { recursive: true });
  });
});

describe('pool', () => {
  const saved = { ...files.limits };
  before(() => { files.limits.retryPausesMs = [40, 80]; });
  after(() => Object.assign(files.limits, saved));
  const brief = (message) => Object.assign(new Error(message), { isTransient: true });

  test('at most n at once, every success reported; a brief fault is tried again after a pause, twice at most', async () => {
    let running = 0, peak = 0;
    const [done, times] = [[], new Map()];
    await pool([50, 10, 30, 20, 40, 10], 3, async (ms) => {
      times.set(ms, [...(times.get(ms) || []), Date.now()]);
      if (ms === 20 && times.get(ms).length < 3) throw brief('HTTP 503');
      running++;
      peak = Math.max(peak, running);
      await new Promise((r) => setTimeout(r, ms));
      running--;
    }, (finished, total) => done.push(`${finished}/${total}`));
    assert.deepEqual([peak, done], [3, ['1/6', '2/6', '3/6', '4/6', '5/6', '6/6']]);
    const [first, second, third] = times.get(20);
    assert.ok(second - first >= 39 && third - second >= 79, `pauses ${second - first}, ${third - second} ms`);
  });

  test('a failure halts every pool sharing the halt: nothing new is taken and each settles after its work under way', async () => {
    for (const [name, failure, wantedAttempts] of [['a refusal', new Error('HTTP 404 — bad'), 1], ['a third brief fault', brief('HTTP 503 — bad'), 3]]) {
      const [halt, started] = [new AbortController(), []];
      let attempts = 0, running = 0, startedBeforeHalt = null;
      halt.signal.addEventListener('abort', () => { startedBeforeHalt = started.length; });
      const work = (delay) => async (item) => {
        if (item === 'bad') throw (attempts++, failure);
        started.push(item);
        running++;
        await new Promise((r) => setTimeout(r, delay));
        running--;
      };
      const other = pool(['o1', 'o2', 'o3', 'o4', 'o5', 'o6'], 1, work(60), undefined, halt);
      const failing = pool(['slow', 'bad', 'x', 'y'], 2, work(30), undefined, halt);
      await assert.rejects(failing, { message: failure.message }, name);
      assert.equal(running <= 1, true, name); // only the other pool's transfer may still be on its way
      await assert.rejects(other, { message: failure.message }, name);
      assert.deepEqual([attempts, running, started.length, started.includes('o6')], [wantedAttempts, 0, startedBeforeHalt, false], name);
    }
  });
});
