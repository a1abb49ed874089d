'use strict';
// The bootstrapper signed with Authenticode, as `make release` signs it: the signature appended
// to the file leaves the carried archive where the program finds it.

const { test, before, after } = require('node:test');
const { execFileSync } = require('node:child_process');
const path = require('node:path');
const { openTestBed } = require('./lib/testbed');
const { assertRanFrom } = require('./lib/expect');
const { REPO } = require('./lib/wine');

// The test program signed with a throwaway chain (mk/release.mk) whose root is keys/root.pem.
const SIGNED = path.join(REPO, 'build', 'boot-test', 'signed');
const SIGNED_EXE = path.join(SIGNED, 'Quorlin.exe');

let bed;
before(async () => { bed = await openTestBed(); });
after(async () => { if (bed) await bed.close(); });

test('a signed executable installs its carried application and starts the runtime', async () => {
  execFileSync('osslsigncode', ['verify', '-CAfile', path.join(SIGNED, 'keys', 'root.pem'), '-in', SIGNED_EXE], { stdio: 'ignore' });
  bed.reset();
  await assertRanFrom(bed, await bed.start({ exe: SIGNED_EXE }), bed.layout, SIGNED_EXE);
});
