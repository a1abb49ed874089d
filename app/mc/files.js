'use strict';
// File checks and the download pool of the game installation.

const fsp = require('node:fs/promises');
const { retry } = require('../core/retry');
const { sha1File, isTransient } = require('./net');

const HASHED_FROM = 2 * 1024 * 1024; // 2 MiB: smaller files are trusted by their size
const ATTEMPTS = 3;

// Whether a file with the digest `sha1` and `size` bytes (either may be absent) is checked by
// its content: small files of the right size are trusted by their size.
function isHashed(sha1, size) {
  return Boolean(sha1) && !(size !== undefined && size !== null && size < HASHED_FROM);
}

/**
 * Whether `file` must be (re)downloaded to hold the content of `sha1` and `size` (bytes).
 * `verified` (a FileMemo of the digests found, optional) spares reading a file found right
 * before and unchanged since, and learns of each file found right; `thorough` hashes small
 * files too instead of trusting their size, and every file whatever `verified` says.
 */
async function needs(file, sha1, size, { thorough = false, verified = null } = {}) {
  let stat;
  try {
    stat = await fsp.stat(file);
  } catch {
    return true;
  }
  if (size !== undefined && size !== null && stat.size !== size) return true;
  if (!sha1 || (!thorough && !isHashed(sha1, size))) return false;
  const digest = String(sha1).toLowerCase();
  if (!thorough && verified && verified.known(file, stat) === digest) return false;
  if ((await sha1File(file)) !== digest) return true;
  if (verified && isHashed(sha1, size)) verified.learn(file, stat, digest);
  return false;
}

/** Notes in `verified` (as for needs) that `file` holds `sha1`, as its download just verified. */
async function noteDownloaded(verified, file, sha1, size) {
  if (!isHashed(sha1, size)) return;
  const stat = await fsp.stat(file).catch(() => null);
  if (stat) verified.learn(file, stat, String(sha1).toLowerCase());
}

/** Pauses in milliseconds before an item's second and third attempt after a transient failure. Tests shorten them. */
const limits = { retryPausesMs: [500, 1500] };

// Up to three attempts of `fn(item)`; only a transient failure earns another, after its pause,
// and only while the pool is not halted.
function attempt(fn, item, signal) {
  return retry(() => fn(item), { tries: ATTEMPTS, pauses: (i) => limits.retryPausesMs[i], isRetryable: isTransient, signal });
}

/**
 * Runs `fn` over `items`, at most `n` at a time, in list order; `onDone(finished, total)`
 * follows every success. A brief fault gets up to three attempts with pauses between them
 * while the other items go on; any other failure ends its item at once. A failed item halts
 * the pool through `halt` (an AbortController, which pools working side by side may share,
 * so one failure halts them all): nothing new is taken, and the pool settles once the
 * transfers under way have ended, rejecting with the first failure.
 */
async function pool(items, n, fn, onDone = () => {}, halt = new AbortController()) {
  const { signal } = halt;
  const total = items.length;
  let next = 0;
  let finished = 0;
  async function worker() {
    while (next < total && !signal.aborted) {
      const item = items[next++];
      try {
        await attempt(fn, item, signal);
      } catch (err) {
        halt.abort(err);
        return;
      }
      finished++;
      onDone(finished, total);
    }
  }
  await Promise.all(Array.from({ length: Math.min(Math.max(n, 1), total) }, worker));
  if (finished < total) throw signal.reason;
}

module.exports = { needs, noteDownloaded, pool, limits, HASHED_FROM };
