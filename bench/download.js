'use strict';
// Throughput and memory of the launcher's download against a plain https.get piped to a
// file, both fetching the same 256 MiB body from a loopback HTTPS server in a child process;
// then a 100 MiB download whose connection is cut at 80 %, continued from there against
// started over (a server that ignores the range), in bytes fetched and time.
// Prints figures; run with `make bench-download` (it trusts the test CA).
const fs = require('node:fs');
const https = require('node:https');
const os = require('node:os');
const path = require('node:path');
const { fork } = require('node:child_process');
const { Readable } = require('node:stream');
const { pipeline } = require('node:stream/promises');

const SIZE = 256 * 1024 * 1024;
const CHUNK = 64 * 1024;
const ROUNDS = 4;
const CUT_SIZE = 100 * 1024 * 1024;
const CUT_AT = CUT_SIZE * 0.8;
const CUT_ROUNDS = 3;

// Child: serves SIZE bytes at /big, generated on the fly so the server holds no copy, and
// CUT_SIZE bytes at /cut, answered as the plans the parent sends say (successive requests take
// successive plans, the last repeating); it answers 'count' with the body bytes sent since.
async function serve() {
  const { startWorld, answer } = require('../test/support/world');
  const world = await startWorld({ https: true });
  const body = Buffer.alloc(CUT_SIZE, 0x5a);
  let plans = [];
  let sent = 0;
  world.route('/cut', (req, res) => {
    const plan = { body, ...plans[Math.min(world.count('/cut') - 1, plans.length - 1)] };
    const from = plan.ranges ? Number((/^bytes=(\d+)-$/.exec(req.headers.range || '') || [0, 0])[1]) : 0;
    sent += plan.cut ?? CUT_SIZE - from;
    answer(res, plan);
  });
  process.on('message', (message) => {
    if (message === 'count') {
      process.send(sent);
    } else {
      [plans, sent] = [message, 0];
      world.requests.length = 0;
      process.send('ready');
    }
  });
  const block = Buffer.alloc(CHUNK, 0x5a);
  world.route('/big', (req, res) => {
    res.writeHead(200, { 'Content-Length': SIZE });
    let sent = 0;
    Readable.from((function* blocks() {
      while (sent < SIZE) {
        const n = Math.min(CHUNK, SIZE - sent);
        sent += n;
        yield n === CHUNK ? block : block.subarray(0, n);
      }
    })()).pipe(res);
  });
  process.send(world.url);
}

// Runs `fn`, sampling the resident set every 10 ms; returns seconds and peak growth in bytes.
async function measure(fn) {
  global.gc?.();
  const base = process.memoryUsage().rss;
  let peak = base;
  const sampler = setInterval(() => { peak = Math.max(peak, process.memoryUsage().rss); }, 10);
  const start = process.hrtime.bigint();
  await fn();
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  clearInterval(sampler);
  peak = Math.max(peak, process.memoryUsage().rss);
  return { seconds, growth: peak - base };
}

function plainGet(url, file) {
  return new Promise((resolve, reject) => {
    https.get(url, (res) => pipeline(res, fs.createWriteStream(file)).then(resolve, reject)).on('error', reject);
  });
}

// The launcher's download of /cut, cut at 80 % on the first answer: continued from the part
// when the server honours the range, started over when it answers the whole file again.
// Resolves to the lines that report it.
async function cutFigures(download, server, base, dir) {
  const ask = (message) => new Promise((resolve) => {
    server.once('message', resolve);
    server.send(message);
  });
  const file = path.join(dir, 'cut.bin');
  const ways = {
    uncut: [{ ranges: true }],
    resumed: [{ ranges: true, cut: CUT_AT }, { ranges: true }],
    'started over': [{ cut: CUT_AT }, {}],
  };
  const runs = Object.fromEntries(Object.keys(ways).map((name) => [name, []]));
  for (let round = 0; round < CUT_ROUNDS; round += 1) {
    for (const [name, plans] of Object.entries(ways)) {
      fs.rmSync(file, { force: true });
      await ask(plans);
      const { seconds } = await measure(() => download(`${base}/cut`, file, () => {}));
      if (fs.statSync(file).size !== CUT_SIZE) throw new Error(`${name}: download incomplete`);
      runs[name].push({ seconds, bytes: await ask('count') });
    }
  }
  const mib = (bytes) => bytes / (1024 * 1024);
  return [`${mib(CUT_SIZE)} MiB over loopback HTTPS with the connection cut at ${mib(CUT_AT)} MiB, median of ${CUT_ROUNDS} runs each:`,
    ...Object.entries(runs).map(([name, list]) => `  ${`${name}:`.padEnd(14)} ${mib(list[0].bytes).toFixed(0).padStart(3)} MiB fetched, ${
      (median(list.map((run) => run.seconds)) * 1000).toFixed(0)} ms`)];
}

const median = (list) => [...list].sort((a, b) => a - b)[Math.floor(list.length / 2)];

async function main() {
  const { download } = require('../app/core/http');
  const server = fork(__filename, ['--serve']);
  const base = await new Promise((resolve) => server.once('message', resolve));
  const url = `${base}/big`;
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-bench-'));
  const file = path.join(dir, 'big.bin');
  const mib = SIZE / (1024 * 1024);
  const runs = { launcher: [], plain: [] };
  let warmUp;
  let cut;
  const fetchers = {
    launcher: () => download(url, file, () => {}),
    plain: () => plainGet(url, file),
  };
  try {
    // a first run each warms up TLS and the compiler: it counts for memory, not for speed;
    // the launcher goes first, so its growth is measured from the fresh process
    warmUp = {};
    for (const [name, fetch] of Object.entries(fetchers)) warmUp[name] = await measure(fetch);
    for (let round = 0; round < ROUNDS; round += 1) {
      const order = round % 2 ? ['plain', 'launcher'] : ['launcher', 'plain'];
      for (const name of order) {
        fs.rmSync(file, { force: true });
        runs[name].push(await measure(fetchers[name]));
        if (fs.statSync(file).size !== SIZE) throw new Error(`${name}: download incomplete`);
      }
    }
    cut = await cutFigures(download, server, base, dir);
  } finally {
    server.kill();
    fs.rmSync(dir, { recursive: true, force: true });
  }
  const rate = (name) => median(runs[name].map((run) => mib / run.seconds));
  const growth = (name) => Math.max(...runs[name].map((run) => run.growth)) / 1e6;
  console.log(`${mib} MiB over loopback HTTPS, median of ${ROUNDS} runs each, peak RSS growth the largest seen:`);
  console.log(`  launcher download: ${rate('launcher').toFixed(0)} MiB/s, peak RSS growth ${growth('launcher').toFixed(1)} MB`);
  console.log(`  plain https.get:   ${rate('plain').toFixed(0)} MiB/s, peak RSS growth ${growth('plain').toFixed(1)} MB`);
  console.log(`  throughput ratio (launcher / plain): ${(rate('launcher') / rate('plain')).toFixed(2)}`);
  console.log(`  first launcher download in the fresh process (TLS, buffers, compiler warming up): peak RSS growth ${(warmUp.launcher.growth / 1e6).toFixed(1)} MB`);
  console.log(cut.join('\n'));
}

if (process.argv.includes('--serve')) serve();
else main().catch((err) => { console.error(err); process.exitCode = 1; });
