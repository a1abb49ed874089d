'use strict';
const { describe, test, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const endpoints = require('../../app/endpoints');
const { initState, state } = require('../../app/state');
const java = require('../../app/setup/java');
const { startWorld } = require('../support/world');
const { PATHS, useWorld, recordWindow } = require('../support/fabric-world');

const REAL = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata', 'java-version');
const HAS_REAL = fs.existsSync(REAL);
const NO_REAL = HAS_REAL ? false : `real java -version outputs not found at ${REAL}`;

describe('javaMajor', () => {
  test('reads the major version of the quoted version text', () => {
    for (const [text, major] of [
      ['java version "1.8.0_401"', 8], ['openjdk version "25" 2025-09-16', 25], ['openjdk version "25.0.1" 2025-10-21', 25],
      ['openjdk 25.0.1 2025-10-21 LTS', 0], ['', 0], ['java version "1"', 0], ['openjdk version "110.2"', 110],
    ]) assert.equal(java.javaMajor(text), major, text);
  });

  // by block number of the published outputs; 0 where the block has no quoted version
  const PUBLISHED = [17, 21, 21, 17, 25, 8, 8, 7, 8, 0, 21, 0, 21, 21, 25, 25, 25, 0, 25, 17, 11, 17, 21, 11, 0, 0, 11, 8];

  test('reads every real java -version output', { skip: NO_REAL }, () => {
    const published = fs.readFileSync(path.join(REAL, 'published-java-version-outputs.txt'), 'utf8');
    const blocks = [...published.matchAll(/^=== (\d+) [^\n]*\n[\s\S]*?-----8<-----\n([\s\S]*?)-----8<-----/gm)];
    assert.equal(blocks.length, PUBLISHED.length, 'every published block has its expected major');
    for (const [, n, text] of blocks) assert.equal(java.javaMajor(text), PUBLISHED[n - 1], `block ${n}`);
    const captured = path.join(REAL, 'captured');
    for (const name of fs.readdirSync(captured)) {
      // `-version` prints on standard error; `--version` prints no quoted version
      const major = name.endsWith('.stderr.txt') && !name.includes('dashdash') ? Number(/-(\d+)-/.exec(name)[1]) : 0;
      assert.equal(java.javaMajor(fs.readFileSync(path.join(captured, name), 'utf8')), major, name);
    }
  });
});

let base;
let top;
before(() => { base = fs.mkdtempSync(path.join(os.tmpdir(), 'java-')); });
after(() => fs.rmSync(base, { recursive: true, force: true }));
beforeEach(() => { top = fs.mkdtempSync(path.join(base, 'case-')); });

function touch(file, text = '') {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, text, { mode: 0o755 });
  return file;
}

test('findFiles searches as many folder levels as its depth says, in lower case, and passes over what is missing', () => {
  for (const [rel, depth, found] of [
    ['java.exe', 0, true], ['a/java.exe', 0, false], ['a/b/c/d/java.exe', 4, true], ['a/b/c/d/e/java.exe', 4, false],
    ['java-runtime-delta/windows-x64/java-runtime-delta/bin/JAVA.EXE', 5, true], ['a/b/c/d/e/java.exe', 5, true],
  ]) {
    const dir = fs.mkdtempSync(path.join(top, 'f-'));
    touch(path.join(dir, ...rel.split('/')));
    touch(path.join(dir, 'x', 'javaw.exe'));
    assert.deepEqual(java.findFiles(dir, 'java.exe', depth), found ? [path.join(dir, ...rel.split('/'))] : [], `${rel} @${depth}`);
  }
  const out = ['kept'];
  assert.equal(java.findFiles(path.join(top, 'nowhere'), 'java.exe', 4, out), out);
  assert.deepEqual(out, ['kept']);
});

test('the system tar is the one in the Windows system folder, elsewhere the one on the search path', () => {
  assert.equal(java.tarCommand('win32', { SystemRoot: 'D:\\WINDOWS' }), 'D:\\WINDOWS\\System32\\tar.exe');
  assert.equal(java.tarCommand('win32', {}), 'C:\\Windows\\System32\\tar.exe');
  assert.equal(java.tarCommand('linux', { SystemRoot: 'D:\\WINDOWS' }), 'tar');
});

describe('ensureJava', { skip: NO_REAL }, () => {
  const VERSION_TEXT = { 25: 'temurin-25-jdk-amd64.version.stderr.txt', 17: 'java-17-openjdk-amd64.version.stderr.txt' };
  let world;
  let restore;
  let sent;
  let tar;

  // A java that prints the real version text of `kind` (a major), prints nothing, or hangs
  function javaScript(kind) {
    const body = { hang: 'exec /bin/sleep 30', mute: 'exit 1' }[kind]
      || `/bin/cat '${path.join(REAL, 'captured', VERSION_TEXT[kind])}' >&2`;
    return `#!/bin/sh\n${body}\n`;
  }
  const fakeJava = (file, kind) => touch(file, javaScript(kind));

  // The "archive" names the files that the tar stand-in unpacks, or its failure; the stand-in
  // records its arguments in tar.args.
  function archive(files, fail) {
    return JSON.stringify({ files, fail });
  }

  before(async () => {
    world = await startWorld({ https: true });
    restore = useWorld(endpoints, world);
    java.limits.probeMs = 500;
  });
  after(async () => {
    restore();
    await world.close();
  });
  beforeEach(() => {
    initState({ env: { APPDATA: path.join(top, 'Roaming') }, home: top });
    sent = recordWindow(state);
    world.reset();
    tar = touch(path.join(top, 'tools', 'tar'), `#!${process.execPath}
const fs = require('fs'); const path = require('path');
const args = process.argv.slice(2);
fs.appendFileSync(__filename + '.args', JSON.stringify(args) + '\\n');
const { files, fail } = JSON.parse(fs.readFileSync(args[1], 'utf8'));
if (fail) { process.stderr.write(fail); process.exit(2); }
for (const [rel, text] of Object.entries(files)) {
  const to = path.join(args[3], rel);
  fs.mkdirSync(path.dirname(to), { recursive: true });
  fs.writeFileSync(to, text, { mode: 0o755 });
}
`);
  });

  const logs = () => sent.filter(([ch]) => ch === 'log').map(([, line]) => line);
  const labels = () => sent.filter(([ch]) => ch === 'progress').map(([, p]) => `${p.step}:${p.label}:${p.pct}`);

  test('takes the first candidate that starts a Java 25, in the order own runtime, official launcher, JAVA_HOME, search path', async () => {
    const own = (rel) => path.join(state.paths.RUNTIME_DIR, ...rel.split('/'));
    const official = path.join(state.paths.MC_DIR, 'runtime', 'java-runtime-delta', 'windows-x64', 'java-runtime-delta', 'bin', 'java.exe');
    const home = path.join(top, 'jdk');
    const bin = path.join(top, 'bin');
    for (const [name, setup, expected] of [
      ['everything but a Java 25 is passed over', () => {
        fakeJava(own('jdk-17/bin/java.exe'), 17);
        fakeJava(own('broken/bin/java.exe'), 'mute');
        fakeJava(own('stuck/bin/java.exe'), 'hang');
        fakeJava(path.join(home, 'bin', 'java.exe'), 17);
        fakeJava(path.join(bin, 'java'), 25);
      }, 'java'],
      ['JAVA_HOME before the search path', () => fakeJava(path.join(home, 'bin', 'java.exe'), 25), path.join(home, 'bin', 'java.exe')],
      ['the official launcher before JAVA_HOME', () => fakeJava(official, 25), official],
      ['the own runtime first', () => fakeJava(own('jdk-25.0.4.1+1-jre/bin/java.exe'), 25), own('jdk-25.0.4.1+1-jre/bin/java.exe')],
    ]) {
      setup();
      sent.length = 0;
      assert.equal(await java.ensureJava({ platform: 'win32', env: { JAVA_HOME: home, PATH: bin }, tar }), expected, name);
      assert.deepEqual(logs(), [`[Quorlin] Java: ${expected}`], name);
      assert.deepEqual(labels(), ['java:Java kontrol ediliyor:0'], name);
    }
    assert.equal(world.requests.length, 0);
  });

  test('without a Java 25 downloads the JRE, unpacks it with tar into the own runtime folder and uses it', async () => {
    world.route(PATHS.jre, { redirect: '/github/OpenJDK25U-jre_x64_windows_hotspot_25.0.4.1_1.zip' });
    world.route('/github/OpenJDK25U-jre_x64_windows_hotspot_25.0.4.1_1.zip', {
      body: archive({ 'jdk-25.0.4.1+1-jre/bin/java.exe': javaScript(25), 'jdk-25.0.4.1+1-jre/bin/javaw.exe': '' }),
    });
    const { RUNTIME_DIR, CACHE_DIR } = state.paths;
    const zip = path.join(CACHE_DIR, 'jre25.zip');
    const got = await java.ensureJava({ platform: 'win32', env: { PATH: '' }, tar });
    assert.equal(got, path.join(RUNTIME_DIR, 'jdk-25.0.4.1+1-jre', 'bin', 'java.exe'));
    assert.equal(world.requests[0].path, `${PATHS.jre}?project=jdk`);
    assert.deepEqual(fs.readFileSync(`${tar}.args`, 'utf8').trim().split('\n').map((l) => JSON.parse(l)), [['-xf', zip, '-C', RUNTIME_DIR]]);
    assert.equal(fs.existsSync(zip), false, 'the archive is gone once unpacked');
    const steps = labels();
    assert.deepEqual([steps[0], steps[1], steps.at(-2), steps.at(-1)], [
      'java:Java kontrol ediliyor:0', 'java:Java 25 indiriliyor:0', 'java:Java 25 indiriliyor:1', 'java:Java kuruluyor:1']);
    assert.deepEqual(logs(), [], 'no log line for a runtime that was just installed');
  });

  test('an archive already in the cache is unpacked without a download', async () => {
    touch(path.join(state.paths.CACHE_DIR, 'jre25.zip'), archive({ 'jdk-25/bin/java.exe': javaScript(25) }));
    const got = await java.ensureJava({ platform: 'win32', env: { PATH: '' }, tar });
    assert.equal(got, path.join(state.paths.RUNTIME_DIR, 'jdk-25', 'bin', 'java.exe'));
    assert.deepEqual([world.requests.length, labels().includes('java:Java 25 indiriliyor:0')], [0, false]);
  });

  test('failures: the user learns why, a bad archive is removed, one that a missing tar never read is kept', async () => {
    const zip = () => path.join(state.paths.CACHE_DIR, 'jre25.zip');
    for (const [name, body, tool, message, kept] of [
      ['tar fails', archive({}, 'tar: Error opening archive: Unrecognized archive format'), null,
        /^Java arşivi açılamadı \(tar çıkış kodu 2\): tar: Error opening archive: Unrecognized archive format$/, false],
      ['tar is missing', archive({ 'jdk-25/bin/java.exe': javaScript(25) }), path.join(top, 'no', 'tar.exe'),
        /^Java arşivi açılamadı: .*tar\.exe çalıştırılamadı/, true],
      ['no Java 25 inside', archive({ 'jdk-17/bin/java.exe': javaScript(17) }), null, /^Java 25 kurulamadı$/, false],
      ['no download', null, null, /^HTTP 404 — https:\/\/localhost:\d+\/v3\/binary\/latest\/25\//, false],
    ]) {
      fs.rmSync(zip(), { force: true });
      world.reset();
      if (body) world.route(PATHS.jre, { body });
      await assert.rejects(java.ensureJava({ platform: 'win32', env: { PATH: '' }, tar: tool || tar }), { message: message }, name);
      assert.equal(fs.existsSync(zip()), kept, name);
    }
  });
});
