'use strict';
// The backups folder: its file names, its listing for the page and its pruning.
// A finished "<level>-<yyyy-mm-dd_HH-mm-ss>.zip" is a verified backup, as only verified
// archives are renamed into place; a ".zip.part" is one cut short or still being written.

const fsp = require('node:fs/promises');
const path = require('node:path');
const { isPlainName } = require('../core/names');
const { backupsToDelete } = require('./retention');

const NAME = /^(.+)-(\d{4})-(\d{2})-(\d{2})_(\d{2})-(\d{2})-(\d{2})\.zip(\.part)?$/;

/** `date` in local time as "yyyy-mm-dd_HH-mm-ss", the form backup names carry. */
function stamp(date) {
  const two = (n) => String(n).padStart(2, '0');
  return `${date.getFullYear()}-${two(date.getMonth() + 1)}-${two(date.getDate())}_`
    + `${two(date.getHours())}-${two(date.getMinutes())}-${two(date.getSeconds())}`;
}

/** The file name of a backup of `level` taken at `now`. */
function backupName(level, now) {
  return `${level}-${stamp(now)}.zip`;
}

/** { level, date, verified } of a backup's file name; null for any other name. */
function parseBackupName(name) {
  const m = isPlainName(name) ? NAME.exec(name) : null;
  if (!m) return null;
  const [year, month, day, hours, minutes, seconds] = m.slice(2, 8).map(Number);
  const date = new Date(year, month - 1, day, hours, minutes, seconds);
  if (stamp(date) !== name.slice(m[1].length + 1, m[1].length + 20)) return null; // no 31 February
  return { level: m[1], date, verified: !m[8] };
}

/** The backups in `backupsDir`, newest first: [{ file, name, level, date, bytes, verified }]; none when the folder does not exist. */
async function listBackups(backupsDir) {
  const items = await fsp.readdir(backupsDir, { withFileTypes: true }).catch((err) => {
    if (err.code === 'ENOENT') return [];
    throw err;
  });
  const backups = [];
  for (const item of items) {
    const parsed = item.isFile() ? parseBackupName(item.name) : null;
    if (!parsed) continue;
    const file = path.join(backupsDir, item.name);
    const stat = await fsp.stat(file).catch(() => null); // deleted meanwhile
    if (stat) backups.push({ file, name: item.name, ...parsed, bytes: stat.size });
  }
  return backups.sort((a, b) => b.date - a.date || (a.name < b.name ? -1 : 1));
}

/**
 * Deletes the verified backups in `backupsDir` that the keeping rule lets go at `now` and
 * resolves to their names. One that cannot be deleted (held by another program) is logged
 * and left for the next time.
 */
async function pruneBackups(backupsDir, now, log = () => {}) {
  const deleted = [];
  for (const b of backupsToDelete(await listBackups(backupsDir), now)) {
    try {
      await fsp.rm(b.file, { force: true });
      deleted.push(b.name);
      log(`[Quorlin] Eski yedek silindi: ${b.name}`);
    } catch (err) {
      log(`[Quorlin] HATA: Eski yedek silinemedi: ${b.name} (${err.code})`);
    }
  }
  return deleted;
}

/** Removes the `.part` files that cut backups left in `backupsDir`; call only while no backup is being written. One still held stays for the next time. */
async function removeLeftovers(backupsDir) {
  for (const b of await listBackups(backupsDir)) {
    if (!b.verified) await fsp.rm(b.file, { force: true }).catch(() => {});
  }
}

module.exports = { stamp, backupName, parseBackupName, listBackups, pruneBackups, removeLeftovers };
