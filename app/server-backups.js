'use strict';
// When the local server's world is backed up and restored: one at a time, the page told of the
// list, the server's saving paused around a copy while it runs, a restore only while it is stopped.
const backup = require('./backup');

// The server's answers to "save-all flush" once the world is on disk, and to "save-off" when
// the user had already turned saving off (it then stays off after a backup).
const SAVED_LINE = /Saved the game/;
const SAVING_WAS_OFF = /Saving is already turned off/;
const NOT_SAVED = 'Sunucu dünyayı kaydetmedi; yedek alınmadı.';
const STOP_FIRST = 'Geri yüklemek için önce sunucuyu durdur.';

/**
 * The backups of the world of the server in `ctx.paths.SERVER_DIR`. The server tells them of
 * itself through `ours()` (its process of ours, or null; the process emits 'ended' once gone),
 * `command(line)` (writes one console command to it) and `isStopped()` (none of ours runs or
 * starts and no outside one was found), and hands them every console line of its process
 * (`consoleLine`). `limits` holds `backupEveryMs` and `saveWaitMs`, read at each use.
 */
function createServerBackups(ctx, { limits, ours, command, isStopped }) {
  let timer = null; // the next backup while our server runs
  let worldWork = Promise.resolve(); // the backup or restore under way; a start waits for it
  let worldBusy = false;
  let telling = Promise.resolve(); // the page hears of the backups in order
  const consoleWatchers = new Set(); // called with every console line of our server

  /** The page's view of the backups: { busy, backups: [{ name, level, date (ISO text), bytes }] }, verified ones only, newest first. */
  async function backupList() {
    const busy = worldBusy;
    const all = await backup.listBackups(ctx.paths.BACKUPS_DIR);
    const backups = all.filter((b) => b.verified).map(({ name, level, date, bytes }) => ({ name, level, date: date.toISOString(), bytes }));
    return { busy, backups };
  }

  function tellBackups() {
    telling = telling.then(backupList).then((list) => ctx.send('backups', list), () => {});
  }

  // Runs `work` once the backup or restore before it is done, the page told while it runs.
  function worldTask(work) {
    const task = worldWork.then(async () => {
      worldBusy = true;
      tellBackups();
      try {
        return await work();
      } finally {
        worldBusy = false;
        tellBackups();
      }
    });
    worldWork = task.catch(() => {});
    return task;
  }

  // Turns the saving of our server `proc` off and has it write the world out: `saved` settles
  // once it has, and `resume` turns saving on again, unless the user had turned it off.
  function pauseSaving(proc) {
    let wasOff = false;
    let watch;
    let onEnded;
    const saved = new Promise((resolve, reject) => {
      const wait = setTimeout(() => done(false), limits.saveWaitMs);
      function done(ok) {
        clearTimeout(wait);
        consoleWatchers.delete(watch);
        proc.off('ended', onEnded);
        if (ok) resolve();
        else reject(new Error(NOT_SAVED));
      }
      watch = (line) => {
        if (SAVING_WAS_OFF.test(line)) wasOff = true;
        if (SAVED_LINE.test(line)) done(true);
      };
      onEnded = () => done(false);
      consoleWatchers.add(watch);
      proc.once('ended', onEnded);
    });
    for (const line of ['save-off', 'save-all flush']) command(line);
    return {
      saved,
      resume: () => {
        if (!wasOff && ours() === proc) command('save-on');
      },
    };
  }

  /**
   * Backs the world up, when there is one with changes its newest backup lacks, after any
   * backup or restore under way; `onStart` is called as the copy begins. While our server runs, its saving is paused around the copy.
   * Resolves to the backup's { file, bytes }, or null when none was made; a failure is
   * logged, nothing older is deleted, and it never rejects.
   */
  function keepWorld(onStart = () => {}) {
    return worldTask(async () => {
      const { SERVER_DIR, BACKUPS_DIR } = ctx.paths;
      if (!(await backup.needsBackup(SERVER_DIR, BACKUPS_DIR))) return null;
      onStart();
      const proc = ours();
      const paused = proc ? pauseSaving(proc) : null;
      try {
        if (paused) await paused.saved;
        return await backup.backupWorld({ serverDir: SERVER_DIR, backupsDir: BACKUPS_DIR, log: ctx.log });
      } finally {
        if (paused) paused.resume();
      }
    }).catch((err) => {
      ctx.log(`[Quorlin] HATA: ${err.message}`);
      return null;
    });
  }

  /** While our server `proc` runs, its world is backed up every backupEveryMs; `unschedule` ends it. */
  function schedule(proc) {
    timer = setTimeout(async () => {
      await keepWorld();
      if (ours() === proc) schedule(proc);
    }, limits.backupEveryMs);
    timer.unref();
  }

  /**
   * Restores the backup `name`, one that backupList names, while no server of ours runs or
   * starts and no outside one was found; the current world is kept aside. Throws a Turkish text.
   */
  async function restoreBackup(name) {
    if (!isStopped()) throw new Error(STOP_FIRST);
    const { SERVER_DIR, BACKUPS_DIR } = ctx.paths;
    const known = (await backup.listBackups(BACKUPS_DIR)).some((b) => b.verified && b.name === name);
    if (!known) throw new Error('Yedek bulunamadı.');
    await worldTask(async () => {
      if (!isStopped()) throw new Error(STOP_FIRST);
      await backup.restoreBackup({ backupsDir: BACKUPS_DIR, name, serverDir: SERVER_DIR, log: ctx.log });
    });
  }

  return {
    keepWorld,
    schedule,
    unschedule: () => clearTimeout(timer),
    /** Hands on one console line of our server. */
    consoleLine: (line) => {
      for (const watch of consoleWatchers) watch(line);
    },
    /** Resolves once the backup or restore under way, and those queued after it, are done; never rejects. */
    settled: () => worldWork,
    backupList,
    restoreBackup,
  };
}

module.exports = { createServerBackups };
