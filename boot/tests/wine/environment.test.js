'use strict';
// Where the install goes: under LOCALAPPDATA when every path of the layout, and every file of
// the application, fits a path buffer there; otherwise whole under C:\Quorlin, never cut or
// split between the two. And a start where no window can be made at all.

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed, layoutUnder, CARRIED_ARCHIVE } = require('./lib/testbed');
const { readZip } = require('./lib/zip');
const { assertInstalled, assertStartedFrom } = require('./lib/expect');
const { PREFIX } = require('./lib/wine');
const { RUNTIME_PATH } = require('./lib/fixtures');

const DRIVE_C = path.join(PREFIX, 'drive_c');
// The base may be as long as leaves room for the longest path of the layout and for the
// application's deepest file inside a staged copy.
const LAYOUT_TAIL = '\\Quorlin\\runtime\\resources\\default_app.asar'.length;
const STAGE_TAIL = '\\Quorlin\\runtime\\resources\\app.new\\'.length
  + Math.max(...readZip(fs.readFileSync(CARRIED_ARCHIVE)).map((e) => e.name.length));
const LONGEST_BASE = 259 - Math.max(LAYOUT_TAIL, STAGE_TAIL);

let bed;
before(async () => { bed = await openTestBed(); });
after(async () => {
  fs.rmSync(path.join(DRIVE_C, 'deep'), { recursive: true, force: true });
  if (bed) await bed.close();
});

/** An existing folder on C: whose Windows path is exactly `length` characters long. */
function folderOfLength(length) {
  const parts = ['deep'];
  for (let left = length - 'C:\\deep'.length; left > 0;) {
    let take = Math.min(61, left); // a backslash and up to 60 characters
    if (left - take === 1) take -= 1; // never leave a part of no characters
    parts.push('d'.repeat(take - 1));
    left -= take;
  }
  const windows = 'C:\\' + parts.join('\\');
  assert.equal(windows.length, length);
  fs.rmSync(path.join(DRIVE_C, 'deep'), { recursive: true, force: true });
  const unix = path.join(DRIVE_C, ...parts);
  fs.mkdirSync(unix, { recursive: true });
  return { windows, unix };
}

async function assertRunsUnder(layout, result) {
  assert.equal(result.code, 0);
  assert.deepEqual(result.boxes, []);
  assertInstalled(layout);
  assertStartedFrom((await bed.waitForRecords('electron'))[0], layout);
}

describe('local application data', () => {
  test('unset: the install goes under C:\\Quorlin', async () => {
    bed.reset();
    const result = await bed.start({ unset: ['LOCALAPPDATA'] });
    await assertRunsUnder(bed.fallbackLayout, result);
    assert.equal(fs.existsSync(bed.layout.root), false);
  });

  test('a folder named with Turkish letters and a typographic apostrophe: the install goes under it', async () => {
    bed.reset();
    const unix = path.join(DRIVE_C, 'deep', 'Çağrı O’Neil', 'AppData', 'Local');
    fs.mkdirSync(unix, { recursive: true });
    // PowerShell reads ’ as a quote: the unpacking through it must still work.
    const result = await bed.start({ set: { LOCALAPPDATA: 'C:\\deep\\Çağrı O’Neil\\AppData\\Local' },
      env: { STANDIN_TAR: 'fail' } });
    await assertRunsUnder(layoutUnder(path.join(unix, 'Quorlin')), result);
    assert.equal(bed.records('powershell').length, 2);
  });

  test('as long as the layout allows: the install goes under it', async () => {
    bed.reset();
    const base = folderOfLength(LONGEST_BASE);
    const result = await bed.start({ set: { LOCALAPPDATA: base.windows } });
    await assertRunsUnder(layoutUnder(path.join(base.unix, 'Quorlin')), result);
    assert.equal(fs.existsSync(bed.fallbackLayout.root), false);
  });

  // [length of LOCALAPPDATA in characters]
  for (const length of [LONGEST_BASE + 1, 300]) {
    test(`${length} characters, too long for the layout: the whole install goes under C:\\Quorlin`, async () => {
      bed.reset();
      const base = folderOfLength(length);
      const result = await bed.start({ set: { LOCALAPPDATA: base.windows } });
      await assertRunsUnder(bed.fallbackLayout, result);
      assert.deepEqual(fs.readdirSync(base.unix), [], 'nothing under the long directory');
    });
  }
});

describe('no display', () => {
  // Without a display the progress window cannot be created.
  const NO_DISPLAY = { DISPLAY: ':999' };

  test('the install runs to its end without the window, and the process ends', async () => {
    bed.reset();
    const result = await bed.start({ env: NO_DISPLAY });
    assert.equal(result.card, null);
    await assertRunsUnder(bed.layout, result);
  });

  test('a failed install ends the process too', async () => {
    bed.reset();
    bed.world.route(RUNTIME_PATH, { status: 404 });
    const result = await bed.start({ env: NO_DISPLAY });
    assert.equal(result.code, 0);
    assert.equal(bed.world.count(RUNTIME_PATH), 3);
    assert.equal(fs.existsSync(bed.layout.version), false);
  });
});
