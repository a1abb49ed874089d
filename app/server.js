// The local Minecraft server: its folder, its process, its console and its state, and the
// page's requests to start, stop and command it.
const fs = require('node:fs');
const net = require('node:net');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { setTimeout: sleep } = require('node:timers/promises');
const endpoints = require('./core/endpoints');
const { MC_VERSION } = require('./core/layout');
const { download } = require('./core/http');
const { writeFileAtomic } = require('./core/files');
const { state } = require('./core/state');
const { send, progress, log } = require('./core/window');

/** The port the server listens on and the game joins, and the waits in ms. Tests change them. */
const limits = {
  port: 25565,
  probeMs: 800, // a port probe without an answer by then finds nothing
  pollMs: 500, // step of the wait for readiness
  readyMs: 240 * 1000, // the first start generates the world and takes longest
  stopMs: 20 * 1000, // a server that ignores "stop" this long is killed
  closeGraceMs: 1000, // after the exit, how long its last output may take to arrive
};

const READY_LINE = /Done \([\d.,]+s\)!/;
const JOIN_LINE = /(\w+) joined the game/;
const OLD_SERVER_JAR = /^fabric-server-.*\.jar$/;
// Version texts go into a file name and an address: nothing but version characters.
const VERSION_TEXT = /^[\w.+-]+$/;
// Minecraft 26 turns the whitelist on by default; the Brimlox world is a local one that stays open.
const FORCED_KEYS = [['white-list', 'false'], ['enforce-whitelist', 'false'], ['spawn-protection', '0']];
const NOT_READY = 'Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.';

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

function checkVersion(text) {
  if (typeof text !== 'string' || !VERSION_TEXT.test(text)) throw new Error(`Geçersiz Fabric sürümü: ${text}`);
  return text;
}

/**
 * Prepares the server folder for the Fabric versions `fv` ({ loader, installer }) and the
 * Fabric API jar `apiJar`: server jar, EULA, properties and mods. Resolves to the jar's path.
 * `mods` ({ perfMods, syncMods }) is replaced in tests.
 */
async function ensureServerFiles(fv, apiJar, mods = require('./setup/mods')) {
  const { SERVER_DIR, ASSETS } = state.paths;
  progress('server', 'Sunucu hazırlanıyor', 0);
  fs.mkdirSync(SERVER_DIR, { recursive: true });
  const loader = checkVersion(fv.loader);
  const installer = checkVersion(fv.installer);
  const jar = path.join(SERVER_DIR, `fabric-server-${MC_VERSION}-${loader}.jar`);
  if (!fs.existsSync(jar)) {
    for (const entry of fs.readdirSync(SERVER_DIR, { withFileTypes: true })) {
      if (entry.isFile() && OLD_SERVER_JAR.test(entry.name)) fs.rmSync(path.join(SERVER_DIR, entry.name));
    }
    const url = `${endpoints.fabricMeta}/v2/versions/loader/${MC_VERSION}/${loader}/${installer}/server/jar`;
    await download(url, jar, (fraction) => progress('server', 'Sunucu indiriliyor', fraction));
  }
  fs.writeFileSync(path.join(SERVER_DIR, 'eula.txt'), 'eula=true\n');
  const properties = path.join(SERVER_DIR, 'server.properties');
  if (!fs.existsSync(properties)) fs.copyFileSync(path.join(ASSETS, 'server.properties'), properties);
  writeFileAtomic(properties, forceKeys(fs.readFileSync(properties, 'utf8')));
  const jars = [state.currentModJar, apiJar, ...(await mods.perfMods('server'))];
  await mods.syncMods(path.join(SERVER_DIR, 'mods'), jars);
  return jar;
}

/** Sets the server's state and tells the page: { state } plus the fields of `extra`. */
function setServer(serverState, extra = {}) {
  state.serverState = serverState;
  send('server', { state: serverState, ...extra });
}

/** A feed for decoded text that hands on every complete line, without its line end. */
function lineSplitter(onLine) {
  let rest = '';
  return (text) => {
    const lines = (rest + text).split('\n');
    rest = lines.pop(); // a line still waiting for its line feed
    for (const line of lines) onLine(line.endsWith('\r') ? line.slice(0, -1) : line);
  };
}

function onConsoleLine(child, line) {
  log(line);
  if (state.server !== child) return;
  if (READY_LINE.test(line)) setServer('running');
  const joined = JOIN_LINE.exec(line);
  if (joined) send('server', { state: state.serverState, joined: joined[1] });
}

/**
 * Starts the server process and follows it. It is detached: on Windows every other child
 * dies with the launcher, and a server the user keeps running past the launcher's close must
 * live on. Detached, it also has no console at all, so no window can show; its three
 * standard streams stay pipes, so its console is read and "stop" reaches it.
 */
function spawnServer(java, jar) {
  const args = [`-Xmx${state.settings.serverRam}G`, '-Xms1G', '-jar', jar, 'nogui'];
  const options = { cwd: state.paths.SERVER_DIR, detached: true, windowsHide: true, stdio: 'pipe' };
  let child;
  try {
    child = spawn(java, args, options);
  } catch (err) {
    cannotStart(java, err);
    return;
  }
  state.server = child;
  let ended = false;
  let grace = null;
  const end = (code, signal) => {
    if (ended) return;
    ended = true;
    clearTimeout(grace);
    if (state.server === child && child.pid !== undefined) {
      state.server = null;
      setServer('stopped', { code });
      log(`[Quorlin] Sunucu kapandı (${code ?? signal})`);
    }
    child.emit('ended');
  };
  const feed = lineSplitter((line) => onConsoleLine(child, line));
  for (const stream of [child.stdout, child.stderr]) {
    stream.setEncoding('utf8'); // a character split between two chunks stays whole
    stream.on('data', feed);
  }
  child.stdin.on('error', () => {}); // a server on its way out closes its input early
  // 'close' comes once its output is read to the end; a program it started could hold the
  // output open long after, so the exit counts on its own after a grace period.
  child.on('close', end);
  child.on('exit', (code, signal) => {
    grace = setTimeout(() => end(code, signal), limits.closeGraceMs);
  });
  child.on('error', (err) => {
    // a failed kill is no news; a program that never ran is
    if (child.pid !== undefined) return;
    end(null, null);
    cannotStart(java, err);
  });
}

function cannotStart(java, err) {
  state.server = null;
  log(`[Quorlin] HATA: Sunucu programı çalıştırılamadı (${java}): ${err.message}`);
  setServer('stopped', { code: null });
}

async function waitUntilReady() {
  const started = Date.now();
  while (state.serverState === 'starting' && Date.now() - started < limits.readyMs) {
    await sleep(limits.pollMs);
    progress('server', 'Sunucu açılıyor', Math.min(0.95, 0.3 + (Date.now() - started) / 60000));
  }
  // after the time limit a server still starting keeps running and may yet become ready
  if (state.serverState !== 'running') throw new Error(NOT_READY);
}

async function launch(java, jar) {
  if (await portOpen(limits.port)) {
    setServer('running', { external: true });
    log(`[Quorlin] ${limits.port} portunda zaten bir sunucu çalışıyor, o kullanılacak.`);
    return;
  }
  setServer('starting');
  progress('server', 'Sunucu başlatılıyor', 0.3);
  spawnServer(java, jar);
  await waitUntilReady();
}

// The start whose port probe is under way; a second caller meanwhile shares it.
let starting = null;

/**
 * Starts the server with the Java runtime `java` and the server `jar`; resolves once it is
 * ready or a server already answers on the port. Resolves at once while a process of ours
 * exists, even one still starting.
 */
function startServer(java, jar) {
  if (state.server) return Promise.resolve();
  if (!starting) {
    starting = launch(java, jar);
    const forget = () => { starting = null; };
    starting.then(forget, forget);
  }
  return starting;
}

function kill(child) {
  try {
    child.kill();
  } catch {
    // it is gone, or beyond reach: nothing more to do either way
  }
}

/** Asks our server to stop; kills it after the stop time. Resolves at once when none runs. */
function stopServer() {
  const child = state.server;
  if (!child) return Promise.resolve();
  return new Promise((resolve) => {
    const timer = setTimeout(() => {
      kill(child);
      resolve();
    }, limits.stopMs);
    child.once('ended', () => {
      clearTimeout(timer);
      resolve();
    });
    try {
      if (!child.stdin.writable) throw new Error('closed');
      child.stdin.write('stop\n');
    } catch {
      clearTimeout(timer);
      kill(child);
      resolve();
    }
  });
}

/** Writes one console command, line breaks removed, to our server; nothing without one. */
function serverCommand(cmd) {
  const child = state.server;
  if (!child || typeof cmd !== 'string' || !child.stdin.writable) return;
  child.stdin.write(`${cmd.replace(/[\r\n]/g, '')}\n`);
}

/**
 * The page's server start with the launcher's services `s`: Java, the Fabric versions, the mod,
 * Fabric API, the server folder, then the start. Resolves to { ok: true } or
 * { ok: false, error }, never rejects.
 */
async function serverStartRequest(s) {
  try {
    const java = await s.ensureJava();
    const fv = await s.fabricVersions();
    await s.refreshModJar();
    const apiJar = await s.fabricApi();
    const jar = await s.ensureServerFiles(fv, apiJar);
    await s.startServer(java, jar);
    return { ok: true };
  } catch (err) {
    log(`[Quorlin] HATA: ${err.message}`);
    return { ok: false, error: err.message };
  }
}

module.exports = {
  limits, forceKeys, ensureServerFiles, startServer, stopServer, serverCommand, serverStartRequest,
};
