'use strict';
// What the start-up guards against first: programs and libraries named like Windows' own in
// the folder the bootstrapper is started from (usually Downloads), and windows made before the
// DPI awareness is declared.

const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed, cPath, TEST_EXE } = require('./lib/testbed');
const { assertRanFrom } = require('./lib/expect');
const { BIN, BUILD, RELAYED, wineEnv } = require('./lib/wine');

const PLANTED = path.join(BUILD, 'planted');
const PLANTED_EXE = path.join(PLANTED, 'Quorlin.exe');

let bed;
before(async () => {
  bed = await openTestBed();
  fs.rmSync(PLANTED, { recursive: true, force: true });
  fs.mkdirSync(PLANTED, { recursive: true });
  for (const [file, planted] of [[TEST_EXE, 'Quorlin.exe'], ['planted.exe', 'cmd.exe'],
    ['planted.exe', 'powershell.exe'], ['planted.dll', 'wininet.dll']]) {
    fs.copyFileSync(path.resolve(BIN, file), path.join(PLANTED, planted));
  }
});
after(async () => {
  fs.rmSync(PLANTED, { recursive: true, force: true });
  if (bed) await bed.close();
});

function expandArchive(zip, dest) {
  return '"C:\\windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe" -NoProfile -ExecutionPolicy Bypass -Command '
    + `"Expand-Archive -LiteralPath '${zip}' -DestinationPath '${dest}' -Force"`;
}

test('cmd.exe, powershell.exe and wininet.dll beside the executable never run; the system\'s PowerShell unpacks', async () => {
  bed.reset();
  // A failing tar sends the unpacking to PowerShell as well. Wine would prefer its own
  // WinINet to any file; told otherwise, it searches as Windows does for a library that is
  // not a known DLL: the program's folder first.
  const env = { STANDIN_TAR: 'fail', WINEDLLOVERRIDES: `${wineEnv().WINEDLLOVERRIDES};wininet=n,b` };
  const result = await bed.start({ exe: PLANTED_EXE, env });
  const l = bed.layout;
  assert.deepEqual(bed.records('planted'), []);
  assert.deepEqual(bed.records('tar').map((r) => r.argv.slice(1)),
    [['-xf', cPath(l.download), '-C', cPath(l.runtime)], ['-xf', cPath(l.appZip), '-C', cPath(l.app)]]);
  assert.deepEqual(bed.records('powershell').map((r) => r.commandLine),
    [expandArchive(cPath(l.download), cPath(l.runtime)), expandArchive(cPath(l.appZip), cPath(l.app))]);
  await assertRanFrom(bed, result, bed.layout, PLANTED_EXE);
});

test('the DPI awareness comes before COM and before the first window', async () => {
  bed.reset();
  const result = await bed.start({ env: { WINEDEBUG: '+pid,+relay' } });
  assert.deepEqual(result.boxes, []);
  // "<pid>:<thread>:Call <dll>.<function>(…": the bootstrapper is the first process traced.
  const calls = [...result.stderr.matchAll(/^([0-9a-f]+):[0-9a-f]+:Call [\w.]+?\.(\w+)\(/gm)];
  assert.ok(calls.length > 0, 'Wine traced no calls');
  const firsts = [];
  for (const [, pid, name] of calls) {
    if (pid === calls[0][1] && RELAYED.includes(name) && !firsts.includes(name)) firsts.push(name);
  }
  assert.deepEqual(firsts, ['SetProcessDpiAwarenessContext', 'CoInitializeEx', 'CreateWindowExW']);
});
