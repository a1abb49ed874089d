'use strict';
// Game installation against a loopback Mojang/Fabric world with 20 ms added per request:
// cold install and re-check of the complete install, each next to its practical limit
// (a plain 24-at-once fetch loop; a stat-and-hash floor), with peak RSS. Prints figures.
//
//   node bench/install.js
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
async function serveWorld() {
  const { startMojangWorld } = require('../test/support/mojang-world');
  const mw = await startMojangWorld(worldOptions());
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
    bytes: mw.files.reduce((n, f) => n + f.size, 0),
  });
}

// ---- measured phases, each in a fresh process ----
function newGame(root) {
  const endpoints = require('../app/endpoints');
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
  if (phase === 'plain') await plainLoop(dir, urls);
  if (phase === 'install') await game.install('26.3', process.env.BENCH_PROFILE);
  if (phase === 'floor') await statHashFloor(dir);
  const ms = Number(process.hrtime.bigint() - started) / 1e6;
  const usage = process.resourceUsage();
  process.send({ ms, rssMiB: usage.maxRSS / 1024, cpuS: (usage.userCPUTime + usage.systemCPUTime) / 1e6 });
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

async function main() {
  const world = child(['world']);
  const info = await nextMessage(world);
  const ask = async (m) => {
    world.send(m);
    return m === 'count' ? (await nextMessage(world)).count : undefined;
  };
  const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'bench-install-'));
  try {
    await compare(info, ask, tmp);
  } finally {
    fs.rmSync(tmp, { recursive: true, force: true });
    world.send('stop');
  }
}

const median = (list) => list.map((r) => r.ms).sort((a, b) => a - b)[Math.floor(list.length / 2)];

async function compare(info, ask, tmp) {
  fs.writeFileSync(path.join(tmp, 'urls.json'), JSON.stringify(info.urls));
  const env = {
    BENCH_ENDPOINTS: JSON.stringify(info.endpoints), BENCH_PROFILE: info.profileUrl, BENCH_URLS: path.join(tmp, 'urls.json'),
  };
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

if (process.argv[2] === 'world') serveWorld();
else if (process.argv[2] === 'phase') runPhase(process.argv[3], process.argv[4]);
else if (require.main === module) main().catch((err) => {
  console.error(err);
  process.exit(1);
});
