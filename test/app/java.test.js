'use strict';
const { describe, test, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const endpoints = require('../../app/core/endpoints');
const java = require('../../app/setup/java');
const { startWorld } = require('../support/world');
const { PATHS, useWorld } = require('../support/fabric-world');
const { standInTools } = require('../support/bin');
const { testContext } = require('../support/context');

const REAL = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata', 'java-version');
const NO_REAL = !fs.existsSync(REAL) && `real java -version outputs not found at ${REAL}`;
// the major of each published output by block number; 0 where no version is quoted
const PUBLISHED = [17, 21, 21, 17, 25, 8, 8, 7, 8, 0, 21, 0, 21, 21, 25, 25, 25, 0, 25, 17, 11, 17, 21, 11, 0, 0, 11, 8];

test('parseJavaMajor reads the quoted version, the old 1.x numbering included', () => {
  for (const [text, major] of [
    ['java version "1.8.0_401"', 8], ['openjdk version "25" 2025-09-16', 25], ['openjdk version "25.0.1" 2025-10-21', 25],
    ['openjdk 25.0.1 2025-10-21 LTS', 0], ['', 0], ['java version "1"', 0], ['openjdk version "110.2"', 110],
  ]) assert.equal(java.parseJavaMajor(text), major, text);
});

test('parseJavaMajor reads every real java -version output', { skip: NO_REAL }, () => {
  const published = fs.readFileSync(path.join(REAL, 'published-java-version-outputs.txt'), 'utf8');
  const blocks = [...published.matchAll(/^=== (\d+) [^\n]*\n[\s\S]*?-----8<-----\n([\s\S]*?)-----8<-----/gm)];
  assert.equal(blocks.length, PUBLISHED.length, 'every published block has its expected major');
  for (const [, n, text] of blocks) assert.equal(java.parseJavaMajor(text), PUBLISHED[n - 1], `block ${n}`);
  for (const name of fs.readdirSync(path.join(REAL, 'captured'))) {
    // `-version` prints on standard error; `--version` prints no quoted version
    const major = name.endsWith('.stderr.txt') && !name.includes('dashdash') ? Number(/-(\d+)-/.exec(name)[1]) : 0;
    assert.equal(java.parseJavaMajor(fs.readFileSync(path.join(REAL, 'captured', name), 'utf8')), major, name);
  }
});

const top = fs.mkdtempSync(path.join(os.tmpdir(), 'java-'));
after(() => fs.rmSync(top, { recursive: true, force: true }));

function touch(file, text = '') {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, text, { mode: 0o755 });
  return file;
}

test('findFiles searches as many folder levels as its depth says, in lower case, and passes over what is missing', () => {
  for (const [rel, depth, found] of [
    ['java.exe', 0, true], ['a/java.exe', 0, false], ['a/b/c/d/java.exe', 4, true], ['a/b/c/d/e/java.exe', 4, false],
    ['java-runtime-delta/windows-x64/java-runtime-delta/bin/JAVA.EXE', 5, true],
  ]) {
    const dir = fs.mkdtempSync(path.join(top, 'f-'));
    const file = touch(path.join(dir, ...rel.split('/')));
    touch(path.join(path.dirname(file), 'javaw.exe'));
    assert.deepEqual(java.findFiles(dir, 'java.exe', depth), found ? [file] : [], `${rel} @${depth}`);
  }
  assert.deepEqual(java.findFiles(path.join(top, 'nowhere'), 'java.exe', 4, ['kept']), ['kept']);
});

test('javaMajor runs the command with -version and reads standard error before standard output; 0 when it cannot start', async () => {
  const exe = touch(path.join(top, 'probe', 'java'), `#!/bin/sh\n[ "$1" = -version ] || exit 1\n`
    + `echo 'openjdk version "21.0.2"'\necho 'openjdk version "25.0.1" 2025-10-21' >&2\n`);
  assert.deepEqual([await java.javaMajor(exe), await java.javaMajor(path.join(top, 'probe', 'missing'))], [25, 0]);
});

describe('ensureJava', { skip: NO_REAL }, () => {
  let world, ctx, tools;
  // A java that prints the real version text of `kind` (a major), prints nothing, or hangs
  const TEXT = { 25: 'temurin-25-jdk-amd64', 17: 'java-17-openjdk-amd64' };
  const javaScript = (kind) => `#!/bin/sh\n${{ hang: 'exec /bin/sleep 30', mute: 'exit 1' }[kind]
    || `/bin/cat '${path.join(REAL, 'captured', `${TEXT[kind]}.version.stderr.txt`)}' >&2`}\n`;
  // the tar stand-in's plan: it unpacks these files, named below the runtime folder
  const unpacking = (files) => ({ tar: { files: Object.fromEntries(Object.entries(files)
    .map(([rel, text]) => [path.join(ctx.paths.RUNTIME_DIR, rel), text])) } });
  const ensure = (env) => java.ensureJava(ctx, { platform: 'win32', env, tar: path.join(tools.bin, 'tar') });

  before(async () => {
    [world, tools] = [await startWorld({ https: true }), standInTools()];
    // tar runs in the launcher's own environment
    Object.assign(process.env, { QUORLIN_TOOL_PLAN: tools.env.QUORLIN_TOOL_PLAN, QUORLIN_TOOL_LOG: tools.env.QUORLIN_TOOL_LOG });
    useWorld(endpoints, world);
    // long enough for a real probe on a loaded machine; only the one hanging candidate waits it out
    java.limits.probeMs = 2000;
  });
  after(() => Promise.all([tools.remove(), world.close()]));
  beforeEach(() => {
    ctx = testContext({ dir: fs.mkdtempSync(path.join(top, 'case-')) });
    world.reset();
  });

  test('takes the first candidate that starts a Java 25: own runtime, official launcher, JAVA_HOME, search path', async () => {
    const own = (dir) => path.join(ctx.paths.RUNTIME_DIR, dir, 'bin', 'java.exe');
    const official = path.join(ctx.paths.MC_DIR, 'runtime', 'java-runtime-delta', 'windows-x64', 'java-runtime-delta', 'bin', 'java.exe');
    const [home, bin] = ['jdk', 'bin'].map((name) => path.join(top, name));
    for (const [name, setup, expected] of [
      ['whatever is not a Java 25 is passed over', () => {
        for (const [file, kind] of [[own('jdk-17'), 17], [own('broken'), 'mute'], [own('stuck'), 'hang'],
          [path.join(home, 'bin', 'java.exe'), 17], [path.join(bin, 'java'), 25]]) touch(file, javaScript(kind));
      }, 'java'],
      ['JAVA_HOME', () => {
        fs.rmSync(path.dirname(path.dirname(own('stuck'))), { recursive: true });
        touch(path.join(home, 'bin', 'java.exe'), javaScript(25));
      }, path.join(home, 'bin', 'java.exe')],
      ['the official launcher', () => touch(official, javaScript(25)), official],
      ['the own runtime', () => touch(own('jdk-25.0.4.1+1-jre'), javaScript(25)), own('jdk-25.0.4.1+1-jre')],
    ]) {
      setup();
      ctx.lines.length = 0;
      assert.equal(await ensure({ JAVA_HOME: home, PATH: bin }), expected, name);
      assert.deepEqual(ctx.lines, [`[Quorlin] Java: ${expected}`], name);
    }
    assert.equal(world.requests.length, 0);
  });

  test('an archive already in the cache is unpacked into the own runtime folder without a download', async () => {
    touch(path.join(ctx.paths.CACHE_DIR, 'jre25.zip'));
    tools.plan(unpacking({ 'jdk-25/bin/java.exe': javaScript(25) }));
    assert.deepEqual([await ensure({ PATH: '' }), world.requests.length], [path.join(ctx.paths.RUNTIME_DIR, 'jdk-25', 'bin', 'java.exe'), 0]);
  });

  test('failures say why; an archive tar failed on is removed, one a missing tar never read is kept', async () => {
    const zip = () => path.join(ctx.paths.CACHE_DIR, 'jre25.zip');
    // [case, the tar stand-in's plan and options (none: nothing to download), error, archive kept]
    for (const [name, tar, message, kept] of [
      ['tar fails', [{ tar: { code: 2, stderr: 'tar: Error opening archive: Unrecognized archive format' } }],
        /^Java arşivi açılamadı \(tar çıkış kodu 2\): tar: Error opening archive: Unrecognized archive format$/, false],
      ['tar is missing', [{}, { missing: ['tar'] }], /^Java arşivi açılamadı: .*tar çalıştırılamadı \(spawn .*ENOENT\)$/, true],
      ['no Java 25 inside', [unpacking({ 'jdk-17/bin/java.exe': javaScript(17) })], /^Java 25 kurulamadı$/, false],
      ['no download', null, /^HTTP 404 — https:\/\/localhost:\d+\/v3\/binary\/latest\/25\//, false],
    ]) {
      fs.rmSync(zip(), { force: true });
      world.reset();
      if (tar) world.route(PATHS.jre, { body: 'PK' });
      tools.plan(...(tar || []));
      await assert.rejects(ensure({ PATH: '' }), { message }, name);
      assert.equal(fs.existsSync(zip()), kept, name);
    }
  });
});
