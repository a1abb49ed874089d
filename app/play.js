'use strict';
// Play: brings Java, Fabric, the mods, the game defaults, the official launcher's profile and
// the local server into place, then starts the game straight into that server with the
// signed-in account, or hands over to the official launcher when nobody is signed in.
const fs = require('node:fs');
const path = require('node:path');
const { MC_VERSION } = require('./core/layout');
const { messageOf } = require('./core/window');
const { fabricProfileUrl } = require('./setup/fabric');

// The official launcher rewrites its profile file as it exits; give it time before ours is written.
const LAUNCHER_EXIT_WAIT_MS = 2000;
const LOCAL_SERVER = 'localhost:25565';

/** The console-less variant of a Java path: a file named java.exe (any case) becomes javaw.exe. */
function windowlessJava(java) {
  return java.replace(/(^|[\\/])java\.exe$/i, '$1javaw.exe');
}

/**
 * Prepares the server folder with the launcher's services `s` for the Fabric versions `fv`:
 * the Brimlox mod `modJar`, Fabric API `apiJar` and the server's performance mods go into
 * its mods folder. Resolves to the server jar, to be started with `java`.
 */
async function prepareServer(s, { fv, modJar, apiJar }) {
  return s.ensureServerFiles(fv, [modJar, apiJar, ...await s.perfMods('server')]);
}

/** Play over `ctx` with the launcher's services `s`: `play()` runs it. */
function createPlay(ctx, s) {
  let busy = false;
  let gameProc = null; // the directly started game

  // Everything both ways need: Java, Fabric, mods, defaults, profile and a ready server.
  async function prepare() {
    const { CACHE_DIR, GAME_DIR } = ctx.paths;
    fs.mkdirSync(CACHE_DIR, { recursive: true });
    const java = await s.ensureJava();
    ctx.progress('fabric', 'Sürümler kontrol ediliyor', 0.1);
    const fv = await s.fabricVersions();
    const versionId = await s.ensureClientFabric(fv);
    ctx.progress('mods', 'Modlar hazırlanıyor', 0.2);
    const modJar = await s.refreshModJar();
    const apiJar = await s.fabricApi();
    await s.syncMods(path.join(GAME_DIR, 'mods'), [modJar, apiJar, ...await s.perfMods('client')]);
    await s.writeGameDefaults();
    if (await s.closeOfficialLauncher()) await s.sleep(LAUNCHER_EXIT_WAIT_MS);
    await s.writeProfile(versionId);
    await s.startServer(java, await prepareServer(s, { fv, modJar, apiJar }));
    return { java, fv, versionId };
  }

  function markPlayed() {
    ctx.settings.lastPlay = Date.now();
    ctx.saveSettings();
  }

  async function playDirect({ java, fv, versionId }) {
    ctx.progress('launch', 'Hesap doğrulanıyor', 0.1);
    const account = await ctx.auth.refreshIfNeeded(ctx.clientId());
    const game = new s.Game({
      root: ctx.paths.GAME_ROOT,
      gameDir: ctx.paths.GAME_DIR,
      log: ctx.log,
      progress: (label, fraction) => ctx.progress('launch', label, fraction),
    });
    const inst = await game.install(MC_VERSION, fabricProfileUrl(fv.loader));
    if (gameProc) return { ok: true, how: 'direct', already: true };
    ctx.progress('launch', 'Minecraft açılıyor', 1);
    const proc = game.launch({
      java: windowlessJava(java),
      inst,
      account,
      ramGb: ctx.settings.gameRam,
      versionId,
      quickPlay: LOCAL_SERVER,
      onLine: (line) => ctx.log('[Oyun] ' + line),
      onExit: (code) => {
        if (gameProc === proc) gameProc = null;
        ctx.send('game', { running: false, code });
      },
    });
    gameProc = proc;
    ctx.send('game', { running: true });
    markPlayed();
    return { ok: true, how: 'direct' };
  }

  async function playThroughLauncher() {
    ctx.progress('launch', 'Minecraft açılıyor', 1);
    let how = await s.openOfficialLauncher();
    if (!how && await s.installOfficialLauncher()) how = await s.openOfficialLauncher();
    markPlayed();
    return { ok: true, how: how || null, wasOpen: false };
  }

  /**
   * Runs Play; resolves to its result and never rejects. A second Play while one runs answers
   * `{ ok: false }` at once and does nothing. Nothing done before a failure is undone: files
   * stay written and a started server keeps running.
   */
  async function play() {
    if (busy) return { ok: false };
    busy = true;
    try {
      const prepared = await prepare();
      const signedIn = Boolean(ctx.auth && ctx.auth.publicInfo());
      return await (signedIn ? playDirect(prepared) : playThroughLauncher());
    } catch (err) {
      ctx.logFailure(err);
      return { ok: false, error: messageOf(err) };
    } finally {
      busy = false;
    }
  }

  return { play };
}

module.exports = { windowlessJava, prepareServer, createPlay };
