'use strict';
// Where the install goes: under LOCALAPPDATA when every path of the layout, and every file of
// the application, fits a path buffer there; otherwise whole under C:\Quorlin, never cut or
// split between the two. And a start where no window can be made at all.

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed, layoutUnder, CARRIED_ARCHIVE } = require('./lib/testbed');
const { assertRanFrom } = require('./lib/expect');
const { PREFIX } = require('./lib/wine');
const { RUNTIME_PATH } = require('./lib/fixtures');

const DRIVE_C = path.join(PREFIX, 'drive_c');
// The base may be as long as leaves room for the longest path of the layout and for the
// application's deepest file inside a staged copy.
const LAYOUT_TAIL = '\\Quorlin\\runtime\\resources\\default_app.asar'.length;
const STAGE_TAIL = '\\Quorlin\\runtime\\resources\\app.new\\'.length
  + Math.max(...execFileSync('zipinfo', ['-1', CARRIED_ARCHIVE], { encoding: 'utf8' }).split('\n').map((n) => n.length));
const LONGEST_BASE = 259 - Math.max(LAYOUT_TAIL, STAGE_TAIL);

let bed;
before(async () => { bed = await openTestBed(); });
after(async () => {
  fs.rmSync(path.join(DRIVE_C, 'deep'), { recursive: true, force: true });
  if (bed) await bed.close();
});

/** An existing folder on C: whose Windows path is exactly `length` characters long. */
function folderOfLength(length) {
  // Parts of 59 or 60 characters; a backslash that would end the path becomes a letter.
  const windows = ('C:\\deep' + `\\${'d'.repeat(59)}`.repeat(6)).slice(0, length).replace(/\\$/, 'd');
  fs.rmSync(path.join(DRIVE_C, 'deep'), { recursive: true, force: true });
  const unix = path.join(DRIVE_C, ...windows.slice(3).split('\\'));
  fs.mkdirSync(unix, { recursive: true });
  return { windows, unix };
}

describe('local application data', () => {
  const turkish = () => {
    const unix = path.join(DRIVE_C, 'deep', 'Çağrı O’Neil', 'AppData', 'Local');
    fs.mkdirSync(unix, { recursive: true });
    return { windows: 'C:\\deep\\Çağrı O’Neil\\AppData\\Local', unix };
  };
  // [LOCALAPPDATA, its folder (none: unset), whether the install goes under it, Unix variables]
  const rows = [
    ['unset', () => null, false],
    // PowerShell reads ’ as a quote: the unpacking through it must still work.
    ['a folder named with Turkish letters and a typographic apostrophe', turkish, true, { STANDIN_TAR: 'fail' }],
    [`${LONGEST_BASE} characters, as long as the layout allows`, () => folderOfLength(LONGEST_BASE), true],
    [`${LONGEST_BASE + 1} characters, too long for the layout`, () => folderOfLength(LONGEST_BASE + 1), false],
    ['300 characters', () => folderOfLength(300), false],
  ];
  for (const [name, folder, under, env = {}] of rows) {
    test(`${name}: the whole install goes under ${under ? 'it' : 'C:\\Quorlin'}`, async () => {
      bed.reset();
      const base = folder();
      const result = await bed.start({ env, ...base ? { set: { LOCALAPPDATA: base.windows } } : { unset: ['LOCALAPPDATA'] } });
      await assertRanFrom(bed, result, under ? layoutUnder(path.join(base.unix, 'Quorlin')) : bed.fallbackLayout);
      if (under) assert.equal(fs.existsSync(bed.fallbackLayout.root), false);
      else assert.deepEqual(base ? fs.readdirSync(base.unix) : [bed.layout.root].filter(fs.existsSync), []);
      if (env.STANDIN_TAR) assert.equal(bed.records('powershell').length, 2);
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
    await assertRanFrom(bed, result);
  });

  test('a failed install ends the process too', async () => {
    bed.reset();
    bed.world.route(RUNTIME_PATH, { status: 404 });
    const result = await bed.start({ env: NO_DISPLAY });
    assert.deepEqual([result.code, bed.world.count(RUNTIME_PATH), fs.existsSync(bed.layout.version)], [0, 3, false]);
  });
});
