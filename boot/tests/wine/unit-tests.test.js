'use strict';
// The bootstrapper's unit tests built for Windows (the Windows layer's own tests among them),
// run under Wine.

const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const wine = require('./lib/wine');

const UNIT_TESTS = path.join(wine.REPO, 'build', 'boot-test', 'boot_unit_tests.exe');

test('the unit tests pass under Wine', async (t) => {
  if (!fs.existsSync(UNIT_TESTS)) {
    t.skip(`${UNIT_TESTS} is not built`);
    return;
  }
  const x = await wine.startXvfb();
  try {
    const session = await wine.startWineSession(x.display);
    try {
      const r = await wine.run('wine', [UNIT_TESTS, '--gtest_brief=1'], { env: session.env, timeout: 180000 });
      assert.equal(r.code, 0, r.stdout + r.stderr);
      assert.match(r.stdout, /PASSED/);
    } finally {
      await session.stop();
    }
  } finally {
    await x.stop();
  }
});
