'use strict';
// Restoring a backup. The archive and its listing are checked before anything moves; then
// the current world is moved aside as "<level>.before-restore-<date>" (the launcher never
// deletes it), the backup is unpacked and every file checked against the listing as it is
// written. The server files land last, each beside its old one until all is checked. A
// failure removes what was unpacked and puts the moved world back.

const fsp = require('node:fs/promises');
const path = require('node:path');
const { renameHeldAsync, checkSpace } = require('../core/files');
const { inside } = require('../core/names');
const { positionalSink } = require('./chunks');
const { openZip, readEntry, corrupt } = require('./zip-read');
const { LISTING, readListing } = require('./listing');
const { stamp, parseBackupName } = require('./store');

const PART = '.part';

function exists(file) {
  return fsp.stat(file).then(() => true, () => false);
}

// Writes the data of `entry` to `target`, checking it against the listed SHA-1.
async function unpack(fh, entry, target, sha1) {
  await fsp.mkdir(path.dirname(target), { recursive: true });
  const out = await fsp.open(target, 'w');
  let got;
  try {
    const sink = positionalSink(out);
    got = await readEntry(fh, entry, (chunk) => sink.append(chunk));
    await sink.written();
  } finally {
    await out.close();
  }
  if (got !== sha1) throw corrupt(entry.name);
}

// Unpacks every listed file of `zip` to its target, then puts the server files, unpacked
// beside their old ones, in place once everything is checked.
async function unpackAll(zip, files, targets, serverParts) {
  for (const entry of zip.entries) {
    if (entry.name !== LISTING) await unpack(zip.fh, entry, targets.get(entry.name), files.get(entry.name).sha1);
  }
  for (const part of serverParts) await renameHeldAsync(part, part.slice(0, -PART.length));
}

/**
 * Restores the backup `name` of `backupsDir` into `serverDir` (the server must not run):
 * the world it holds, whose current folder is first moved aside as
 * "<level>.before-restore-<yyyy-mm-dd_HH-mm-ss>" (time `now`), and the server files. Resolves
 * to { level, aside } (aside null when there was no world to move); throws a Turkish text,
 * with the world as it was. `statfs`: for tests.
 */
async function restoreBackup({ backupsDir, name, serverDir, now = new Date(), log = () => {}, statfs }) {
  const parsed = parseBackupName(name);
  if (!parsed?.verified) throw new Error(`Yedek bulunamadı: ${name}`);
  const zip = await openZip(path.join(backupsDir, name)).catch((err) => {
    if (err.code === 'ENOENT') throw new Error(`Yedek bulunamadı: ${name}`);
    throw err.code ? new Error(`Yedek açılamadı: ${name} (${err.code})`) : err;
  });
  try {
    const { level, files } = await readListing(zip);
    if (level !== parsed.level) throw corrupt(LISTING);
    const targets = new Map();
    let total = 0;
    for (const [rel, { size }] of files) {
      try {
        targets.set(rel, inside(serverDir, rel) + (rel.startsWith(`${level}/`) ? '' : PART));
      } catch {
        throw corrupt(rel);
      }
      total += size;
    }
    const serverParts = [...targets].filter(([rel]) => !rel.startsWith(`${level}/`)).map(([, target]) => target);
    await checkSpace(serverDir, total, (mb) => `Geri yükleme için yeterli boş alan yok (${mb} MB gerekiyor).`, statfs);
    const world = path.join(serverDir, level);
    const aside = path.join(serverDir, `${level}.before-restore-${stamp(now)}`);
    if (await exists(aside)) throw new Error(`Yedek geri yüklenemedi: ${path.basename(aside)} zaten var.`);
    const moved = await exists(world);
    if (moved) {
      await renameHeldAsync(world, aside).catch((err) => {
        throw new Error(`Yedek geri yüklenemedi: dünya klasörü kenara alınamadı (${err.code}).`, { cause: err });
      });
    }
    try {
      await unpackAll(zip, files, targets, serverParts);
    } catch (err) {
      log(`[Quorlin] HATA: ${err.message}`);
      try {
        for (const part of serverParts) await fsp.rm(part, { force: true });
        await fsp.rm(world, { recursive: true, force: true, maxRetries: 5 });
        if (moved) await renameHeldAsync(aside, world);
      } catch {
        throw new Error(`Yedek geri yüklenemedi; önceki dünya ${path.basename(aside)} klasöründe duruyor.`, { cause: err });
      }
      throw new Error('Yedek geri yüklenemedi, dünya eski haline getirildi.', { cause: err });
    }
    log(`[Quorlin] Yedek geri yüklendi: ${name}${moved ? `; önceki dünya ${path.basename(aside)} klasöründe` : ''}`);
    return { level, aside: moved ? aside : null };
  } finally {
    await zip.close();
  }
}

module.exports = { restoreBackup };
