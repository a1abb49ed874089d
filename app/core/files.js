'use strict';
// File moves and whole-file writes that survive Windows briefly holding a fresh file, JSON
// documents read from disk, folder listings and digests of whole files.
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { retry } = require('./retry');

// Antivirus scanners and indexers open a file just written; a rename over or of it then
// fails with one of these until they let go.
const HELD_FILE_CODES = new Set(['EPERM', 'EBUSY', 'EACCES']);
/** How long a rename keeps retrying a held file: tries × pause (ms). Tests shorten the pause. */
const limits = { renameTries: 20, renamePauseMs: 50 };
// A side file of another process younger than this may belong to a save still under way.
const STALE_SIDE_FILE_MS = 60 * 1000;

function pause(ms) {
  Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, ms);
}

const isHeld = (err) => HELD_FILE_CODES.has(err.code);

/**
 * Renames `from` to `to`, replacing a file at `to`; retries while the file is held. Synchronous
 * for writeFileAtomic, so, unlike the retries on the event loop, it blocks through its pauses.
 */
function renameHeld(from, to, rename = fs.renameSync) {
  for (let attempt = 1; ; attempt += 1) {
    try {
      rename(from, to);
      return;
    } catch (err) {
      if (!isHeld(err) || attempt >= limits.renameTries) throw err;
      pause(limits.renamePauseMs);
    }
  }
}

/** renameHeld for work on the event loop: it waits between tries instead of blocking the process. */
async function renameHeldAsync(from, to) {
  await retry(() => fs.promises.rename(from, to),
    { tries: limits.renameTries, pauses: () => limits.renamePauseMs, isRetryable: isHeld });
}

// Side files that a killed save left beside `file`: ours (nothing of ours is writing now, as
// saves are synchronous) and other processes' once they are a minute old. A failure to look
// or to remove is left for the next save.
function removeStaleSideFiles(file) {
  const now = Date.now();
  const dir = path.dirname(file);
  const prefix = path.basename(file) + '.';
  let names;
  try {
    names = fs.readdirSync(dir);
  } catch {
    return;
  }
  for (const name of names) {
    const pid = name.slice(prefix.length, -'.tmp'.length);
    if (!name.startsWith(prefix) || !name.endsWith('.tmp') || !/^\d+$/.test(pid)) continue;
    const side = path.join(dir, name);
    try {
      if (Number(pid) === process.pid || now - fs.statSync(side).mtimeMs > STALE_SIDE_FILE_MS) fs.rmSync(side, { force: true });
    } catch {
      // gone meanwhile, or held: the next save tries again
    }
  }
}

/**
 * Replaces `file` with `data` (text or bytes), creating its folder. The data goes to a side
 * file that is flushed and then renamed over the old one, so a crash mid-write leaves either
 * the old content or the new, never a torn file; side files such a crash left are removed
 * here. Synchronous; throws on failure, leaving no side file of its own behind.
 */
function writeFileAtomic(file, data) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  removeStaleSideFiles(file);
  const temp = `${file}.${process.pid}.tmp`;
  const fd = fs.openSync(temp, 'w');
  try {
    try {
      fs.writeFileSync(fd, data);
      fs.fsyncSync(fd);
    } finally {
      fs.closeSync(fd);
    }
    renameHeld(temp, file);
  } catch (err) {
    fs.rmSync(temp, { force: true });
    throw err;
  }
}

/** Entry names of `dir`; [] when it is missing or cannot be listed. */
function listNames(dir) {
  try {
    return fs.readdirSync(dir);
  } catch {
    return [];
  }
}

/** True for an object that is neither null nor an array. */
function isPlainObject(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value);
}

// The object in a JSON file: `missing` when there is no file, `doc` null when its text is not
// a JSON object. A byte-order mark, which some editors put first, is not part of the JSON. Any
// other read failure is thrown: a file that is only locked must not be taken for an empty one.
function readJsonObject(file) {
  let text;
  try {
    text = fs.readFileSync(file, 'utf8');
  } catch (err) {
    if (err.code === 'ENOENT') return { missing: true, doc: null };
    throw err;
  }
  try {
    const doc = JSON.parse(text.replace(/^\uFEFF/, ''));
    return { missing: false, doc: isPlainObject(doc) ? doc : null };
  } catch {
    return { missing: false, doc: null };
  }
}

/** Resolves to the lowercase hex digest (`algorithm`: sha1, sha256) of the whole file; rejects when it cannot be read. */
function hashFile(file, algorithm) {
  return new Promise((resolve, reject) => {
    const hash = crypto.createHash(algorithm);
    fs.createReadStream(file, { highWaterMark: 1024 * 1024 })
      .on('error', reject)
      .on('data', (chunk) => hash.update(chunk))
      .on('end', () => resolve(hash.digest('hex')));
  });
}

/**
 * Throws `message(megabytes)` unless the disk of `dir` has `bytes` free for this user. A disk
 * that cannot be asked passes: running out of room later fails the work all the same.
 * `statfs` is fs.promises.statfs; tests give their own.
 */
async function checkSpace(dir, bytes, message, statfs = fs.promises.statfs) {
  const disk = await statfs(dir).catch(() => null);
  if (disk && Number(disk.bavail) * Number(disk.bsize) < bytes) throw new Error(message(Math.ceil(bytes / (1024 * 1024))));
}

module.exports = {
  limits, renameHeld, renameHeldAsync, writeFileAtomic, hashFile, listNames, isPlainObject, readJsonObject, checkSpace,
};
