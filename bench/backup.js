'use strict';
// A world backup of a generated 1 GiB world next to a plain copy of the folder (`cp -r`, and
// `cp -r` followed by `sync`, as the backup flushes its archive before renaming it) and
// `zip -r`: wall time, CPU time and peak RSS of each, every one in a fresh process under
// /usr/bin/time (on a busy machine the CPU time is the steadier figure).
// The backup's peak is also shown for a 128 MiB world and beside a bare Node, to show that
// memory stays flat with the world's size. Prints figures, asserts nothing.
//
// The world is written below the system's temporary folder and removed after. Its region
// files are laid out as the game writes them (an 8 KiB table, chunks in 4 KiB sectors, each a
// length, a compression byte and zlib data, padded with zeros); their chunk data is random,
// as incompressible as real zlib data. Beside them: entity and point-of-interest regions,
// player data, level.dat and the JSON statistics and advancements, which compress well.

const { execFileSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');

const BACKUP = path.join(__dirname, '..', 'app', 'backup');
const MiB = 1024 * 1024;
const POOL = crypto.randomBytes(32 * MiB);

function randomSlice(size) {
  const at = crypto.randomInt(0, POOL.length - size);
  return POOL.subarray(at, at + size);
}

// A region file of about `size` bytes: the location and time tables, then chunks of
// 1.5–12 KiB of data, each padded to whole 4 KiB sectors.
function regionFile(size) {
  const parts = [Buffer.alloc(8192)];
  let sector = 2;
  for (let i = 0; i < 1024 && sector * 4096 < size; i++) {
    const data = 1536 + crypto.randomInt(0, 10752);
    const sectors = Math.ceil((data + 5) / 4096);
    const chunk = Buffer.alloc(sectors * 4096);
    chunk.writeUInt32BE(data + 1, 0);
    chunk[4] = 2; // zlib
    randomSlice(data).copy(chunk, 5);
    parts[0].writeUInt32BE((sector << 8) | sectors, i * 4);
    parts.push(chunk);
    sector += sectors;
  }
  return Buffer.concat(parts);
}

function jsonText(i) {
  const stats = {};
  for (let k = 0; k < 60; k++) stats[`minecraft:${['mined', 'used', 'crafted', 'killed'][k % 4]}/minecraft:block_${(i * 7 + k) % 97}`] = (i * 31 + k * 17) % 5000;
  return JSON.stringify({ stats: { 'minecraft:custom': stats }, DataVersion: 4671 }, null, 2);
}

// Writes a world of about `bytes` into `serverDir` and returns its size and file count.
function makeWorld(serverDir, bytes) {
  const world = path.join(serverDir, 'brimlox');
  const files = [];
  const add = (rel, data) => {
    const file = path.join(world, rel);
    fs.mkdirSync(path.dirname(file), { recursive: true });
    fs.writeFileSync(file, data);
    files.push(data.length);
  };
  fs.mkdirSync(serverDir, { recursive: true });
  fs.writeFileSync(path.join(serverDir, 'server.properties'), 'level-name=brimlox\n');
  fs.writeFileSync(path.join(serverDir, 'ops.json'), '[]\n');
  add('level.dat', zlib.gzipSync(randomSlice(4096)));
  add('session.lock', Buffer.from('\u2603'));
  for (let i = 0; i < 200; i++) {
    const id = crypto.randomUUID();
    add(`playerdata/${id}.dat`, zlib.gzipSync(Buffer.concat([randomSlice(2048), Buffer.alloc(6000)])));
    add(`stats/${id}.json`, jsonText(i));
    add(`advancements/${id}.json`, jsonText(i + 1000));
  }
  for (let i = 0; i < 40; i++) add(`data/map_${i}.dat`, zlib.gzipSync(randomSlice(2048)));
  let total = files.reduce((a, b) => a + b, 0);
  for (let i = 0; total < bytes; i++) {
    // one region in ten is the Nether's or the End's
    const dim = i % 10 !== 9 ? '' : i % 20 === 9 ? 'DIM-1/' : 'DIM1/';
    const x = (i % 16) - 8;
    const z = Math.floor(i / 16) - 8;
    const region = regionFile(Math.min(bytes - total, 2 * MiB + crypto.randomInt(0, 10 * MiB)));
    add(`${dim}region/r.${x}.${z}.mca`, region);
    add(`${dim}entities/r.${x}.${z}.mca`, regionFile(64 * 1024 + crypto.randomInt(0, 128 * 1024)));
    add(`${dim}poi/r.${x}.${z}.mca`, regionFile(16 * 1024 + crypto.randomInt(0, 64 * 1024)));
    total += files.slice(-3).reduce((a, b) => a + b, 0);
  }
  return { total, count: files.length };
}

// Wall seconds, CPU seconds (user and system) and peak RSS (MiB) of one command, run under /usr/bin/time.
function timed(command, args, cwd) {
  const out = path.join(os.tmpdir(), `quorlin-bench-time-${process.pid}`);
  execFileSync('/usr/bin/time', ['-o', out, '-f', '%e %U %S %M', command, ...args], { cwd, stdio: ['ignore', 'ignore', 'inherit'] });
  const [seconds, user, system, kb] = fs.readFileSync(out, 'utf8').trim().split(/\s+/).map(Number);
  fs.rmSync(out, { force: true });
  return { seconds, cpu: user + system, rss: kb / 1024 };
}

function backupRun(serverDir, backupsDir) {
  const script = `require(${JSON.stringify(BACKUP)}).backupWorld({ serverDir: ${JSON.stringify(serverDir)}, `
    + `backupsDir: ${JSON.stringify(backupsDir)} }).catch((e) => { console.error(e); process.exit(1); })`;
  return timed(process.execPath, ['-e', script], serverDir);
}

function line(label, run, base) {
  const ratio = base ? `  ${(run.seconds / base.seconds).toFixed(2)}× cp -r` : '';
  console.log(`${label.padEnd(30)} ${run.seconds.toFixed(2).padStart(6)} s  CPU ${run.cpu.toFixed(2).padStart(6)} s  `
    + `peak RSS ${run.rss.toFixed(1).padStart(6)} MiB${ratio}`);
}

function main() {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-bench-backup-'));
  try {
    const big = path.join(root, 'server');
    const small = path.join(root, 'small');
    const backups = path.join(root, 'backups');
    const copy = path.join(root, 'copy');
    const world = makeWorld(big, 1024 * MiB);
    makeWorld(small, 128 * MiB);
    console.log(`world: ${(world.total / MiB).toFixed(0)} MiB in ${world.count} files; ${os.cpus().length} cores, load ${os.loadavg()[0].toFixed(1)}; `
      + 'all runs from the page cache');

    const sample = regionFile(8 * MiB);
    for (const level of [1, 6]) {
      const started = process.hrtime.bigint();
      const packed = zlib.deflateRawSync(sample, { level }).length;
      const seconds = Number(process.hrtime.bigint() - started) / 1e9;
      console.log(`deflating region data at level ${level}: ${(100 * packed / sample.length).toFixed(1)} % of its size, ${(sample.length / MiB / seconds).toFixed(0)} MiB/s`);
    }

    const runs = { cp: [], cpSync: [], backup: [] };
    for (let i = 0; i < 2; i++) {
      runs.cp.push(timed('cp', ['-r', big, copy]));
      fs.rmSync(copy, { recursive: true });
      runs.cpSync.push(timed('sh', ['-c', 'cp -r "$0" "$1" && sync -f "$1"', big, copy]));
      fs.rmSync(copy, { recursive: true });
      runs.backup.push(backupRun(big, backups));
      const [archive] = fs.readdirSync(backups);
      if (i === 0) console.log(`archive: ${(fs.statSync(path.join(backups, archive)).size / MiB).toFixed(0)} MiB`);
      fs.rmSync(backups, { recursive: true });
    }
    const best = (list) => list.reduce((a, b) => (b.seconds < a.seconds ? b : a));
    const cp = best(runs.cp);
    line('cp -r (best of 2)', cp);
    line('cp -r && sync (best of 2)', best(runs.cpSync), cp);
    line('backup (best of 2)', best(runs.backup), cp);
    runs.backup.forEach((run, i) => line(`  backup run ${i + 1}`, run, cp));
    line('zip -qr', timed('zip', ['-qr', path.join(root, 'plain.zip'), 'brimlox'], big), cp);
    line('backup of 128 MiB world', backupRun(small, backups));
    line('node -e 0 (bare Node)', timed(process.execPath, ['-e', '0'], root));
  } finally {
    fs.rmSync(root, { recursive: true, force: true });
  }
}

main();
