'use strict';
// The versions the launcher works with and every directory and file it reads and writes.
const os = require('node:os');
const path = require('node:path');

const MC_VERSION = '26.3';
const PROFILE_ID = 'quorlin-brimlox';
const UA = 'Quorlin-Launcher/1.0 (Brimlox)';
// The launcher's own version for updates; also the first half of the bootstrapper's version stamp.
const APP_VERSION = '1.0.26';
// Version of the Brimlox mod archive carried in ASSETS (its file name says 1.0.0; that plays no part).
const MOD_VERSION = '1.0.26';

/**
 * The launcher's directories. `env` is the process environment, `home` the user's home
 * directory, `appDir` the directory holding main.js; `p` joins paths (path.win32 in tests
 * shows the Windows shape).
 */
function launcherPaths({ env = process.env, home = os.homedir(), appDir = path.join(__dirname, '..') } = {}, p = path) {
  // APPDATA unset or empty: the roaming folder under the user's home
  const APPDATA = env.APPDATA || p.join(home, 'AppData', 'Roaming');
  const BASE = p.join(APPDATA, '.quorlin');
  const ASSETS = p.join(appDir, 'assets');
  return {
    APPDATA,
    BASE,
    GAME_DIR: p.join(BASE, 'brimlox'),
    SERVER_DIR: p.join(BASE, 'server'),
    BACKUPS_DIR: p.join(BASE, 'backups'), // verified backups of the server's world
    RUNTIME_DIR: p.join(BASE, 'runtime'),
    CACHE_DIR: p.join(BASE, 'cache'),
    GAME_ROOT: p.join(BASE, 'minecraft'),
    MC_DIR: p.join(APPDATA, '.minecraft'),
    SETTINGS_FILE: p.join(BASE, 'launcher.json'),
    ACCOUNT_FILE: p.join(BASE, 'account.dat'),
    APP_DIR: appDir,
    ASSETS,
    CARRIED_MOD_JAR: p.join(ASSETS, 'brimlox-1.0.0.jar'),
  };
}

module.exports = { MC_VERSION, PROFILE_ID, UA, APP_VERSION, MOD_VERSION, launcherPaths };
