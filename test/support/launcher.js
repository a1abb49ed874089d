// Starts the launcher's main process in a test against the Electron stand-in: a fresh load
// of app/main.js with its own APPDATA, then (openPage) the bridge in the main window's page.
const path = require('node:path');
const electron = require('electron');

const APP_DIR = path.resolve(__dirname, '..', '..', 'app');
// The page's requests: [bridge function, channel, a sample argument]
const REQUESTS = [
  ['play', 'play'], ['state', 'state'], ['startServer', 'server:start'], ['stopServer', 'server:stop'],
  ['command', 'server:cmd', 'say hi'], ['setSettings', 'settings:set', { gameRam: 8 }], ['open', 'open', 'mods'],
  ['installLauncher', 'launcher:install'], ['pickLauncher', 'launcher:pick'], ['login', 'auth:login'],
  ['logout', 'auth:logout'], ['link', 'link', 'azure'], ['win', 'win', 'min'],
];

function forgetApp() {
  for (const key of Object.keys(require.cache)) if (key.startsWith(APP_DIR + path.sep)) delete require.cache[key];
}

/** Other options go to electron.testing.reset; returns the launcher's live modules. */
function loadLauncher({ appData, ...electronOptions }) {
  electron.testing.reset(electronOptions);
  forgetApp();
  const saved = process.env.APPDATA;
  process.env.APPDATA = appData;
  try {
    require(path.join(APP_DIR, 'main.js'));
  } finally {
    if (saved === undefined) delete process.env.APPDATA;
    else process.env.APPDATA = saved;
  }
  return { state: require(path.join(APP_DIR, 'core', 'state.js')).state, testing: electron.testing };
}

// What the launcher's services answer unless a test says otherwise.
const ANSWERS = {
  ensureJava: 'C:\\Java\\bin\\JAVA.EXE', fabricVersions: { loader: '0.19.5', installer: '1.1.0' },
  ensureClientFabric: 'fabric-loader-0.19.5-26.3', refreshModJar: '/carried/brimlox-1.0.0.jar', fabricApi: '/cache/fabric-api.jar',
  perfMods: ['/cache/sodium.jar'], closeOfficialLauncher: false, ensureServerFiles: '/server/fabric-server-26.3-0.19.5.jar',
  openOfficialLauncher: 'exe', installOfficialLauncher: false, launcherRunning: false, serverStartRequest: { ok: true },
  manifest: null, maybeUpdateLauncher: false,
};
const RECORDED = [...Object.keys(ANSWERS), 'syncMods', 'writeGameDefaults', 'writeProfile', 'startServer',
  'stopServer', 'serverCommand', 'sleep'];

/**
 * The launcher's services as recording fakes: every call lands in `calls` as [name, ...args].
 * `answers` replaces what a service resolves to; a function there is called with the arguments
 * (and may throw). The game installs at once and `launches` holds each start's options and a
 * fake process; `Auth` stays the real one.
 */
function fakeServices(answers = {}) {
  const calls = [];
  const launches = [];
  const services = { calls, launches, Auth: require(path.join(APP_DIR, 'mc')).Auth };
  for (const name of RECORDED) {
    const answer = Object.hasOwn(answers, name) ? answers[name] : ANSWERS[name];
    services[name] = async (...args) => {
      calls.push([name, ...args]);
      return typeof answer === 'function' ? answer(...args) : answer;
    };
  }
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
 * The launcher's modules fresh, as main.js wires them but over `services`: the state of
 * `appData` and the request handlers registered. `startUp(options)` runs the start-up
 * sequence with an empty environment unless the options give one.
 */
function wiredLauncher({ appData, services, ...electronOptions }) {
  electron.testing.reset(electronOptions);
  forgetApp();
  const { state, initState } = require(path.join(APP_DIR, 'core', 'state.js'));
  initState({ env: { APPDATA: appData }, appDir: APP_DIR });
  const { createHandlers } = require(path.join(APP_DIR, 'handlers.js'));
  const { ownPageOnly } = require(path.join(APP_DIR, 'core', 'window.js'));
  for (const [channel, handler] of Object.entries(createHandlers(services, electron))) electron.ipcMain.handle(channel, ownPageOnly(channel, handler));
  const { startUp } = require(path.join(APP_DIR, 'startup.js'));
  return {
    state,
    testing: electron.testing,
    startUp: (options = {}) => startUp(services, electron, { env: {}, ...options }),
  };
}

/**
 * `wiredLauncher` started on Linux over `fakeServices(answers)` with its page open; `services`
 * has forgotten the start-up's calls and `events` holds every event the page got as [channel, payload].
 */
async function startedLauncher({ appData, answers = {} }) {
  const services = fakeServices(answers);
  const launcher = wiredLauncher({ appData, services, ready: true });
  await launcher.startUp({ platform: 'linux' });
  services.calls.length = 0;
  const quorlin = openPage();
  const events = [];
  for (const channel of ['progress', 'log', 'server', 'closing', 'game']) quorlin.on(channel, (p) => events.push([channel, p]));
  return { ...launcher, services, quorlin, events, win: launcher.state.win };
}

/** Signs a made-up account in, its Minecraft token good for an hour. */
function signIn(state) {
  state.auth.account = { name: 'Ayşe', uuid: 'u-1', mcToken: 't', mcExpires: Date.now() + 3600e3, refresh: 'r', xuid: 'x' };
}

/** Runs the bridge script in the main window's page; returns the page's `window.quorlin`. */
function openPage() {
  const preload = path.join(APP_DIR, 'preload.js');
  delete require.cache[preload];
  require(preload);
  return electron.testing.page.quorlin;
}

module.exports = { APP_DIR, REQUESTS, loadLauncher, fakeServices, wiredLauncher, startedLauncher, signIn, openPage };
