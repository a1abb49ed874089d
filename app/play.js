// Play: brings Java, Fabric, the mods, the game defaults, the official launcher's profile and
// the local server into place, then starts the game straight into that server with the
// signed-in account, or hands over to the official launcher when nobody is signed in.
const fs = require('node:fs');
const path = require('node:path');
const { MC_VERSION } = require('./core/layout');
const { state, saveSettings, clientId } = require('./core/state');
const { send, progress, log, logFailure, messageOf } = require('./core/window');
const { fabricProfileUrl } = require('./setup/fabric');

// The official launcher rewrites its profile file as it exits; give it time before ours is written.
const LAUNCHER_EXIT_WAIT_MS = 2000;
const LOCAL_SERVER = 'localhost:25565';

/** The console-less variant of a Java path: a file named java.exe (any case) becomes javaw.exe. */
function windowlessJava(java) {
  return java.replace(/(^|[\\/])java\.exe$/i, '$1javaw.exe');
}

/** Everything both paths need: Java, Fabric, mods, defaults, profile and a ready server. */
async function prepare(s) {
  const { CACHE_DIR, GAME_DIR } = state.paths;
  fs.mkdirSync(CACHE_DIR, { recursive: true });
  const java = await s.ensureJava();
  progress('fabric', 'Sürümler kontrol ediliyor', 0.1);
  const fv = await s.fabricVersions();
  const versionId = await s.ensureClientFabric(fv);
  progress('mods', 'Modlar hazırlanıyor', 0.2);
  const modJar = await s.refreshModJar();
  const api = await s.fabricApi();
  await s.syncMods(path.join(GAME_DIR, 'mods'), [modJar, api, ...await s.perfMods('client')]);
  await s.writeGameDefaults();
  if (await s.closeOfficialLauncher()) await s.sleep(LAUNCHER_EXIT_WAIT_MS);
  await s.writeProfile(versionId);
  const jar = await s.ensureServerFiles(fv, api);
  await s.startServer(java, jar);
  return { java, fv, versionId };
}

function markPlayed() {
  state.settings.lastPlay = Date.now();
  saveSettings();
}

async function playDirect(s, { java, fv, versionId }) {
  progress('launch', 'Hesap doğrulanıyor', 0.1);
  const account = await state.auth.refreshIfNeeded(clientId());
  const game = new s.Game({
    root: state.paths.GAME_ROOT,
    gameDir: state.paths.GAME_DIR,
    log,
    progress: (label, fraction) => progress('launch', label, fraction),
  });
  const inst = await game.install(MC_VERSION, fabricProfileUrl(fv.loader));
  if (state.gameProc) return { ok: true, how: 'direct', already: true };
  progress('launch', 'Minecraft açılıyor', 1);
  const proc = game.launch({
    java: windowlessJava(java),
    inst,
    account,
    ramGb: state.settings.gameRam,
    versionId,
    quickPlay: LOCAL_SERVER,
    onLine: (line) => log('[Oyun] ' + line),
    onExit: (code) => {
      if (state.gameProc === proc) state.gameProc = null;
      send('game', { running: false, code });
    },
  });
  state.gameProc = proc;
  send('game', { running: true });
  markPlayed();
  return { ok: true, how: 'direct' };
}

async function playThroughLauncher(s) {
  progress('launch', 'Minecraft açılıyor', 1);
  let how = await s.openOfficialLauncher();
  if (!how && await s.installOfficialLauncher()) how = await s.openOfficialLauncher();
  markPlayed();
  return { ok: true, how: how || null, wasOpen: false };
}

/**
 * Runs Play with the launcher's services `s`; resolves to its result and never rejects.
 * A second Play while one runs answers `{ ok: false }` at once and does nothing. Nothing done
 * before a failure is undone: files stay written and a started server keeps running.
 */
async function play(s) {
  if (state.busy) return { ok: false };
  state.busy = true;
  try {
    const prepared = await prepare(s);
    const signedIn = Boolean(state.auth && state.auth.publicInfo());
    return await (signedIn ? playDirect(s, prepared) : playThroughLauncher(s));
  } catch (err) {
    logFailure(err);
    return { ok: false, error: messageOf(err) };
  } finally {
    state.busy = false;
  }
}

module.exports = { play, windowlessJava };
