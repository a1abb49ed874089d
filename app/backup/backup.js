'use strict';
// Taking a backup: the world and the server files streamed into "<name>.zip.part" with their
// listing, every entry read back and checked while the next ones are written, the whole
// archive read back once more from its directory, and only then renamed into place.

const crypto = require('node:crypto');
const fsp = require('node:fs/promises');
const path = require('node:path');
const { renameHeldAsync, checkSpace } = require('../core/files');
const { fileChunks } = require('./chunks');
const { createZipWriter } = require('./zip-write');
const { openZip, readEntry, corrupt } = require('./zip-read');
const { LISTING, listingText, readListing } = require('./listing');
const { levelName, isDirectory, worldFiles, unreadable } = require('./world');
const { backupName, listBackups, pruneBackups, removeLeftovers } = require('./store');

// Region files and NBT are zlib-compressed already: deflating them again costs several times
// the time of a copy for a few per cent, so they are stored; the rest (JSON, text) is deflated.
const COMPRESSED = /\.(mca|mcc|dat|dat_old|nbt|gz|zip|jar|png)$/i;
const ENTRY_OVERHEAD = 1024; // bytes of headers and listing line per file, generously

// The bytes of the world file `f`, hashed into `sha1` on the way; a read failure names the file.
// Stored data is used up by the time the next chunk is asked for, so its buffer is reused.
async function* sourceChunks(f, sha1, store) {
  const fh = await fsp.open(f.file, 'r').catch((err) => { throw unreadable(f.path, err); });
  try {
    for await (const chunk of fileChunks(fh, 0, Infinity, { reuse: store })) {
      sha1.update(chunk);
      yield chunk; // the consumer's failures end this generator without passing through it
    }
  } catch (err) {
    throw unreadable(f.path, err);
  } finally {
    await fh.close();
  }
}

// Writes the archive into `part` (open for reading too, so each entry is read back through
// the same file while the next is written). Resolves to { entries, listed }: the archive's
// entries and the listing's files as written.
async function writeArchive(part, level, files, now) {
  const fh = await fsp.open(part, 'w+');
  let checked = Promise.resolve();
  try {
    const zip = createZipWriter(fh);
    const listed = [];
    for (const f of files) {
      const sha1 = crypto.createHash('sha1');
      const store = COMPRESSED.test(f.path);
      const entry = await zip.add(f.path, sourceChunks(f, sha1, store), { store, mtime: f.mtime, sizeHint: f.size });
      const digest = sha1.digest('hex');
      listed.push({ path: f.path, size: entry.size, sha1: digest });
      checked = checked.then(() => entry.written).then(() => readEntry(fh, entry)).then((got) => {
        if (got !== digest) throw corrupt(f.path);
      });
      checked.catch(() => {}); // awaited below; a failure must not count as unhandled meanwhile
    }
    await zip.add(LISTING, [Buffer.from(listingText(level, now, listed))], { mtime: now });
    await zip.finish();
    await checked;
    await fh.sync();
    return { entries: zip.entries, listed };
  } finally {
    await checked.catch(() => {}); // no read-back may still be under way when the file closes
    await fh.close();
  }
}

// Reads the finished archive back from its own directory: the entries it names must be the
// ones written and checked, and its listing must be the one written and match them, nothing
// extra, nothing missing.
async function checkArchive(part, { entries, listed }) {
  const zip = await openZip(part);
  try {
    const keys = ['name', 'method', 'crc', 'size', 'csize', 'offset'];
    const same = zip.entries.length === entries.length
      && zip.entries.every((e, i) => keys.every((k) => e[k] === entries[i][k]));
    if (!same) throw corrupt('ZIP dizini');
    const { files } = await readListing(zip);
    if (!listed.every((f) => files.get(f.path)?.sha1 === f.sha1)) throw corrupt(LISTING);
  } finally {
    await zip.close();
  }
}

// A Turkish reason for a failure; the system's English texts are left out.
function reason(err) {
  if (err.code === 'ENOSPC') return 'diskte yer kalmadı';
  return err.code ? `yazılamadı (${err.code})` : err.message;
}

/**
 * Backs up the world that `serverDir`'s server.properties names, with the user's server
 * files, into `backupsDir` as "<level>-<yyyy-mm-dd_HH-mm-ss>.zip" (time `now`), verified by
 * reading it back; then prunes older backups by the keeping rule. Resolves to
 * { file, bytes }; a failure throws a Turkish text and deletes nothing. `statfs`: for tests.
 */
async function backupWorld({ serverDir, backupsDir, now = new Date(), log = () => {}, statfs }) {
  let level, files;
  try {
    level = await levelName(serverDir);
    files = await worldFiles(serverDir, level);
    await fsp.mkdir(backupsDir, { recursive: true });
  } catch (err) {
    throw new Error(`Yedek alınamadı: ${reason(err)}`, { cause: err });
  }
  const need = files.reduce((sum, f) => sum + f.size + ENTRY_OVERHEAD, ENTRY_OVERHEAD);
  await checkSpace(backupsDir, need, (mb) => `Yedek için yeterli boş alan yok (${mb} MB gerekiyor).`, statfs);
  await removeLeftovers(backupsDir);
  const file = path.join(backupsDir, backupName(level, now));
  const part = `${file}.part`;
  log(`[Quorlin] Yedek alınıyor: ${path.basename(file)}`);
  try {
    await checkArchive(part, await writeArchive(part, level, files, now));
    await renameHeldAsync(part, file);
  } catch (err) {
    await fsp.rm(part, { force: true }).catch(() => {}); // else the next backup removes it
    throw new Error(`Yedek alınamadı: ${reason(err)}`, { cause: err });
  }
  const { size } = await fsp.stat(file);
  log(`[Quorlin] Yedek alındı ve doğrulandı: ${path.basename(file)} (${(size / 1024 / 1024).toFixed(1)} MB)`);
  await pruneBackups(backupsDir, now, log);
  return { file, bytes: size };
}

/**
 * Whether the world that `serverDir`'s server.properties names holds anything its newest
 * verified backup in `backupsDir` lacks: a file of the world folder written since that backup
 * began (at `now` or before), or no backup at all. False when there is no world; true when it
 * cannot be told, so that the backup itself says what is wrong. server.properties is left out:
 * the launcher rewrites it at every preparation.
 */
async function needsBackup(serverDir, backupsDir, now = new Date()) {
  try {
    const level = await levelName(serverDir);
    if (!(await isDirectory(path.join(serverDir, level)))) return false;
    const newest = (await listBackups(backupsDir)).find((b) => b.verified && b.level === level);
    if (!newest) return true;
    const zip = await openZip(newest.file);
    const began = await readListing(zip).then(({ created }) => Date.parse(created)).finally(() => zip.close());
    const files = await worldFiles(serverDir, level);
    // a time that is no time, or one ahead of the clock, vouches for nothing
    return !(began <= now.getTime()) || files.some((f) => f.path.startsWith(`${level}/`) && f.mtime.getTime() >= began);
  } catch {
    return true;
  }
}

module.exports = { backupWorld, needsBackup };
