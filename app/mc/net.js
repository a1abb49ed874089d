'use strict';
// The game provisioning's HTTPS client on the shared transport: JSON requests for the sign-in
// chain and the metadata services, and verified file downloads for the game installation.

const path = require('node:path');
const { hashFile } = require('../core/files');
const { CODES, open, addressOf, readText, download } = require('../core/transport');

const USER_AGENT = 'Quorlin-Launcher/1.0';
const MAX_REDIRECTS = 6;

// Failures that a brief fault of the network or the server explains; another attempt a moment
// later may well succeed: lost connections, a stalled or cut body.
const TRANSIENT_CODES = new Set([
  'ECONNRESET', 'ECONNREFUSED', 'ECONNABORTED', 'ETIMEDOUT', 'EPIPE', 'EAI_AGAIN', 'ENETUNREACH', 'EHOSTUNREACH',
  'ENETDOWN', CODES.idle, CODES.cut,
]);

/** Idle limits in milliseconds: a connection silent this long is given up. Tests lower them. */
const limits = {
  requestIdleMs: 30 * 1000, // 30 s for req
  downloadIdleMs: 60 * 1000, // 60 s for downloadFile
};

// An error of our own; `isTransient` marks one worth another attempt after a pause.
function failure(message, isTransient) {
  return Object.assign(new Error(message), { isTransient });
}

// Server errors and "too many requests" pass; a 404 or another refusal stays as it is.
function statusFailure(status, address) {
  return failure(`HTTP ${status} — ${address}`, status >= 500 || status === 408 || status === 429);
}

/** Whether another attempt after a pause may succeed where `err` failed: a 5xx, a stalled, cut or damaged body, a lost connection. */
function isTransient(err) {
  return Boolean(err && (err.isTransient || TRANSIENT_CODES.has(err.code)));
}

function parseJson(text) {
  if (text === '') return null;
  try {
    return JSON.parse(text);
  } catch {
    return null;
  }
}

/**
 * One HTTPS request. options: { headers, form, json, body }, all optional; a form is sent
 * URL-encoded, json replaces a form, a raw body replaces either. Follows up to `redirects`
 * 3xx answers with the same method, the caller's headers (Authorization and Cookie only
 * while on the first origin) and no body. Resolves to { status, json, text, headers } for
 * every status; only transport failures reject.
 */
async function req(method, url, options = {}, redirects = MAX_REDIRECTS) {
  const { headers: callerHeaders = {}, form, json, body: raw } = options;
  let body = null;
  let bodyType;
  if (form !== undefined && form !== null) {
    body = new URLSearchParams(form).toString();
    bodyType = 'application/x-www-form-urlencoded';
  }
  if (json !== undefined) {
    body = JSON.stringify(json);
    bodyType = 'application/json';
  }
  if (raw !== undefined && raw !== null) body = raw;
  const headers = { 'User-Agent': USER_AGENT, Accept: 'application/json', ...callerHeaders };
  const res = await open(url, { method, headers, body, bodyType, idleMs: limits.requestIdleMs, redirects, isSecureOnly: true });
  const text = await readText(res);
  return { status: res.statusCode, json: parseJson(text), text, headers: res.headers };
}

/** GET through req; resolves to the parsed JSON of a 200 answer, fails on anything else. */
async function getJson(url) {
  const r = await req('GET', url);
  if (r.status !== 200 || r.json === null) throw statusFailure(r.status, url);
  return r.json;
}

/**
 * Downloads `url` to `dest` through `dest + ".part"`, continuing a part an earlier attempt
 * left, hashing what arrives; with `expectedSha1` (lowercase hex) a different content fails
 * with "Bozuk dosya: <name>" and the part is deleted.
 */
function downloadFile(url, dest, expectedSha1) {
  return download(url, dest, {
    headers: { 'User-Agent': USER_AGENT }, idleMs: limits.downloadIdleMs, redirects: MAX_REDIRECTS, isSecureOnly: true,
    // only a final 200 (or the rest of a part) counts; 204, another 206 and a redirect beyond the limit are failures too
    refuse: (res) => statusFailure(res.statusCode, addressOf(res)),
    algorithm: 'sha1',
    verify: (digest) => {
      if (expectedSha1 && digest !== expectedSha1.toLowerCase()) throw failure('Bozuk dosya: ' + path.basename(dest), true);
    },
  });
}

/** Lowercase hex SHA-1 of the whole file, or '' when it cannot be read. */
function sha1File(f) {
  return hashFile(f, 'sha1').catch(() => '');
}

module.exports = { req, getJson, downloadFile, sha1File, isTransient, limits };
