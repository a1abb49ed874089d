// Entry of the launcher application's main process: the single-instance rule, the start-up,
// the main window and the request handlers of the page.
const fs = require('node:fs');
const path = require('node:path');
const { app, BrowserWindow, ipcMain, shell } = require('electron');
const layout = require('./layout');
const endpoints = require('./endpoints');
const settingsFile = require('./settings');
const { state, initState, saveSettings, clientId } = require('./state');
const { createWindow, log } = require('./window');

// Answer of the requests whose work this launcher cannot do yet.
const NOT_AVAILABLE = 'Bu özellik henüz kullanılamıyor.';

function notAvailable() {
  throw new Error(NOT_AVAILABLE);
}

// The folders the page may open in the file manager.
function folderToOpen(what) {
  const { GAME_DIR, SERVER_DIR, BASE } = state.paths;
  const folders = { game: GAME_DIR, mods: path.join(GAME_DIR, 'mods'), server: SERVER_DIR, base: BASE };
  return Object.hasOwn(folders, what) ? folders[what] : null;
}

const LINKS = {
  azure: () => `${endpoints.azurePortal}/#view/Microsoft_AAD_RegisteredApps/ApplicationsListBlade`,
  review: () => `${endpoints.microsoftShortLinks}/mce-reviewappid`,
};

function snapshot() {
  return {
    server: state.serverState,
    settings: state.settings,
    account: state.auth ? state.auth.publicInfo() : null,
    hasClientId: clientId() !== '',
    version: layout.APP_VERSION,
    mc: layout.MC_VERSION,
    gameDir: state.paths.GAME_DIR,
  };
}

const handlers = {
  play: () => ({ ok: false, error: NOT_AVAILABLE }),
  state: () => snapshot(),
  'server:start': () => ({ ok: false, error: NOT_AVAILABLE }),
  // no local server can run in this launcher yet, so there is none to stop or to command
  'server:stop': () => {},
  'server:cmd': () => {},
  'settings:set': (_event, changes) => {
    settingsFile.applySettings(state.settings, changes);
    saveSettings();
    return state.settings;
  },
  open: async (_event, what) => {
    if (what === 'launcher') notAvailable();
    const dir = folderToOpen(what);
    if (!dir) return;
    fs.mkdirSync(dir, { recursive: true });
    // openPath answers an error text instead of failing
    const problem = await shell.openPath(dir);
    if (problem) log(`[Quorlin] HATA: ${problem}`);
  },
  'launcher:install': notAvailable,
  'launcher:pick': notAvailable,
  'auth:login': () => ({ ok: false, error: NOT_AVAILABLE }),
  'auth:logout': notAvailable,
  link: async (_event, which) => {
    if (!Object.hasOwn(LINKS, which)) return;
    try {
      await shell.openExternal(LINKS[which]());
    } catch (err) {
      log(`[Quorlin] HATA: ${err.message}`);
    }
  },
  win: (_event, action) => {
    const { win } = state;
    if (!win || win.isDestroyed()) return;
    if (action === 'min') win.minimize();
    else if (action === 'close') win.close();
  },
};

function registerHandlers() {
  for (const [channel, handler] of Object.entries(handlers)) ipcMain.handle(channel, handler);
}

// A second start hands over to the running launcher: its window comes to the front.
function showRunningWindow() {
  const { win } = state;
  if (!win || win.isDestroyed()) return;
  if (win.isMinimized()) win.restore();
  win.focus();
}

function startUp() {
  createWindow(BrowserWindow);
}

initState({ appDir: __dirname });

// app.quit() only schedules the end, so nothing else may be set up without the lock.
if (!app.requestSingleInstanceLock()) {
  app.quit();
} else {
  app.on('second-instance', showRunningWindow);
  app.on('window-all-closed', () => app.quit());
  registerHandlers();
  app.whenReady().then(startUp);
}

