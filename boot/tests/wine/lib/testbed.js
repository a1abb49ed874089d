'use strict';
// One test bed per test file: an Xvfb display, a persistent wineserver on the shared prefix,
// and the loopback release host (HTTPS, trusted in the prefix through the test CA). Cases
// reset the install layout and the stand-ins' records, then start the bootstrapper and look
// at what it left: files, records, the card and the message boxes.

const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { setTimeout: sleep } = require('node:timers/promises');
const { startWorld } = require('../../../../test/support/world');
const wine = require('./wine');
const { RUNTIME_PATH, runtimeArchive } = require('./fixtures');

const TEST_EXE = path.join(wine.REPO, 'build', 'boot-test', 'Quorlin.exe');
// The application archive that the test build carries.
const CARRIED_ARCHIVE = path.join(wine.REPO, 'build', 'boot', 'app.zip');
const STAMP = '1.0.26|45.2.1';
const ROOT_ON_C = path.join(wine.PREFIX, 'drive_c', 'Quorlin');

/** Every path of the install layout under an install root (Unix paths). */
function layoutUnder(root) {
  const runtime = path.join(root, 'runtime');
  return {
    root,
    runtime,
    exe: path.join(runtime, 'Quorlin.exe'),
    electronExe: path.join(runtime, 'electron.exe'),
    version: path.join(runtime, 'quorlin.version'),
    app: path.join(runtime, 'resources', 'app'),
    stage: path.join(runtime, 'resources', 'app.new'),
    defaultApp: path.join(runtime, 'resources', 'default_app.asar'),
    download: path.join(root, 'runtime.zip'),
    part: path.join(root, 'runtime.zip.part'),
    kept: path.join(runtime, 'resources', 'app.old'),
    starts: path.join(runtime, 'resources', 'app.starts'),
    rolledBack: path.join(runtime, 'resources', 'app.rolledback'),
    appZip: path.join(root, 'app.zip'),
  };
}

/** The Windows name of a path inside the prefix's C: drive. */
function cPath(unixPath) {
  const drive = path.join(wine.PREFIX, 'drive_c');
  return 'C:' + path.relative(drive, unixPath).split(path.sep).map((p) => `\\${p}`).join('');
}

/** Writes a file, making its folders first. */
function write(file, data) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, data);
}

/** Unpacks a ZIP archive file into dir, making its folders first, with the host's unzip. */
function unzip(archive, dir) {
  fs.mkdirSync(dir, { recursive: true });
  execFileSync('unzip', ['-qq', '-o', archive, '-d', dir]);
}

async function openTestBed() {
  const x = await wine.startXvfb();
  const session = await wine.startWineSession(x.display).catch(async (err) => {
    await x.stop();
    throw err;
  });
  const world = await startWorld({ https: true });
  const logs = path.join(wine.BUILD, 'records');
  const shots = path.join(wine.BUILD, 'shots');
  fs.mkdirSync(shots, { recursive: true });
  const runtimeZip = runtimeArchive();
  const runtimeZipFile = path.join(wine.BUILD, 'runtime.zip');
  fs.writeFileSync(runtimeZipFile, runtimeZip);

  const bed = {
    env: session.env,
    world,
    runtimeZip,
    runtimeUrl: world.url + RUNTIME_PATH,
    layout: layoutUnder(path.join(wine.LOCAL_APPDATA, 'Quorlin')),
    fallbackLayout: layoutUnder(ROOT_ON_C),

    /** A clean machine: no install layout, no records, the release host serving the runtime. */
    reset() {
      fs.rmSync(bed.layout.root, { recursive: true, force: true });
      fs.rmSync(ROOT_ON_C, { recursive: true, force: true });
      fs.rmSync(logs, { recursive: true, force: true });
      fs.mkdirSync(logs, { recursive: true });
      world.reset();
      world.route(RUNTIME_PATH, { body: runtimeZip });
    },

    // What an earlier successful install leaves: the runtime under its product name without its
    // default application, the carried application, and the version file holding `stamp`.
    seedInstall({ stamp = STAMP } = {}) {
      const l = bed.layout;
      unzip(runtimeZipFile, l.runtime);
      fs.renameSync(l.electronExe, l.exe);
      fs.rmSync(l.defaultApp);
      unzip(CARRIED_ARCHIVE, l.app);
      fs.writeFileSync(l.version, stamp);
    },

    /** Sets the DPI that Windows programs started from now on take as the system's. */
    async setSystemDpi(dpi) {
      await wine.runOk('wine', ['reg', 'add', 'HKCU\\Control Panel\\Desktop', '/v', 'LogPixels',
        '/t', 'REG_DWORD', '/d', String(dpi), '/f'], { env: session.env });
    },

    /** What a stand-in recorded so far ("tar", "powershell", "electron"), one object per call. */
    records(name) {
      const file = path.join(logs, `${name}.log`);
      return fs.existsSync(file) ? fs.readFileSync(file, 'utf8').split('\n').filter(Boolean).map((l) => JSON.parse(l)) : [];
    },

    /** Waits until a stand-in has recorded `count` calls; the shell starts it on its own. */
    async waitForRecords(name, count = 1, timeout = 15000) {
      const until = Date.now() + timeout;
      while (bed.records(name).length < count && Date.now() < until) await sleep(100);
      return bed.records(name);
    },

    /**
     * Starts a bootstrapper and returns once it has ended:
     * { code, card, boxes, stderr } where card describes the progress window if one was
     * shown and boxes the message boxes (each confirmed with OK); stderr holds Wine's traces.
     * env: Unix variables handed on to it (stand-in switches); unset / set: changes made in
     * its Windows environment (through runenv.exe).
     */
    async start({ exe = TEST_EXE, env = {}, unset = [], set = {} } = {}) {
      const stopFile = path.join(logs, 'stop');
      fs.rmSync(stopFile, { force: true });
      const runEnv = { ...session.env, QUORLIN_TEST_RUNTIME_URL: bed.runtimeUrl, STANDIN_LOG: wine.winPath(logs), ...env };
      const watching = Promise.withResolvers();
      const watcher = wine.run('wine', [path.join(wine.BIN, 'findwin.exe'), 'watch', wine.winPath(stopFile), '300000'],
        { env: session.env, timeout: 320000, onStdout: (out) => out.startsWith('ready') && watching.resolve() });
      await Promise.race([watching.promise, watcher]);

      const changes = [...unset.flatMap((n) => ['-u', n]), ...Object.entries(set).flatMap(([k, v]) => ['-s', `${k}=${v}`])];
      const args = changes.length ? [path.join(wine.BIN, 'runenv.exe'), ...changes, '--', wine.winPath(exe)] : [exe];
      const boot = await wine.run('wine', args, { env: runEnv, timeout: 240000 }).finally(() => {
        fs.writeFileSync(stopFile, '');
      });
      const seen = await watcher;
      const last = seen.stdout.split('\n').filter(Boolean).pop() || '';
      if (!last.startsWith('{')) throw new Error(`the window watcher gave no report (${seen.code}): ${seen.stdout}${seen.stderr}`);
      const report = JSON.parse(last);
      return { code: boot.code, card: report.card, boxes: report.boxes, stderr: boot.stderr };
    },

    /** Holds `file` open as a running program holds its own; resolves to release(), which lets go. */
    async hold(file) {
      const released = path.join(logs, 'released');
      fs.rmSync(released, { force: true });
      const ready = Promise.withResolvers();
      const ended = wine.run('wine', [path.join(wine.BIN, 'holdfile.exe'), cPath(file), wine.winPath(released), '60000'],
        { env: session.env, onStdout: (out) => out.startsWith('ready') && ready.resolve() });
      const r = await Promise.race([ready.promise, ended]);
      if (r) throw new Error(`holdfile ended (${r.code}): ${r.stderr}`);
      return async () => {
        fs.writeFileSync(released, '');
        await ended;
      };
    },

    /** Keeps a picture of the whole screen as build/wine/shots/<name>.png; returns pixel(x, y) → '#RRGGBB'. */
    async screenshot(name) {
      const xwd = path.join(shots, `${name}.xwd`);
      const png = path.join(shots, `${name}.png`);
      const env = { ...process.env, DISPLAY: x.display };
      await wine.runOk('xwd', ['-root', '-silent', '-out', xwd], { env });
      const raw = await wine.runOk('convert', [xwd, '-write', png, '-depth', '8', 'rgb:-'], { env, binary: true });
      fs.rmSync(xwd, { force: true });
      return {
        png,
        pixel(px, py) {
          const at = (py * wine.SCREEN_WIDTH + px) * 3;
          return '#' + [raw[at], raw[at + 1], raw[at + 2]].map((v) => v.toString(16).padStart(2, '0')).join('').toUpperCase();
        },
      };
    },

    async close() {
      await world.close();
      await session.stop();
      await x.stop();
    },
  };
  return bed;
}

module.exports = { openTestBed, layoutUnder, cPath, sleep, write, unzip, TEST_EXE, CARRIED_ARCHIVE, STAMP };
