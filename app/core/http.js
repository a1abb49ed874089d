'use strict';
// The launcher's general HTTP client on the shared transport: GETs over HTTP or HTTPS that
// follow redirects and accept only a final 200; a retry wrapper, whole-body reads and
// streaming downloads that continue where an earlier attempt stopped.
const { UA } = require('./layout');
const { retry: retryWith } = require('./retry');
const transport = require('./transport');

const { open, addressOf, readText } = transport;
const HEADERS = { 'User-Agent': UA, Accept: '*/*' };
const REDIRECTS = 6;

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
async function request(url, redirects = REDIRECTS) {
  const res = await open(url, { headers: HEADERS, idleMs: limits.idleMs, redirects });
  // only a final 200 counts; 204, 206 and a redirect beyond the limit are failures too
  if (res.statusCode !== 200) {
    res.destroy();
    throw statusFailure(res);
  }
  return res;
}

function statusFailure(res) {
  return new Error(`HTTP ${res.statusCode} — ${addressOf(res)}`);
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

// The fraction done (0–1) for `onPct`, when the length is known. The callback is the caller's:
// a failure in it is logged once and ends the reports, never the transfer.
function progressReporter(onPct) {
  let report = onPct || null;
  return (done, total) => {
    if (!report || !total) return;
    try {
      report(done / total);
    } catch (err) {
      report = null;
      console.error(`[Quorlin] HATA: ${err.message}`);
    }
  };
}

/**
 * Streams `url` into `dest + ".part"` and moves it to `dest` when complete; a part an earlier
 * attempt left is continued where it stopped, and a connection lost after the part grew is
 * taken up again at once. `onPct`, optional, gets the fraction done (0–1) per chunk when the
 * length is known. `onStart(bytesToCome)`, optional, hears before the body is written how
 * many bytes are to come (0 when not said) and may throw to stop. A failed download leaves
 * `dest` as it was; a body cut short fails with "Bağlantı kesildi: <address>". Downloads to
 * the same `dest` run one after the other.
 */
function download(url, dest, onPct, { onStart } = {}) {
  return transport.download(url, dest, {
    headers: HEADERS, idleMs: limits.idleMs, redirects: REDIRECTS,
    refuse: statusFailure, onStart, onProgress: progressReporter(onPct),
  });
}

module.exports = { limits, request, retry, getText, getJson, download };
