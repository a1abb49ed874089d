'use strict';
// Play and start-up of the launcher application: its real modules under the Electron stand-in,
// every outside service a loopback world with 20 ms added per request. Prints figures.
//
//   make bench-play
//   (NODE_PATH=test/support/modules NODE_EXTRA_CA_CERTS=test/ca/ca.pem node bench/play.js)
//
// Play, on a warm install: a first Play has put Java, Fabric, the mods, the server files and the
// game (the install bench's world, 4,000 asset objects) in place and noted Java's version and the
// big game files it verified, and the fake java is ready at once. Measured from the page's `play`
// request to the game's start, with the share of each step, once with the local server started
// by Play and once with it already running. Start-up: from
// Electron's ready to the window shown, when the update service refuses the connection at once.

const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const { performance } = require('node:perf_hooks');
const electron = require('electron');
const { startMojangWorld } = require('../test/support/mojang-world');
const { PATHS, loaderList, installerList, serveModrinth } = require('../test/support/fabric-world');
const { APP_DIR, loadLauncher, openPage } = require('../test/support/launcher');
const { worldOptions } = require('./install');

const REPO = path.join(__dirname, '..');
const FAKE_JAVA = path.join(REPO, 'test', 'support', 'fake-java', 'java');
const ROUNDS = 5;
// the services main.js hands to Play: each is timed as one step
const STEPS = ['ensureJava', 'fabricVersions', 'ensureClientFabric', 'refreshModJar', 'fabricApi', 'perfMods', 'syncMods',
  'writeGameDefaults', 'closeOfficialLauncher', 'writeProfile', 'ensureServerFiles', 'startServer'];

const app = (file) => require(path.join(APP_DIR, file));
const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];
const ms = (value) => `${value.toFixed(0)} ms`;

async function until(check) {
  while (!check()) await new Promise((resolve) => setTimeout(resolve, 1));
}

// Replaces each step of main.js's `services` with one that adds its time to `timings` (a step
// called inside another counts for the outer one).
function timeSteps(timings, services) {
  let inStep = false;
  const wrap = (owner, name) => {
    const inner = owner[name];
    owner[name] = function timed(...args) {
      if (inStep) return inner.apply(this, args);
      inStep = true;
      const started = performance.now();
      const done = () => {
        inStep = false;
        timings.push([name, performance.now() - started]);
      };
      let result;
      try {
        result = inner.apply(this, args);
      } finally {
        if (!(result instanceof Promise)) done();
      }
      return result instanceof Promise ? result.finally(done) : result;
    };
  };
  for (const name of STEPS) wrap(services, name);
  wrap(app('mc/auth.js').Auth.prototype, 'refreshIfNeeded');
  wrap(app('mc/game.js').Game.prototype, 'install');
  wrap(app('mc/game.js').Game.prototype, 'launch');
}

// Fabric's metadata, the server launcher, Modrinth and the update service beside the game's hosts.
function serveTheRest(mw, endpoints) {
  const { world } = mw;
  mw.useAsEndpoints(endpoints);
  const loader = mw.fabric.id.split('-')[2]; // fabric-loader-<loader>-<game version>
  world.route(PATHS.loaders, { body: loaderList([[loader, true]]) });
  world.route(PATHS.installers, { body: installerList([['1.1.0', true]]) });
  world.route(`${PATHS.loaders}/${loader}/1.1.0/server/jar`, { body: 'server launcher' });
  for (const slug of ['fabric-api', 'sodium', 'lithium']) serveModrinth(world, slug, [{ filename: `${slug}-1.0.0+26.3.jar` }]);
  world.route('/api/manifest.php', { body: {} });
  Object.assign(endpoints, { modrinth: world.url, updateService: world.url });
}

// The launcher as a user has it after a first Play: signed in, Java on JAVA_HOME, the fake java
// ending the game at once, so that every Play starts a new one.
function prepareUser(dir) {
  const base = path.join(dir, 'appdata', '.quorlin');
  fs.mkdirSync(base, { recursive: true });
  fs.writeFileSync(path.join(base, 'account.dat'), JSON.stringify({
    name: 'Steve', uuid: '0f1e2d3c4b5a69788796a5b4c3d2e1f0', mcToken: 'token', mcExpires: Date.now() + 24 * 3600 * 1000,
  }));
  fs.mkdirSync(path.join(dir, 'jdk', 'bin'), { recursive: true });
  fs.symlinkSync(FAKE_JAVA, path.join(dir, 'jdk', 'bin', 'java'));
  Object.assign(process.env, { JAVA_HOME: path.join(dir, 'jdk'), FAKE_JAVA_PLAN: JSON.stringify({ gameExitMs: 0 }) });
  return path.join(dir, 'appdata');
}

// The page's view of one Play: when the game's start and the game's first line reached it,
// once the game has ended again.
async function timedPlay(page, events, timings) {
  timings.length = 0;
  events.length = 0;
  const started = performance.now();
  const result = await page.play();
  if (!result.ok || result.already) throw new Error(`Play answered ${JSON.stringify(result)}`);
  const isStart = ([channel, data]) => channel === 'game' && data.running;
  const isLine = ([channel, data]) => channel === 'log' && String(data).startsWith('[Oyun] ');
  const isEnd = ([channel, data]) => channel === 'game' && !data.running;
  await until(() => events.some(isLine) && events.some(isEnd));
  const server = (state) => events.find(([channel, data]) => channel === 'server' && data.state === state);
  return {
    gameStarted: events.find(isStart)[2] - started,
    firstLine: events.find(isLine)[2] - started,
    // from the server's start to its ready line, as the page saw them
    serverReady: server('starting') ? server('running')[2] - server('starting')[2] : 0,
    // a step taken twice (the client's and the server's mods) counts once with both times
    steps: timings.reduce((steps, [name, time]) => ({ ...steps, [name]: (steps[name] || 0) + time }), {}),
  };
}

function report(title, runs) {
  const total = median(runs.map((r) => r.gameStarted));
  console.log(`${title}: ${ms(total)} to the game's start (median of ${runs.length}: `
    + `${runs.map((r) => r.gameStarted.toFixed(0)).join(', ')}), its first line after ${ms(median(runs.map((r) => r.firstLine)))}`);
  let stepsTotal = 0;
  // in the order Play took them
  for (const name of Object.keys(runs[0].steps)) {
    const step = median(runs.map((r) => r.steps[name] || 0));
    stepsTotal += step;
    console.log(`  ${name.padEnd(22)} ${ms(step).padStart(7)} ${(100 * step / total).toFixed(0).padStart(3)} %`);
  }
  console.log(`  ${'between the steps'.padEnd(22)} ${ms(Math.max(0, total - stepsTotal)).padStart(7)}`);
}

async function benchPlay(tmp) {
  const appData = prepareUser(tmp);
  const timings = [];
  const { testing } = electron;
  testing.reset({ encryption: false });
  process.env.APPDATA = appData;
  timeSteps(timings, app('main.js').services);
  // the game's asset objects small: a warm Play checks them by size alone
  const mw = await startMojangWorld({ ...worldOptions(), assetSizes: [2048] });
  serveTheRest(mw, app('core/endpoints.js'));
  testing.setReady();
  await until(() => testing.windows.length && testing.windows[0].isVisible());
  const page = openPage();
  const events = [];
  for (const channel of ['game', 'log', 'server']) page.on(channel, (data) => events.push([channel, data, performance.now()]));

  const first = performance.now();
  await timedPlay(page, events, timings);
  console.log(`first Play (cold install: ${mw.files.length} files): ${((performance.now() - first) / 1000).toFixed(1)} s`);
  const fresh = [];
  const running = [];
  const requests = [];
  for (let round = 0; round < ROUNDS; round++) {
    await page.stopServer();
    mw.clearRequests();
    fresh.push(await timedPlay(page, events, timings));
    requests.push(mw.world.requests.length);
    running.push(await timedPlay(page, events, timings));
  }
  report('warm Play, local server started by Play', fresh);
  console.log(`  requests per Play: ${requests.join(', ')}; the server's ready line came `
    + `${ms(median(fresh.map((r) => r.serverReady)))} after its start`);
  report('warm Play, local server already running', running);
  await page.stopServer();
  await mw.close();
}

// A port on which nothing listens: connections to it are refused at once.
async function refusingAddress() {
  const server = net.createServer().listen(0, '127.0.0.1');
  await new Promise((resolve) => server.once('listening', resolve));
  const { port } = server.address();
  await new Promise((resolve) => server.close(resolve));
  return `http://127.0.0.1:${port}`;
}

async function benchStartUp(tmp) {
  const refused = await refusingAddress();
  const created = [];
  const shown = [];
  for (let round = 0; round < ROUNDS; round++) {
    const { testing } = loadLauncher({ appData: path.join(tmp, `start-${round}`) });
    app('core/endpoints.js').updateService = refused;
    const started = performance.now();
    testing.setReady();
    await until(() => testing.windows.length);
    created.push(performance.now() - started);
    await until(() => testing.windows[0].isVisible());
    shown.push(performance.now() - started);
  }
  console.log(`start-up, update service refusing: window shown ${ms(median(shown))} after ready `
    + `(median of ${ROUNDS}: ${shown.map((t) => t.toFixed(0)).join(', ')}), created after ${ms(median(created))}`);
}

async function main() {
  delete process.env.QUORLIN_API;
  const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'bench-play-'));
  try {
    await benchPlay(tmp);
    await benchStartUp(tmp);
  } finally {
    fs.rmSync(tmp, { recursive: true, force: true });
  }
}

main().then(() => process.exit(0), (err) => {
  console.error(err);
  process.exit(1);
});
