// The main window and the only way from the main process to the page: send, progress, log.
const path = require('node:path');
const { state } = require('./state');

/** Options of the main window for `platform`; `paths` from the launcher's layout. */
function mainWindowOptions(paths, platform = process.platform, p = path) {
  return {
    width: 1120,
    height: 690,
    minWidth: 940,
    minHeight: 600,
    frame: false, // the page draws its own title bar
    backgroundColor: '#0b0c10',
    show: false, // shown at its first ready-to-show, so no blank frame flashes
    title: 'Quorlin',
    icon: p.join(paths.ASSETS, platform === 'win32' ? 'quorlin.ico' : 'quorlin.png'),
    webPreferences: {
      preload: p.join(paths.APP_DIR, 'preload.js'),
      contextIsolation: true,
      nodeIntegration: false,
      sandbox: true,
    },
  };
}

/** Creates the main window with Electron's `BrowserWindow`, loads the page and makes it `state.win`. */
function createWindow(BrowserWindow) {
  const win = new BrowserWindow(mainWindowOptions(state.paths));
  win.once('ready-to-show', () => win.show());
  win.removeMenu();
  win.loadFile('ui/index.html').catch((err) => {
    console.log(`[Quorlin] HATA: ${err.message}`);
  });
  state.win = win;
  return win;
}

function hasPage() {
  const { win } = state;
  return Boolean(win && !win.isDestroyed() && !win.webContents.isDestroyed());
}

/** Sends an event to the page; dropped without error while no window exists. */
function send(channel, data) {
  if (hasPage()) state.win.webContents.send(channel, data);
}

/** Reports progress of a step ("java" … "launch"): `label` Turkish, `pct` a fraction 0–1. */
function progress(step, label, pct) {
  send('progress', { step, label, pct });
}

/**
 * Sends one log line to the page, unchanged. While no window exists (before it opens, after it
 * closed, in the diagnostic run) the line goes to standard output instead, so no failure vanishes.
 */
function log(line) {
  if (hasPage()) state.win.webContents.send('log', line);
  else console.log(line);
}

/** Logs a failure with its stack trace (the thrown value itself when it has none) through `print`. */
function logFailure(err, print = log) {
  print(`[Quorlin] HATA: ${err && err.stack ? err.stack : err}`);
}

/** What the user is told of a failure: its message, or the thrown value as text. */
function messageOf(err) {
  return err && err.message ? err.message : String(err);
}

module.exports = { mainWindowOptions, createWindow, send, progress, log, logFailure, messageOf };
