'use strict';
// A Java runtime of major version 25 or newer for the server and the game: one already on the
// computer, or the Adoptium JRE 25 downloaded and unpacked into the launcher's own runtime folder.
const fs = require('node:fs');
const path = require('node:path');
const { run } = require('../core/run');
const { checkSpace } = require('../core/files');
const { FileMemo } = require('../core/file-memo');

const MIN_MAJOR = 25;
/** Time limits in milliseconds. Tests shorten them; the product keeps these. */
const limits = {
  probeMs: 15 * 1000, // one `java -version`
  unpackMs: 10 * 60 * 1000, // unpacking the runtime archive
};
const MIB = 1024 * 1024;
// Room asked for the unpacked runtime on top of its archive: a Windows x64 JRE unpacks to a few
// times its archive's size, and this bound leaves it room to grow.
const JRE_UNPACKED_BYTES = 200 * MIB;
// `version "25.0.1"`, `version "25" 2025-09-16`, `version "1.8.0_401"`
const VERSION_TEXT = /version "(\d+)(?:\.(\d+))?/;

/** The Java major version named in the text of `java -version`: 8 for "1.8.0_401", 25 for "25.0.1"; 0 when none. */
function parseJavaMajor(text) {
  const m = VERSION_TEXT.exec(String(text));
  if (!m) return 0;
  // the old numbering puts the major second: 1.8 is Java 8
  return Number(m[1] === '1' ? m[2] || 0 : m[1]);
}

/**
 * Resolves to the major version of the Java runtime that the command `exe` starts, or 0 when
 * it cannot start, says no version or does not finish within the time limit. Never rejects.
 */
async function javaMajor(exe, env) {
  const r = await run(exe, ['-version'], { timeout: limits.probeMs, env });
  // Java prints its version on standard error
  return parseJavaMajor(`${r.stderr}${r.stdout}`);
}

/**
 * Every file below `dir` whose name in lower case equals `name`, depth first in listing order,
 * appended to `out`. `depth` is how many directory levels below `dir` are searched: with 4,
 * dir/a/b/c/d/java.exe is found and a file one level deeper is not. A missing or unreadable
 * folder adds nothing.
 */
function findFiles(dir, name, depth = 5, out = []) {
  if (depth < 0) return out;
  let entries;
  try {
    entries = fs.readdirSync(dir, { withFileTypes: true });
  } catch {
    return out;
  }
  for (const entry of entries) {
    const full = path.join(dir, entry.name);
    if (entry.isDirectory()) findFiles(full, name, depth - 1, out);
    else if (entry.name.toLowerCase() === name) out.push(full);
  }
  return out;
}

/** The system's `tar`: on Windows the one in the system folder, elsewhere the one on the search path. */
function tarCommand(platform, env) {
  if (platform !== 'win32') return 'tar';
  return path.win32.join(env.SystemRoot || env.windir || 'C:\\Windows', 'System32', 'tar.exe');
}

/**
 * The major version of `exe`: the one `java -version` told before while the file (a full path;
 * a bare command is resolved by the search path) keeps its size and modification time in
 * `known`, a FileMemo; otherwise asked of it, and remembered when it told one.
 */
async function knownMajor(exe, env, known) {
  const stat = path.isAbsolute(exe) ? await fs.promises.stat(exe).catch(() => null) : null;
  const remembered = stat && known.known(exe, stat);
  if (Number.isInteger(remembered) && remembered > 0) return remembered;
  const major = await javaMajor(exe, env);
  if (stat && major > 0) known.learn(exe, stat, major);
  return major;
}

/** The first of `candidates` that is a Java of at least major 25, tried one after the other; or null. */
async function firstJava(candidates, env, known) {
  try {
    for (const exe of candidates) {
      if ((await knownMajor(exe, env, known)) >= MIN_MAJOR) return exe;
    }
    return null;
  } finally {
    known.save();
  }
}

/**
 * Unpacks `zip` into `dir` with `tar` and deletes it. An archive that `tar` fails on is deleted
 * too, so the next attempt downloads it afresh instead of failing on the same file; when `tar`
 * itself cannot be started the archive is kept for the next attempt.
 */
async function unpackRuntime(tar, zip, dir) {
  fs.mkdirSync(dir, { recursive: true });
  const r = await run(tar, ['-xf', zip, '-C', dir], { timeout: limits.unpackMs });
  if (r.code === 0) {
    fs.rmSync(zip, { force: true });
    return;
  }
  if (r.error && r.error.code) throw new Error(`Java arşivi açılamadı: ${tar} çalıştırılamadı (${r.error.message})`);
  fs.rmSync(zip, { force: true });
  const why = r.code === null ? r.error.message : `tar çıkış kodu ${r.code}`;
  const said = r.stderr.trim();
  throw new Error(`Java arşivi açılamadı (${why})${said ? `: ${said}` : ''}`);
}

/**
 * Resolves to the path (or the bare command "java") of a Java runtime of major 25 or newer:
 * the launcher's own runtimes first, then the official launcher's, JAVA_HOME, and `java` on
 * the search path; otherwise the Adoptium JRE 25, downloaded (or taken from the cache) and
 * unpacked; a download cut short continues at the next attempt, and one that would not fit
 * on the drive stops before its body is written. Rejects with "Java 25 kurulamadı", the
 * shortage of room, the download's error or the unpacking's error. `platform`, `env`, `tar`
 * and `statfs` are the system's and the context's unless given.
 */
async function ensureJava(ctx, {
  platform = process.platform, env = ctx.env, tar = tarCommand(platform, env), statfs = fs.promises.statfs,
} = {}) {
  const { RUNTIME_DIR, MC_DIR, CACHE_DIR } = ctx.paths;
  const { progress } = ctx;
  progress('java', 'Java kontrol ediliyor', 0);
  const exe = platform === 'win32' ? 'java.exe' : 'java';
  const javaHome = env.JAVA_HOME ? [path.join(env.JAVA_HOME, 'bin', exe)] : [];
  const candidates = [
    ...findFiles(RUNTIME_DIR, exe, 4),
    ...findFiles(path.join(MC_DIR, 'runtime'), exe, 5),
    ...javaHome,
    'java',
  ];
  // the versions of the executables asked before: an unchanged one is not started again
  const known = new FileMemo(path.join(CACHE_DIR, 'java-versions.json'));
  const found = await firstJava(candidates, env, known);
  if (found) {
    ctx.log(`[Quorlin] Java: ${found}`);
    return found;
  }

  const zip = path.join(CACHE_DIR, 'jre25.zip');
  // an archive that is there is complete: downloads land under another name until they are
  if (!fs.existsSync(zip)) {
    progress('java', 'Java 25 indiriliyor', 0);
    const url = `${ctx.endpoints.adoptium}/v3/binary/latest/25/ga/windows/x64/jre/hotspot/normal/eclipse?project=jdk`;
    await ctx.http.download(url, zip, (pct) => progress('java', 'Java 25 indiriliyor', pct),
      { onStart: (toCome) => checkSpace(CACHE_DIR, toCome + JRE_UNPACKED_BYTES, (mb) => `Java için en az ${mb} MB boş alan gerekiyor.`, statfs) });
  }
  progress('java', 'Java kuruluyor', 1);
  await unpackRuntime(tar, zip, RUNTIME_DIR);
  const installed = await firstJava(findFiles(RUNTIME_DIR, exe, 4), env, known);
  if (!installed) throw new Error('Java 25 kurulamadı');
  return installed;
}

module.exports = { limits, parseJavaMajor, javaMajor, findFiles, ensureJava };
