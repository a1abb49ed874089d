'use strict';
// Unpacking: the PowerShell fallback when tar fails, and the three ways an install ends in a
// message box after the download (runtime not unpacked, application not unpacked, no start).

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed, cPath } = require('./lib/testbed');
const { assertInstalled, assertStartedFrom } = require('./lib/expect');
const { REPO } = require('./lib/wine');
const { RUNTIME_PATH, runtimeArchive } = require('./lib/fixtures');

const BROKEN_APP_EXE = path.join(REPO, 'build', 'boot-test', 'payload-broken', 'Quorlin.exe');

let bed;
before(async () => { bed = await openTestBed(); });
after(async () => { if (bed) await bed.close(); });

function expandArchive(zip, dest) {
  return '"C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe" -NoProfile -ExecutionPolicy Bypass -Command '
    + `"Expand-Archive -LiteralPath '${zip}' -DestinationPath '${dest}' -Force"`;
}

/** The one message box of a failed install: the text, captioned "Quorlin", OK only, error icon. */
function assertFailure(result, text) {
  assert.equal(result.code, 0);
  assert.equal(result.boxes.length, 1);
  assert.deepEqual(result.boxes[0], { text, buttons: 1, okButton: true, icons: 1, ownerClass: 'QuorlinBoot' });
}

describe('tar fails', () => {
  test('PowerShell unpacks instead, with its own command line', async () => {
    bed.reset();
    const result = await bed.start({ env: { STANDIN_TAR: 'fail' } });
    assert.equal(result.code, 0);
    assert.deepEqual(result.boxes, []);
    const l = bed.layout;
    assert.deepEqual(bed.records('tar').map((r) => r.argv.slice(1)), [
      ['-xf', cPath(l.download), '-C', cPath(l.runtime)],
      ['-xf', cPath(l.appZip), '-C', cPath(l.app)],
    ]);
    assert.deepEqual(bed.records('powershell').map((r) => r.commandLine), [
      expandArchive(cPath(l.download), cPath(l.runtime)),
      expandArchive(cPath(l.appZip), cPath(l.app)),
    ]);
    assertInstalled(l);
    assertStartedFrom((await bed.waitForRecords('electron'))[0], l);
  });

  test('and PowerShell fails too: the runtime is not unpacked and the download is kept', async () => {
    bed.reset();
    const result = await bed.start({ env: { STANDIN_TAR: 'fail', STANDIN_POWERSHELL: 'fail' } });
    assertFailure(result, 'Dosyalar açılamadı (tar/Expand-Archive).');
    assert.deepEqual(fs.readFileSync(bed.layout.download), bed.runtimeZip);
    assert.equal(fs.existsSync(bed.layout.version), false);
    assert.equal(bed.records('powershell').length, 1);
    assert.deepEqual(bed.records('electron'), []);
  });
});

describe('install failures', () => {
  test('a broken application archive is reported and kept, with no version file', async () => {
    bed.reset();
    const result = await bed.start({ exe: BROKEN_APP_EXE });
    assertFailure(result, 'Quorlin dosyaları açılamadı.');
    assert.ok(fs.existsSync(bed.layout.exe), 'the runtime is installed');
    assert.deepEqual(fs.readFileSync(bed.layout.appZip),
      fs.readFileSync(path.join(REPO, 'build', 'boot-test', 'payload-broken.zip')));
    assert.equal(fs.existsSync(bed.layout.version), false);
    assert.equal(bed.records('powershell').length, 1, 'tar failed first');
    assert.deepEqual(bed.records('electron'), []);
  });

  test('a runtime archive without electron.exe: the start fails after the version file is written', async () => {
    bed.reset();
    bed.world.route(RUNTIME_PATH, { body: runtimeArchive({ withElectron: false }) });
    const result = await bed.start();
    assertFailure(result, 'Quorlin başlatılamadı.');
    assert.equal(fs.readFileSync(bed.layout.version, 'utf8'), '1.0.26|45.2.1');
    assert.equal(fs.existsSync(bed.layout.exe), false);
    assert.ok(fs.existsSync(path.join(bed.layout.app, 'main.js')));

    // The next start finds no runtime executable and downloads again.
    const again = await bed.start();
    assertFailure(again, 'Quorlin başlatılamadı.');
    assert.equal(bed.world.count(RUNTIME_PATH), 2);
    assert.deepEqual(bed.records('electron'), []);
  });
});
