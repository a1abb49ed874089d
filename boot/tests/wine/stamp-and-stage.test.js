'use strict';
// Starts over an existing install: which version files and damaged installs re-install what,
// how a staged application is promoted or dropped, and how the application it replaced is
// kept until the new one has shown its window, and comes back when it never does.

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { isDeepStrictEqual } = require('node:util');
const { openTestBed, write, STAMP } = require('./lib/testbed');
const { tree, hashed, hashedTree, carriedTree, assertInstalled, assertCarriedApp, assertStartedFrom, assertRanFrom } = require('./lib/expect');

let bed;
before(async () => { bed = await openTestBed(); });
after(async () => { if (bed) await bed.close(); });

function readOrNull(file) {
  return fs.existsSync(file) ? fs.readFileSync(file, 'utf8') : null;
}

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
      // An update's kept application, started once since.
      write(path.join(bed.layout.kept, 'main.js'), 'kept main');
      write(bed.layout.starts, '1');
      spoil(bed.layout);
      const result = await bed.start();
      // The card shows on the install path only.
      assert.deepEqual([result.code, result.boxes, result.card === null, bed.world.requests.length, bed.records('tar').length],
        [0, [], fast, download ? 1 : 0, fast ? 0 : download ? 2 : 1]);
      // The carried application makes the kept one stale; a fast launch counts the start.
      assert.deepEqual([fs.existsSync(bed.layout.kept), readOrNull(bed.layout.starts)], fast ? [true, '2'] : [false, null]);
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
  const UPDATE = { 'main.js': '// the update\n', 'ui/index.html': 'staged page' };

  function stageUpdate() {
    bed.reset();
    bed.seedInstall();
    for (const [name, data] of Object.entries(UPDATE)) write(path.join(bed.layout.stage, name), data);
  }

  // What the swap script leaves: the update in place of the application, which is kept, and
  // the count of its starts.
  function swapUpdate(starts) {
    bed.reset();
    bed.seedInstall();
    const l = bed.layout;
    fs.renameSync(l.app, l.kept);
    for (const [name, data] of Object.entries(UPDATE)) write(path.join(l.app, name), data);
    write(l.starts, starts);
  }

  // The kept application back in place, and the launcher told so.
  function assertRolledBack() {
    const l = bed.layout;
    assertCarriedApp(l);
    assert.deepEqual([fs.existsSync(l.kept), fs.existsSync(l.starts), readOrNull(l.rolledBack)], [false, false, '']);
  }

  // What the launcher's stand-in saw at its start number n (from 1).
  async function startSeen(n) {
    const r = (await bed.waitForRecords('electron', n))[n - 1];
    assertStartedFrom(r, bed.layout);
    return { main: r.appFirstLine, starts: r.appStarts, kept: r.keptApp };
  }

  test('an update that shows its window keeps nothing behind', async () => {
    stageUpdate();
    const env = { STANDIN_ELECTRON: 'shown' };
    const result = await bed.start({ env });
    assert.deepEqual([result.code, result.card, fs.existsSync(bed.layout.stage)], [0, null, false]);
    assert.deepEqual(tree(bed.layout.app, 'utf8'), UPDATE);
    // Promoted with the application it replaced kept, and this start counted.
    assert.deepEqual(await startSeen(1), { main: '// the update', starts: '1', kept: true });
    await bed.start({ env });
    assert.deepEqual(await startSeen(2), { main: '// the update', starts: null, kept: false });
    const l = bed.layout;
    assert.deepEqual([l.kept, l.starts, l.rolledBack].filter(fs.existsSync), []);
    assert.deepEqual(tree(l.app, 'utf8'), UPDATE);
  });

  test('an update that never shows its window gives way to the kept application at the third start', async () => {
    stageUpdate();
    const l = bed.layout;
    await bed.start();
    assertCarriedApp({ ...l, app: l.kept });
    assert.deepEqual(await startSeen(1), { main: '// the update', starts: '1', kept: true });
    await bed.start();
    assert.deepEqual(await startSeen(2), { main: '// the update', starts: '2', kept: true });
    const result = await bed.start();
    assert.deepEqual([result.code, result.card, result.boxes], [0, null, []]);
    assertRolledBack();
    const carriedMain = fs.readFileSync(path.join(l.app, 'main.js'), 'utf8').split(/\r?\n/)[0];
    assert.deepEqual(await startSeen(3), { main: carriedMain, starts: null, kept: false });
  });

  test('after a swap that started the update once, the next start that finds it failed brings the kept one back', async () => {
    // The script started the new launcher itself.
    swapUpdate('1\r\n');
    await bed.start();
    assert.deepEqual(await startSeen(1), { main: '// the update', starts: '2', kept: true });
    await bed.start();
    assertRolledBack();
  });

  test('an application held open is never cut by a promotion', async () => {
    stageUpdate();
    const l = bed.layout;
    const release = await bed.hold(path.join(l.app, 'main.js'));
    try {
      await bed.start();
    } finally {
      await release();
    }
    // Windows refuses to move a folder with a file open in it, and the update then waits; Wine
    // moves it. Either way the application is one of the two, whole.
    const app = hashedTree(l.app);
    assert.ok([carriedTree(), hashed(UPDATE)].some((whole) => isDeepStrictEqual(app, whole)), Object.keys(app).join(' '));
  });

  test('a failed update held open stays with its count until it can be removed whole', async () => {
    swapUpdate('2');
    const l = bed.layout;
    const release = await bed.hold(path.join(l.app, 'main.js'));
    try {
      await bed.start();
      assert.deepEqual([readOrNull(l.starts), fs.existsSync(path.join(l.kept, 'main.js')), fs.existsSync(l.rolledBack)],
        ['2', true, false]);
    } finally {
      await release();
    }
    await bed.start();
    assertRolledBack();
  });

  test('a stage promoted while the version file differs is then replaced by the install', async () => {
    bed.reset();
    bed.seedInstall({ stamp: '1.0.25|45.2.1' });
    write(path.join(bed.layout.stage, 'main.js'), 'staged main');
    const result = await bed.start();
    assert.deepEqual([result.code, fs.existsSync(bed.layout.stage), fs.existsSync(bed.layout.kept)], [0, false, false]);
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
