'use strict';
// The page's requests, one handler a channel. Work that belongs to another module is only
// called from here; every handler takes its input as untrusted, since it comes from the page.
const fs = require('node:fs');
const path = require('node:path');
const layout = require('./core/layout');
const settingsFile = require('./core/settings');
const { messageOf } = require('./core/window');
const { prepareServer } = require('./play');

const LINKS = {
  azure: (endpoints) => `${endpoints.azurePortal}/#view/Microsoft_AAD_RegisteredApps/ApplicationsListBlade`,
  review: (endpoints) => `${endpoints.microsoftShortLinks}/mce-reviewappid`,
};

// The page hears no path of the bundle: it names the Windows user, and the page may be on stream.
const BUNDLE_FAILED = 'Tanılama paketi yazılamadı; ayrıntılar Sunucu sekmesinde.';

const PICK_LAUNCHER = {
  title: 'MinecraftLauncher.exe dosyasını seç',
  filters: [{ name: 'Minecraft Launcher', extensions: ['exe', 'lnk'] }],
  properties: ['openFile'],
};

// The folders the page may open in the file manager. Only a name given as text counts: a
// property lookup would turn ["game"] into "game".
function folderToOpen({ GAME_DIR, SERVER_DIR, BACKUPS_DIR, BASE }, what) {
  const folders = { game: GAME_DIR, mods: path.join(GAME_DIR, 'mods'), server: SERVER_DIR, backups: BACKUPS_DIR, base: BASE };
  return typeof what === 'string' && Object.hasOwn(folders, what) ? folders[what] : null;
}

// The main window, while it is open.
function mainWindow(ctx) {
  const win = ctx.page.window();
  return win && !win.isDestroyed() ? win : null;
}

/**
 * The page's server start with the launcher's services `s`: Java, the Fabric versions, the mod,
 * Fabric API, the server folder, then the start. Resolves to { ok: true } or
 * { ok: false, error }, never rejects.
 */
async function startServer(ctx, s) {
  try {
    const java = await s.ensureJava();
    const fv = await s.fabricVersions();
    const modJar = await s.refreshModJar();
    const apiJar = await s.fabricApi();
    await s.startServer(java, await prepareServer(s, { fv, modJar, apiJar }));
    return { ok: true };
  } catch (err) {
    ctx.log(`[Quorlin] HATA: ${messageOf(err)}`);
    return { ok: false, error: messageOf(err) };
  }
}

/**
 * The request handlers, by channel, over `ctx`, the launcher's services `s` and Electron's
 * `shell`, `dialog` and `BrowserWindow`.
 */
function createHandlers(ctx, s, { shell, dialog, BrowserWindow }) {
  return {
    play: () => s.play(),
    'game:restart': () => s.restartGame(),
    'game:repair': () => {
      s.repairFiles();
      return { ok: true };
    },
    state: async () => ({
      server: s.serverStatus(),
      settings: ctx.settings,
      account: ctx.auth ? ctx.auth.publicInfo() : null,
      hasClientId: ctx.clientId() !== '',
      version: layout.APP_VERSION,
      mc: layout.MC_VERSION,
      gameDir: ctx.paths.GAME_DIR,
      launcherOpen: await s.launcherRunning(),
    }),
    'server:start': () => startServer(ctx, s),
    'server:stop': async () => { await s.stopServer(); },
    'server:cmd': (_event, command) => { s.serverCommand(command); },
    'backup:list': async () => {
      try {
        return { ok: true, ...await s.backupList() };
      } catch (err) {
        return { ok: false, error: messageOf(err) };
      }
    },
    // the server checks the name against its own list: the page never names a path
    'backup:restore': async (_event, name) => {
      try {
        await s.restoreBackup(name);
        return { ok: true };
      } catch (err) {
        ctx.log(`[Quorlin] HATA: ${messageOf(err)}`);
        return { ok: false, error: messageOf(err) };
      }
    },
    // the bundle's own request logs where it went, or why not
    'diagnostics:bundle': async () => ((await s.diagnosticsBundle()).ok ? { ok: true } : { ok: false, error: BUNDLE_FAILED }),
    'settings:set': (_event, changes) => {
      settingsFile.applySettings(ctx.settings, changes);
      ctx.saveSettings();
      return ctx.settings;
    },
    open: async (_event, what) => {
      if (what === 'launcher') {
        await s.openOfficialLauncher();
        return;
      }
      const dir = folderToOpen(ctx.paths, what);
      if (!dir) return;
      fs.mkdirSync(dir, { recursive: true });
      // openPath answers an error text instead of failing
      const problem = await shell.openPath(dir);
      if (problem) ctx.log(`[Quorlin] HATA: ${problem}`);
    },
    'auth:login': async () => {
      try {
        if (!ctx.auth) throw new Error('Hesap dosyası açılamadı.');
        return { ok: true, account: await ctx.auth.login(ctx.clientId(), BrowserWindow, ctx.page.window()) };
      } catch (err) {
        return { ok: false, error: messageOf(err) };
      }
    },
    'auth:logout': () => {
      if (ctx.auth) ctx.auth.logout();
      return true;
    },
    link: async (_event, which) => {
      if (typeof which !== 'string' || !Object.hasOwn(LINKS, which)) return;
      try {
        await shell.openExternal(LINKS[which](ctx.endpoints));
      } catch (err) {
        ctx.log(`[Quorlin] HATA: ${messageOf(err)}`);
      }
    },
    'launcher:install': async () => {
      const installed = Boolean(await s.installOfficialLauncher());
      if (installed) await s.openOfficialLauncher();
      return installed;
    },
    'launcher:pick': async () => {
      const win = mainWindow(ctx);
      const { canceled, filePaths } = await dialog.showOpenDialog(...(win ? [win] : []), PICK_LAUNCHER);
      if (canceled || !filePaths || !filePaths[0]) return false;
      ctx.settings.launcherPath = filePaths[0];
      ctx.saveSettings();
      await s.openOfficialLauncher();
      return true;
    },
    win: (_event, action) => {
      const win = mainWindow(ctx);
      if (!win) return;
      if (action === 'min') win.minimize();
      else if (action === 'close') win.close();
    },
  };
}

module.exports = { createHandlers };
