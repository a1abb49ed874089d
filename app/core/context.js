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
const { createLogFile, logsDir } = require('./log-file');

/**
 * The context of a launcher over the process environment `env`, the user's `home`, the folder
 * `appDir` holding main.js and the PC's `totalMemory` in bytes: the paths computed, the build
 * values read and the settings loaded once, their memory sizes fitting the PC until the user
 * sets them. `send`, `progress` and `log` are the page's, callable bare; every line logged
 * through the page also goes to the launcher's log file.
 */
function createContext({ env = process.env, home = os.homedir(), appDir = path.join(__dirname, '..'), totalMemory = os.totalmem() } = {}) {
  const paths = launcherPaths({ env, home, appDir });
  const builtinClientId = readBuildInfo(appDir).clientId;
  const page = createPage();
  const logFile = createLogFile(logsDir(paths));
  const show = page.log;
  // the page's own refusal lines go through page.log too
  page.log = (line) => {
    logFile.write(line);
    show(line);
  };
  const ctx = {
    env,
    paths,
    settings: settingsFile.loadSettings(paths.SETTINGS_FILE, settingsFile.defaultsFor(totalMemory)),
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
    logFile,
    endpoints,
    http,
    auth: null, // the Microsoft account object, once start-up made it
    /** Async ({ side, dir, since, code, output, error }) → { kind, text, report }: main.js gives the diagnostics' one. */
    explainCrash: async () => null,
    /**
     * The explanation of a crash, its sentence logged as an error; null when there is none. One
     * that fails is none: it never stands in the way of what follows.
     */
    tellCrash: async (crash) => {
      const told = await ctx.explainCrash(crash).catch(() => null);
      if (told) ctx.log(`[Quorlin] HATA: ${told.text}`);
      return told;
    },
  };
  return ctx;
}

module.exports = { createContext };
