'use strict';
// The archives the cases serve and carry: the stand-in runtime archive (as the release host
// would serve it; the same bytes at every run, so a build can be given its digest) and a
// damaged application archive. Run as a program it writes the damaged application archive or
// prints the runtime archive's SHA-256:
//   node fixtures.js broken-app <out.zip>
//   node fixtures.js runtime-sha256

const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { makeZip } = require('../../../../test/support/zip');
const { BIN } = require('./wine');

const RUNTIME_PATH = '/electron/electron/releases/download/v45.2.1/electron-v45.2.1-win32-x64.zip';

/** Bytes that do not compress, the same at every run. */
function noise(length) {
  const blocks = [];
  for (let i = 0; i * 32 < length; i++) blocks.push(crypto.createHash('sha256').update(`runtime ${i}`).digest());
  return Buffer.concat(blocks).subarray(0, length);
}

/** The runtime archive; without electron.exe when withElectron is false. */
function runtimeArchive({ withElectron = true } = {}) {
  const entries = [
    { name: 'LICENSE', data: 'Copyright (c) the runtime authors\n'.repeat(20) },
    { name: 'version', data: '45.2.1' },
    // Big enough for the "MB" figures to move: 2.5 MiB that does not compress, so it is stored.
    { name: 'chrome_100_percent.pak', data: noise(2.5 * 1024 * 1024) },
    { name: 'locales/' },
    { name: 'locales/tr.pak', data: 'tr '.repeat(500) },
    { name: 'resources/' },
    { name: 'resources/default_app.asar', data: 'default application '.repeat(200) },
  ];
  if (withElectron) entries.unshift({ name: 'electron.exe', data: fs.readFileSync(path.join(BIN, 'electron.exe')) });
  return makeZip(entries);
}

/** An application archive whose main.js does not match its checksum. */
function brokenAppArchive() {
  return makeZip([
    { name: 'package.json', data: '{"name":"quorlin","main":"main.js"}\n' },
    { name: 'main.js', data: "'use strict';\nconsole.log('Quorlin');\n".repeat(50) },
  ], { damage: 'main.js' });
}

if (require.main === module && process.argv[2] === 'broken-app') fs.writeFileSync(process.argv[3], brokenAppArchive());
if (require.main === module && process.argv[2] === 'runtime-sha256') {
  console.log(crypto.createHash('sha256').update(runtimeArchive()).digest('hex'));
}

module.exports = { RUNTIME_PATH, runtimeArchive };
