'use strict';
// Starts over an existing install: which version files re-install what, how a staged
// application is promoted or dropped, and the mend of an application directory that lost
// its main.js.

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed } = require('./lib/testbed');
const { assertInstalled, assertCarriedApp, assertStartedFrom } = require('./lib/expect');

let bed;
before(async () => { bed = await openTestBed(); });
after(async () => { if (bed) await bed.close(); });

/** Files under dir by relative name, with their text. */
function tree(dir, files = {}, prefix = '') {
  for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
    if (e.isDirectory()) tree(path.join(dir, e.name), files, `${prefix}${e.name}/`);
    else files[prefix + e.name] = fs.readFileSync(path.join(dir, e.name), 'utf8');
  }
  return files;
}

function write(file, text) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, text);
}

describe('version file', () => {
  // [version file, what the start does]
  const rows = [
    ['1.0.26|45.2.1\0 and more', 'launches at once'],
    ['1.0.26|45.2.1\r\n', 'installs the application'],
    ['1.0.25|45.2.1', 'installs the application'],
    ['1.0.26|45.2.0', 'installs runtime and application'],
  ];
  for (const [stamp, outcome] of rows) {
    test(`${JSON.stringify(stamp)} ${outcome}`, async () => {
      bed.reset();
      bed.seedInstall({ stamp });
      const fast = outcome === 'launches at once';
      const download = outcome === 'installs runtime and application';
      write(path.join(bed.layout.app, 'left-over.js'), 'old');
      const result = await bed.start();
      assert.equal(result.code, 0);
      assert.equal(result.card === null, fast, 'the card shows on the install path only');
      assert.deepEqual(result.boxes, []);
      assert.equal(bed.world.requests.length, download ? 1 : 0);
      assert.equal(bed.records('tar').length, fast ? 0 : download ? 2 : 1);
      if (!fast) assertInstalled(bed.layout);
      assertStartedFrom((await bed.waitForRecords('electron'))[0], bed.layout);
    });
  }

  test('a directory in place of the runtime executable: the runtime is installed again', async () => {
    bed.reset();
    bed.seedInstall();
    fs.rmSync(bed.layout.exe);
    fs.mkdirSync(bed.layout.exe);
    const result = await bed.start();
    assert.equal(result.code, 0);
    assert.equal(bed.world.requests.length, 1);
    assertInstalled(bed.layout);
    assert.equal((await bed.waitForRecords('electron')).length, 1);
  });
});

describe('fast launch', () => {
  test('a runtime executable the shell cannot start: the install path runs and reports the failed start', async () => {
    bed.reset();
    bed.seedInstall();
    fs.writeFileSync(bed.layout.exe, 'not a program');
    const result = await bed.start();
    assert.equal(result.code, 0);
    assert.notEqual(result.card, null);
    assert.deepEqual(result.boxes.map((b) => b.text), ['Quorlin başlatılamadı.']);
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
    assert.equal(result.code, 0);
    assert.equal(result.card, null);
    assert.equal(fs.existsSync(bed.layout.stage), false);
    assert.deepEqual(tree(bed.layout.app), { 'main.js': 'staged main', 'ui/index.html': 'staged page' });
    assertStartedFrom((await bed.waitForRecords('electron'))[0], bed.layout);
  });

  test('a stage promoted while the version file differs is then replaced by the install', async () => {
    bed.reset();
    bed.seedInstall({ stamp: '1.0.25|45.2.1' });
    write(path.join(bed.layout.stage, 'main.js'), 'staged main');
    const result = await bed.start();
    assert.equal(result.code, 0);
    assert.equal(fs.existsSync(bed.layout.stage), false);
    assertInstalled(bed.layout);
  });

  // [where main.js lies in the stage]
  for (const probe of [['app', 'main.js'], ['main.js', 'index.js']]) {
    test(`a stage with only ${probe.join('\\')} is removed and the application kept`, async () => {
      bed.reset();
      bed.seedInstall();
      write(path.join(bed.layout.stage, ...probe), 'staged');
      const result = await bed.start();
      assert.equal(result.code, 0);
      assert.equal(result.card, null);
      assert.equal(fs.existsSync(bed.layout.stage), false);
      assertCarriedApp(bed.layout);
      assert.equal((await bed.waitForRecords('electron')).length, 1);
    });
  }
});

describe('application directory without main.js', () => {
  const damage = [
    ['the application directory is gone', (l) => fs.rmSync(l.app, { recursive: true })],
    ['main.js is a directory', (l) => {
      fs.rmSync(path.join(l.app, 'main.js'));
      fs.mkdirSync(path.join(l.app, 'main.js'));
    }],
  ];
  for (const [name, spoil] of damage) {
    test(`${name}: the version file matches, yet the install path restores the application`, async () => {
      bed.reset();
      bed.seedInstall();
      spoil(bed.layout);
      const result = await bed.start();
      assert.equal(result.code, 0);
      assert.notEqual(result.card, null);
      assert.equal(bed.world.requests.length, 0, 'the runtime is kept');
      assertInstalled(bed.layout);
      assertStartedFrom((await bed.waitForRecords('electron'))[0], bed.layout);
    });
  }
});
