'use strict';
// The launcher's context: built once by main.js and handed to every subsystem. It carries the
// directories, the settings with their save, the page's messenger, the outside hosts, the HTTP
// client and the signed-in account object; no module keeps any of these for itself.
const os = require('node:os');
const path = require('node:path');
const endpoints = require('./endpoints');
const http = require('./http');
const settingsFile = require('./settings');
const { launcherPaths } = require('./layout');
const { readBuildInfo } = require('./build-info');
const { createPage, logFailure } = require('./window');

/**
 * The context of a launcher over the process environment `env`, the user's `home` and the
 * folder `appDir` holding main.js: the paths computed, the build values read and the settings
 * loaded once. `send`, `progress` and `log` are the page's, callable bare.
 */
function createContext({ env = process.env, home = os.homedir(), appDir = path.join(__dirname, '..') } = {}) {
  const paths = launcherPaths({ env, home, appDir });
  const builtinClientId = readBuildInfo(appDir).clientId;
  const page = createPage();
  const ctx = {
    env,
    paths,
    settings: settingsFile.loadSettings(paths.SETTINGS_FILE),
    /** Writes the settings object to the settings file; throws on failure. */
    saveSettings: () => settingsFile.saveSettings(paths.SETTINGS_FILE, ctx.settings),
    /** The effective OAuth client id: the user's own, else the built-in one; "" when neither exists. */
    clientId: () => settingsFile.effectiveClientId(ctx.settings, builtinClientId),
    page,
    send: page.send,
    progress: page.progress,
    log: page.log,
    /** Logs a failure with its stack trace through `log`. */
    logFailure: (err) => logFailure(err, ctx.log),
    endpoints,
    http,
    auth: null, // the Microsoft account object, once start-up made it
  };
  return ctx;
}

module.exports = { createContext };
