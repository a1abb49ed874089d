'use strict';
// The start-up once Electron is ready: the account, the launcher update check (which may end
// the process before any window), the main window with its guarded close, and the desktop
// shortcut.
const fs = require('node:fs');
const path = require('node:path');
const { APP_VERSION } = require('./core/layout');
const { run, psQuoted } = require('./core/run');
const { createWindow, logFailure } = require('./core/window');

// How long start-up waits for the update manifest; the window never waits longer for it.
const MANIFEST_WAIT_MS = 6000;

/** The manifest when `fetchManifest()` settles within `ms`, else null; a later one is discarded. */
async function manifestWithin(fetchManifest, ms) {
  let timer;
  const late = new Promise((resolve) => { timer = setTimeout(resolve, ms, null); });
  const fetched = Promise.resolve().then(fetchManifest).catch(() => null);
  try {
    return await Promise.race([fetched, late]);
  } finally {
    clearTimeout(timer);
  }
}

/**
 * Fetches the manifest and lets a newer launcher stage itself; true when the update is under
 * way and the process must end. A failure anywhere means "no update" (there is no window yet,
 * so it is reported on standard output).
 */
async function updateUnderWay(ctx, s, { env, manifestWaitMs }) {
  try {
    const { CACHE_DIR, APP_DIR } = ctx.paths;
    fs.mkdirSync(CACHE_DIR, { recursive: true });
    const man = await manifestWithin(s.manifest, manifestWaitMs);
    if (!man) return false;
    return await s.maybeUpdateLauncher({
      man,
      currentVersion: APP_VERSION,
      cacheDir: CACHE_DIR,
      appDir: APP_DIR,
      runtimeResources: path.dirname(APP_DIR),
      download: ctx.http.download,
      relaunchExe: env.QUORLIN_EXE || '',
      // no window yet: its lines go to standard output
      log: (line) => console.log(line),
      skippedVersion: ctx.settings.skippedLauncherVersion || '',
      // a newer launcher may prepare the server its own way: the world is backed up first
      beforeStaging: s.backupNow,
      env,
    }) === true;
  } catch (err) {
    ctx.logFailure(err);
    return false;
  }
}

/**
 * Guards the main window `win`'s close: a local server that this launcher started is stopped
 * in order first (when the user wants that), so its world is saved instead of cut off.
 * `s.stopServer()` resolves once it has exited or was killed. While it runs the window carries
 * `__closing`, and further close requests (the title bar's button pressed again) are ignored,
 * so the window closes once, after the server.
 */
function guardClose(ctx, win, s) {
  let stopped = false;
  win.on('close', (event) => {
    if (stopped) return;
    if (win.__closing) {
      event.preventDefault();
      return;
    }
    // an outside server found on the port is not ours and keeps running
    if (!s.serverIsOurs() || !ctx.settings.stopServerOnExit) return;
    event.preventDefault();
    win.__closing = true;
    ctx.send('closing', true);
    Promise.resolve()
      .then(s.stopServer)
      // the window is on its way out: the line goes to standard output
      .catch((err) => logFailure(err, console.log))
      .then(() => {
        stopped = true;
        if (!win.isDestroyed()) win.close();
      });
  });
}

/** The PowerShell command that writes the shortcut on the user's desktop. */
function shortcutCommand(target, workDir, icon) {
  return "$d=[Environment]::GetFolderPath('Desktop');" +
    "$s=(New-Object -ComObject WScript.Shell).CreateShortcut((Join-Path $d 'Quorlin.lnk'));" +
    `$s.TargetPath='${psQuoted(target)}';$s.WorkingDirectory='${psQuoted(workDir)}';` +
    `$s.IconLocation='${psQuoted(icon)},0';$s.Description='Quorlin — Brimlox';$s.Save()`;
}

/**
 * Makes the desktop shortcut "Quorlin.lnk" unless it was made before (`settings.shortcut` is
 * 2), this is not Windows, or the runtime still has its stock name (`isPackaged` false, a
 * development run). The target is the bootstrapper (`QUORLIN_BOOT`), else the running
 * runtime. When an installer manages the shortcuts ("Kaldir.exe" beside the bootstrapper)
 * none is made. `shortcut` becomes 2, and is saved, only once PowerShell succeeded, so a
 * failure is retried at the next start. Resolves when done; rejects only when saving fails.
 */
async function ensureShortcut({
  settings, saveSettings, assets, isPackaged,
  platform = process.platform, env = process.env, execPath = process.execPath, runTool = run,
}) {
  if (settings.shortcut === 2 || platform !== 'win32' || !isPackaged) return;
  const boot = env.QUORLIN_BOOT || '';
  if (boot && fs.existsSync(path.join(path.dirname(boot), 'Kaldir.exe'))) {
    settings.shortcut = 2;
    saveSettings();
    return;
  }
  const target = boot || execPath;
  const command = shortcutCommand(target, path.dirname(target), path.join(assets, 'quorlin.ico'));
  const { code, error } = await runTool('powershell.exe', ['-NoProfile', '-ExecutionPolicy', 'Bypass', '-Command', command]);
  if (code !== 0 || error) return;
  settings.shortcut = 2;
  saveSettings();
}

/**
 * Runs the start-up over `ctx` with the launcher's services `s` and Electron's `app`,
 * `BrowserWindow` and `safeStorage`. Ends with either the process exiting for an update, or
 * the window open and the shortcut being made in the background; any failure after the
 * update check still opens the window, and a window that cannot be made ends the process.
 */
async function startUp(ctx, s, { app, BrowserWindow, safeStorage }, {
  env = ctx.env, platform = process.platform, manifestWaitMs = MANIFEST_WAIT_MS,
} = {}) {
  try {
    ctx.auth = new s.Auth(ctx.paths.ACCOUNT_FILE, safeStorage);
  } catch (err) {
    ctx.logFailure(err);
  }
  if (await updateUnderWay(ctx, s, { env, manifestWaitMs })) {
    app.exit(0);
    return;
  }
  try {
    const win = createWindow(ctx, BrowserWindow);
    guardClose(ctx, win, s);
    // a window on screen: this application opens, and an update that brought it has held
    win.once('ready-to-show', () => {
      try {
        s.settleUpdate();
      } catch (err) {
        ctx.logFailure(err);
      }
    });
  } catch (err) {
    ctx.logFailure(err);
    app.exit(1);
    return;
  }
  ensureShortcut({ settings: ctx.settings, saveSettings: ctx.saveSettings, assets: ctx.paths.ASSETS, isPackaged: app.isPackaged, env, platform })
    .catch((err) => ctx.logFailure(err));
}

module.exports = { startUp, ensureShortcut };
