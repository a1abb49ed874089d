'use strict';
// Reading what Java runs and the launcher leave behind, bounded: a log may be gigabytes long,
// and only its start or its end tells anything.
const fsp = require('node:fs/promises');
const path = require('node:path');

/**
 * The text of `file` as UTF-8: the whole file when it holds at most `max` bytes, else its first
 * `max` bytes, or with `fromEnd` its last ones, starting at a whole line. Resolves to null when
 * the file cannot be read.
 */
async function readBounded(file, max, { fromEnd = false } = {}) {
  let fh;
  try {
    fh = await fsp.open(file, 'r');
    const { size } = await fh.stat();
    const length = Math.min(size, max);
    const start = fromEnd ? size - length : 0;
    const buffer = Buffer.alloc(length);
    const { bytesRead } = await fh.read(buffer, 0, length, start);
    const text = buffer.subarray(0, bytesRead).toString('utf8');
    // a cut at the front may fall inside a line, or inside a character
    return fromEnd && start > 0 ? text.slice(text.indexOf('\n') + 1) : text;
  } catch {
    return null;
  } finally {
    await fh?.close();
  }
}

/**
 * The files of `dir` whose names match `pattern` and that were written at `since` (ms since
 * 1970) or later, newest first: [{ file, name, mtimeMs }]. None when the folder is missing.
 */
async function filesSince(dir, pattern, since) {
  const names = await fsp.readdir(dir).catch(() => []);
  const found = [];
  for (const name of names.filter((n) => pattern.test(n))) {
    const file = path.join(dir, name);
    const stat = await fsp.stat(file).catch(() => null);
    if (stat && stat.isFile() && stat.mtimeMs >= since) found.push({ file, name, mtimeMs: stat.mtimeMs });
  }
  return found.sort((a, b) => b.mtimeMs - a.mtimeMs);
}

module.exports = { readBounded, filesSince };
