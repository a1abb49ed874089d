'use strict';
// The local Minecraft server: its folder, its process, its console and its state.
const fs = require('node:fs');
const net = require('node:net');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { MC_VERSION } = require('./core/layout');
const { hashFile, writeFileAtomic } = require('./core/files');
const { plainName } = require('./core/names');
const { LOCALE_SAFE_JAVA_FLAGS } = require('./core/java-flags');
const { syncMods } = require('./setup/mods');
const { createServerBackups } = require('./server-backups');
const { lineTail } = require('./diagnostics/crash');

/** The port the server listens on and the game joins, and the waits in ms. Tests change them. */
const limits = {
  port: 25565,
  probeMs: 800, // a port probe without an answer by then finds nothing
  pollMs: 500, // the wait for readiness wakes when the state changes, and looks at least this often
  readyMs: 240 * 1000, // the first start generates the world and takes longest
  stopMs: 20 * 1000, // a server that ignores "stop" this long is killed
  closeGraceMs: 1000, // after the exit, how long its last output may take to arrive
  backupEveryMs: 60 * 60 * 1000, // while the server runs, its world is backed up this often
  saveWaitMs: 60 * 1000, // how long "save-all flush" may take to report the world written
  crashAgainMs: 60 * 1000, // a server that crashes again this soon after coming back by itself stays stopped
};

const READY_LINE = /Done \([\d.,]+s\)!/;
const JOIN_LINE = /(\w+) joined the game/;
const OLD_SERVER_JAR = /^fabric-server-.*\.jar$/;
// Minecraft 26 turns the whitelist on by default; the Brimlox world is a local one that stays open.
const FORCED_KEYS = [['white-list', 'false'], ['enforce-whitelist', 'false'], ['spawn-protection', '0']];
const NOT_READY = 'Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.';
const RESTARTING = '[Quorlin] Sunucu çöktü, yeniden başlatılıyor…';
const GAVE_UP = 'Sunucu tekrar çöktü ve durduruldu.';

/** Resolves true when something accepts a TCP connection on 127.0.0.1:`port` within the probe time. */
function portOpen(port) {
  return new Promise((resolve) => {
    const socket = net.connect({ host: '127.0.0.1', port });
    const timer = setTimeout(() => done(false), limits.probeMs);
    function done(open) {
      clearTimeout(timer);
      socket.destroy();
      resolve(open);
    }
    socket.once('connect', () => done(true));
    socket.once('error', () => done(false));
  });
}

/**
 * `text` of a properties file with the keys the local world needs: the first line of each
 * key is replaced, a missing key is appended after the last non-blank line. Other lines, and
 * their line ends, stay as they were.
 */
function forceKeys(text) {
  let out = text;
  for (const [key, value] of FORCED_KEYS) {
    const lines = out.split('\n');
    const at = lines.findIndex((line) => line.startsWith(`${key}=`));
    if (at >= 0) {
      lines[at] = `${key}=${value}`;
      out = lines.join('\n');
    } else {
      out = `${out.trimEnd()}\n${key}=${value}\n`;
    }
  }
  return out;
}

// A Fabric version goes into a file name and an address.
const fabricVersion = (text) => plainName(text, 'Fabric sürümü');

/** A feed for decoded text that hands on every complete line, without its line end. */
function lineSplitter(onLine) {
  let rest = '';
  return (text) => {
    const lines = (rest + text).split('\n');
    rest = lines.pop(); // a line still waiting for its line feed
    for (const line of lines) onLine(line.endsWith('\r') ? line.slice(0, -1) : line);
  };
}

/**
 * Whether preparing puts a server `jar` or one of the mod `jars` in place that the server does
 * not already have: the jar is missing, or `modsDir` lacks a mod byte for byte.
 */
async function replacesFiles(jar, modsDir, jars) {
  if (!fs.existsSync(jar)) return true;
  for (const file of jars) {
    const placed = path.join(modsDir, path.basename(file));
    if (!fs.existsSync(placed) || (await hashFile(placed, 'sha1')) !== (await hashFile(file, 'sha1'))) return true;
  }
  return false;
}

function kill(child) {
  try {
    child.kill();
  } catch {
    // it is gone, or beyond reach: nothing more to do either way
  }
}

/**
 * The local server of the launcher over `ctx`: its folder, and the one process of ours with
 * its state ('stopped', 'starting' or 'running'), told to the page as it changes. When its
 * world is backed up is up to server-backups.js, which it tells of the process.
 */
function createServer(ctx) {
  let child = null; // the server process this launcher started
  let serverState = 'stopped';
  let starting = null; // the start whose port probe is under way; a second caller meanwhile shares it
  const stopAsked = new WeakSet(); // our processes told to "stop": their exit with 0 is an orderly one
  let restartedAt = null; // when a crashed server of ours was last started again by itself (ms)
  let failure = null; // resolves to why the last start could not run its program, or null
  const waiters = new Set(); // called at every change of the state
  const backups = createServerBackups(ctx, {
    limits,
    ours: () => child,
    command: serverCommand,
    isStopped: () => !child && !starting && serverState === 'stopped',
  });

  /**
   * Prepares the server folder for the Fabric versions `fv` ({ loader, installer }): server
   * jar, EULA, properties, and `jars` as the mods folder's content. Resolves to the jar's path.
   */
  async function ensureServerFiles(fv, jars) {
    const { SERVER_DIR, ASSETS } = ctx.paths;
    ctx.progress('server', 'Sunucu hazırlanıyor', 0);
    fs.mkdirSync(SERVER_DIR, { recursive: true });
    const loader = fabricVersion(fv.loader);
    const installer = fabricVersion(fv.installer);
    const jar = path.join(SERVER_DIR, `fabric-server-${MC_VERSION}-${loader}.jar`);
    const modsDir = path.join(SERVER_DIR, 'mods');
    // a new server jar or mod may change the world as it loads it: the world is kept first
    if (await replacesFiles(jar, modsDir, jars)) await backups.keepWorld(() => ctx.progress('server', 'Dünya yedekleniyor', 0));
    if (!fs.existsSync(jar)) {
      for (const entry of fs.readdirSync(SERVER_DIR, { withFileTypes: true })) {
        if (entry.isFile() && OLD_SERVER_JAR.test(entry.name)) fs.rmSync(path.join(SERVER_DIR, entry.name));
      }
      const url = `${ctx.endpoints.fabricMeta}/v2/versions/loader/${MC_VERSION}/${loader}/${installer}/server/jar`;
      await ctx.http.download(url, jar, (fraction) => ctx.progress('server', 'Sunucu indiriliyor', fraction));
    }
    fs.writeFileSync(path.join(SERVER_DIR, 'eula.txt'), 'eula=true\n');
    const properties = path.join(SERVER_DIR, 'server.properties');
    if (!fs.existsSync(properties)) fs.copyFileSync(path.join(ASSETS, 'server.properties'), properties);
    writeFileAtomic(properties, forceKeys(fs.readFileSync(properties, 'utf8')));
    await syncMods(ctx, modsDir, jars);
    return jar;
  }

  /** Sets the server's state and tells the page: { state } plus the fields of `extra`. */
  function setServer(next, extra = {}) {
    serverState = next;
    ctx.send('server', { state: next, ...extra });
    for (const wake of waiters) wake();
  }

  // Resolves at the next change of the state, or after `ms` without one.
  function stateChange(ms) {
    return new Promise((resolve) => {
      const wake = () => {
        clearTimeout(timer);
        waiters.delete(wake);
        resolve();
      };
      const timer = setTimeout(wake, ms);
      waiters.add(wake);
    });
  }

  function onConsoleLine(run, line) {
    ctx.log(line);
    run.output.push(line);
    const { proc } = run;
    if (child !== proc) return;
    backups.consoleLine(line);
    if (READY_LINE.test(line)) {
      run.ready = true;
      if (serverState === 'starting') backups.schedule(proc);
      setServer('running');
    }
    const joined = JOIN_LINE.exec(line);
    if (joined) ctx.send('server', { state: serverState, joined: joined[1] });
  }

  // The explanation of a crash of our server (see ctx.tellCrash), or null.
  function explain({ since, code, output, error = null }) {
    return ctx.tellCrash({ side: 'server', dir: ctx.paths.SERVER_DIR, since, code, output, error });
  }

  // A program that never ran (a Java the antivirus took away): a start waiting for it fails with
  // the explanation's sentence, when it knows the cause.
  function cannotStart(java, err) {
    child = null;
    ctx.log(`[Quorlin] HATA: Sunucu programı çalıştırılamadı (${java}): ${err.message}`);
    failure = explain({ since: Date.now(), code: null, output: [], error: err })
      .then((told) => (told && told.kind !== 'unknown' ? told.text : null));
    setServer('stopped', { code: null });
  }

  /**
   * Starts the server process and follows it. It is detached: on Windows every other child
   * dies with the launcher, and a server the user keeps running past the launcher's close must
   * live on. Detached, it also has no console at all, so no window can show; its three
   * standard streams stay pipes, so its console is read and "stop" reaches it.
   */
  function spawnServer(java, jar) {
    const args = [`-Xmx${ctx.settings.serverRam}G`, '-Xms1G', ...LOCALE_SAFE_JAVA_FLAGS, '-jar', jar, 'nogui'];
    const options = { cwd: ctx.paths.SERVER_DIR, detached: true, windowsHide: true, stdio: 'pipe' };
    let proc;
    try {
      proc = spawn(java, args, options);
    } catch (err) {
      cannotStart(java, err);
      return;
    }
    child = proc;
    const run = { proc, java, jar, since: Date.now(), output: lineTail(), ready: false };
    let ended = false;
    let grace = null;
    const end = (code, signal) => {
      if (ended) return;
      ended = true;
      clearTimeout(grace);
      if (child === proc && proc.pid !== undefined) {
        child = null;
        backups.unschedule();
        setServer('stopped', { code });
        ctx.log(`[Quorlin] Sunucu kapandı (${code ?? signal})`);
        // after an orderly stop the world on disk is whole; after a crash or a kill the last
        // good backup stays the newest
        // one ended by a signal was killed (on Windows only the launcher's own kill does that): no crash
        if (stopAsked.has(proc)) {
          if (code === 0) backups.keepWorld();
        } else if (code !== null && (code !== 0 || !run.ready)) {
          afterCrash(run, code);
        }
      }
      proc.emit('ended');
    };
    const feed = lineSplitter((line) => onConsoleLine(run, line));
    for (const stream of [proc.stdout, proc.stderr]) {
      stream.setEncoding('utf8'); // a character split between two chunks stays whole
      stream.on('data', feed);
    }
    proc.stdin.on('error', () => {}); // a server on its way out closes its input early
    // 'close' comes once its output is read to the end; a program it started could hold the
    // output open long after, so the exit counts on its own after a grace period.
    proc.on('close', end);
    proc.on('exit', (code, signal) => {
      grace = setTimeout(() => end(code, signal), limits.closeGraceMs);
    });
    proc.on('error', (err) => {
      // a failed kill is no news; a program that never ran is
      if (proc.pid !== undefined) return;
      end(null, null);
      cannotStart(java, err);
    });
  }

  /**
   * After a crash of our server `run` (an exit nobody asked for, with an error or before it was
   * ready) it is started again at once, in this same turn, so that a Play waiting for it waits
   * for the new one; unless it crashed within a minute of coming back that way: then it stays
   * stopped and the page is told. Either way the crash is explained.
   */
  function afterCrash(run, code) {
    const again = restartedAt !== null && Date.now() - restartedAt < limits.crashAgainMs;
    if (!again) {
      restartedAt = Date.now();
      ctx.log(RESTARTING);
      setServer('starting');
      spawnServer(run.java, run.jar);
    }
    explain({ since: run.since, code, output: run.output.lines() }).then((told) => {
      if (!again) return;
      ctx.log(`[Quorlin] HATA: ${GAVE_UP}`);
      ctx.send('server', { state: serverState, crashed: true, ...(told ? { text: told.text } : {}) });
    });
  }

  async function waitUntilReady() {
    const started = Date.now();
    while (serverState === 'starting' && Date.now() - started < limits.readyMs) {
      await stateChange(limits.pollMs);
      if (serverState === 'starting') ctx.progress('server', 'Sunucu açılıyor', Math.min(0.95, 0.3 + (Date.now() - started) / 60000));
    }
    // after the time limit a server still starting keeps running and may yet become ready
    if (serverState !== 'running') throw new Error((await failure) || NOT_READY);
  }

  async function launch(java, jar) {
    await backups.settled();
    if (await portOpen(limits.port)) {
      setServer('running', { external: true });
      ctx.log(`[Quorlin] ${limits.port} portunda zaten bir sunucu çalışıyor, o kullanılacak.`);
      return;
    }
    restartedAt = null;
    failure = null;
    setServer('starting');
    ctx.progress('server', 'Sunucu başlatılıyor', 0.3);
    spawnServer(java, jar);
    await waitUntilReady();
  }

  /**
   * Starts the server with the Java runtime `java` and the server `jar`; resolves once it is
   * ready or a server already answers on the port. Resolves at once while a process of ours
   * exists, even one still starting.
   */
  function startServer(java, jar) {
    if (child) return Promise.resolve();
    if (!starting) {
      starting = launch(java, jar);
      const forget = () => { starting = null; };
      starting.then(forget, forget);
    }
    return starting;
  }

  /**
   * Asks our server to stop; kills it after the stop time. Resolves once it has exited and the
   * backup that follows an orderly stop is done; at once when none runs.
   */
  function stopServer() {
    const proc = child;
    if (!proc) return Promise.resolve();
    stopAsked.add(proc);
    const exited = new Promise((resolve) => {
      const timer = setTimeout(() => {
        kill(proc);
        resolve();
      }, limits.stopMs);
      proc.once('ended', () => {
        clearTimeout(timer);
        resolve();
      });
      try {
        if (!proc.stdin.writable) throw new Error('closed');
        proc.stdin.write('stop\n');
      } catch {
        clearTimeout(timer);
        kill(proc);
        resolve();
      }
    });
    return exited.then(backups.settled);
  }

  /** Writes one console command, line breaks removed, to our server; nothing without one. */
  function serverCommand(cmd) {
    if (!child || typeof cmd !== 'string' || !child.stdin.writable) return;
    const line = cmd.replace(/[\r\n]/g, '');
    if (line === 'stop') stopAsked.add(child);
    child.stdin.write(`${line}\n`);
  }

  return {
    ensureServerFiles,
    startServer,
    stopServer,
    serverCommand,
    /** 'stopped', 'starting' or 'running' (a server of ours, or another one found on the port). */
    status: () => serverState,
    /** Whether a server process of ours runs; an outside one found on the port is not ours. */
    isOurs: () => child !== null,
    /** Backs the world up now (see keepWorld): before the launcher's own files are replaced. */
    backupNow: () => backups.keepWorld(),
    backupList: backups.backupList,
    restoreBackup: backups.restoreBackup,
  };
}

module.exports = { limits, forceKeys, createServer };
