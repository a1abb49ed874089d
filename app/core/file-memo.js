'use strict';
// What was learnt of a file by reading or starting it, remembered while the file is unchanged.
const { writeFileAtomic, readJsonObject, isPlainObject } = require('./files');

const sameEntry = (a, b) => isPlainObject(a) && isPlainObject(b)
  && a.size === b.size && a.mtimeMs === b.mtimeMs && a.value === b.value;

/**
 * Values learnt of files (a digest, a version), kept in the JSON file `record` by each file's
 * path with the size and modification time the file had then: while a file keeps both, its
 * value is known without reading or starting it again. A missing, unreadable or damaged record
 * counts as empty. `save` keeps what was looked up or learnt since the record was read, so files
 * no longer asked about drop out.
 */
class FileMemo {
  constructor(record) {
    this.record = record;
    let doc = null;
    try {
      doc = readJsonObject(record).doc;
    } catch {
      // held by another program: everything is learnt afresh
    }
    this.stored = doc || {};
    this.used = {};
  }

  /** The value learnt of `file` when it was as `stat` (an fs.Stats) says now; otherwise undefined. */
  known(file, stat) {
    const entry = this.stored[file];
    if (!isPlainObject(entry) || entry.size !== stat.size || entry.mtimeMs !== stat.mtimeMs) return undefined;
    this.used[file] = entry;
    return entry.value;
  }

  /** Remembers `value` (JSON text, number or true/false) of `file` as `stat` says it is. */
  learn(file, stat, value) {
    this.used[file] = { size: stat.size, mtimeMs: stat.mtimeMs, value };
  }

  /**
   * Stores what was looked up or learnt, when it differs from the record. A record that cannot be
   * written costs the next reader a learning, nothing more, so a failure here is not one.
   */
  save() {
    const files = Object.keys(this.used).sort();
    const isSame = files.length === Object.keys(this.stored).length && files.every((f) => sameEntry(this.used[f], this.stored[f]));
    if (isSame) return;
    try {
      writeFileAtomic(this.record, JSON.stringify(Object.fromEntries(files.map((f) => [f, this.used[f]]))));
    } catch {
      // as said above
    }
  }
}

module.exports = { FileMemo };
