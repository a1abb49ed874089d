'use strict';
// Verified backups of the local server's world: the launcher's one door to them. One backup
// or restore runs at a time. The caller keeps the server from writing meanwhile:
// save-off and save-all flush around a backup, a stopped server for a restore.

const { backupWorld, needsBackup } = require('./backup');
const { restoreBackup } = require('./restore');
const { listBackups } = require('./store');

let busy = false;

async function alone(work) {
  if (busy) throw new Error('Başka bir yedek işlemi sürüyor.');
  busy = true;
  try {
    return await work();
  } finally {
    busy = false;
  }
}

module.exports = {
  /** ({ serverDir, backupsDir, now?, log? }) → { file, bytes }: a verified backup of the world and server files; prunes older ones. */
  backupWorld: (options) => alone(() => backupWorld(options)),
  /** ({ backupsDir, name, serverDir, now?, log? }) → { level, aside }: restores backup `name`, the current world moved aside first. */
  restoreBackup: (options) => alone(() => restoreBackup(options)),
  /** (backupsDir) → [{ file, name, level, date, bytes, verified }], newest first. */
  listBackups,
  /** (serverDir, backupsDir, now?) → whether there is a world with changes its newest backup lacks. */
  needsBackup,
};
