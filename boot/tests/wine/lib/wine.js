'use strict';
// The Wine test bed: where the shared prefix lives, the environment every Wine program runs
// with, an Xvfb display, and running Windows programs from Node.

const { spawn } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const REPO = path.resolve(__dirname, '..', '..', '..', '..');
// QUORLIN_WINE_DIR moves the whole test bed elsewhere, e.g. to try cases beside a running suite.
const BUILD = path.resolve(process.env.QUORLIN_WINE_DIR || path.join(REPO, 'build', 'wine'));
const BIN = path.join(REPO, 'build', 'wine', 'bin');
const PREFIX = path.join(BUILD, 'prefix');
const HOME = path.join(BUILD, 'home');
const USER_NAME = process.env.USER || require('node:os').userInfo().username;
const LOCAL_APPDATA = path.join(PREFIX, 'drive_c', 'users', USER_NAME, 'AppData', 'Local');
const SYSTEM32 = path.join(PREFIX, 'drive_c', 'windows', 'system32');
// The calls Wine traces under WINEDEBUG=+relay (set in the prefix): those that must come in
// order at start-up.
const RELAYED = ['SetProcessDpiAwarenessContext', 'SetProcessDPIAware', 'CoInitializeEx', 'CreateWindowExW'];
const SCREEN_WIDTH = 1024;

/** The Windows name of a Unix path, through the Z: drive that maps "/". */
function winPath(unixPath) {
  return 'Z:' + path.resolve(unixPath).replace(/\//g, '\\');
}

/** Environment for Wine programs; Wine hands it on to the Windows processes. */
function wineEnv(display, extra = {}) {
  return {
    PATH: process.env.PATH,
    HOME,
    USER: USER_NAME,
    LANG: 'C.UTF-8',
    WINEPREFIX: PREFIX,
    WINEARCH: 'win64',
    WINEDEBUG: '-all',
    // No Mono or Gecko: Wine would otherwise offer to download them.
    WINEDLLOVERRIDES: 'mscoree,mshtml=',
    ...(display ? { DISPLAY: display } : {}),
    ...extra,
  };
}

// Runs a program to its end, its exit rather than its pipes closing; resolves
// { code, stdout, stderr }, stdout as a Buffer when binary is set.
function run(command, args, { env, timeout = 120000, onStdout, binary = false } = {}) {
  return new Promise((resolve, reject) => {
    const child = spawn(command, args, { env, stdio: ['ignore', 'pipe', 'pipe'] });
    const chunks = [];
    let stderr = '';
    child.stderr.setEncoding('utf8');
    child.stdout.on('data', (d) => {
      chunks.push(d);
      if (onStdout) onStdout(Buffer.concat(chunks).toString());
    });
    child.stderr.on('data', (d) => { stderr += d; });
    const timer = setTimeout(() => child.kill('SIGKILL'), timeout);
    child.on('error', reject);
    child.on('exit', (code, signal) => {
      clearTimeout(timer);
      const finish = () => {
        clearTimeout(grace);
        // Windows programs started by this one may hold the pipes open for long; this end
        // of them is no longer needed.
        child.stdout.destroy();
        child.stderr.destroy();
        if (signal) reject(new Error(`${command} ${args.join(' ')} killed by ${signal}\n${stderr}`));
        else resolve({ code, stdout: binary ? Buffer.concat(chunks) : Buffer.concat(chunks).toString(), stderr });
      };
      // What the program wrote before its exit may still be in the pipe.
      const grace = setTimeout(finish, 300);
      child.stdout.once('end', finish);
    });
  });
}

/** Runs a program that must succeed; its output, or an error with what it said. */
async function runOk(command, args, options) {
  const r = await run(command, args, options);
  if (r.code !== 0) throw new Error(`${command} ${args.join(' ')} failed (${r.code}): ${r.stderr}`);
  return r.stdout;
}

/** Starts Xvfb on a free display; resolves { display, stop() }. */
function startXvfb() {
  return new Promise((resolve, reject) => {
    const child = spawn('Xvfb', ['-displayfd', '3', '-screen', '0', `${SCREEN_WIDTH}x768x24`, '-nolisten', 'tcp'],
      { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
    let number = '';
    let stderr = '';
    child.stderr.on('data', (d) => { stderr += d; });
    child.on('error', reject);
    child.on('exit', (code) => reject(new Error(`Xvfb ended (${code}): ${stderr}`)));
    child.stdio[3].on('data', (d) => {
      number += d;
      if (!number.includes('\n')) return;
      child.removeAllListeners('exit');
      const exited = new Promise((r) => child.once('exit', r));
      resolve({
        display: `:${number.trim()}`,
        stop() {
          child.kill('SIGTERM');
          return exited;
        },
      });
    });
  });
}

/** A persistent wineserver for the shared prefix on a display: the cases pay Wine's start-up once. */
async function startWineSession(display) {
  if (!fs.existsSync(path.join(BUILD, 'prefix.ready'))) {
    throw new Error(`no Wine prefix in ${BUILD}: make test-wine makes it (node boot/tests/wine/lib/prefix.js)`);
  }
  const env = wineEnv(display);
  await stopWineServer(env);
  // Without -f the server returns only once it accepts clients, so no Wine program can race
  // it and start a second server of its own.
  await runOk('wineserver', ['-p'], { env });
  // The first program brings up Wine's own services and the desktop, which stay; later
  // starts are quick, and no case races another program for bringing them up.
  const warm = await run('wine', [path.join(BIN, 'findwin.exe'), 'watch', 'Z:\\nowhere', '500'], { env });
  if (warm.code !== 0) {
    await stopWineServer(env);
    throw new Error(`Wine does not start (${warm.code}): ${warm.stderr}`);
  }
  return { env, stop: () => stopWineServer(env) };
}

/** Ends the prefix's wineserver, with every Windows program still running, and waits for it. */
async function stopWineServer(env) {
  await run('wineserver', ['-k'], { env, timeout: 30000 }).catch(() => {});
  await run('wineserver', ['-w'], { env, timeout: 30000 }).catch(() => {});
}

module.exports = {
  REPO, BUILD, BIN, PREFIX, HOME, LOCAL_APPDATA, SYSTEM32, RELAYED, SCREEN_WIDTH,
  winPath, wineEnv, run, runOk, startXvfb, startWineSession, stopWineServer,
};
