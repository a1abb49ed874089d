'use strict';
// Reading a ZIP archive back: its central directory (ZIP64 too), and each entry's data
// streamed, inflated and hashed on the way.

const crypto = require('node:crypto');
const fsp = require('node:fs/promises');
const { pipeline } = require('node:stream/promises');
const zlib = require('node:zlib');
const { fileChunks } = require('./chunks');
const { SIG, MARK, STORE, DEFLATE } = require('./zip-write');

const MAX_DIRECTORY = 64 * 1024 * 1024; // bytes: far above any world's directory
const MAX_COMMENT = 0xffff;

/** The error of an archive that is not what it claims; `what` names the entry or the part. */
function corrupt(what) {
  return new Error(`Yedek bozuk: ${what}`);
}

async function readAt(fh, position, length) {
  const buffer = Buffer.alloc(length);
  const { bytesRead } = await fh.read(buffer, 0, length, position);
  if (bytesRead !== length) throw corrupt('dosya kısa');
  return buffer;
}

// { count, cdOffset, cdSize } from the end records; the ZIP64 record wins where present.
async function directoryPlace(fh, fileSize) {
  const tailSize = Math.min(fileSize, 22 + MAX_COMMENT);
  const tail = await readAt(fh, fileSize - tailSize, tailSize);
  let at = tail.length - 22;
  while (at >= 0 && !(tail.readUInt32LE(at) === SIG.end && at + 22 + tail.readUInt16LE(at + 20) === tail.length)) at--;
  if (at < 0) throw corrupt('ZIP dizini yok');
  const place = { count: tail.readUInt16LE(at + 10), cdSize: tail.readUInt32LE(at + 12), cdOffset: tail.readUInt32LE(at + 16) };
  const locatorAt = fileSize - tailSize + at - 20;
  if (locatorAt >= 0) {
    const locator = await readAt(fh, locatorAt, 20);
    if (locator.readUInt32LE(0) === SIG.locator64) {
      const end64 = await readAt(fh, Number(locator.readBigUInt64LE(8)), 56);
      if (end64.readUInt32LE(0) !== SIG.end64) throw corrupt('ZIP64 dizini');
      place.count = Number(end64.readBigUInt64LE(32));
      place.cdSize = Number(end64.readBigUInt64LE(40));
      place.cdOffset = Number(end64.readBigUInt64LE(48));
    }
  }
  if (place.cdSize > MAX_DIRECTORY || place.cdOffset + place.cdSize > fileSize) throw corrupt('ZIP dizini');
  return place;
}

// The entry's sizes and offset, taking those marked so from its ZIP64 field.
function wideValues(cd, at, entry) {
  const end = at + 46 + cd.readUInt16LE(at + 28) + cd.readUInt16LE(at + 30);
  let p = at + 46 + cd.readUInt16LE(at + 28);
  while (p + 4 <= end && cd.readUInt16LE(p) !== 0x0001) p += 4 + cd.readUInt16LE(p + 2);
  let field = p + 4;
  for (const key of ['size', 'csize', 'offset']) {
    if (entry[key] !== MARK) continue;
    if (p + 4 > end || field + 8 > end) throw corrupt(entry.name);
    entry[key] = Number(cd.readBigUInt64LE(field));
    field += 8;
  }
}

function parseDirectory(cd, count) {
  const entries = [];
  let at = 0;
  for (let i = 0; i < count; i++) {
    if (at + 46 > cd.length || cd.readUInt32LE(at) !== SIG.central) throw corrupt('ZIP dizini');
    const nameLength = cd.readUInt16LE(at + 28);
    const next = at + 46 + nameLength + cd.readUInt16LE(at + 30) + cd.readUInt16LE(at + 32);
    if (next > cd.length) throw corrupt('ZIP dizini');
    const entry = {
      name: cd.toString('utf8', at + 46, at + 46 + nameLength),
      method: cd.readUInt16LE(at + 10),
      crc: cd.readUInt32LE(at + 16),
      csize: cd.readUInt32LE(at + 20),
      size: cd.readUInt32LE(at + 24),
      offset: cd.readUInt32LE(at + 42),
    };
    wideValues(cd, at, entry);
    // encrypted entries and methods other than store and deflate are not ours
    if ((cd.readUInt16LE(at + 8) & 1) || (entry.method !== STORE && entry.method !== DEFLATE)) throw corrupt(entry.name);
    entries.push(entry);
    at = next;
  }
  return entries;
}

/** Opens the archive `file`: { fh, entries: [{ name, method, crc, size, csize, offset }], close() }. Throws "Yedek bozuk: …" when it is no whole ZIP archive. */
async function openZip(file) {
  const fh = await fsp.open(file, 'r');
  try {
    const { size } = await fh.stat();
    const { count, cdOffset, cdSize } = await directoryPlace(fh, size);
    const entries = parseDirectory(await readAt(fh, cdOffset, cdSize), count);
    if (entries.some((e) => e.offset + 30 + e.csize > cdOffset)) throw corrupt('ZIP dizini');
    return { fh, entries, close: () => fh.close() };
  } catch (err) {
    await fh.close();
    throw err;
  }
}

/**
 * Streams the data of `entry` from the archive open on `fh` through `onChunk` (which may
 * return a promise; the chunk is the reader's again once it settles) and resolves to its
 * SHA-1 in hex; throws "Yedek bozuk: <name>" when its local header disagrees with the
 * directory, or the data does not inflate or has another size. The data's CRC-32 is not
 * computed: every caller holds it to its SHA-1 from the backup's listing, which no damage passes.
 */
async function readEntry(fh, entry, onChunk = () => {}) {
  const bad = corrupt(entry.name);
  const local = await readAt(fh, entry.offset, 30).catch(() => { throw bad; });
  // the local header must tell what the directory tells (its sizes may sit in a ZIP64 field)
  const sizesAgree = local.readUInt32LE(18) === MARK
    || (local.readUInt32LE(18) === entry.csize && local.readUInt32LE(22) === entry.size);
  if (local.readUInt32LE(0) !== SIG.local || local.readUInt32LE(14) !== entry.crc || !sizesAgree) throw bad;
  const start = entry.offset + 30 + local.readUInt16LE(26) + local.readUInt16LE(28);
  const sha1 = crypto.createHash('sha1');
  let size = 0;
  const stored = fileChunks(fh, start, entry.csize, { reuse: entry.method === STORE });
  let ownFailure = null; // a failure of onChunk (the disk it writes to) is its own, not the archive's
  async function take(data) {
    for await (const chunk of data) {
      size += chunk.length;
      if (size > entry.size) throw bad; // never more than the directory promises
      sha1.update(chunk);
      try {
        await onChunk(chunk);
      } catch (err) {
        ownFailure = err;
        throw err;
      }
    }
  }
  try {
    if (entry.method === STORE) await take(stored);
    else await pipeline(stored, zlib.createInflateRaw(), take);
  } catch (err) {
    throw err === ownFailure ? err : bad;
  }
  if (size !== entry.size) throw bad;
  return sha1.digest('hex');
}

module.exports = { openZip, readEntry, corrupt };
