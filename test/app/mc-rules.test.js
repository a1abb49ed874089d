'use strict';
const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');

const { mavenPath } = require('../../app/mc/rules');
const files = require('../../app/mc/files');

const { pool } = files;

// Fabric's library names become folders and a file name: none may lead elsewhere.
test('a library name that is no plain path is refused', () => {
  // too few pieces, or a piece or group step that is no plain file name
  for (const name of ['org.example:lib', 'org.evil:..:1', 'org..evil:x:1', 'org.evil:x:1:natives/../..', 'org.evil:x\\..:1',
    'org.evil:x:1.', 'org.evil:x :1', 'org.evil:x*?:1', 'org.evil:x:1\u0007']) {
    assert.throws(() => mavenPath(name), { message: `Geçersiz kütüphane adı: ${name}` });
  }
});

describe('pool', () => {
  const saved = { ...files.limits };
  before(() => { files.limits.retryPausesMs = [40, 80]; });
  after(() => Object.assign(files.limits, saved));
  const brief = (message) => Object.assign(new Error(message), { isTransient: true });

  // how many run at once and the count of successes show in the installation's own tests (mc-game)
  test('a brief fault is tried again after each pause, and the third attempt may still succeed', async (t) => {
    t.mock.timers.enable({ apis: ['setTimeout'] });
    const settled = () => new Promise(setImmediate);
    let attempts = 0;
    const done = pool(['x'], 1, async () => {
      if (++attempts < 3) throw brief('HTTP 503');
    });
    const seen = [];
    for (const ms of [0, 39, 1, 79, 1]) {
      t.mock.timers.tick(ms);
      await settled();
      seen.push(attempts);
    }
    await done;
    assert.deepEqual(seen, [1, 1, 2, 2, 3]);
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
