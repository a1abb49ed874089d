'use strict';
// File checks and the download pool of the game installation.

const fsp = require('node:fs/promises');
const path = require('node:path');
const { sha1File } = require('./net');

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

/**
 * Runs `fn` over `items`, at most `n` at a time, in list order. Each item gets three attempts
 * in a row; an item failing all three rejects the pool at once with its error while the other
 * workers carry on. `onDone(finished, total)` follows every success.
 */
function pool(items, n, fn, onDone = () => {}) {
  const total = items.length;
  let next = 0;
  let finished = 0;
  async function worker() {
    while (next < total) {
      const item = items[next++];
      let failure = null;
      for (let attempt = 1; attempt <= ATTEMPTS; attempt++) {
        try {
          await fn(item);
          failure = null;
          break;
        } catch (err) {
          failure = err;
        }
      }
      if (failure) throw failure;
      finished++;
      onDone(finished, total);
    }
  }
  const workers = Array.from({ length: Math.min(n, total) }, worker);
  return Promise.all(workers).then(() => undefined);
}

/**
 * `base` joined with a relative path that came from the network; refuses anything that could
 * land outside `base` (absolute paths, drive letters, ".." steps) instead of writing there.
 */
function inside(base, relative) {
  const text = String(relative);
  const steps = text.split(/[\\/]/);
  const isUnsafe = text === '' || /^[\\/]/.test(text) || text.includes(':')
    || steps.some((s) => s === '..' || s === '.' || s === '');
  const target = path.resolve(base, ...steps);
  if (isUnsafe || !target.startsWith(path.resolve(base) + path.sep)) {
    throw new Error('Geçersiz dosya yolu: ' + text);
  }
  return target;
}

/** A single file or folder name from the network (a version or index id): no separators. */
function plainName(name) {
  const text = String(name);
  if (text === '' || text === '.' || text === '..' || /[\\/:\0]/.test(text)) {
    throw new Error('Geçersiz dosya yolu: ' + text);
  }
  return text;
}

module.exports = { needs, pool, inside, plainName, HASHED_FROM };
