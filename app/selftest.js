'use strict';
// The diagnostic run (QUORLIN_SELFTEST set): a short unattended pass through the game
// defaults, the profile, the mods folder and Play, printed on standard output, with a
// picture of the page; then the process ends.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { setTimeout: sleep } = require('node:timers/promises');
const { PROFILE_ID } = require('./core/layout');
const { clientVersionId } = require('./setup/fabric');

const SELFTEST_DELAY_MS = 2500;
// the Fabric loader whose version entry the diagnostic profile names
const SELFTEST_LOADER = '0.19.5';

/**
 * Runs the diagnostic pass over `ctx` with the launcher's services `s` and Electron's `app`;
 * `print` takes each output line. The picture goes to the system's temporary folder (a fixed
 * Unix path would not exist on Windows) and its path is printed. Always ends with `app.exit(0)`.
 */
async function selfTest(ctx, s, app, { delayMs = SELFTEST_DELAY_MS, tmpDir = os.tmpdir(), print = console.log } = {}) {
  try {
    await sleep(delayMs);
    const { GAME_DIR, MC_DIR, CARRIED_MOD_JAR } = ctx.paths;
    await s.writeGameDefaults();
    await s.writeProfile(clientVersionId(SELFTEST_LOADER));
    const mods = path.join(GAME_DIR, 'mods');
    await s.syncMods(mods, [CARRIED_MOD_JAR]);
    const profiles = JSON.parse(fs.readFileSync(path.join(MC_DIR, 'launcher_profiles.json'), 'utf8')).profiles;
    print(`SELFTEST profile ${String(JSON.stringify(profiles[PROFILE_ID])).slice(0, 200)}`);
    print(`SELFTEST mods ${JSON.stringify(fs.readdirSync(mods))}`);
    print(`SELFTEST play ${JSON.stringify(await s.play())}`);
    const win = ctx.page.window();
    if (!win || win.isDestroyed()) throw new Error('no window to capture');
    const shot = path.join(tmpDir, 'electron-shot.png');
    fs.writeFileSync(shot, (await win.webContents.capturePage()).toPNG());
    print(`SELFTEST shot ${shot}`);
  } catch (err) {
    print(`SELFTEST error ${err && err.stack ? err.stack : err}`);
  }
  app.exit(0);
}

module.exports = { selfTest };
