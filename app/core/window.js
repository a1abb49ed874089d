// The main window and the only way from the main process to the page: send, progress, log.
// The window shows the launcher's own page and nothing else, and only that page is answered.
const path = require('node:path');
const { fileURLToPath, pathToFileURL } = require('node:url');
const { state } = require('./state');

const NAVIGATION_EVENTS = ['will-navigate', 'will-frame-navigate', 'will-redirect'];
// What a request from anywhere but the launcher's page is answered.
const REFUSED = 'İstek kabul edilmedi.';
// A page that keeps trying gets this many refusal lines a second, then one notice.
const REFUSAL_LINES_PER_SECOND = 5;

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

/** The page's file; its address is `ownPageUrl()`. */
function pageFile() {
  return path.join(state.paths.APP_DIR, 'ui', 'index.html');
}

function ownPageUrl() {
  return pathToFileURL(pageFile()).href;
}

// The file a file address names, or null for any other address. Parsed, not compared as text,
// so neither "index.html.x", "ui/../x" nor another spelling of the same path passes for another.
function filePathOf(url, windows) {
  try {
    // Chromium keeps a "%" that starts no escape as it is (a folder named "100%")
    return fileURLToPath(new URL(String(url).replace(/%(?![0-9a-fA-F]{2})/g, '%25')), { windows });
  } catch {
    return null;
  }
}

/** Whether `url` names the same file as the file address `pageUrl` (query and fragment aside). */
function isPageUrl(url, pageUrl, windows = process.platform === 'win32') {
  const [file, page] = [filePathOf(url, windows), filePathOf(pageUrl, windows)];
  if (file === null || page === null) return false;
  // Windows file names ignore case
  return windows ? file.toLowerCase() === page.toLowerCase() : file === page;
}

/**
 * Whether an IPC request comes from the main window's page: its web contents (`event.sender`),
 * from a frame showing the page's own file (`event.senderFrame`). No window, no page.
 */
function isOwnPage(event, win, pageUrl) {
  if (!win || win.isDestroyed() || !event || event.sender !== win.webContents) return false;
  return isPageUrl(frameUrlOf(event), pageUrl);
}

// The asking frame's address; Electron gives no frame once it has gone.
function frameUrlOf(event) {
  try {
    return String(event.senderFrame.url);
  } catch {
    return '';
  }
}

let refusals = { since: 0, lines: 0 };

// One line a refusal, up to a few a second, so a page that keeps trying cannot flood the log.
function logRefusal(line) {
  const now = Date.now();
  if (now - refusals.since >= 1000) refusals = { since: now, lines: 0 };
  refusals.lines += 1;
  if (refusals.lines <= REFUSAL_LINES_PER_SECOND) log(line);
  else if (refusals.lines === REFUSAL_LINES_PER_SECOND + 1) log('[Quorlin] Çok sayıda engelleme: bir süre yazılmayacak.');
}

// An address in a log line: a dropped data address may be megabytes long.
function shortAddress(url) {
  const text = String(url);
  return text.length > 200 ? `${text.slice(0, 200)}…` : text;
}

/** `handler` of `channel` answering the main window's page only; anyone else is refused and logged. */
function ownPageOnly(channel, handler) {
  return (event, ...args) => {
    if (isOwnPage(event, state.win, ownPageUrl())) return handler(event, ...args);
    logRefusal(`[Quorlin] HATA: '${channel}' isteği reddedildi: ${shortAddress(frameUrlOf(event) || 'çerçevesiz')}`);
    return { ok: false, error: REFUSED };
  };
}

// The web contents the launcher opened itself, each kept to its own addresses by confine.
const own = new WeakSet();

function lock(contents, allowed) {
  for (const name of NAVIGATION_EVENTS) {
    contents.on(name, (details) => {
      if (allowed(details)) return;
      details.preventDefault();
      logRefusal(`[Quorlin] Sayfa değişikliği engellendi: ${shortAddress(details.url)}`);
    });
  }
  contents.setWindowOpenHandler(({ url }) => {
    logRefusal(`[Quorlin] Yeni pencere engellendi: ${shortAddress(url)}`);
    return { action: 'deny' };
  });
}

/**
 * Keeps the launcher's own web contents where `allowed(details)` says: every navigation and
 * server redirect of any of its frames (Electron's details: `url`, `isMainFrame`, …) that it
 * does not allow is cancelled, and no new window is opened from it.
 */
function confine(contents, allowed) {
  own.add(contents);
  lock(contents, allowed);
}

/**
 * For every web contents as Electron creates it: one that the launcher does not confine itself
 * (a window or view the launcher did not open on purpose) goes nowhere and opens nothing.
 */
function confineStranger(contents) {
  // asked at each navigation: the launcher confines its own only once its window exists
  lock(contents, () => own.has(contents));
}

/** Creates the main window with Electron's `BrowserWindow`, loads the page and makes it `state.win`. */
function createWindow(BrowserWindow) {
  const win = new BrowserWindow(mainWindowOptions(state.paths));
  const page = ownPageUrl();
  // a link, a script or a dropped file or link would take the window off its page
  confine(win.webContents, (details) => isPageUrl(details.url, page));
  win.once('ready-to-show', () => win.show());
  win.removeMenu();
  win.loadFile(pageFile()).catch((err) => {
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

module.exports = {
  mainWindowOptions, createWindow, isPageUrl, isOwnPage, ownPageOnly, confine, confineStranger, send, progress, log, logFailure, messageOf,
};
