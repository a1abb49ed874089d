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

  test('a Java asked before is not started again while its size and time hold; a damaged record or a changed file asks again', async () => {
    const runs = path.join(ctx.paths.BASE, 'runs');
    const home = path.join(ctx.paths.BASE, 'jdk');
    const exe = path.join(home, 'bin', 'java.exe');
    // the java of `kind` that also counts its starts
    const counting = (kind) => touch(exe, javaScript(kind).replace('\n', `\necho >> '${runs}'\n`));
    counting(25);
    const bin = path.dirname(touch(path.join(ctx.paths.BASE, 'bin', 'java'), javaScript(25)));
    const seen = [];
    for (const [name, change] of [
      ['first', () => {}],
      ['again', () => {}],
      ['damaged record', () => fs.writeFileSync(path.join(ctx.paths.CACHE_DIR, 'java-versions.json'), '{"')],
      ['now a Java 17', () => counting(17)],
    ]) {
      change();
      seen.push([name, await ensure({ JAVA_HOME: home, PATH: bin }), fs.readFileSync(runs, 'utf8').length]);
    }
    assert.deepEqual(seen, [['first', exe, 1], ['again', exe, 1], ['damaged record', exe, 2], ['now a Java 17', 'java', 3]]);
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

  test('a drive without room for the archive and the unpacked runtime is said before anything is written', async () => {
    const zip = path.join(ctx.paths.CACHE_DIR, 'jre25.zip');
    world.route(PATHS.jre, { body: Buffer.alloc(3 * 1024 * 1024) });
    const statfs = async () => ({ bavail: 50, bsize: 4 * 1024 * 1024 }); // 200 MiB free
    await assert.rejects(java.ensureJava(ctx, { platform: 'win32', env: { PATH: '' }, tar: path.join(tools.bin, 'tar'), statfs }),
      { message: 'Java için en az 203 MB boş alan gerekiyor.' });
    assert.deepEqual([fs.existsSync(zip), fs.existsSync(`${zip}.part`), world.count(PATHS.jre)], [false, false, 1]);
  });
});
