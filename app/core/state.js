// The launcher's process-wide state, shared by every main-process module: the directories,
// the built-in client id, the settings object and the live objects of the running launcher.
const os = require('node:os');
const path = require('node:path');
const { launcherPaths } = require('./layout');
const { readBuildInfo } = require('./build-info');
const settingsFile = require('./settings');

const state = {};

/**
 * Computes the directories, reads the build values and loads the settings; every live
 * object starts empty. The launcher calls it once when it loads; tests call it to start over.
 */
function initState({ env = process.env, home = os.homedir(), appDir = path.join(__dirname, '..') } = {}) {
  const paths = launcherPaths({ env, home, appDir });
  return Object.assign(state, {
    paths,
    BUILTIN_CLIENT_ID: readBuildInfo(appDir).clientId,
    settings: settingsFile.loadSettings(paths.SETTINGS_FILE),
    win: null, // the main window
    auth: null, // the Microsoft account object, once start-up made it
    busy: false, // Play is running
    gameProc: null, // the directly started game
    server: null, // the local server process this launcher started
    serverState: 'stopped',
    latestManifest: null, // the update manifest fetched this run
    currentModJar: paths.CARRIED_MOD_JAR, // the Brimlox mod archive to install
  });
}

/** Writes the settings object to the settings file; throws on failure. */
function saveSettings() {
  settingsFile.saveSettings(state.paths.SETTINGS_FILE, state.settings);
}

/** The effective OAuth client id: the user's own, else the built-in one; "" when neither exists. */
function clientId() {
  return settingsFile.effectiveClientId(state.settings, state.BUILTIN_CLIENT_ID);
}

module.exports = { state, initState, saveSettings, clientId };
