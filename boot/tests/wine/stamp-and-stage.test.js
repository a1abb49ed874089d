'use strict';
// Starts over an existing install: which version files and damaged installs re-install what,
// and how a staged application is promoted or dropped.

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed, write, STAMP } = require('./lib/testbed');
const { tree, assertInstalled, assertCarriedApp, assertStartedFrom, assertRanFrom } = require('./lib/expect');

let bed;
before(async () => { bed = await openTestBed(); });
after(async () => { if (bed) await bed.close(); });

function replaceByDirectory(file) {
  fs.rmSync(file, { recursive: true });
  fs.mkdirSync(file);
}

describe('existing install', () => {
  // [version file, what the start does, damage to the install and how it is done]
  const rows = [
    ['1.0.26|45.2.1\0 and more', 'launches at once'],
    ['1.0.26|45.2.1\r\n', 'installs the application'],
    ['1.0.25|45.2.1', 'installs the application'],
    ['1.0.26|45.2.0', 'installs runtime and application'],
    [STAMP, 'installs runtime and application', 'a directory in place of the runtime executable',
      (l) => replaceByDirectory(l.exe)],
    [STAMP, 'installs the application', 'the application directory gone', (l) => fs.rmSync(l.app, { recursive: true })],
    [STAMP, 'installs the application', 'main.js a directory', (l) => replaceByDirectory(path.join(l.app, 'main.js'))],
  ];
  for (const [stamp, outcome, damage = '', spoil = () => {}] of rows) {
    test(`${JSON.stringify(stamp)} ${damage}: ${outcome}`, async () => {
      bed.reset();
      bed.seedInstall({ stamp });
      const fast = outcome === 'launches at once';
      const download = outcome === 'installs runtime and application';
      write(path.join(bed.layout.app, 'left-over.js'), 'old');
      spoil(bed.layout);
      const result = await bed.start();
      // The card shows on the install path only.
      assert.deepEqual([result.code, result.boxes, result.card === null, bed.world.requests.length, bed.records('tar').length],
        [0, [], fast, download ? 1 : 0, fast ? 0 : download ? 2 : 1]);
      if (!fast) await assertRanFrom(bed, result);
      else assertStartedFrom((await bed.waitForRecords('electron'))[0], bed.layout);
    });
  }

  test('a runtime executable the shell cannot start: the install path runs and reports the failed start', async () => {
    bed.reset();
    bed.seedInstall();
    fs.writeFileSync(bed.layout.exe, 'not a program');
    const result = await bed.start();
    assert.deepEqual([result.code, result.card !== null, result.boxes.map((b) => b.text)], [0, true, ['Quorlin başlatılamadı.']]);
    assert.equal(bed.world.requests.length, 0, 'the runtime counts as installed');
    assert.equal(bed.records('tar').length, 1, 'the application is installed again');
    assertCarriedApp(bed.layout);
  });
});

describe('staged application', () => {
  test('a stage with main.js at its root replaces the application, then fast launch runs it', async () => {
    bed.reset();
    bed.seedInstall();
    write(path.join(bed.layout.stage, 'main.js'), 'staged main');
    write(path.join(bed.layout.stage, 'ui', 'index.html'), 'staged page');
    const result = await bed.start();
    assert.deepEqual([result.code, result.card, fs.existsSync(bed.layout.stage)], [0, null, false]);
    assert.deepEqual(tree(bed.layout.app, 'utf8'), { 'main.js': 'staged main', 'ui/index.html': 'staged page' });
    assertStartedFrom((await bed.waitForRecords('electron'))[0], bed.layout);
  });

  test('a stage promoted while the version file differs is then replaced by the install', async () => {
    bed.reset();
    bed.seedInstall({ stamp: '1.0.25|45.2.1' });
    write(path.join(bed.layout.stage, 'main.js'), 'staged main');
    const result = await bed.start();
    assert.deepEqual([result.code, fs.existsSync(bed.layout.stage)], [0, false]);
    assertInstalled(bed.layout);
  });

  // [where main.js lies in the stage]
  for (const probe of [['app', 'main.js'], ['main.js', 'index.js']]) {
    test(`a stage with only ${probe.join('\\')} is removed and the application kept`, async () => {
      bed.reset();
      bed.seedInstall();
      write(path.join(bed.layout.stage, ...probe), 'staged');
      const result = await bed.start();
      assert.deepEqual([result.code, result.card, fs.existsSync(bed.layout.stage)], [0, null, false]);
      assertCarriedApp(bed.layout);
      assert.equal((await bed.waitForRecords('electron')).length, 1);
    });
  }
});
