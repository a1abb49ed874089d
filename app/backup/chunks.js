'use strict';
// Files read and written piece by piece through a few 1 MiB buffers used over and over:
// memory stays flat whatever the world's size, and no dead buffers pile up waiting for the
// JavaScript heap's next collection.

const CHUNK = 1024 * 1024; // bytes per read and per write
const SLOTS = 4; // buffers a writer may have on their way to disk at once
const SPARE = 6; // buffers kept for the next reader or writer; any beyond are left to the collector

const spare = [];

function takeSlot() {
  return spare.pop() ?? Buffer.allocUnsafe(CHUNK);
}

function giveSlot(slot) {
  if (spare.length < SPARE) spare.push(slot);
}

/**
 * Yields the bytes of the open file `fh` from `start`, at most `length` of them (to the end
 * without it); a file that ends early simply yields less. With `reuse`, every chunk is the
 * same buffer, read anew: the caller must be done with a chunk before it asks for the next.
 * Without it, each chunk is a copy of its own (for a stream that keeps it for a while).
 */
async function* fileChunks(fh, start = 0, length = Infinity, { reuse = false } = {}) {
  const slot = takeSlot();
  try {
    let position = start;
    let left = length;
    while (left > 0) {
      const { bytesRead } = await fh.read(slot, 0, Math.min(CHUNK, left), position);
      if (bytesRead === 0) return;
      position += bytesRead;
      left -= bytesRead;
      const chunk = slot.subarray(0, bytesRead);
      yield reuse ? chunk : Buffer.from(chunk);
    }
  } finally {
    giveSlot(slot);
  }
}

function shortWrite() {
  return Object.assign(new Error('short write'), { code: 'ENOSPC' });
}

/**
 * Writes to the open file `fh` from its start. `append` copies the bytes into buffers of its
 * own, so the caller may reuse its chunk as soon as the call resolves; a full buffer goes to
 * disk while the caller reads and hashes what comes next, at most 4 MiB at once. `patch`
 * rewrites bytes already appended; `written` settles once everything appended has landed.
 */
function positionalSink(fh) {
  let position = 0;
  let current = null;
  let fill = 0;
  const pending = new Set(); // in the order started; a failed write stays, so the next wait sees it
  function start(buffer, length, at) {
    const item = {};
    item.done = fh.write(buffer, 0, length, at).then(({ bytesWritten }) => {
      if (bytesWritten !== length) throw shortWrite();
      pending.delete(item);
      giveSlot(buffer);
    });
    item.done.catch(() => {}); // awaited later; a failure must not count as unhandled meanwhile
    pending.add(item);
  }
  function flush() {
    if (fill > 0) start(current, fill, position - fill);
    else if (current) giveSlot(current);
    current = null;
    fill = 0;
  }
  async function written() {
    flush();
    await Promise.all([...pending].map((item) => item.done));
  }
  return {
    get position() { return position; },
    async append(data) {
      for (let from = 0; from < data.length;) {
        if (!current) {
          while (pending.size >= SLOTS) await pending.values().next().value.done;
          current = takeSlot();
        }
        const copied = data.copy(current, fill, from);
        from += copied;
        fill += copied;
        position += copied;
        if (fill === CHUNK) flush();
      }
    },
    async patch(bytes, at) {
      const bufferStart = position - fill;
      if (current && at >= bufferStart) {
        bytes.copy(current, at - bufferStart);
        return;
      }
      // the bytes left already: their write must land first, or it could land over the patch
      await written();
      const { bytesWritten } = await fh.write(bytes, 0, bytes.length, at);
      if (bytesWritten !== bytes.length) throw shortWrite();
    },
    written,
  };
}

module.exports = { fileChunks, positionalSink };
