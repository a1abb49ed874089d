'use strict';
// Checks shared by the cases: what a successful install leaves and how the runtime was started.

const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { cPath, unzip, CARRIED_ARCHIVE, STAMP, TEST_EXE } = require('./testbed');
const { winPath, BUILD } = require('./wine');

/** Files under dir by relative name, with their contents (texts when encoding is given). */
function tree(dir, encoding, prefix = '', files = {}) {
  for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
    if (e.isDirectory()) tree(path.join(dir, e.name), encoding, `${prefix}${e.name}/`, files);
    else files[prefix + e.name] = fs.readFileSync(path.join(dir, e.name), encoding);
  }
  return files;
}

/** The runtime under its product name, the carried application unpacked, the 13-byte stamp. */
function assertInstalled(layout) {
  assert.ok(fs.statSync(layout.exe).isFile(), 'runtime executable under the product name');
  assert.ok(fs.existsSync(path.join(layout.runtime, 'locales', 'tr.pak')), 'rest of the runtime unpacked');
  assert.deepEqual([layout.electronExe, layout.defaultApp, layout.download, layout.part, layout.appZip].filter(fs.existsSync),
    [], 'electron.exe renamed; default_app.asar, both archives and the partial download gone');
  assertCarriedApp(layout);
  assert.deepEqual(fs.readFileSync(layout.version), Buffer.from(STAMP, 'utf8'));
}

/** Files by name with the SHA-256 of each instead of their contents: a failure's diff stays small. */
function hashed(files) {
  return Object.fromEntries(Object.entries(files).map(([name, data]) => [name, crypto.createHash('sha256').update(data).digest('hex')]));
}

/** hashed() of the files under dir. */
function hashedTree(dir) {
  return hashed(tree(dir));
}

/** The carried archive's files as hashedTree gives them. */
function carriedTree() {
  const carried = path.join(BUILD, 'carried-app');
  fs.rmSync(carried, { recursive: true, force: true });
  unzip(CARRIED_ARCHIVE, carried);
  return hashedTree(carried);
}

/** The application directory holds exactly the carried archive's files. */
function assertCarriedApp(layout) {
  const files = carriedTree();
  assert.ok('main.js' in files);
  assert.deepEqual(hashedTree(layout.app), files);
}

/** One start record of the runtime: from its own directory, no arguments, both variables. */
function assertStartedFrom(record, layout, bootExe = TEST_EXE) {
  const exe = cPath(layout.exe);
  assert.deepEqual(
    [record.self.toLowerCase(), record.cwd.toLowerCase(), record.argc, record.QUORLIN_EXE, record.QUORLIN_BOOT, record.appPresent],
    [exe.toLowerCase(), cPath(layout.runtime).toLowerCase(), 1, exe, winPath(bootExe), true], record.commandLine);
}

/** A start that installed under layout without a message box and started the runtime once. */
async function assertRanFrom(bed, result, layout = bed.layout, bootExe = TEST_EXE) {
  assert.deepEqual([result.code, result.boxes], [0, []]);
  assertInstalled(layout);
  const starts = await bed.waitForRecords('electron');
  assert.equal(starts.length, 1);
  assertStartedFrom(starts[0], layout, bootExe);
}

module.exports = { tree, hashed, hashedTree, carriedTree, assertInstalled, assertCarriedApp, assertStartedFrom, assertRanFrom };
