'use strict';
// The diagnostics bundle: one ZIP where the user finds it, with what support needs to see why
// something went wrong: the launcher's logs, the server's and the game's latest.log, the crash
// reports of the last seven days, the settings, what is installed with the Java runtimes found,
// and a short system summary. Every text passes the redactor first; the account file is never
// read. Nothing is uploaded.
const fs = require('node:fs');
const fsp = require('node:fs/promises');
const os = require('node:os');
const path = require('node:path');
const { APP_VERSION, MC_VERSION, MOD_VERSION } = require('../core/layout');
const { logFiles, logsDir } = require('../core/log-file');
const { messageOf } = require('../core/window');
const { findFiles } = require('../setup/java');
const { createZipWriter } = require('../backup/zip-write');
const { stamp } = require('../backup/store');
const { readBounded, filesSince } = require('./read');
const { redactor } = require('./redact');

const TEXT_BYTES = 8 * 1024 * 1024; // of a log its end, of a crash report its start
const REPORT_DAYS = 7;
const DAY_MS = 24 * 60 * 60 * 1000;
const GIB = 1024 ** 3;
// What a Java run leaves in its folder when it crashes
const CRASH_FILES = [['crash-reports', /^crash-.*\.txt$/], ['.', /^hs_err_pid\d+\.log$/]];

const gb = (bytes) => `${(bytes / GIB).toFixed(1)} GB`;

/** Where the bundle goes: the Desktop, else Downloads, else the launcher's folder. `app` is Electron's. */
function bundleFolder(app, paths) {
  for (const name of ['desktop', 'downloads']) {
    try {
      const folder = app.getPath(name);
      if (fs.statSync(folder).isDirectory()) return folder;
    } catch {
      // the system names no such folder, or it is gone: the next one will do
    }
  }
  return paths.BASE;
}

// The names in `dir`, sorted; none when it is missing.
function namesIn(dir) {
  try {
    return fs.readdirSync(dir).sort();
  } catch {
    return [];
  }
}

// "name (size)" of each jar in a mods folder.
function modList(dir) {
  const jars = namesIn(dir).filter((n) => n.endsWith('.jar'));
  const kb = (n) => Math.ceil((fs.statSync(path.join(dir, n), { throwIfNoEntry: false })?.size ?? 0) / 1024);
  return jars.map((n) => `${n} (${kb(n)} KB)`).join(', ') || 'yok';
}

// The Java runtimes the launcher can find, each with the version its `release` file states.
function javaRuntimes({ RUNTIME_DIR, MC_DIR }, env, platform) {
  const exe = platform === 'win32' ? 'java.exe' : 'java';
  const found = [...findFiles(RUNTIME_DIR, exe, 4), ...findFiles(path.join(MC_DIR, 'runtime'), exe, 5)];
  if (env.JAVA_HOME) found.push(path.join(env.JAVA_HOME, 'bin', exe));
  return found.map((java) => {
    let version = 'sürümü bilinmiyor';
    try {
      const release = fs.readFileSync(path.join(path.dirname(path.dirname(java)), 'release'), 'utf8');
      version = /^JAVA_VERSION="([^"]*)"/m.exec(release)?.[1] || version;
    } catch {
      // a runtime without its release file still counts
    }
    return `${java} — ${version}`;
  });
}

// What is installed, with versions, as text.
function versionsText(ctx, platform) {
  const { GAME_ROOT, GAME_DIR, SERVER_DIR, MC_DIR } = ctx.paths;
  const fv = ctx.settings.lastFabric;
  return [
    `Quorlin ${APP_VERSION} (Electron ${process.versions.electron || '-'}, Node ${process.versions.node}, Chromium ${process.versions.chrome || '-'})`,
    `Minecraft ${MC_VERSION}, Brimlox modu ${MOD_VERSION}`,
    `Fabric (son bilinen): ${fv ? `yükleyici ${fv.loader}, kurucu ${fv.installer}` : 'yok'}`,
    `Sunucu: ${namesIn(SERVER_DIR).filter((n) => /^fabric-server-.*\.jar$/.test(n)).join(', ') || 'yok'}`,
    `Oyun sürümleri: ${namesIn(path.join(GAME_ROOT, 'versions')).join(', ') || 'yok'}`,
    `Resmî başlatıcıdaki Fabric sürümleri: ${namesIn(path.join(MC_DIR, 'versions')).filter((n) => n.startsWith('fabric-loader-')).join(', ') || 'yok'}`,
    `Oyun modları: ${modList(path.join(GAME_DIR, 'mods'))}`,
    `Sunucu modları: ${modList(path.join(SERVER_DIR, 'mods'))}`,
    'Java:',
    ...javaRuntimes(ctx.paths, ctx.env, platform).map((line) => `  ${line}`),
    '',
  ].join('\r\n');
}

// A short summary of the PC.
async function systemText(ctx) {
  const disk = await fsp.statfs(ctx.paths.APPDATA).catch(() => null);
  const cpus = os.cpus();
  return [
    `Sistem: ${os.version()} ${os.release()} (${os.arch()})`,
    `İşlemci: ${cpus[0]?.model?.trim() || 'bilinmiyor'} × ${cpus.length}`,
    `Bellek: ${gb(os.totalmem())} toplam, ${gb(os.freemem())} boş`,
    `Boş disk (${path.parse(ctx.paths.APPDATA).root || ctx.paths.APPDATA}): ${disk ? gb(Number(disk.bavail) * Number(disk.bsize)) : 'bilinmiyor'}`,
    `Dil ve saat dilimi: ${Intl.DateTimeFormat().resolvedOptions().locale}, ${Intl.DateTimeFormat().resolvedOptions().timeZone}`,
    `Oyun belleği ${ctx.settings.gameRam} GB, sunucu belleği ${ctx.settings.serverRam} GB`,
    '',
  ].join('\r\n');
}

// Every entry of the bundle, one at a time so that at most one text is held: [name, () => text or null].
async function* entries(ctx, now, platform) {
  const { BASE, GAME_DIR, SERVER_DIR } = ctx.paths;
  yield ['surumler.txt', () => versionsText(ctx, platform)];
  yield ['sistem.txt', () => systemText(ctx)];
  yield ['ayarlar.json', () => JSON.stringify(ctx.settings, null, 2)];
  for (const file of logFiles(logsDir({ BASE }))) yield [`launcher/${path.basename(file)}`, () => readBounded(file, TEXT_BYTES, { fromEnd: true })];
  for (const [side, dir] of [['sunucu', SERVER_DIR], ['oyun', GAME_DIR]]) {
    yield [`${side}/latest.log`, () => readBounded(path.join(dir, 'logs', 'latest.log'), TEXT_BYTES, { fromEnd: true })];
    for (const [folder, pattern] of CRASH_FILES) {
      for (const found of await filesSince(path.join(dir, folder), pattern, now.getTime() - REPORT_DAYS * DAY_MS)) {
        yield [path.posix.join(side, folder, found.name), () => readBounded(found.file, TEXT_BYTES)];
      }
    }
  }
}

/**
 * Writes the diagnostics bundle "quorlin-tanilama-<yyyy-mm-dd_HH-mm-ss>.zip" into `folder` and
 * resolves to its path. It is written under a ".part" name and renamed when complete, so a
 * failure leaves nothing behind; the failure is thrown.
 */
async function writeBundle(ctx, folder, { now = new Date(), platform = process.platform } = {}) {
  const file = path.join(folder, `quorlin-tanilama-${stamp(now)}.zip`);
  const part = `${file}.part`;
  const redact = redactor(ctx.auth?.account);
  const fh = await fsp.open(part, 'w');
  try {
    const zip = createZipWriter(fh);
    for await (const [name, read] of entries(ctx, now, platform)) {
      const text = await read();
      if (text !== null) await zip.add(name, [Buffer.from(redact(text), 'utf8')], { mtime: now });
    }
    await zip.finish();
    await fh.close();
    await fsp.rename(part, file);
    return file;
  } catch (err) {
    await fh.close().catch(() => {});
    await fsp.rm(part, { force: true });
    throw err;
  }
}

/**
 * The page's request for the diagnostics bundle over `ctx` with Electron's `app` and `shell`:
 * writes it to the Desktop (Downloads, else the launcher's folder, when there is none) and shows
 * it selected in Explorer. Resolves to { ok: true, file } or { ok: false, error }; never rejects.
 */
async function bundleRequest(ctx, { app, shell }) {
  try {
    const file = await writeBundle(ctx, bundleFolder(app, ctx.paths));
    ctx.log(`[Quorlin] Tanılama paketi hazır: ${path.basename(file)}`);
    shell.showItemInFolder(file);
    return { ok: true, file };
  } catch (err) {
    const error = `Tanılama paketi yazılamadı: ${messageOf(err)}`;
    ctx.log(`[Quorlin] HATA: ${error}`);
    return { ok: false, error };
  }
}

module.exports = { writeBundle, bundleRequest };
