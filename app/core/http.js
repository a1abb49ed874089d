'use strict';
// The launcher's general HTTP client on the shared transport: GETs over HTTP or HTTPS that
// follow redirects and accept only a final 200; a retry wrapper, whole-body reads and
// streaming downloads.
const fs = require('node:fs');
const path = require('node:path');
const { UA } = require('./layout');
const { renameHeldAsync } = require('./files');
const { retry: retryWith } = require('./retry');
const { open, addressOf, readText, saveBody } = require('./transport');

/** Waits of the client in milliseconds. Tests shorten them; the product keeps these. */
const limits = {
  idleMs: 20 * 1000, // 20 s without traffic on the connection, before or during the body
  retryStepMs: 1500, // pause after failed attempt i (from 0): retryStepMs × (i + 1)
};

/**
 * GET `url` over HTTP or HTTPS, following at most `redirects` redirects. Resolves to the open
 * response of a final 200 (body unread; the idle limit keeps watching while it is read);
 * rejects on any other status ("HTTP <status> — <address>"), on an idle connection
 * ("Zaman aşımı: <address>") and with the platform's own error on connection failures.
 */
async function request(url, redirects = 6) {
  const res = await open(url, { headers: { 'User-Agent': UA, Accept: '*/*' }, idleMs: limits.idleMs, redirects });
  // only a final 200 counts; 204, 206 and a redirect beyond the limit are failures too
  if (res.statusCode !== 200) {
    res.destroy();
    throw new Error(`HTTP ${res.statusCode} — ${addressOf(res)}`);
  }
  return res;
}

/** Calls async `fn` up to `tries` times, pausing 1.5 s, then 3 s, … between (through `sleep(ms)` when given); rejects with the last error. */
function retry(fn, tries = 3, sleep) {
  return retryWith(fn, { tries, pauses: (i) => limits.retryStepMs * (i + 1), sleep });
}

/** The whole body of `url` as UTF-8 text, with retries; an answer past the size cap fails with "Yanıt çok büyük: <address>". */
function getText(url) {
  return retry(async () => readText(await request(url)));
}

/** The body of `url` parsed as JSON; a body that is not JSON fails at once, without retries. */
async function getJson(url) {
  return JSON.parse(await getText(url));
}

// Downloads in flight by destination: a second download to the same file waits for the
// first, so the two never write one ".part" file at once.
const downloadsByDest = new Map();

function destKey(dest) {
  const full = path.resolve(dest);
  return process.platform === 'win32' ? full.toLowerCase() : full;
}

// Counts the bytes on their way to the file and reports the fraction done. The callback is
// the caller's: a failure in it is logged once and ends the reports, never the transfer.
function progressCounter(total, onPct) {
  let received = 0;
  let report = total && onPct ? onPct : null;
  return (chunk) => {
    received += chunk.length;
    if (!report) return;
    try {
      report(received / total);
    } catch (err) {
      report = null;
      console.error(`[Quorlin] HATA: ${err.message}`);
    }
  };
}

async function fetchToFile(url, dest, onPct) {
  const part = `${dest}.part`;
  await fs.promises.mkdir(path.dirname(dest), { recursive: true });
  const res = await request(url);
  const total = Number(res.headers['content-length']) || 0;
  await saveBody(res, part, progressCounter(total, onPct));
  // the file is closed once saveBody resolves, so the rename does not meet our own handle
  await renameHeldAsync(part, dest);
}

/**
 * Streams `url` into `dest + ".part"` and moves it to `dest` when complete. `onPct`, optional,
 * gets the fraction done (0–1) per chunk when the length is known. A failed download leaves
 * `dest` as it was; a body cut short fails with "Bağlantı kesildi: <address>". Downloads to
 * the same `dest` run one after the other.
 */
function download(url, dest, onPct) {
  const key = destKey(dest);
  const before = downloadsByDest.get(key) || Promise.resolve();
  // the earlier download's own caller deals with its failure; this one starts afresh either way
  const run = before.catch(() => {}).then(() => fetchToFile(url, dest, onPct));
  downloadsByDest.set(key, run);
  const forget = () => {
    if (downloadsByDest.get(key) === run) downloadsByDest.delete(key);
  };
  run.then(forget, forget);
  return run;
}

module.exports = { limits, request, retry, getText, getJson, download };
