'use strict';
// Entry of the launcher application's main process: builds the one context, binds the
// launcher's services and the crash explanation to it, and sets up the single-instance rule,
// the page's request handlers, the start-up, the diagnostic run and the log file's last write.
const os = require('node:os');
const { setTimeout: sleep } = require('node:timers/promises');
const electron = require('electron');
const { Auth, Game } = require('./mc');
const { createContext } = require('./core/context');
const { ownPageOnly, confineStranger } = require('./core/window');
const java = require('./setup/java');
const fabric = require('./setup/fabric');
const mods = require('./setup/mods');
const profile = require('./setup/profile');
const officialLauncher = require('./setup/official-launcher');
const { createServer } = require('./server');
const { createUpdates } = require('./update/mod');
const { maybeUpdateLauncher, settleUpdate } = require('./update/launcher');
const { createPlay } = require('./play');
const { explainCrash } = require('./diagnostics/crash');
const { bundleRequest } = require('./diagnostics/bundle');
const { createHandlers } = require('./handlers');
const { startUp } = require('./startup');
const { selfTest } = require('./selftest');

const { app, ipcMain } = electron;

const ctx = createContext({ appDir: __dirname });
// the server and Play tell a crash through it
ctx.explainCrash = explainCrash;
const server = createServer(ctx);
const updates = createUpdates(ctx);

// Everything Play, the handlers and start-up call, by one name each: the seam tests replace.
const services = {
  sleep,
  Auth,
  Game,
  ensureJava: () => java.ensureJava(ctx),
  fabricVersions: () => fabric.fabricVersions(ctx),
  ensureClientFabric: (fv) => fabric.ensureClientFabric(ctx, fv),
  fabricApi: () => fabric.fabricApi(ctx),
  perfMods: (side) => mods.perfMods(ctx, side),
  syncMods: (dir, jars) => mods.syncMods(ctx, dir, jars),
  writeGameDefaults: () => profile.writeGameDefaults(ctx),
  writeProfile: (versionId) => profile.writeProfile(ctx, versionId),
  launcherRunning: officialLauncher.launcherOpen,
  closeOfficialLauncher: officialLauncher.closeOfficialLauncher,
  openOfficialLauncher: () => officialLauncher.openOfficialLauncher(ctx, { openPath: (file) => electron.shell.openPath(file) }),
  installOfficialLauncher: () => officialLauncher.installOfficialLauncher(ctx),
  ensureServerFiles: server.ensureServerFiles,
  startServer: server.startServer,
  stopServer: server.stopServer,
  serverCommand: server.serverCommand,
  serverStatus: server.status,
  serverIsOurs: server.isOurs,
  freeMemory: os.freemem,
  backupNow: server.backupNow,
  backupList: server.backupList,
  restoreBackup: server.restoreBackup,
  manifest: updates.manifest,
  refreshModJar: updates.refreshModJar,
  maybeUpdateLauncher,
  settleUpdate: () => settleUpdate(ctx),
  diagnosticsBundle: () => bundleRequest(ctx, electron),
};
const play = createPlay(ctx, services);
Object.assign(services, { play: play.play, restartGame: play.restart, repairFiles: play.repairFiles });

// A second start hands over to the running launcher: its window comes to the front.
function showRunningWindow() {
  const win = ctx.page.window();
  if (!win || win.isDestroyed()) return;
  if (win.isMinimized()) win.restore();
  win.focus();
}

// app.quit() only schedules the end, so nothing else may be set up without the lock.
if (!app.requestSingleInstanceLock()) {
  app.quit();
} else {
  app.on('second-instance', showRunningWindow);
  app.on('window-all-closed', () => app.quit());
  // the log file's last lines, the server's end among them, are on disk before the process ends
  let logWritten = false;
  app.on('will-quit', (event) => {
    if (logWritten) return;
    event.preventDefault();
    ctx.logFile.flush().then(() => {
      logWritten = true;
      app.quit();
    });
  });
  app.on('web-contents-created', (_event, contents) => confineStranger(ctx, contents));
  // only the main window's page is answered
  for (const [channel, handler] of Object.entries(createHandlers(ctx, services, electron))) ipcMain.handle(channel, ownPageOnly(ctx, channel, handler));
  app.whenReady().then(() => startUp(ctx, services, electron));
  if (ctx.env.QUORLIN_SELFTEST) app.whenReady().then(() => selfTest(ctx, services, app));
}

// What the tests look at and replace: the launcher's context and its services.
module.exports = { ctx, services };
