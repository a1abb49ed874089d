'use strict';
// The bootstrapper's unit tests built for Windows (the Windows layer's own tests among them),
// run under Wine.

const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed } = require('./lib/testbed');
const wine = require('./lib/wine');

const UNIT_TESTS = path.join(wine.REPO, 'build', 'boot-test', 'boot_unit_tests.exe');

test('the unit tests pass under Wine', { skip: !fs.existsSync(UNIT_TESTS) && `${UNIT_TESTS} is not built` }, async () => {
  const bed = await openTestBed();
  try {
    const r = await wine.run('wine', [UNIT_TESTS, '--gtest_brief=1'], { env: bed.env, timeout: 180000 });
    assert.equal(r.code, 0, r.stdout + r.stderr);
    assert.match(r.stdout, /PASSED/);
  } finally {
    await bed.close();
  }
});
