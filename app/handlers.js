// The page's requests, one handler a channel. Work that belongs to another module is only
// called from here; every handler takes its input as untrusted, since it comes from the page.
const fs = require('node:fs');
const path = require('node:path');
const endpoints = require('./core/endpoints');
const layout = require('./core/layout');
const settingsFile = require('./core/settings');
const { state, saveSettings, clientId } = require('./core/state');
const { log, messageOf } = require('./core/window');
const { play } = require('./play');

const LINKS = {
  azure: () => `${endpoints.azurePortal}/#view/Microsoft_AAD_RegisteredApps/ApplicationsListBlade`,
  review: () => `${endpoints.microsoftShortLinks}/mce-reviewappid`,
};

const PICK_LAUNCHER = {
  title: 'MinecraftLauncher.exe dosyasını seç',
  filters: [{ name: 'Minecraft Launcher', extensions: ['exe', 'lnk'] }],
  properties: ['openFile'],
};

// The folders the page may open in the file manager. Only a name given as text counts: a
// property lookup would turn ["game"] into "game".
function folderToOpen(what) {
  const { GAME_DIR, SERVER_DIR, BASE } = state.paths;
  const folders = { game: GAME_DIR, mods: path.join(GAME_DIR, 'mods'), server: SERVER_DIR, base: BASE };
  return typeof what === 'string' && Object.hasOwn(folders, what) ? folders[what] : null;
}

/**
 * The request handlers, by channel, over the launcher's services `s` and Electron's
 * `shell`, `dialog` and `BrowserWindow`.
 */
function createHandlers(s, { shell, dialog, BrowserWindow }) {
  return {
    play: () => play(s),
    state: async () => ({
      server: state.serverState,
      settings: state.settings,
      account: state.auth ? state.auth.publicInfo() : null,
      hasClientId: clientId() !== '',
      version: layout.APP_VERSION,
      mc: layout.MC_VERSION,
      gameDir: state.paths.GAME_DIR,
      launcherOpen: await s.launcherRunning(),
    }),
    'server:start': () => s.serverStartRequest(),
    'server:stop': async () => { await s.stopServer(); },
    'server:cmd': (_event, command) => { s.serverCommand(command); },
    'settings:set': (_event, changes) => {
      settingsFile.applySettings(state.settings, changes);
      saveSettings();
      return state.settings;
    },
    open: async (_event, what) => {
      if (what === 'launcher') {
        await s.openOfficialLauncher();
        return;
      }
      const dir = folderToOpen(what);
      if (!dir) return;
      fs.mkdirSync(dir, { recursive: true });
      // openPath answers an error text instead of failing
      const problem = await shell.openPath(dir);
      if (problem) log(`[Quorlin] HATA: ${problem}`);
    },
    'auth:login': async () => {
      try {
        if (!state.auth) throw new Error('Hesap dosyası açılamadı.');
        return { ok: true, account: await state.auth.login(clientId(), BrowserWindow, state.win) };
      } catch (err) {
        return { ok: false, error: messageOf(err) };
      }
    },
    'auth:logout': () => {
      if (state.auth) state.auth.logout();
      return true;
    },
    link: async (_event, which) => {
      if (typeof which !== 'string' || !Object.hasOwn(LINKS, which)) return;
      try {
        await shell.openExternal(LINKS[which]());
      } catch (err) {
        log(`[Quorlin] HATA: ${messageOf(err)}`);
      }
    },
    'launcher:install': async () => {
      const installed = Boolean(await s.installOfficialLauncher());
      if (installed) await s.openOfficialLauncher();
      return installed;
    },
    'launcher:pick': async () => {
      const { win } = state;
      const parent = win && !win.isDestroyed() ? [win] : [];
      const { canceled, filePaths } = await dialog.showOpenDialog(...parent, PICK_LAUNCHER);
      if (canceled || !filePaths || !filePaths[0]) return false;
      state.settings.launcherPath = filePaths[0];
      saveSettings();
      await s.openOfficialLauncher();
      return true;
    },
    win: (_event, action) => {
      const { win } = state;
      if (!win || win.isDestroyed()) return;
      if (action === 'min') win.minimize();
      else if (action === 'close') win.close();
    },
  };
}

module.exports = { createHandlers };
