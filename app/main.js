// Entry of the launcher application's main process: the single-instance rule, the start-up,
// the diagnostic run and the request handlers of the page, wired to the launcher's services.
const { setTimeout: sleep } = require('node:timers/promises');
const electron = require('electron');
const { Auth, Game } = require('./mc');
const { state, initState } = require('./core/state');
const java = require('./setup/java');
const fabric = require('./setup/fabric');
const mods = require('./setup/mods');
const profile = require('./setup/profile');
const officialLauncher = require('./setup/official-launcher');
const server = require('./server');
const updateService = require('./update/service');
const updateMod = require('./update/mod');
const updateLauncher = require('./update/launcher');
const { createHandlers } = require('./handlers');
const { ownPageOnly, confineStranger } = require('./core/window');
const { startUp } = require('./startup');
const { selfTest } = require('./selftest');

const { app, ipcMain } = electron;

// Everything Play, the handlers and start-up call, by one name each.
const services = {
  sleep,
  Auth,
  Game,
  ensureJava: java.ensureJava,
  fabricVersions: fabric.fabricVersions,
  ensureClientFabric: fabric.ensureClientFabric,
  fabricApi: fabric.fabricApi,
  perfMods: mods.perfMods,
  syncMods: mods.syncMods,
  writeGameDefaults: profile.writeGameDefaults,
  writeProfile: profile.writeProfile,
  launcherRunning: officialLauncher.launcherOpen,
  closeOfficialLauncher: officialLauncher.closeOfficialLauncher,
  openOfficialLauncher: () => officialLauncher.openOfficialLauncher({ openPath: (file) => electron.shell.openPath(file) }),
  installOfficialLauncher: officialLauncher.installOfficialLauncher,
  ensureServerFiles: server.ensureServerFiles,
  startServer: server.startServer,
  stopServer: server.stopServer,
  serverStartRequest: () => server.serverStartRequest(services),
  serverCommand: server.serverCommand,
  manifest: updateService.manifest,
  refreshModJar: updateMod.refreshModJar,
  maybeUpdateLauncher: updateLauncher.maybeUpdateLauncher,
};

// A second start hands over to the running launcher: its window comes to the front.
function showRunningWindow() {
  const { win } = state;
  if (!win || win.isDestroyed()) return;
  if (win.isMinimized()) win.restore();
  win.focus();
}

initState({ appDir: __dirname });

// app.quit() only schedules the end, so nothing else may be set up without the lock.
if (!app.requestSingleInstanceLock()) {
  app.quit();
} else {
  app.on('second-instance', showRunningWindow);
  app.on('window-all-closed', () => app.quit());
  app.on('web-contents-created', (_event, contents) => confineStranger(contents));
  // only the main window's page is answered
  for (const [channel, handler] of Object.entries(createHandlers(services, electron))) ipcMain.handle(channel, ownPageOnly(channel, handler));
  app.whenReady().then(() => startUp(services, electron));
  if (process.env.QUORLIN_SELFTEST) app.whenReady().then(() => selfTest(services, app));
}
