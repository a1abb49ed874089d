// File moves that survive Windows briefly holding a fresh file.
const fs = require('node:fs');

// Antivirus scanners and indexers open a file just written; a rename over or of it then
// fails with one of these until they let go.
const HELD_FILE_CODES = new Set(['EPERM', 'EBUSY', 'EACCES']);
/** How long a rename keeps retrying a held file: tries × pause (ms). Tests shorten the pause. */
const limits = { renameTries: 20, renamePauseMs: 50 };

function pause(ms) {
  Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, ms);
}

/** Renames `from` to `to`, replacing a file at `to`; retries while the file is held. Synchronous. */
function renameHeld(from, to, rename = fs.renameSync) {
  for (let attempt = 1; ; attempt += 1) {
    try {
      rename(from, to);
      return;
    } catch (err) {
      if (!HELD_FILE_CODES.has(err.code) || attempt >= limits.renameTries) throw err;
      pause(limits.renamePauseMs);
    }
  }
}

module.exports = { limits, renameHeld };
