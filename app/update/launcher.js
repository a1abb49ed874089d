'use strict';
// The launcher's own updates: a newer application package is fetched, verified and unpacked
// next to the running application, and a small script swaps it in once the launcher has
// exited, then starts the launcher again; the old application is kept until the new one has
// shown its window, and comes back through the bootstrapper when it never does.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { run, psQuoted } = require('../core/run');
const { cmpVer } = require('./service');
const { isPlainName } = require('../core/names');
const { entryOf, cacheFile, fetchVerified } = require('./cache');
const { isSigned } = require('./signature');

const SCRIPT_NAME = 'quorlin-update.cmd';
const STAGE_NAME = 'app.new';
// Beside the application folder (RuntimeDir\resources\app), shared with the bootstrapper: the
// replaced application, kept until the new one has shown its window; how many starts of the new
// one have not shown it yet (ASCII decimal, counted up by the bootstrapper); and the mark the
// bootstrapper leaves when it has put the kept application back.
const KEPT_SUFFIX = '.old';
const STARTS_SUFFIX = '.starts';
const ROLLED_BACK_SUFFIX = '.rolledback';

/** Bounds in milliseconds and tries. Tests shorten them; the product keeps these. */
const limits = {
  unpackMs: 2 * 60 * 1000, // unpacking the package
  startMs: 10 * 1000, // the outer cmd.exe ends as soon as the script has been started
  swapTries: 120, // about one second each: the script gives up after about two minutes
};


/** PowerShell's arguments for unpacking `zip` into `stage`. */
function unpackArgs(zip, stage) {
  return ['-NoProfile', '-ExecutionPolicy', 'Bypass', '-Command',
    `Expand-Archive -LiteralPath '${psQuoted(zip)}' -DestinationPath '${psQuoted(stage)}' -Force`];
}

function isFile(file) {
  try {
    return fs.statSync(file).isFile();
  } catch {
    return false;
  }
}

/** The unpacked application: the package's single app folder, or the stage itself. */
function finalStageOf(stage) {
  const inner = path.join(stage, 'app');
  if (isFile(path.join(inner, 'main.js'))) return inner;
  if (isFile(path.join(stage, 'main.js'))) return stage;
  throw new Error('güncelleme paketi geçersiz');
}

/**
 * The swap script and the variables it reads its paths from. The text is ASCII only, so the
 * code page cmd.exe reads it in plays no part; the paths, whatever their characters, come
 * through the environment, which cmd.exe keeps in UTF-16. Started without a console input,
 * so ping paces the waits (n echoes take n − 1 seconds); `timeout` would end at once.
 *
 * The old application is moved aside to app.old (Windows refuses while a program holds a file
 * in it; an app.old an earlier update left is removed first) and kept there until the new one
 * has shown its window (settleUpdate); should the new one not move in, the old one moves back.
 * With the new one in place, app.starts is set to the starts of it still to show its window:
 * 1 when the script starts the launcher again, else 0. The bootstrapper counts every later
 * start and puts app.old back after two that never showed the window. A stage already gone
 * (the bootstrapper promoted or removed it meanwhile) leaves everything as it is and starts
 * the launcher there. After `tries` failed attempts to move the old application aside the
 * script gives up and leaves a stage that holds the application at its root, which the
 * bootstrapper promotes at its next start.
 */
function swapScript({ appDir, finalStage, stage, relaunchExe, tries = limits.swapTries }) {
  const hoisted = '%QUORLIN_UPDATE_STAGE%.hold';
  const kept = `%QUORLIN_UPDATE_APP%${KEPT_SUFFIX}`;
  // one more try a second later at `label`, or `giveUp` once the tries are spent
  const again = (label, giveUp) => [
    'set /a QUORLIN_UPDATE_TRIES+=1',
    `if %QUORLIN_UPDATE_TRIES% geq ${tries} goto ${giveUp}`,
    'ping -n 2 127.0.0.1 >nul',
    `goto ${label}`,
  ];
  const lines = [
    '@echo off',
    'set "QUORLIN_UPDATE_SELF=%~f0"',
    'ping -n 3 127.0.0.1 >nul',
    'set /a QUORLIN_UPDATE_TRIES=0',
    ':wait',
    'if not exist "%QUORLIN_UPDATE_FROM%\\main.js" goto start',
    // the old application moves aside only into a free name
    `rmdir /s /q "${kept}" 2>nul`,
    `if not exist "${kept}" move "%QUORLIN_UPDATE_APP%" "${kept}" >nul 2>nul`,
    'if not exist "%QUORLIN_UPDATE_APP%" goto swap',
    ...again('wait', 'keep'),
    ':swap',
    'move "%QUORLIN_UPDATE_FROM%" "%QUORLIN_UPDATE_APP%" >nul 2>nul',
    'if exist "%QUORLIN_UPDATE_APP%\\main.js" goto clean',
    'rmdir /s /q "%QUORLIN_UPDATE_APP%" 2>nul',
    `move "${kept}" "%QUORLIN_UPDATE_APP%" >nul`,
    'goto keep',
    ':clean',
    'rmdir /s /q "%QUORLIN_UPDATE_STAGE%" 2>nul',
    `>"%QUORLIN_UPDATE_APP%${STARTS_SUFFIX}" echo ${relaunchExe ? 1 : 0}`,
    ':start',
    ...(relaunchExe ? ['start "" /d "%QUORLIN_UPDATE_RUN_DIR%" "%QUORLIN_UPDATE_RUN%"'] : []),
    'goto done',
    ':keep',
    ...(finalStage === stage ? [] : [
      `rmdir /s /q "${hoisted}" 2>nul`,
      `move "%QUORLIN_UPDATE_FROM%" "${hoisted}" >nul`,
      `if not exist "${hoisted}\\main.js" goto done`,
      'rmdir /s /q "%QUORLIN_UPDATE_STAGE%" 2>nul',
      `move "${hoisted}" "%QUORLIN_UPDATE_STAGE%" >nul`,
    ]),
    ':done',
    'del "%QUORLIN_UPDATE_SELF%"',
  ];
  const env = { QUORLIN_UPDATE_APP: appDir, QUORLIN_UPDATE_FROM: finalStage, QUORLIN_UPDATE_STAGE: stage };
  if (relaunchExe) {
    env.QUORLIN_UPDATE_RUN = relaunchExe;
    env.QUORLIN_UPDATE_RUN_DIR = path.win32.dirname(relaunchExe);
  }
  return { text: lines.join('\r\n'), env };
}

/**
 * How the script is started so that it outlives the launcher without a window: a hidden
 * cmd.exe (a console without a window, inside the job that ends the launcher's children
 * with it) starts the script's cmd.exe in that same console with `start /b`. A grandchild
 * leaves the job, so the script lives on; sharing the windowless console, the console
 * programs it runs open no window either. A detached start would give the script no
 * console, and every ping would flash one up. The script is named relative to the working
 * directory, so its path, whatever it holds, passes no command-line parser.
 */
const START_ARGS = ['/d', '/c', 'start', '/b', 'cmd.exe', '/d', '/v:off', '/c', SCRIPT_NAME];

// The version the last staged update brings, written beside the stage. The bootstrapper deletes
// an application that did not open when it puts the kept one back, so what it was is written
// down here at staging; app.starts is the bootstrapper's count, and a setting saved by a
// launcher about to end for the swap would be one more thing to go wrong. Each staging writes
// it anew, so it names the application that was swapped in last whenever a rollback is found.
function stagedVersionFile(runtimeResources) {
  return path.join(runtimeResources, `${STAGE_NAME}.version`);
}

/**
 * Stages a newer launcher published in the manifest `man` and starts the swap script.
 * Resolves to true when the script runs and the process must end at once, false otherwise
 * (nothing newer, the version that did not open before (`skippedVersion`), or a skipped
 * update, logged). Never rejects. The caller gives the running launcher's version, cache
 * folder, application folder and the runtime's resources folder holding it, the download
 * function, the executable to start again ('' for none) and the log; tests also give tmpDir,
 * env (the script's environment), runTool and tries. A signed manifest must give the package's
 * digest. `beforeStaging` runs once the package is verified, before anything is replaced.
 */
async function maybeUpdateLauncher({
  man, currentVersion, cacheDir, appDir, runtimeResources, download, relaunchExe, log, skippedVersion = '',
  beforeStaging = async () => {}, tmpDir = os.tmpdir(), env = process.env, runTool = run, tries,
}) {
  const l = entryOf(man, 'launcher');
  if (!l || cmpVer(l.version, currentVersion) <= 0) return false;
  if (skippedVersion && cmpVer(l.version, skippedVersion) === 0) return false;
  let stage = null;
  try {
    const zip = cacheFile(cacheDir, 'app-', l.version, '.zip');
    await fetchVerified(l, zip, download,
      { mismatch: 'dosya özeti uyuşmadı', missing: isSigned(man) ? 'dosya özeti verilmemiş' : '' });
    await beforeStaging();

    stage = path.join(runtimeResources, STAGE_NAME);
    fs.rmSync(stage, { recursive: true, force: true });
    const unpacked = await runTool('powershell.exe', unpackArgs(zip, stage), { timeout: limits.unpackMs });
    if (unpacked.code !== 0) {
      throw new Error(`güncelleme paketi açılamadı (${unpacked.error ? unpacked.error.message : unpacked.code})`);
    }
    const finalStage = finalStageOf(stage);
    fs.writeFileSync(stagedVersionFile(runtimeResources), String(l.version));

    const script = swapScript({ appDir, finalStage, stage, relaunchExe, tries });
    fs.mkdirSync(tmpDir, { recursive: true });
    fs.writeFileSync(path.join(tmpDir, SCRIPT_NAME), script.text, 'utf8');
    const started = await runTool('cmd.exe', START_ARGS,
      { cwd: tmpDir, env: { ...env, ...script.env }, timeout: limits.startMs });
    if (started.code !== 0) {
      throw new Error(`güncelleme betiği başlatılamadı (${started.error ? started.error.message : started.code})`);
    }
    log(`[Quorlin] Launcher güncellemesi hazır (${l.version}). Yeniden başlatılıyor…`);
    return true;
  } catch (err) {
    log(`[Quorlin] Launcher güncellemesi atlandı: ${err.message}`);
    if (stage) discardStage(stage, log);
    return false;
  }
}

// A half-unpacked stage with main.js at its root would be promoted by the bootstrapper's next
// start; the next attempt unpacks afresh from the cached package.
function discardStage(stage, log) {
  try {
    fs.rmSync(stage, { recursive: true, force: true });
  } catch (err) {
    log(`[Quorlin] HATA: ${err.message}`);
  }
}

/**
 * At every start whose window has shown, over the context `ctx`: this application opens, so
 * the application an update kept (app.old) and its start count go. When the bootstrapper put
 * the kept application back instead (app.rolledback), the log says so once, and the version
 * that did not open is saved as `skippedLauncherVersion`, which is not installed again (a newer
 * one is). Throws when a file cannot be removed or the settings cannot be saved.
 */
function settleUpdate(ctx) {
  const appDir = ctx.paths.APP_DIR;
  const rolledBack = `${appDir}${ROLLED_BACK_SUFFIX}`;
  if (fs.existsSync(rolledBack)) {
    ctx.log('[Quorlin] Güncelleme açılmadı, önceki sürüme dönüldü.');
    let failed = '';
    try {
      failed = fs.readFileSync(stagedVersionFile(path.dirname(appDir)), 'utf8').trim();
    } catch {
      // staged by a launcher that did not write it down: nothing to skip
    }
    if (isPlainName(failed)) {
      ctx.settings.skippedLauncherVersion = failed;
      ctx.saveSettings();
    }
  }
  for (const file of [rolledBack, `${appDir}${KEPT_SUFFIX}`, `${appDir}${STARTS_SUFFIX}`]) {
    fs.rmSync(file, { recursive: true, force: true });
  }
}

module.exports = { limits, SCRIPT_NAME, START_ARGS, swapScript, maybeUpdateLauncher, settleUpdate };
