'use strict';
// The three ways an install ends in a message box after the download: runtime not unpacked,
// application not unpacked, no start.

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed } = require('./lib/testbed');
const { REPO } = require('./lib/wine');
const { RUNTIME_PATH, runtimeArchive } = require('./lib/fixtures');

const BROKEN_APP_EXE = path.join(REPO, 'build', 'boot-test', 'payload-broken', 'Quorlin.exe');

let bed;
before(async () => { bed = await openTestBed(); });
after(async () => { if (bed) await bed.close(); });

/** The one message box of a failed install: the text, captioned "Quorlin", OK only, error icon. */
function assertFailure(result, text) {
  assert.deepEqual([result.code, result.boxes], [0, [{ text, buttons: 1, okButton: true, icons: 1, ownerClass: 'QuorlinBoot' }]]);
}

describe('install failures', () => {
  test('tar and PowerShell fail: the runtime is not unpacked and the download is kept', async () => {
    bed.reset();
    const result = await bed.start({ env: { STANDIN_TAR: 'fail', STANDIN_POWERSHELL: 'fail' } });
    assertFailure(result, 'Dosyalar açılamadı (tar/Expand-Archive).');
    assert.deepEqual(fs.readFileSync(bed.layout.download), bed.runtimeZip);
    assert.equal(fs.existsSync(bed.layout.version), false);
    assert.equal(bed.records('powershell').length, 1);
    assert.deepEqual(bed.records('electron'), []);
  });

  test('a broken application archive is reported and kept, with no version file', async () => {
    bed.reset();
    const result = await bed.start({ exe: BROKEN_APP_EXE });
    assertFailure(result, 'Quorlin dosyaları açılamadı.');
    assert.deepEqual(fs.readFileSync(bed.layout.appZip),
      fs.readFileSync(path.join(REPO, 'build', 'boot-test', 'payload-broken.zip')));
    assert.deepEqual([bed.layout.exe, bed.layout.version].map((f) => fs.existsSync(f)), [true, false], 'the runtime only');
    assert.equal(bed.records('powershell').length, 1, 'tar failed first');
    assert.deepEqual(bed.records('electron'), []);
  });

  test('a runtime archive without electron.exe: the start fails after the version file is written', async () => {
    bed.reset();
    bed.world.route(RUNTIME_PATH, { body: runtimeArchive({ withElectron: false }) });
    const result = await bed.start();
    assertFailure(result, 'Quorlin başlatılamadı.');
    assert.equal(fs.readFileSync(bed.layout.version, 'utf8'), '1.0.26|45.2.1');
    assert.deepEqual([bed.layout.exe, path.join(bed.layout.app, 'main.js')].map((f) => fs.existsSync(f)), [false, true]);

    // The next start finds no runtime executable and downloads again.
    const again = await bed.start();
    assertFailure(again, 'Quorlin başlatılamadı.');
    assert.equal(bed.world.count(RUNTIME_PATH), 2);
    assert.deepEqual(bed.records('electron'), []);
  });
});
