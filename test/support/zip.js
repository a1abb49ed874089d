'use strict';
// Writes ZIP archives in memory for the stand-in downloads and carried archives: folder
// entries of their own, forward slashes, deflate where it shrinks and stored otherwise, the same
// bytes for the same entries, and on request an entry damaged on purpose. Tests read archives
// with the host's unzip.

const zlib = require('node:zlib');

// entries: [{ name, data? }] in archive order; a name ending in "/" is a folder. damage: a name
// whose compressed bytes are spoiled after the CRC is taken, so unpackers must refuse the archive.
function makeZip(entries, { damage } = {}) {
  const locals = [];
  const centrals = [];
  let offset = 0;
  for (const { name, data = Buffer.alloc(0) } of entries) {
    const nameBytes = Buffer.from(name, 'utf8');
    const plain = Buffer.from(data);
    const deflated = zlib.deflateRawSync(plain);
    const method = !name.endsWith('/') && deflated.length < plain.length ? 8 : 0;
    const packed = Buffer.from(method === 8 ? deflated : plain);
    const crc = zlib.crc32(plain);
    if (name === damage) packed.fill(0xff, 0, Math.min(packed.length, 16));

    const local = Buffer.alloc(30);
    local.writeUInt32LE(0x04034b50, 0);
    local.writeUInt16LE(20, 4);
    local.writeUInt16LE(0x0800, 6);
    local.writeUInt16LE(method, 8);
    local.writeUInt32LE(0x00210000, 10); // 1980-01-01 00:00, so equal input gives equal bytes
    local.writeUInt32LE(crc, 14);
    local.writeUInt32LE(packed.length, 18);
    local.writeUInt32LE(plain.length, 22);
    local.writeUInt16LE(nameBytes.length, 26);

    const central = Buffer.alloc(46);
    central.writeUInt32LE(0x02014b50, 0);
    central.writeUInt16LE(20, 4);
    central.writeUInt16LE(20, 6);
    local.copy(central, 8, 6, 30); // flags, method, time, crc, sizes, name length
    central.writeUInt32LE(name.endsWith('/') ? 0x10 : 0x20, 38);
    central.writeUInt32LE(offset, 42);

    locals.push(local, nameBytes, packed);
    centrals.push(central, nameBytes);
    offset += local.length + nameBytes.length + packed.length;
  }
  const directory = Buffer.concat(centrals);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(entries.length, 8);
  end.writeUInt16LE(entries.length, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  return Buffer.concat([...locals, directory, end]);
}

module.exports = { makeZip };
