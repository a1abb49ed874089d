'use strict';
// Game installation against a loopback Mojang/Fabric world with 20 ms added per request:
// cold install and re-check of the complete install, each next to its practical limit
// (a plain 24-at-once fetch loop; a stat-and-hash floor), with peak RSS. Prints figures.
//
//   node bench/install.js           all of it
//   node bench/install.js faults    only the cold installs against a faulty CDN: one that
//                                   answers 503 for 400 ms every 2.5 s, one that fails 2 % of
//                                   its content requests at random (a 503, a cut body or a
//                                   flipped byte); whether each run finishes, its time, the
//                                   requests it made and the asset objects left in place
//
// The world runs in a process of its own and every measured phase in a fresh one, so the
// RSS figures are the installer's alone. With ../shared/realdata present, the asset sizes
// follow a real index and the libraries are those of a real version file at their real sizes.

const { fork } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const fsp = require('node:fs/promises');
const https = require('node:https');
const os = require('node:os');
const path = require('node:path');
const { pipeline } = require('node:stream/promises');

const REPO = path.join(__dirname, '..');
const REAL = path.join(REPO, '..', 'shared', 'realdata');
const ASSETS = 4000;
const CLIENT_SIZE = 25 * 1024 * 1024;
const LATENCY_MS = 20;
const CONCURRENCY = 24;
const HASHED_FROM = 2 * 1024 * 1024;
const HICCUP = { everyMs: 2500, forMs: 400 };
const FAULT_RATE = 0.02;
const FAULT_RUNS = 5;

// Libraries of 2 MiB and more besides the small ones, when no real version file is at hand.
const BIG_LIBRARIES = [
  { name: 'com.google.guava:guava:33.6.0-jre', size: 3064793 },
  { name: 'com.ibm.icu:icu4j:78.3', size: 15156073 },
  { name: 'it.unimi.dsi:fastutil:8.5.18', size: 23965563 },
];

function worldOptions() {
  const options = { assets: ASSETS, clientSize: CLIENT_SIZE, latency: LATENCY_MS, libraries: BIG_LIBRARIES };
  const index = path.join(REAL, 'mojang', 'assets', 'indexes', '5.json');
  const version = path.join(REAL, 'mojang', 'versions', '26.2.json');
  if (fs.existsSync(index) && fs.existsSync(version)) {
    options.assetSizes = Object.values(JSON.parse(fs.readFileSync(index, 'utf8')).objects).map((o) => o.size);
    options.template = JSON.parse(fs.readFileSync(version, 'utf8'));
    options.maxLibSize = Infinity;
  }
  return options;
}

// ---- the world process ----

// The content of `urlPath` as a CDN with the given fault `mode` serves it.
function faultyContent(mw, urlPath, mode, since) {
  return (req, res) => {
    const roll = mode === 'random' ? Math.random() / FAULT_RATE : Infinity; // below 1: a fault
    if ((mode === 'hiccup' && (Date.now() - since) % HICCUP.everyMs < HICCUP.forMs) || roll < 1 / 3) {
      res.writeHead(503, { 'Content-Length': 0 });
      res.end();
      return;
    }
    const bytes = mw.bytes(urlPath);
    res.writeHead(200, { 'Content-Type': 'application/octet-stream', 'Content-Length': bytes.length });
    if (roll < 2 / 3) {
      res.write(bytes.subarray(0, bytes.length >> 1), () => res.socket.destroy());
    } else if (roll < 1) {
      const flipped = Buffer.from(bytes);
      flipped[flipped.length >> 1] ^= 0xff;
      res.end(flipped);
    } else {
      res.end(bytes);
    }
  };
}

async function serveWorld() {
  const { startMojangWorld } = require('../test/support/mojang-world');
  const mw = await startMojangWorld(worldOptions());
  const mode = process.env.BENCH_FAULTS;
  if (mode) for (const f of mw.files) mw.world.route(f.path, faultyContent(mw, f.path, mode, Date.now()));
  const endpoints = {};
  mw.useAsEndpoints(endpoints);
  process.on('message', (m) => {
    if (m === 'count') process.send({ count: mw.world.requests.length });
    if (m === 'clear') mw.clearRequests();
    if (m === 'stop') mw.close().then(() => process.exit(0));
  });
  process.send({
    ready: true,
    endpoints,
    profileUrl: mw.profileUrl,
    usesRealData: Boolean(worldOptions().template),
    urls: mw.files.map((f) => mw.world.url + f.path),
    objects: new Set(Object.values(mw.index.objects).map((o) => o.hash)).size,
    bytes: mw.files.reduce((n, f) => n + f.size, 0),
  });
}

// ---- measured phases, each in a fresh process ----
function newGame(root) {
  const endpoints = require('../app/core/endpoints');
  Object.assign(endpoints, JSON.parse(process.env.BENCH_ENDPOINTS));
  const { Game } = require('../app/mc');
  return new Game({ root, gameDir: path.join(root, '..', 'game'), system: { os: 'windows', arch: 'x86_64' } });
}

async function plainLoop(dir, urls) {
  let next = 0;
  async function worker() {
    while (next < urls.length) {
      const i = next++;
      const res = await new Promise((resolve, reject) => https.get(urls[i], resolve).on('error', reject));
      await pipeline(res, fs.createWriteStream(path.join(dir, String(i))));
    }
  }
  await fsp.mkdir(dir, { recursive: true });
  await Promise.all(Array.from({ length: CONCURRENCY }, worker));
}

async function statHashFloor(root) {
  const all = await fsp.readdir(root, { recursive: true, withFileTypes: true });
  const files = all.filter((e) => e.isFile()).map((e) => path.join(e.parentPath || e.path, e.name));
  const objects = path.join(root, 'assets', 'objects') + path.sep;
  await Promise.all(files.map(async (f) => {
    const { size } = await fsp.stat(f);
    if (size >= HASHED_FROM && !f.startsWith(objects)) {
      const hash = crypto.createHash('sha1');
      await pipeline(fs.createReadStream(f, { highWaterMark: 1 << 20 }), hash);
    }
  }));
  return files;
}

async function runPhase(phase, dir) {
  // loading code and inputs is left out of every figure alike
  const game = phase === 'install' ? newGame(dir) : null;
  const urls = phase === 'plain' ? JSON.parse(fs.readFileSync(process.env.BENCH_URLS, 'utf8')) : null;
  const started = process.hrtime.bigint();
  let error = null;
  if (phase === 'plain') await plainLoop(dir, urls);
  if (phase === 'install') await game.install('26.3', process.env.BENCH_PROFILE).catch((err) => { error = err.message; });
  if (phase === 'floor') await statHashFloor(dir);
  const ms = Number(process.hrtime.bigint() - started) / 1e6;
  const usage = process.resourceUsage();
  const result = { ms, error, rssMiB: usage.maxRSS / 1024, cpuS: (usage.userCPUTime + usage.systemCPUTime) / 1e6 };
  if (phase === 'install' && process.env.BENCH_FAULTS) Object.assign(result, await objectsInPlace(dir));
  process.send(result);
}

// Asset objects in place, and those whose content does not match the hash they are named by.
async function objectsInPlace(root) {
  const objects = path.join(root, 'assets', 'objects');
  const all = await fsp.readdir(objects, { recursive: true, withFileTypes: true }).catch(() => []);
  const files = all.filter((e) => e.isFile() && !e.name.endsWith('.part'));
  let corrupt = 0;
  for (const e of files) {
    const bytes = await fsp.readFile(path.join(e.parentPath || e.path, e.name));
    if (crypto.createHash('sha1').update(bytes).digest('hex') !== e.name) corrupt++;
  }
  return { inPlace: files.length, corrupt };
}

// ---- the orchestrator ----
function child(args, env) {
  return fork(__filename, args, { env: { ...process.env, NODE_EXTRA_CA_CERTS: path.join(REPO, 'test', 'ca', 'ca.pem'), ...env } });
}

function nextMessage(proc) {
  return new Promise((resolve, reject) => {
    proc.once('message', resolve);
    proc.once('exit', (code) => reject(new Error('bench process ended with ' + code)));
  });
}

async function measure(phase, dir, env) {
  const proc = child(['phase', phase, dir], env);
  const result = await nextMessage(proc);
  await new Promise((r) => proc.once('exit', r));
  return result;
}

async function main(onlyFaults) {
  if (!onlyFaults) await withWorld({}, compare);
  for (const mode of ['hiccup', 'random']) await withWorld({ BENCH_FAULTS: mode }, (info, ask, tmp) => faultRuns(mode, info, ask, tmp));
}

async function withWorld(env, work) {
  const world = child(['world'], env);
  const info = await nextMessage(world);
  const ask = async (m) => {
    world.send(m);
    return m === 'count' ? (await nextMessage(world)).count : undefined;
  };
  const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'bench-install-'));
  try {
    await work(info, ask, tmp);
  } finally {
    fs.rmSync(tmp, { recursive: true, force: true });
    world.send('stop');
  }
}

function benchEnv(info, tmp) {
  fs.writeFileSync(path.join(tmp, 'urls.json'), JSON.stringify(info.urls));
  return { BENCH_ENDPOINTS: JSON.stringify(info.endpoints), BENCH_PROFILE: info.profileUrl, BENCH_URLS: path.join(tmp, 'urls.json') };
}

async function faultRuns(mode, info, ask, tmp) {
  const env = { ...benchEnv(info, tmp), BENCH_FAULTS: mode };
  const what = mode === 'hiccup' ? `CDN answering 503 for ${HICCUP.forMs} ms every ${HICCUP.everyMs / 1000} s`
    : `CDN failing ${FAULT_RATE * 100} % of content requests at random`;
  const runs = [];
  let finished = 0;
  for (let run = 0; run < FAULT_RUNS; run++) {
    fs.rmSync(path.join(tmp, 'install'), { recursive: true, force: true });
    await ask('clear');
    const r = await measure('install', path.join(tmp, 'install', 'minecraft'), env);
    if (!r.error) finished++;
    runs.push(`${r.error ? 'FAILED (' + r.error + ')' : 'finished'} in ${(r.ms / 1000).toFixed(2)} s, `
      + `${await ask('count')} requests, ${r.inPlace} of ${info.objects} objects in place, ${r.corrupt} corrupt`);
  }
  console.log(`${what} (${info.urls.length} files on it): ${finished} of ${FAULT_RUNS} installs finished\n  ${runs.join('\n  ')}`);
}

const median = (list) => list.map((r) => r.ms).sort((a, b) => a - b)[Math.floor(list.length / 2)];

async function compare(info, ask, tmp) {
  const env = benchEnv(info, tmp);
  console.log(`world: ${info.urls.length} files, ${(info.bytes / 1048576).toFixed(1)} MiB, ${LATENCY_MS} ms per request, `
    + `${info.usesRealData ? 'real asset sizes and libraries' : 'generated sizes (no realdata)'}`);

  const cold = [];
  const plain = [];
  // alternating rounds, so that load from elsewhere on the machine hits both sides alike
  for (let round = 0; round < 5; round++) {
    fs.rmSync(path.join(tmp, 'plain'), { recursive: true, force: true });
    plain.push(await measure('plain', path.join(tmp, 'plain'), env));
    fs.rmSync(path.join(tmp, 'plain'), { recursive: true, force: true });
    fs.rmSync(path.join(tmp, 'install'), { recursive: true, force: true });
    await ask('clear');
    cold.push(await measure('install', path.join(tmp, 'install', 'minecraft'), env));
  }
  const runs = (list) => list.map((r) => `${(r.ms / 1000).toFixed(2)} s/${r.cpuS.toFixed(1)} s CPU`).join(', ');
  console.log(`plain 24-at-once fetch loop: ${(median(plain) / 1000).toFixed(2)} s (median; runs ${runs(plain)})`);
  console.log(`cold install:                ${(median(cold) / 1000).toFixed(2)} s (median; runs ${runs(cold)}), `
    + `${(median(cold) / median(plain)).toFixed(2)}× the loop, peak RSS ${Math.max(...cold.map((r) => r.rssMiB)).toFixed(1)} MiB`);

  const recheck = [];
  const floor = [];
  const requests = [];
  for (let round = 0; round < 3; round++) {
    floor.push(await measure('floor', path.join(tmp, 'install', 'minecraft'), env));
    await ask('clear');
    recheck.push(await measure('install', path.join(tmp, 'install', 'minecraft'), env));
    requests.push(await ask('count'));
  }
  console.log(`stat-and-hash floor:         ${median(floor).toFixed(0)} ms (median of ${floor.length})`);
  console.log(`re-check of complete install: ${median(recheck).toFixed(0)} ms (median of ${recheck.length}), `
    + `${(median(recheck) / median(floor)).toFixed(2)}× the floor, requests per re-check ${requests.join(', ')}, `
    + `peak RSS ${Math.max(...recheck.map((r) => r.rssMiB)).toFixed(1)} MiB`);
}

module.exports = { worldOptions };

if (process.argv[2] === 'world') serveWorld();
else if (process.argv[2] === 'phase') runPhase(process.argv[3], process.argv[4]);
else if (require.main === module) main(process.argv[2] === 'faults').catch((err) => {
  console.error(err);
  process.exit(1);
});
