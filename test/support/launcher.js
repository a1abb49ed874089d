'use strict';
// Starts the launcher's main process in a test against the Electron stand-in: a fresh load of
// app/main.js with its own APPDATA, its services real or recording fakes, then (openPage) the
// bridge in the main window's page.
const path = require('node:path');
const electron = require('electron');
const { APP_DIR } = require('./context');

// The page's requests: [bridge function, channel, a sample argument]
const REQUESTS = [
  ['play', 'play'], ['restartGame', 'game:restart'], ['repairFiles', 'game:repair'], ['state', 'state'], ['startServer', 'server:start'], ['stopServer', 'server:stop'],
  ['command', 'server:cmd', 'say hi'], ['backups', 'backup:list'], ['restoreBackup', 'backup:restore', 'brimlox-2025-03-04_05-06-07.zip'],
  ['diagnostics', 'diagnostics:bundle'], ['setSettings', 'settings:set', { gameRam: 8 }], ['open', 'open', 'mods'],
  ['installLauncher', 'launcher:install'], ['pickLauncher', 'launcher:pick'], ['login', 'auth:login'],
  ['logout', 'auth:logout'], ['link', 'link', 'azure'], ['win', 'win', 'min'],
];

// What the launcher's services answer unless a test says otherwise.
const ANSWERS = {
  ensureJava: 'C:\\Java\\bin\\JAVA.EXE', fabricVersions: { loader: '0.19.5', installer: '1.1.0' },
  ensureClientFabric: 'fabric-loader-0.19.5-26.3', refreshModJar: '/carried/brimlox-1.0.0.jar', fabricApi: '/cache/fabric-api.jar',
  perfMods: ['/cache/sodium.jar'], closeOfficialLauncher: false, ensureServerFiles: '/server/fabric-server-26.3-0.19.5.jar',
  openOfficialLauncher: 'exe', installOfficialLauncher: false, launcherRunning: false, manifest: null, maybeUpdateLauncher: false,
  backupNow: null,
};
const RECORDED = [...Object.keys(ANSWERS), 'syncMods', 'writeGameDefaults', 'writeProfile', 'startServer', 'stopServer', 'serverCommand', 'sleep', 'settleUpdate'];
// Questions of the server's state and the PC's free memory (plenty), answered without a record.
const QUESTIONS = { serverStatus: 'stopped', serverIsOurs: false, freeMemory: 64 * 1024 ** 3 };

/**
 * The launcher's services as recording fakes: every call lands in `calls` as [name, ...args].
 * `answers` replaces what a service answers; a function there is called with the arguments
 * (and may throw). The game installs at once and `launches` holds each start's options and a
 * fake process; `Auth` stays the real one.
 */
function fakeServices(answers = {}) {
  const calls = [];
  const launches = [];
  const services = { calls, launches, Auth: require(path.join(APP_DIR, 'mc')).Auth };
  const answerOf = (name, args, table) => {
    const answer = Object.hasOwn(answers, name) ? answers[name] : table[name];
    return typeof answer === 'function' ? answer(...args) : answer;
  };
  for (const name of RECORDED) {
    services[name] = (...args) => {
      calls.push([name, ...args]);
      return answerOf(name, args, ANSWERS);
    };
  }
  for (const name of Object.keys(QUESTIONS)) services[name] = () => answerOf(name, [], QUESTIONS);
  services.Game = class {
    async install(...args) {
      calls.push(['install', ...args]);
      return { vanilla: { id: args[0] } };
    }
    launch(options) {
      calls.push(['launch']);
      const proc = { pid: 4242 };
      launches.push({ options, proc });
      return proc;
    }
  };
  return services;
}

/**
 * Loads app/main.js afresh with APPDATA `appData` (other options go to electron.testing.reset);
 * with `answers`, its services become `fakeServices(answers)` before start-up can run, Play
 * staying the real one over them. Returns main.js's `ctx` and `services`, and `testing`.
 */
function loadLauncher({ appData, answers, ...electronOptions }) {
  electron.testing.reset(electronOptions);
  for (const key of Object.keys(require.cache)) if (key.startsWith(APP_DIR + path.sep)) delete require.cache[key];
  const saved = process.env.APPDATA;
  process.env.APPDATA = appData;
  try {
    const { ctx, services } = require(path.join(APP_DIR, 'main.js'));
    if (answers) Object.assign(services, fakeServices(answers));
    return { ctx, services, testing: electron.testing };
  } finally {
    if (saved === undefined) delete process.env.APPDATA;
    else process.env.APPDATA = saved;
  }
}

/**
 * `loadLauncher` over `fakeServices(answers)`, started, its window shown and its page open;
 * `services` has forgotten the start-up's calls, `events` holds every event the page got as
 * [channel, payload].
 */
async function startedLauncher({ appData, answers = {} }) {
  const launcher = loadLauncher({ appData, answers, ready: true });
  const { ctx, services, testing } = launcher;
  while (!ctx.page.window()?.isVisible()) await testing.flush();
  services.calls.length = 0;
  const quorlin = openPage();
  const events = [];
  for (const channel of ['progress', 'log', 'server', 'closing', 'game']) quorlin.on(channel, (p) => events.push([channel, p]));
  return { ...launcher, quorlin, events, win: ctx.page.window() };
}

/** Signs a made-up account in, its Minecraft token good for an hour. */
function signIn(ctx) {
  ctx.auth.account = { name: 'Ayşe', uuid: 'u-1', mcToken: 't', mcExpires: Date.now() + 3600e3, refresh: 'r', xuid: 'x' };
}

/** Runs the bridge script in the main window's page; returns the page's `window.quorlin`. */
function openPage() {
  const preload = path.join(APP_DIR, 'preload.js');
  delete require.cache[preload];
  require(preload);
  return electron.testing.page.quorlin;
}

module.exports = { APP_DIR, REQUESTS, fakeServices, loadLauncher, startedLauncher, signIn, openPage };
