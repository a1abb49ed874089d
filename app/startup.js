// The start-up sequence once Electron is ready: the account, the launcher update check (which
// may end the process before any window), the main window and the desktop shortcut.
const fs = require('node:fs');
const path = require('node:path');
const { download } = require('./core/http');
const { APP_VERSION } = require('./core/layout');
const { state, saveSettings } = require('./core/state');
const { createWindow, logFailure } = require('./core/window');
const { guardClose } = require('./closing');
const { ensureShortcut } = require('./shortcut');

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
async function updateUnderWay(s, { env, manifestWaitMs }) {
  try {
    const { CACHE_DIR, APP_DIR } = state.paths;
    fs.mkdirSync(CACHE_DIR, { recursive: true });
    const man = await manifestWithin(s.manifest, manifestWaitMs);
    state.latestManifest = man;
    if (!man) return false;
    return await s.maybeUpdateLauncher({
      man,
      currentVersion: APP_VERSION,
      cacheDir: CACHE_DIR,
      appDir: APP_DIR,
      runtimeResources: path.dirname(APP_DIR),
      download,
      relaunchExe: env.QUORLIN_EXE || '',
      // no window yet: its lines go to standard output
      log: (line) => console.log(line),
      env,
    }) === true;
  } catch (err) {
    logFailure(err);
    return false;
  }
}

/**
 * Runs the start-up with the launcher's services `s` and Electron's `app`, `BrowserWindow` and
 * `safeStorage`. Ends with either the process exiting for an update, or the window open
 * and the shortcut being made in the background; any failure after the update check still
 * opens the window, and a window that cannot be made ends the process.
 */
async function startUp(s, { app, BrowserWindow, safeStorage }, {
  env = process.env, platform = process.platform, manifestWaitMs = MANIFEST_WAIT_MS,
} = {}) {
  try {
    state.auth = new s.Auth(state.paths.ACCOUNT_FILE, safeStorage);
  } catch (err) {
    logFailure(err);
  }
  if (await updateUnderWay(s, { env, manifestWaitMs })) {
    app.exit(0);
    return;
  }
  try {
    guardClose(createWindow(BrowserWindow), s.stopServer);
  } catch (err) {
    logFailure(err);
    app.exit(1);
    return;
  }
  ensureShortcut({ settings: state.settings, saveSettings, assets: state.paths.ASSETS, isPackaged: app.isPackaged, env, platform })
    .catch((err) => logFailure(err));
}

module.exports = { startUp };
