'use strict';
// A local server that the user keeps running past the launcher's close, and a game the
// launcher started directly, outlive the launcher's process on Windows, while a child started
// the plain way dies with it. The launcher's side runs in the Windows Node under Wine: this
// same file, started with OUTLIVE_ROLE=launcher, drives app/server.js and the game's start in
// app/mc against the Windows build of the fake java.

const fs = require('node:fs');
const path = require('node:path');

const REPO = path.resolve(__dirname, '..', '..');

// What the launcher's side says, one JSON line each; a file, as Node under Wine cannot use
// a Unix pipe for its standard output.
function say(value) {
  fs.appendFileSync(path.join(process.env.OUTLIVE_DIR, 'said.jsonl'), `${JSON.stringify(value)}\n`);
}

/** The launcher's side, inside Windows: says every event sent to the page. */
async function launcherSide() {
  const { spawn } = require('node:child_process');
  const { createContext } = require(path.join(REPO, 'app', 'core', 'context.js'));
  const { limits, createServer } = require(path.join(REPO, 'app', 'server.js'));
  const { Game } = require(path.join(REPO, 'app', 'mc.js'));
  const { OUTLIVE_DIR: dir, OUTLIVE_JAVA: java } = process.env;
  const ctx = createContext({ env: { APPDATA: dir }, home: dir, appDir: path.join(REPO, 'app') });
  ctx.page.attach({ isDestroyed: () => false, webContents: { isDestroyed: () => false, send: (c, d) => say([c, d]) } });
  const server = createServer(ctx);
  Object.assign(limits, { port: Number(process.env.OUTLIVE_PORT), pollMs: 50 });
  fs.mkdirSync(ctx.paths.SERVER_DIR, { recursive: true });
  const beat = (name) => { process.env.FAKE_JAVA_BEAT = path.join(dir, name); };

  beat('stopped.beat');
  await server.startServer(java, 'server.jar');
  await server.stopServer();
  beat('kept.beat');
  await server.startServer(java, 'server.jar');
  beat('plain.beat');
  spawn(java, ['-jar', 'server.jar', 'nogui'], { cwd: ctx.paths.SERVER_DIR, windowsHide: true });
  beat('game.beat');
  const game = new Game({ root: ctx.paths.GAME_ROOT, gameDir: ctx.paths.GAME_DIR });
  game.launch({
    java,
    inst: { vanilla: { id: '26.3', mainClass: 'net.minecraft.client.main.Main' }, fabric: {}, classpath: [], assetIndex: '29' },
    account: { name: 'Steve', uuid: '0123456789abcdef0123456789abcdef', mcToken: 'token' },
    ramGb: 4,
    quickPlay: 'localhost:25565',
    onLine: (line) => say(['game', line]),
  });
  const until = async (check) => {
    while (!check()) await new Promise((r) => setTimeout(r, 50));
  };
  await until(() => ['plain.beat', 'game.beat'].every((name) => fs.existsSync(path.join(dir, name))));
  // the launcher goes only once the game's output has reached it
  await until(() => fs.readFileSync(path.join(dir, 'said.jsonl'), 'utf8').includes('["game",'));
  say('launcher exits');
  process.exit(0);
}

if (process.env.OUTLIVE_ROLE === 'launcher') {
  launcherSide().catch((err) => {
    say(['failed', err.stack]);
    process.exit(1);
  });
} else {
  const { test } = require('node:test');
  const assert = require('node:assert/strict');
  const { execFileSync, spawnSync } = require('node:child_process');
  const wine = require('../../boot/tests/wine/lib/wine');

  const WIN_NODE = path.join(REPO, 'build', 'node-win', 'node.exe');
  const SOURCE = path.join(REPO, 'test', 'support', 'fake-java', 'java-win.cpp');
  const WORK = path.join(wine.BUILD, 'outlive');
  const JAVA = path.join(wine.BUILD, 'fake-java.exe');

  // Whether the process behind a beat file still runs: its file changes within half a second.
  async function beating(name) {
    const read = () => fs.readFileSync(path.join(WORK, name), 'utf8');
    const first = read();
    await new Promise((r) => setTimeout(r, 500));
    return read() !== first;
  }

  test('a detached server is read, stopped on request, and outlives the launcher, as the game does; a plain child dies', async (t) => {
    if (!fs.existsSync(WIN_NODE)) return t.skip(`${WIN_NODE} is not there (make build/node-win/node.exe)`);
    if (!fs.existsSync(JAVA) || fs.statSync(JAVA).mtimeMs < fs.statSync(SOURCE).mtimeMs) {
      execFileSync('x86_64-w64-mingw32-g++', ['-std=c++17', '-O2', '-Wall', '-static', '-s', '-o', JAVA, SOURCE]);
    }
    fs.rmSync(WORK, { recursive: true, force: true });
    fs.mkdirSync(WORK, { recursive: true });
    const x = await wine.startXvfb();
    t.after(() => x.stop());
    const session = await wine.startWineSession(x.display);
    // ends the server left running on purpose, with every other Windows program
    t.after(() => session.stop());
    const env = {
      ...session.env,
      // Wine's fresh prefix reports an older Windows than Node 20 asks for
      NODE_SKIP_PLATFORM_CHECK: '1',
      OUTLIVE_ROLE: 'launcher',
      OUTLIVE_DIR: wine.winPath(WORK),
      OUTLIVE_JAVA: wine.winPath(JAVA),
      OUTLIVE_PORT: '47311',
    };
    // Node under Wine fails on a Unix pipe as its standard output or error, so they go to a file
    const output = fs.openSync(path.join(WORK, 'launcher.out'), 'w');
    const launcher = spawnSync('wine', [WIN_NODE, wine.winPath(__filename)], { env, stdio: ['ignore', output, output], timeout: 60000 });
    fs.closeSync(output);
    const said = fs.readFileSync(path.join(WORK, 'said.jsonl'), 'utf8').trim().split('\n').map((l) => JSON.parse(l));
    assert.equal(launcher.status, 0, JSON.stringify(said) + fs.readFileSync(path.join(WORK, 'launcher.out'), 'utf8'));
    assert.deepEqual(said.filter(([channel]) => channel === 'server').map(([, event]) => event), [{ state: 'starting' },
      { state: 'running' }, { state: 'stopped', code: 0 }, { state: 'starting' }, { state: 'running' }]);
    assert.ok(said.some(([, line]) => line === '[12:00:00] [Server thread/INFO]: Stopping the server'), '"stop" reached it');

    assert.ok(said.some(([channel]) => channel === 'game'), "the game's output is read");

    // [beat file, still running, how it was started]: the server and the plain child hidden,
    // neither with a console window; the game's window free to show
    const expected = [
      ['stopped.beat', false, 'console=0 hidden=1'],
      ['kept.beat', true, 'console=0 hidden=1'],
      ['plain.beat', false, 'console=0 hidden=1'],
      ['game.beat', true, 'console=0 hidden=0'],
    ];
    const seen = [];
    for (const [name] of expected) {
      const running = await beating(name);
      seen.push([name, running, fs.readFileSync(path.join(WORK, name), 'utf8').replace(/^\d+ /, '')]);
    }
    assert.deepEqual(seen, expected);
  });
}
