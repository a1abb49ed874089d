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
  for (const key of Object.keys(require.cache)) {
    if (key.startsWith(APP_DIR + path.sep)) delete require.cache[key];
  }
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
  return {
    state: require(path.join(APP_DIR, 'state.js')).state,
    window: require(path.join(APP_DIR, 'window.js')),
    testing: electron.testing,
  };
}

/** Runs the bridge script in the main window's page; returns the page's `window.quorlin`. */
function openPage() {
  const preload = path.join(APP_DIR, 'preload.js');
  delete require.cache[preload];
  require(preload);
  return electron.testing.page.quorlin;
}

module.exports = { APP_DIR, REQUESTS, loadLauncher, openPage };
