'use strict';
// Play: brings Java, Fabric, the mods, the game defaults, the official launcher's profile and
// the local server into place, then starts the game straight into that server with the
// signed-in account, or hands over to the official launcher when nobody is signed in.
const fs = require('node:fs');
const path = require('node:path');
const { MC_VERSION } = require('./core/layout');
const { lowMemoryWarning } = require('./core/memory');
const { messageOf } = require('./core/window');
const { fabricProfileUrl } = require('./setup/fabric');
const { lineTail } = require('./diagnostics/crash');

// The official launcher rewrites its profile file as it exits; give it time before ours is written.
const LAUNCHER_EXIT_WAIT_MS = 2000;
const LOCAL_SERVER = 'localhost:25565';
const NOTHING_TO_RESTART = "Önce OYNA'ya bas: yeniden başlatılacak bir oyun yok.";

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

/**
 * Play over `ctx` with the launcher's services `s`: `play()` runs it, `restart()` starts the
 * game of the last direct Play again, `repairFiles()` has the next game install check every file
 * by its digest.
 */
function createPlay(ctx, s) {
  let busy = false;
  let gameProc = null; // the directly started game
  let lastRun = null; // what the last direct Play prepared: Java, versions, server jar, game and its install record
  let repair = false; // the next install checks every file by its digest
  // the last lines of the game's current start, its own and the launcher's about it (a Java that
  // could not be run is told only there)
  let gameOutput = lineTail();

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
    const jar = await prepareServer(s, { fv, modJar, apiJar });
    await s.startServer(java, jar);
    return { java, fv, versionId, jar };
  }

  function markPlayed() {
    ctx.settings.lastPlay = Date.now();
    ctx.saveSettings();
  }

  // The signed-in account with a Minecraft token good for a while yet.
  function signedInAccount() {
    ctx.progress('launch', 'Hesap doğrulanıyor', 0.1);
    return ctx.auth.refreshIfNeeded(ctx.clientId());
  }

  // Installs the game, a repair asked for checking every file by its digest; `run` gets the game and its install record.
  async function install(run) {
    const game = new s.Game({
      root: ctx.paths.GAME_ROOT,
      gameDir: ctx.paths.GAME_DIR,
      log: (line) => {
        gameOutput.push(line);
        ctx.log(line);
      },
      progress: (label, fraction) => ctx.progress('launch', label, fraction),
      repair,
    });
    const inst = await game.install(MC_VERSION, fabricProfileUrl(run.fv.loader));
    repair = false;
    return Object.assign(run, { game, inst });
  }

  async function playDirect(prepared) {
    const signedIn = await signedInAccount();
    lastRun = await install(prepared);
    return startGame(lastRun, signedIn);
  }

  // Starts the game of `run` with the account `signedIn` into the local server, unless one still runs.
  function startGame({ game, inst, java, versionId }, signedIn) {
    if (gameProc) return { ok: true, how: 'direct', already: true };
    ctx.progress('launch', 'Minecraft açılıyor', 1);
    const since = Date.now();
    const output = lineTail();
    gameOutput = output;
    const proc = game.launch({
      java: windowlessJava(java),
      inst,
      account: signedIn,
      ramGb: ctx.settings.gameRam,
      versionId,
      quickPlay: LOCAL_SERVER,
      onLine: (line) => {
        output.push(line);
        ctx.log('[Oyun] ' + line);
      },
      onExit: (code) => {
        if (gameProc === proc) gameProc = null;
        if (code === 0) ctx.send('game', { running: false, code });
        else gameCrashed({ since, code, output: output.lines() });
      },
    });
    gameProc = proc;
    ctx.send('game', { running: true });
    markPlayed();
    return { ok: true, how: 'direct' };
  }

  /**
   * A game that ended with an error: the page hears it as a crash, with the one sentence of the
   * crash explanation (`ctx.tellCrash`) when there is one, and offers the restart. A damaged
   * file has the next install repair the game's files.
   */
  async function gameCrashed({ since, code, output }) {
    const told = await ctx.tellCrash({ side: 'game', dir: ctx.paths.GAME_DIR, since, code, output });
    if (told && told.kind === 'damaged-file') repair = true;
    ctx.send('game', { running: false, code, crashed: true, ...(told ? { text: told.text } : {}) });
  }

  async function playThroughLauncher() {
    ctx.progress('launch', 'Minecraft açılıyor', 1);
    let how = await s.openOfficialLauncher();
    if (!how && await s.installOfficialLauncher()) how = await s.openOfficialLauncher();
    markPlayed();
    return { ok: true, how: how || null, wasOpen: false };
  }

  /**
   * The warning when too little memory is free for what this Play starts, logged; or null. A
   * server that runs already has its memory, and so has a game still running.
   */
  function memoryWarning() {
    if (gameProc) return null;
    const { gameRam, serverRam } = ctx.settings;
    const warning = lowMemoryWarning({ gameRam, serverRam, serverRunning: s.serverStatus() !== 'stopped' }, s.freeMemory());
    if (warning) ctx.log(`[Quorlin] ${warning}`);
    return warning;
  }

  /**
   * Runs `work` as the one Play at a time; resolves to its result, with the low-memory `warning`
   * when there is one (never a reason to stop), or { ok: false, error }; never rejects.
   */
  async function serialised(work) {
    if (busy) return { ok: false };
    busy = true;
    try {
      const warning = memoryWarning();
      const result = await work();
      return warning ? { ...result, warning } : result;
    } catch (err) {
      ctx.logFailure(err);
      return { ok: false, error: messageOf(err) };
    } finally {
      busy = false;
    }
  }

  /**
   * Runs Play; resolves to its result and never rejects. A second Play while one runs answers
   * `{ ok: false }` at once and does nothing. Nothing done before a failure is undone: files
   * stay written and a started server keeps running.
   */
  function play() {
    return serialised(async () => {
      const prepared = await prepare();
      const signedIn = Boolean(ctx.auth && ctx.auth.publicInfo());
      return signedIn ? playDirect(prepared) : playThroughLauncher();
    });
  }

  /**
   * Starts the game of the last direct Play again, into the local server, without preparing
   * anything again: the server is started only when it is no longer up, the game files are
   * checked again only when a repair is due. Answers as Play does.
   */
  function restart() {
    if (!lastRun) return Promise.resolve({ ok: false, error: NOTHING_TO_RESTART });
    return serialised(async () => {
      const signedIn = await signedInAccount();
      await s.startServer(lastRun.java, lastRun.jar);
      if (repair) await install(lastRun);
      return startGame(lastRun, signedIn);
    });
  }

  return {
    play,
    restart,
    /** Has the next game install check every file by its digest and fetch what is wrong. */
    repairFiles: () => {
      repair = true;
      ctx.log("[Quorlin] Onarım istendi: bir sonraki OYNA tüm oyun dosyalarını denetleyecek.");
    },
  };
}

module.exports = { windowlessJava, prepareServer, createPlay };
