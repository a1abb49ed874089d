'use strict';
// Checks shared by the cases: what a successful install leaves and how the runtime was started.

const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { readZip } = require('./zip');
const { cPath, CARRIED_ARCHIVE, STAMP, TEST_EXE } = require('./testbed');
const { winPath } = require('./wine');

/** The runtime under its product name, the carried application unpacked, the 13-byte stamp. */
function assertInstalled(layout) {
  assert.ok(fs.statSync(layout.exe).isFile(), 'runtime executable under the product name');
  assert.equal(fs.existsSync(layout.electronExe), false, 'electron.exe renamed');
  assert.equal(fs.existsSync(layout.defaultApp), false, 'default_app.asar deleted');
  assert.ok(fs.existsSync(path.join(layout.runtime, 'locales', 'tr.pak')), 'rest of the runtime unpacked');
  assert.equal(fs.existsSync(layout.download), false, 'runtime.zip deleted');
  assert.equal(fs.existsSync(layout.appZip), false, 'app.zip deleted');
  assertCarriedApp(layout);
  assert.deepEqual(fs.readFileSync(layout.version), Buffer.from(STAMP, 'utf8'));
}

/** The application directory holds exactly the carried archive's files. */
function assertCarriedApp(layout) {
  const entries = readZip(fs.readFileSync(CARRIED_ARCHIVE));
  assert.ok(entries.some((e) => e.name === 'main.js'));
  for (const { name, data } of entries) {
    const file = path.join(layout.app, ...name.split('/'));
    if (name.endsWith('/')) assert.ok(fs.statSync(file).isDirectory(), name);
    else assert.ok(data.equals(fs.readFileSync(file)), `${name} unpacked unchanged`);
  }
  const files = [];
  const walk = (dir, prefix) => {
    for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
      if (e.isDirectory()) walk(path.join(dir, e.name), `${prefix}${e.name}/`);
      else files.push(prefix + e.name);
    }
  };
  walk(layout.app, '');
  assert.deepEqual(files.sort(), entries.filter((e) => !e.name.endsWith('/')).map((e) => e.name).sort());
}

/** One start record of the runtime: from its own directory, no arguments, both variables. */
function assertStartedFrom(record, layout, bootExe = TEST_EXE) {
  const exe = cPath(layout.exe);
  assert.equal(record.self.toLowerCase(), exe.toLowerCase());
  assert.equal(record.cwd.toLowerCase(), cPath(layout.runtime).toLowerCase());
  assert.equal(record.argc, 1, `no arguments: ${record.commandLine}`);
  assert.equal(record.QUORLIN_EXE, exe);
  assert.equal(record.QUORLIN_BOOT, winPath(bootExe));
  assert.equal(record.appPresent, true, 'resources\\app\\main.js beside the runtime');
}

module.exports = { assertInstalled, assertCarriedApp, assertStartedFrom };
