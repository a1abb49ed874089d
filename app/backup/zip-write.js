'use strict';
// A ZIP archive written as its data streams in: each entry passes through once (stored, or
// deflated by zlib), its local header is completed in place once the data is done, and the
// central directory follows the last entry. ZIP64 records appear only where a size, an
// offset or the number of entries needs them; names are UTF-8 and flagged so.

const { pipeline } = require('node:stream/promises');
const zlib = require('node:zlib');
const { positionalSink } = require('./chunks');

/** The largest values the plain records hold (bytes, entries); tests lower them to reach the ZIP64 records. */
const limits = { max32: 0xffffffff, max16: 0xffff };

const STORE = 0;
const DEFLATE = 8;
const UTF8_NAMES = 0x0800;
const SIG = { local: 0x04034b50, central: 0x02014b50, end: 0x06054b50, end64: 0x06064b50, locator64: 0x07064b50 };

// MS-DOS date and time, in local time as every unpacker shows them; years before 1980 do not exist there.
function dosDateTime(date) {
  const year = Math.max(date.getFullYear(), 1980);
  return {
    time: (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1),
    date: ((year - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate(),
  };
}

const MARK = 0xffffffff; // in a plain field: "the value is in the ZIP64 field"

// The fields local and central headers share, from "version needed" to the extra field's length.
function writeSharedFields(header, at, entry, nameLength, extraLength) {
  header.writeUInt16LE(extraLength ? 45 : 20, at); // 4.5 reads ZIP64, 2.0 deflate
  header.writeUInt16LE(UTF8_NAMES, at + 2);
  header.writeUInt16LE(entry.method, at + 4);
  header.writeUInt16LE(entry.time, at + 6);
  header.writeUInt16LE(entry.date, at + 8);
  header.writeUInt32LE(entry.crc, at + 10);
  header.writeUInt32LE(entry.csize, at + 14);
  header.writeUInt32LE(entry.size, at + 18);
  header.writeUInt16LE(nameLength, at + 22);
  header.writeUInt16LE(extraLength, at + 24);
}

function zip64Field(values) {
  const field = Buffer.alloc(4 + 8 * values.length);
  field.writeUInt16LE(0x0001, 0);
  field.writeUInt16LE(8 * values.length, 2);
  values.forEach((value, i) => field.writeBigUInt64LE(BigInt(value), 4 + 8 * i));
  return field;
}

// A local header before its data: CRC-32 and sizes are filled in once the data is written.
function localHeader(entry, nameBytes, wide) {
  const extra = wide ? zip64Field([0, 0]) : Buffer.alloc(0);
  const header = Buffer.alloc(30);
  header.writeUInt32LE(SIG.local, 0);
  writeSharedFields(header, 4, { ...entry, crc: 0, csize: wide ? MARK : 0, size: wide ? MARK : 0 }, nameBytes.length, extra.length);
  return Buffer.concat([header, nameBytes, extra]);
}

// The local header's CRC-32 and sizes, as patches [bytes, position].
function localPatches(entry, nameLength, wide) {
  const crc = Buffer.alloc(wide ? 4 : 12);
  crc.writeUInt32LE(entry.crc, 0);
  if (!wide) {
    crc.writeUInt32LE(entry.csize, 4);
    crc.writeUInt32LE(entry.size, 8);
    return [[crc, entry.offset + 14]];
  }
  return [[crc, entry.offset + 14], [zip64Field([entry.size, entry.csize]).subarray(4), entry.offset + 34 + nameLength]];
}

function centralHeader(entry) {
  const name = Buffer.from(entry.name, 'utf8');
  // the ZIP64 field holds, in this order, only the values whose plain field overflowed
  const wide = { size: entry.size >= limits.max32, csize: entry.csize >= limits.max32, offset: entry.offset >= limits.max32 };
  const extra = ['size', 'csize', 'offset'].filter((key) => wide[key]).map((key) => entry[key]);
  const field = extra.length ? zip64Field(extra) : Buffer.alloc(0);
  const header = Buffer.alloc(46);
  header.writeUInt32LE(SIG.central, 0);
  header.writeUInt16LE(field.length ? 45 : 20, 4); // made by, with MS-DOS attributes
  writeSharedFields(header, 6, { ...entry, csize: wide.csize ? MARK : entry.csize, size: wide.size ? MARK : entry.size }, name.length, field.length);
  header.writeUInt32LE(wide.offset ? MARK : entry.offset, 42);
  return Buffer.concat([header, name, field]);
}

function endRecords(count, cdOffset, cdSize) {
  const records = [];
  const wide = count >= limits.max16 || cdOffset >= limits.max32 || cdSize >= limits.max32;
  if (wide) {
    const end64 = Buffer.alloc(56);
    end64.writeUInt32LE(SIG.end64, 0);
    end64.writeBigUInt64LE(44n, 4);
    end64.writeUInt16LE(45, 12);
    end64.writeUInt16LE(45, 14);
    end64.writeBigUInt64LE(BigInt(count), 24);
    end64.writeBigUInt64LE(BigInt(count), 32);
    end64.writeBigUInt64LE(BigInt(cdSize), 40);
    end64.writeBigUInt64LE(BigInt(cdOffset), 48);
    const locator = Buffer.alloc(20);
    locator.writeUInt32LE(SIG.locator64, 0);
    locator.writeBigUInt64LE(BigInt(cdOffset + cdSize), 8);
    locator.writeUInt32LE(1, 16);
    records.push(end64, locator);
  }
  const end = Buffer.alloc(22);
  end.writeUInt32LE(SIG.end, 0);
  end.writeUInt16LE(wide ? 0xffff : count, 8);
  end.writeUInt16LE(wide ? 0xffff : count, 10);
  end.writeUInt32LE(wide ? MARK : cdSize, 12);
  end.writeUInt32LE(wide ? MARK : cdOffset, 16);
  records.push(end);
  return records;
}

/**
 * A ZIP writer over the file handle `fh` (opened for writing, empty). `add` streams one entry
 * and resolves to its record { name, method, crc, size, csize, offset, written }, `written`
 * settling once its bytes are on the handle; `finish` writes the central directory and
 * resolves to the archive's size in bytes.
 */
function createZipWriter(fh) {
  const sink = positionalSink(fh);
  const entries = [];
  return {
    entries,
    /** Adds entry `name` with the bytes of `chunks` (an iterable of Buffers); `sizeHint` (bytes) tells whether ZIP64 may be needed. */
    async add(name, chunks, { store = false, mtime = new Date(), sizeHint = 0 } = {}) {
      const nameBytes = Buffer.from(name, 'utf8');
      const entry = { name, method: store ? STORE : DEFLATE, ...dosDateTime(mtime), crc: 0, size: 0, csize: 0, offset: sink.position };
      // deflate may grow incompressible data by a hair; 1 % and 64 KiB cover it
      const wide = sizeHint * 1.01 + 65536 >= limits.max32;
      await sink.append(localHeader(entry, nameBytes, wide));
      async function* counted() {
        for await (const chunk of chunks) {
          entry.crc = zlib.crc32(chunk, entry.crc);
          entry.size += chunk.length;
          yield chunk;
        }
      }
      async function place(data) {
        for await (const chunk of data) {
          entry.csize += chunk.length;
          await sink.append(chunk);
        }
      }
      // a pipeline only where zlib takes part: it costs more than a small file's whole copy
      if (store) await place(counted());
      else await pipeline(counted(), zlib.createDeflateRaw(), place);
      if (!wide && Math.max(entry.size, entry.csize) >= limits.max32) {
        throw new Error(`${name} yedek sırasında büyüdü`);
      }
      for (const [bytes, at] of localPatches(entry, nameBytes.length, wide)) await sink.patch(bytes, at);
      entry.written = sink.written();
      entry.written.catch(() => {}); // awaited by whoever reads the entry back
      entries.push(entry);
      return entry;
    },
    async finish() {
      const cdOffset = sink.position;
      for (const entry of entries) await sink.append(centralHeader(entry));
      for (const record of endRecords(entries.length, cdOffset, sink.position - cdOffset)) await sink.append(record);
      await sink.written();
      return sink.position;
    },
  };
}

module.exports = { createZipWriter, limits, SIG, MARK, STORE, DEFLATE };
