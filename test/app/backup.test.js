const { test, describe, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync, spawn } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { backupWorld, listBackups, restoreBackup } = require('../../app/backup');
const { backupsToDelete } = require('../../app/backup/retention');
const { limits } = require('../../app/backup/zip-write');
const { listingText } = require('../../app/backup/listing');
const { makeZip } = require('../support/zip');

const BACKUP = path.join(__dirname, '..', '..', 'app', 'backup');
const LEVEL = "Çağrı'nın dünyası";
// as the server writes it: the properties format escapes what is not ASCII
const PROPERTIES = 'motd=x\nlevel-name=\\u00C7a\\u011Fr\\u0131\'n\\u0131n d\\u00FCnyas\\u0131\nwhite-list=false\n';
const NOW = new Date(2025, 2, 4, 5, 6, 7);
const NAME = `${LEVEL}-2025-03-04_05-06-07.zip`;
const HELD = 'region/r.0.0.mca';
// a path past Windows' old 260-character limit
const DEEP = `${'derin klasör/'.repeat(20)}son.json`;

let dir, serverDir, backupsDir, world, lines;
beforeEach(() => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-backup-'));
  serverDir = path.join(dir, 'server');
  backupsDir = path.join(dir, 'backups');
  world = path.join(serverDir, LEVEL);
  lines = [];
  const files = {
    'level.dat': 'seviye',
    [HELD]: crypto.randomBytes(1024 * 1024 + 5), // two reads; its header is patched after its write buffer left
    'region/r.-1.0.mca': crypto.randomBytes(70000),
    'DIM-1/region/r.0.0.mca': crypto.randomBytes(9000),
    'DIM1/region/r.0.-1.mca': Buffer.alloc(0),
    'data/ağaç çizelgesi.json': JSON.stringify({ ağaç: 'çam'.repeat(5000) }),
    'playerdata/0b5e-ş.dat': crypto.randomBytes(500),
    [DEEP]: '{}',
    'session.lock': '\u2603',
  };
  for (const [rel, data] of Object.entries(files)) write(path.join(world, rel), data);
  write(path.join(serverDir, 'server.properties'), PROPERTIES);
  write(path.join(serverDir, 'ops.json'), '[{"name":"Ayşe"}]');
  write(path.join(serverDir, 'whitelist.json'), '[]');
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

function write(file, data) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, data);
}

// rel → SHA-1 of every file under `root`
function tree(root) {
  const out = {};
  for (const rel of fs.readdirSync(root, { recursive: true })) {
    const file = path.join(root, rel);
    if (fs.statSync(file).isFile()) out[rel.split(path.sep).join('/')] = crypto.createHash('sha1').update(fs.readFileSync(file)).digest('hex');
  }
  return out;
}

function backup(now = NOW, extra = {}) {
  return backupWorld({ serverDir, backupsDir, now, log: (line) => lines.push(line), ...extra });
}

function restore(name = NAME, now = new Date(2025, 2, 5)) {
  return restoreBackup({ backupsDir, name, serverDir, now, log: (line) => lines.push(line) });
}

// the same round trip with the plain records and with limits lowered so every ZIP64 record appears
for (const [label, lowered] of [['plain records', null], ['ZIP64 records', { max32: 4096, max16: 3 }]]) {
  test(`a backup and its restore, ${label}: a world with dimensions, non-ASCII and long names and a held region file comes back byte for byte`, async (t) => {
    if (lowered) {
      const saved = { ...limits };
      Object.assign(limits, lowered);
      t.after(() => Object.assign(limits, saved));
    }
    const original = tree(serverDir);
    delete original[`${LEVEL}/session.lock`];
    const held = fs.openSync(path.join(world, HELD), 'r+');
    const { file, bytes } = await backup().finally(() => fs.closeSync(held));

    assert.deepEqual([...await listBackups(backupsDir), bytes], [{ file, name: NAME, level: LEVEL, date: NOW, verified: true, bytes }, fs.statSync(file).size]);
    const archive = fs.readFileSync(file);
    assert.equal(archive.readUInt32LE(archive.length - 98) === 0x06064b50, Boolean(lowered), 'a ZIP64 end record');
    // any ZIP reader takes it: every CRC checks out, names are flagged UTF-8, nothing missing or extra
    const report = JSON.parse(execFileSync('python3', ['-c', `import sys, zipfile, json
z = zipfile.ZipFile(sys.argv[1])
print(json.dumps({'bad': z.testzip(), 'utf8': all(i.flag_bits & 0x800 for i in z.infolist()), 'names': sorted(z.namelist())}))`, file], { encoding: 'utf8' }));
    assert.deepEqual(report, { bad: null, utf8: true, names: [...Object.keys(original), 'quorlin-backup.json'].sort() });

    fs.rmSync(path.join(world, 'level.dat'));
    write(path.join(world, HELD), 'bozuldu');
    write(path.join(world, 'region/r.9.9.mca'), 'yeni');
    write(path.join(serverDir, 'ops.json'), '[]');
    const changed = tree(world);
    const { aside } = await restore();
    // the world and the server files as backed up and nothing else, the changed world kept aside
    assert.deepEqual([tree(aside), path.basename(aside)], [changed, `${LEVEL}.before-restore-2025-03-05_00-00-00`]);
    assert.deepEqual(Object.fromEntries(Object.entries(tree(serverDir)).filter(([rel]) => !rel.startsWith(path.basename(aside)))), original);
  });
}

test('the keeping rule over a simulated month: the last 5, the newest of each of the last 7 days', () => {
  let kept = [
    { name: 'eski', level: 'eski', date: new Date(2025, 0, 1), verified: true }, // another world's stay
    { name: 'ileri', level: 'w', date: new Date(2026, 0, 1), verified: true }, // a clock set back: dated ahead
    { name: 'yarım', level: 'w', date: new Date(2025, 2, 1), verified: false }, // a cut write: not the rule's
  ];
  for (let day = 1; day <= 30; day++) {
    for (const hour of [0, 6, 12, 18]) {
      const now = new Date(2025, 2, day, hour, 30);
      kept.push({ name: `${day} ${hour}`, level: 'w', date: now, verified: true });
      const gone = backupsToDelete(kept, now);
      kept = kept.filter((b) => !gone.includes(b));
    }
  }
  const days = [24, 25, 26, 27, 28, 29].map((day) => `${day} 18`);
  assert.deepEqual(kept.map((b) => b.name).sort(), ['eski', 'ileri', 'yarım', ...days, '30 0', '30 6', '30 12', '30 18'].sort());
});

describe('a backup that fails says why in Turkish and deletes nothing', () => {
  for (const [label, message, arrange] of [
    ['no free space', /^Yedek için yeterli boş alan yok \(\d+ MB gerekiyor\)\.$/, () => ({ statfs: async () => ({ bavail: 10, bsize: 4096 }) })],
    ['a file that cannot be read', /^Yedek alınamadı: .*\/data\/kayıp\.dat okunamadı \(ENOENT\)$/, () => {
      fs.symlinkSync(path.join(dir, 'yok'), path.join(world, 'data', 'kayıp.dat'));
    }],
    ['a world name that leaves the folder', /^Yedek alınamadı: Geçersiz dünya adı: \.\.\/dışarı$/, () => {
      write(path.join(serverDir, 'server.properties'), 'level-name=../dışarı\n');
    }],
  ]) {
    test(label, async () => {
      const { file } = await backup(new Date(2025, 0, 20));
      // older backups, five of which a successful backup lets go
      for (let day = 1; day <= 8; day++) fs.copyFileSync(file, path.join(backupsDir, `${LEVEL}-2025-01-0${day}_10-00-00.zip`));
      const before = tree(backupsDir);
      await assert.rejects(backup(NOW, arrange() ?? {}), { message });
      assert.deepEqual(tree(backupsDir), before);
      if (label === 'no free space') {
        await backup();
        assert.equal((await listBackups(backupsDir)).length, 5);
      }
    });
  }
});

test('a backup killed mid-write leaves no archive listed and the older ones as they were', async (t) => {
  await backup(new Date(2025, 2, 1));
  const before = tree(backupsDir);
  // the child halts on reading the held region file, with the archive half written, and dies there
  const script = `const fsp = require('node:fs/promises'); const open = fsp.open; setInterval(() => {}, 1000);
    fsp.open = (file, ...rest) => String(file).endsWith(${JSON.stringify(path.join(LEVEL, HELD))}) ? (console.log('durdu'), new Promise(() => {})) : open(file, ...rest);
    require(${JSON.stringify(BACKUP)}).backupWorld(${JSON.stringify({ serverDir, backupsDir })});`;
  const child = spawn(process.execPath, ['-e', script], { stdio: ['ignore', 'pipe', 'inherit'] });
  t.after(() => child.kill('SIGKILL'));
  await new Promise((resolve) => { child.stdout.once('data', resolve); child.once('exit', resolve); });
  let part;
  for (let tries = 0; !(part?.bytes > 0) && tries < 250; tries++) {
    await new Promise((resolve) => setTimeout(resolve, 20));
    part = (await listBackups(backupsDir)).find((b) => !b.verified);
  }
  assert.ok(part?.bytes > 0, 'the archive was half written');
  child.kill('SIGKILL');
  await new Promise((resolve) => child.once('exit', resolve));

  assert.deepEqual(Object.fromEntries(Object.entries(tree(backupsDir)).filter(([n]) => n !== part.name)), before);
  await backup();
  assert.ok(!fs.existsSync(part.file), 'the next backup clears what the cut one left');
});

describe('a restore that fails leaves the world as it was', () => {
  // backup NAME holding `entries` ([path, data]) and a listing of `listed`; `damage` spoils an entry's data after its CRC is taken
  function craft(entries, { listed = entries, damage } = {}) {
    const files = listed.map(([rel, data]) => ({ path: rel, size: Buffer.byteLength(data), sha1: crypto.createHash('sha1').update(data).digest('hex') }));
    fs.mkdirSync(backupsDir);
    fs.writeFileSync(path.join(backupsDir, NAME), makeZip([...entries, ['quorlin-backup.json', listingText(LEVEL, NOW, files)]].map(([name, data]) => ({ name, data })), { damage }));
    return NAME;
  }
  const own = [`${LEVEL}/level.dat`, 'x'];
  for (const [label, message, arrange] of [
    ['a damaged entry half way: the world is put back', /^Yedek geri yüklenemedi, dünya eski haline getirildi\.$/,
      () => craft([own, [`${LEVEL}/bozuk.dat`, 'x']], { damage: `${LEVEL}/bozuk.dat` })],
    ['an entry that would leave the server folder', /^Yedek bozuk: .*\/\.\.\/\.\.\/kaçak\.txt$/, () => craft([own, [`${LEVEL}/../../kaçak.txt`, 'x']])],
    ['a file the listing names and the archive lacks', /^Yedek bozuk: .*\/eksik\.dat$/, () => craft([own], { listed: [own, [`${LEVEL}/eksik.dat`, 'x']] })],
    ['a name that is no backup', /^Yedek bulunamadı: \.\.\/server\/ops\.json$/, () => '../server/ops.json'],
  ]) {
    test(label, async () => {
      const name = arrange();
      const before = tree(serverDir);
      await assert.rejects(restore(name), { message });
      assert.deepEqual(tree(serverDir), before);
      // a failure after the world moved says its cause in the log
      if (message.source.includes('eski haline')) assert.ok(lines.includes(`[Quorlin] HATA: Yedek bozuk: ${LEVEL}/bozuk.dat`));
    });
  }
});
