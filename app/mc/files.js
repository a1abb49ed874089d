'use strict';
// File checks and the download pool of the game installation.

const fsp = require('node:fs/promises');
const path = require('node:path');
const { isPlainName } = require('../core/names');
const { retry } = require('../core/retry');
const { sha1File, isTransient } = require('./net');

const HASHED_FROM = 2 * 1024 * 1024; // 2 MiB: smaller files are trusted by their size
const ATTEMPTS = 3;

/** Whether `file` must be (re)downloaded to hold the content of `sha1` and `size` (bytes). */
async function needs(file, sha1, size) {
  let stat;
  try {
    stat = await fsp.stat(file);
  } catch {
    return true;
  }
  const hasSize = size !== undefined && size !== null;
  if (hasSize && stat.size !== size) return true;
  if (sha1 && hasSize && size < HASHED_FROM) return false;
  if (sha1) return (await sha1File(file)) !== String(sha1).toLowerCase();
  return false;
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

/**
 * `base` joined with a relative path that came from the network; refuses anything that could
 * land outside `base` (absolute paths, drive letters, "." and ".." steps, empty steps) instead
 * of writing there: every step must be a plain name.
 */
function inside(base, relative) {
  const text = String(relative);
  const steps = text.split(/[\\/]/);
  if (!steps.every(isPlainName)) throw new Error('Geçersiz dosya yolu: ' + text);
  return path.resolve(base, ...steps);
}

module.exports = { needs, pool, inside, limits, HASHED_FROM };
