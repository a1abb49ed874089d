'use strict';
// The launcher's update script run by Wine's cmd.exe as the launcher starts it, in a user
// folder whose name holds non-ASCII letters and a space.

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const wine = require('../../boot/tests/wine/lib/wine');
const { cPath, sleep } = require('../../boot/tests/wine/lib/testbed');
const { swapScript, settleUpdate, START_ARGS, SCRIPT_NAME } = require('../../app/update/launcher');

const USER = path.join(wine.PREFIX, 'drive_c', 'users', 'Çağrı Öztürk');
const TEMP = path.join(USER, 'AppData', 'Local', 'Temp');
const RUNTIME = path.join(USER, 'AppData', 'Local', 'Quorlin', 'runtime');
const EXE = path.join(RUNTIME, 'Quorlin.exe');
const APP = path.join(RUNTIME, 'resources', 'app');
const STAGE = path.join(RUNTIME, 'resources', 'app.new');
const KEPT = `${APP}.old`;
const STARTS = `${APP}.starts`;
const HELD = path.join(APP, 'assets', 'quorlin.ico');
// Another file system: Wine cannot move a folder from there, as Windows refuses to move a
// folder while, say, a virus scanner holds a file in it.
const ELSEWHERE = '/dev/shm/quorlin-swap-stage';
const NO_ELSEWHERE = !(fs.existsSync('/dev/shm') && fs.statSync('/dev/shm').dev !== fs.statSync(wine.PREFIX).dev)
  && '/dev/shm is not a file system of its own here';
const LOGS = path.join(wine.BUILD, 'swap-records');
const RELEASE = path.join(LOGS, 'release');

let x, session;
before(async () => {
  x = await wine.startXvfb();
  session = await wine.startWineSession(x.display);
});
after(async () => {
  if (session) await session.stop();
  if (x) await x.stop();
  for (const dir of [USER, ELSEWHERE]) fs.rmSync(dir, { recursive: true, force: true });
});

/** The old application, a stage from a package with an inner app folder, the relaunch stand-in. */
function lay(stage = STAGE) {
  for (const dir of [USER, LOGS, ELSEWHERE]) fs.rmSync(dir, { recursive: true, force: true });
  for (const dir of [TEMP, LOGS]) fs.mkdirSync(dir, { recursive: true });
  for (const [file, text] of [[path.join(APP, 'main.js'), 'eski'], [HELD, 'eski'], [path.join(stage, 'app', 'main.js'), 'yeni'],
    [path.join(stage, 'app', 'ui', 'index.html'), 'yeni'], [path.join(stage, 'README.txt'), 'paketin geri kalanı']]) {
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, text);
  }
  fs.copyFileSync(path.join(wine.BIN, 'electron.exe'), EXE);
}

/** Holds `file` open; resolves once it is held, to { ended }. */
async function hold(file) {
  let ready;
  const held = new Promise((r) => { ready = r; });
  const ended = wine.run('wine', [path.join(wine.BIN, 'holdfile.exe'), cPath(file), wine.winPath(RELEASE), '60000'],
    { env: session.env, onStdout: (out) => out.startsWith('ready') && ready() });
  await Promise.race([held, ended]);
  return { ended };
}

/** Writes the script and starts it as the launcher does; resolves when it has deleted itself. */
async function swap(tries, stage = cPath(STAGE)) {
  const script = swapScript({ appDir: cPath(APP), finalStage: `${stage}\\app`, stage, relaunchExe: cPath(EXE), tries });
  const file = path.join(TEMP, SCRIPT_NAME);
  fs.writeFileSync(file, script.text);
  const env = { ...session.env, ...script.env, STANDIN_LOG: wine.winPath(LOGS) };
  // the launcher's cmd.exe starts in the temporary folder, where it names the script
  const outer = await wine.run('sh', ['-c', 'cd "$1" && shift && exec "$@"', 'sh', TEMP, 'wine', 'cmd.exe', ...START_ARGS], { env });
  assert.equal(outer.code, 0, outer.stderr);
  assert.ok(await waitFor(() => !fs.existsSync(file)), 'the script deleted itself');
}

async function waitFor(isDone, timeout = 60000) {
  for (const until = Date.now() + timeout; !isDone() && Date.now() < until;) await sleep(200);
  return isDone();
}

function relaunches() {
  const log = path.join(LOGS, 'electron.log');
  return fs.existsSync(log) ? fs.readFileSync(log, 'utf8').split('\n').filter(Boolean).map((l) => JSON.parse(l)) : [];
}

describe('swap script', () => {
  test('keeps the old application as app.old, moves the inner app folder in, counts the start it makes and starts the launcher again; the window shown removes the kept one', async () => {
    lay();
    // what an earlier update kept goes first
    fs.mkdirSync(KEPT, { recursive: true });
    fs.writeFileSync(path.join(KEPT, 'main.js'), 'daha eski');
    await swap(30);
    assert.deepEqual([fs.readdirSync(APP).sort(), fs.existsSync(STAGE), fs.readFileSync(path.join(KEPT, 'main.js'), 'utf8'), fs.existsSync(path.join(KEPT, 'assets', 'quorlin.ico')),
      fs.readFileSync(STARTS, 'utf8').trim()], [['main.js', 'ui'], false, 'eski', true, '1'],
    'the inner app folder swapped in, the rest of the stage removed, the old application kept, one start counted');
    // start returns before the launcher it started is up
    assert.ok(await waitFor(() => relaunches().length > 0, 15000), 'the launcher started again');
    const [run, ...more] = relaunches();
    assert.deepEqual([run.self.toLowerCase(), run.cwd.toLowerCase(), run.appPresent, more],
      [cPath(EXE).toLowerCase(), cPath(RUNTIME).toLowerCase(), true, []]);
    settleUpdate({ paths: { APP_DIR: APP }, log: assert.fail });
    assert.deepEqual(fs.readdirSync(path.dirname(APP)), ['app']);
  });

  test('gives up after its tries when the old application cannot move aside, leaving the app at the stage root and starting nothing', async () => {
    lay();
    // what an earlier update kept, still held
    const leftover = path.join(KEPT, 'assets', 'quorlin.ico');
    fs.cpSync(APP, KEPT, { recursive: true });
    const { ended } = await hold(leftover);
    let released = false;
    ended.then(() => { released = true; });
    await swap(3);
    assert.equal(released, false, 'gave up while the file was still held');
    fs.writeFileSync(RELEASE, '');
    await ended;
    assert.deepEqual([fs.readFileSync(path.join(APP, 'main.js'), 'utf8'), fs.existsSync(HELD), fs.readFileSync(path.join(STAGE, 'main.js'), 'utf8'),
      fs.readdirSync(path.dirname(STAGE)).sort(), relaunches()], ['eski', true, 'yeni', ['app', 'app.new', 'app.old'], []]);
  });

  test('a stage gone meanwhile leaves everything as it is and starts the launcher there', async () => {
    lay();
    fs.rmSync(STAGE, { recursive: true });
    await swap(3);
    assert.deepEqual([fs.readFileSync(path.join(APP, 'main.js'), 'utf8'), fs.readdirSync(path.dirname(APP))], ['eski', ['app']]);
    assert.ok(await waitFor(() => relaunches().length > 0, 15000), 'the launcher started');
  });

  test('a new application that does not move in puts the old one back and leaves the stage to the bootstrapper', { skip: NO_ELSEWHERE }, async () => {
    lay(ELSEWHERE);
    await swap(3, wine.winPath(ELSEWHERE));
    assert.deepEqual([fs.readFileSync(path.join(APP, 'main.js'), 'utf8'), fs.existsSync(HELD), fs.readdirSync(path.dirname(APP)),
      fs.readFileSync(path.join(ELSEWHERE, 'main.js'), 'utf8'), relaunches()], ['eski', true, ['app'], 'yeni', []]);
  });
});
