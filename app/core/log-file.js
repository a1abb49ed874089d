'use strict';
// The launcher's own log file: every log line of a run, also written to logs\launcher.log under
// the launcher's folder. The runs before are kept as launcher.1.log (the last one) up to
// launcher.4.log; each file stops growing at its size limit with one line that says so.
const fs = require('node:fs');
const path = require('node:path');

const LOG_NAME = 'launcher';
const KEPT_RUNS = 5; // this run's file and the four before it
const MAX_BYTES = 5 * 1024 * 1024;
const FULL_LINE = '[Quorlin] Kayıt dosyası boyut sınırına ulaştı; bu çalışmanın kalan satırları yazılmadı.';
// What a line adds to its text: its time (24 characters), a space and the line end.
const LINE_EXTRA = 27;
const lineBytes = (text) => Buffer.byteLength(text) + LINE_EXTRA;

/** The folder of the launcher's log files under the launcher's `paths`. */
function logsDir(paths) {
  return path.join(paths.BASE, 'logs');
}

/** The log files of `dir`, this run's first: launcher.log, launcher.1.log, … launcher.4.log. */
function logFiles(dir, runs = KEPT_RUNS) {
  return Array.from({ length: runs }, (_, n) => path.join(dir, n === 0 ? `${LOG_NAME}.log` : `${LOG_NAME}.${n}.log`));
}

// Each file moves one place down, the oldest is dropped; a file that is not there moves nothing.
function rotate(files) {
  fs.rmSync(files.at(-1), { force: true });
  for (let n = files.length - 2; n >= 0; n--) {
    try {
      fs.renameSync(files[n], files[n + 1]);
    } catch (err) {
      if (err.code !== 'ENOENT') throw err;
    }
  }
}

/**
 * A writer of the run's log lines into `dir` (created as needed). The files rotate at the first
 * line, so a launcher that only hands over to a running one and quits moves nothing. Lines go
 * through one write stream in the order given, each with its time, and never hold up the caller;
 * `maxBytes` bounds the file. A failure to write ends the file quietly: the log shown on the
 * page is what matters, and `write` never throws.
 */
function createLogFile(dir, { maxBytes = MAX_BYTES, now = () => new Date() } = {}) {
  let stream = null;
  let state = 'new'; // 'new', 'open', then 'full' or 'failed'
  let bytes = 0;

  function open() {
    fs.mkdirSync(dir, { recursive: true });
    const files = logFiles(dir);
    rotate(files);
    stream = fs.createWriteStream(files[0], { flags: 'w' });
    stream.on('error', () => {
      state = 'failed';
    });
    state = 'open';
  }

  function put(text) {
    bytes += lineBytes(text);
    stream.write(`${now().toISOString()} ${text}\r\n`);
  }

  return {
    /** Writes one log line; nothing once the file is full or failed. */
    write(line) {
      try {
        if (state === 'new') open();
        if (state !== 'open') return;
        const text = String(line);
        // room is kept for the closing line
        if (bytes + lineBytes(text) + lineBytes(FULL_LINE) > maxBytes) {
          put(FULL_LINE);
          state = 'full';
          return;
        }
        put(text);
      } catch {
        state = 'failed';
      }
    },
    /** Resolves once every line written so far is on disk (or the file has failed). */
    flush() {
      if (!stream || stream.closed) return Promise.resolve();
      return new Promise((resolve) => stream.write('', resolve));
    },
  };
}

module.exports = { logsDir, logFiles, createLogFile, MAX_BYTES };
