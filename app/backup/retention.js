'use strict';
// Which backups are kept: for each world, the last 5, plus the newest of each of the last 7
// days (today among them, by the local calendar). The newest verified backup is never let go,
// nor one dated after `now` (a clock set back), nor one not verified: a cut write is not the
// rule's to judge.

const LAST = 5;
const DAYS = 7;

function dayKey(date) {
  return `${date.getFullYear()}-${date.getMonth()}-${date.getDate()}`;
}

/**
 * The backups of `backups` ([{ name, level, date: Date, verified }]) that the keeping rule
 * lets go at `now`; a pure function.
 */
function backupsToDelete(backups, now) {
  const days = new Set(Array.from({ length: DAYS }, (_, i) => dayKey(new Date(now.getFullYear(), now.getMonth(), now.getDate() - i))));
  const levels = new Map();
  for (const b of backups) {
    if (b.verified) levels.set(b.level, [...(levels.get(b.level) ?? []), b]);
  }
  const gone = [];
  for (const own of levels.values()) {
    own.sort((a, b) => b.date - a.date);
    const seenDays = new Set();
    own.forEach((b, i) => {
      const day = dayKey(b.date);
      const newestOfItsDay = days.has(day) && !seenDays.has(day);
      seenDays.add(day);
      if (i >= LAST && !newestOfItsDay && b.date <= now) gone.push(b);
    });
  }
  return gone;
}

module.exports = { backupsToDelete };
