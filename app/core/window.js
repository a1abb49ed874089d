'use strict';
// The main window and the only way from the main process to the page: the page's messenger
// (send, progress, log). The window shows the launcher's own page and nothing else, and only
// that page is answered.
const path = require('node:path');
const { fileURLToPath, pathToFileURL } = require('node:url');

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

/** The page's file under the launcher's `paths`. */
function pageFile(paths) {
  return path.join(paths.APP_DIR, 'ui', 'index.html');
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

// An address in a log line: a dropped data address may be megabytes long.
function shortAddress(url) {
  const text = String(url);
  return text.length > 200 ? `${text.slice(0, 200)}…` : text;
}

/**
 * The messenger between the main process and the page, over the main window once `attach`ed:
 * `send` drops events while no window exists, and `log` writes its line to standard output
 * instead (before the window opens, after it closed, in the diagnostic run), so no failure
 * vanishes. `refused` logs a refusal, a few a second at most, so a page that keeps trying
 * cannot flood the log.
 */
function createPage() {
  let win = null;
  let refusals = { since: 0, lines: 0 };
  const hasPage = () => Boolean(win && !win.isDestroyed() && !win.webContents.isDestroyed());
  const page = {
    attach: (w) => { win = w; },
    window: () => win,
    /** Sends an event to the page; dropped without error while no window exists. */
    send: (channel, data) => {
      if (hasPage()) win.webContents.send(channel, data);
    },
    /** Reports progress of a step ("java" … "launch"): `label` Turkish, `pct` a fraction 0–1. */
    progress: (step, label, pct) => page.send('progress', { step, label, pct }),
    /** Sends one log line to the page, unchanged; standard output while no window exists. */
    log: (line) => {
      if (hasPage()) win.webContents.send('log', line);
      else console.log(line);
    },
    refused: (line) => {
      const now = Date.now();
      if (now - refusals.since >= 1000) refusals = { since: now, lines: 0 };
      refusals.lines += 1;
      if (refusals.lines <= REFUSAL_LINES_PER_SECOND) page.log(line);
      else if (refusals.lines === REFUSAL_LINES_PER_SECOND + 1) page.log('[Quorlin] Çok sayıda engelleme: bir süre yazılmayacak.');
    },
  };
  return page;
}

/**
 * `handler` of `channel` answering the main window's page of `ctx` only; anyone else is
 * refused and logged.
 */
function ownPageOnly(ctx, channel, handler) {
  const pageUrl = pathToFileURL(pageFile(ctx.paths)).href;
  return (event, ...args) => {
    if (isOwnPage(event, ctx.page.window(), pageUrl)) return handler(event, ...args);
    ctx.page.refused(`[Quorlin] HATA: '${channel}' isteği reddedildi: ${shortAddress(frameUrlOf(event) || 'çerçevesiz')}`);
    return { ok: false, error: REFUSED };
  };
}

// Where each web contents the launcher opened on purpose may go (confine); every other one goes nowhere.
const rules = new WeakMap();
const guarded = new WeakSet();

// Cancels every navigation and redirect of `contents` that its rule does not allow and every
// new window, once per web contents; `refuse` takes the line that says so.
function guard(contents, refuse) {
  if (guarded.has(contents)) return;
  guarded.add(contents);
  const allowed = (details) => Boolean(rules.has(contents) && rules.get(contents)(details));
  for (const name of NAVIGATION_EVENTS) {
    contents.on(name, (details) => {
      if (allowed(details)) return;
      details.preventDefault();
      refuse(`[Quorlin] Sayfa değişikliği engellendi: ${shortAddress(details.url)}`);
    });
  }
  contents.setWindowOpenHandler(({ url }) => {
    refuse(`[Quorlin] Yeni pencere engellendi: ${shortAddress(url)}`);
    return { action: 'deny' };
  });
}

/**
 * Guards every web contents as Electron creates it, refusals logged through `ctx`'s page:
 * one that the launcher does not `confine` itself (a window or view it did not open on
 * purpose) goes nowhere and opens nothing.
 */
function confineStranger(ctx, contents) {
  guard(contents, ctx.page.refused);
}

/**
 * Keeps the launcher's own web contents where `allowed(details)` says: every navigation and
 * server redirect of any of its frames (Electron's details: `url`, `isMainFrame`, …) that it
 * does not allow is cancelled, and no new window is opened from it. A web contents that no
 * `confineStranger` guarded when it was created logs its refusals on standard output.
 */
function confine(contents, allowed) {
  rules.set(contents, allowed);
  guard(contents, console.log);
}

/**
 * Creates the main window with Electron's `BrowserWindow`, keeps it on its page, loads the
 * page and attaches the window to `ctx.page`.
 */
function createWindow(ctx, BrowserWindow) {
  const win = new BrowserWindow(mainWindowOptions(ctx.paths));
  const file = pageFile(ctx.paths);
  const pageUrl = pathToFileURL(file).href;
  // a link, a script or a dropped file or link would take the window off its page
  confine(win.webContents, (details) => isPageUrl(details.url, pageUrl));
  win.once('ready-to-show', () => win.show());
  win.removeMenu();
  win.loadFile(file).catch((err) => {
    console.log(`[Quorlin] HATA: ${err.message}`);
  });
  ctx.page.attach(win);
  return win;
}

/** Logs a failure with its stack trace (the thrown value itself when it has none) through `print`. */
function logFailure(err, print) {
  print(`[Quorlin] HATA: ${err && err.stack ? err.stack : err}`);
}

/** What the user is told of a failure: its message, or the thrown value as text. */
function messageOf(err) {
  return err && err.message ? err.message : String(err);
}

module.exports = { createPage, createWindow, isPageUrl, ownPageOnly, confine, confineStranger, logFailure, messageOf };
