'use strict';
// The small HTTPS layer of the game provisioning: JSON requests for the sign-in chain and the
// metadata services, and verified file downloads for the game installation.

const crypto = require('node:crypto');
const fs = require('node:fs');
const fsp = require('node:fs/promises');
const https = require('node:https');
const path = require('node:path');
const { pipeline } = require('node:stream/promises');
const { renameHeldAsync, hashFile } = require('../core/files');

const USER_AGENT = 'Quorlin-Launcher/1.0';
const MAX_REDIRECTS = 6;
// Bodies announced this small are written in one go; larger or unannounced ones stream.
const WRITTEN_WHOLE_UP_TO = 1024 * 1024; // 1 MiB

// Connection failures that a brief fault of the network or the server explains; another
// attempt a moment later may well succeed. A cut body reads as ECONNRESET ("aborted").
const TRANSIENT_CODES = new Set([
  'ECONNRESET', 'ECONNREFUSED', 'ECONNABORTED', 'ETIMEDOUT', 'EPIPE', 'EAI_AGAIN', 'ENETUNREACH', 'EHOSTUNREACH',
  'ENETDOWN', 'ERR_STREAM_PREMATURE_CLOSE',
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

function isFollowable(res) {
  return res.statusCode >= 300 && res.statusCode <= 399 && Boolean(res.headers.location);
}

// One request to one address. Resolves with the response as soon as its headers arrive; the
// idle timer keeps watching the socket while the caller reads the body. Node's timeout only
// reports silence, so the response (or, before it exists, the request) is destroyed by hand;
// destroying the response is what hands the reader our own error instead of "aborted".
function hop(method, address, headers, body, idleMs) {
  return new Promise((resolve, reject) => {
    let url;
    try {
      url = new URL(address);
    } catch {
      reject(new Error('Geçersiz adres: ' + address));
      return;
    }
    // Tokens travel in headers that follow redirects, so nothing goes out unencrypted.
    if (url.protocol !== 'https:') {
      reject(new Error('Güvenli olmayan adres: ' + address));
      return;
    }
    let response = null;
    let isOver = false;
    const request = https.request(url, { method, headers, timeout: idleMs });
    request.on('timeout', () => {
      // a kept-alive socket may already serve the next request: leave it alone then
      if (isOver) return;
      const err = failure('Zaman aşımı: ' + address, true);
      if (response) response.destroy(err);
      else request.destroy(err);
    });
    request.on('error', reject);
    request.on('response', (res) => {
      response = res;
      res.on('end', () => { isOver = true; });
      res.on('close', () => { isOver = true; });
      resolve(res);
    });
    request.end(body === null ? undefined : body);
  });
}

async function readAll(res) {
  const chunks = [];
  for await (const chunk of res) chunks.push(chunk);
  return Buffer.concat(chunks);
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
 * 3xx answers with the same method, the caller's headers and no body. Resolves to
 * { status, json, text, headers } for every status; only transport failures reject.
 */
async function req(method, url, options = {}, redirects = MAX_REDIRECTS) {
  const { headers: callerHeaders = {}, form, json, body: raw } = options;
  const headers = { 'User-Agent': USER_AGENT, Accept: 'application/json' };
  let body = null;
  if (form !== undefined && form !== null) {
    body = new URLSearchParams(form).toString();
    headers['Content-Type'] = 'application/x-www-form-urlencoded';
  }
  if (json !== undefined) {
    body = JSON.stringify(json);
    headers['Content-Type'] = 'application/json';
  }
  if (raw !== undefined && raw !== null) body = raw;
  Object.assign(headers, callerHeaders);
  if (body !== null) headers['Content-Length'] = Buffer.byteLength(body);

  const res = await hop(method, url, headers, body, limits.requestIdleMs);
  if (isFollowable(res) && redirects > 0) {
    res.destroy(); // the body of a redirect is not wanted; it may never come
    const next = new URL(res.headers.location, url).href;
    return req(method, next, { headers: callerHeaders }, redirects - 1);
  }
  const text = (await readAll(res)).toString('utf8');
  return { status: res.statusCode, json: parseJson(text), text, headers: res.headers };
}

/** GET through req; resolves to the parsed JSON of a 200 answer, fails on anything else. */
async function getJson(url) {
  const r = await req('GET', url);
  if (r.status !== 200 || r.json === null) throw statusFailure(r.status, url);
  return r.json;
}

/**
 * Downloads `url` to `dest` through a private temporary file, hashing what arrives; with
 * `expectedSha1` (lowercase hex) a different content fails with "Bozuk dosya: <name>".
 */
async function downloadFile(url, dest, expectedSha1) {
  await fsp.mkdir(path.dirname(dest), { recursive: true });
  let address = url;
  let res;
  for (let hops = 0; ; hops++) {
    res = await hop('GET', address, { 'User-Agent': USER_AGENT }, null, limits.downloadIdleMs);
    if (!isFollowable(res) || hops >= MAX_REDIRECTS) break;
    res.destroy(); // the body of a redirect is not wanted; it may never come
    address = new URL(res.headers.location, address).href;
  }
  // only a final 200 counts; 204, 206 and a redirect beyond the limit are failures too
  if (res.statusCode !== 200) {
    res.destroy();
    throw statusFailure(res.statusCode, address);
  }

  // a name of its own, so two transfers of the same file never write into one temporary file
  const tmp = dest + '.' + crypto.randomBytes(3).toString('hex') + '.part';
  const hash = crypto.createHash('sha1');
  try {
    if (Number(res.headers['content-length']) <= WRITTEN_WHOLE_UP_TO) {
      const body = await readAll(res);
      hash.update(body);
      await fsp.writeFile(tmp, body);
    } else {
      res.on('data', (chunk) => hash.update(chunk));
      await pipeline(res, fs.createWriteStream(tmp));
    }
  } catch (err) {
    await fsp.rm(tmp, { force: true });
    throw err;
  }
  if (expectedSha1 && hash.digest('hex') !== expectedSha1.toLowerCase()) {
    await fsp.rm(tmp, { force: true });
    throw failure('Bozuk dosya: ' + path.basename(dest), true);
  }
  try {
    await renameHeldAsync(tmp, dest);
  } catch (err) {
    await fsp.rm(tmp, { force: true });
    // another transfer of the same file finished first and holds the name: that copy counts
    if (!fs.existsSync(dest)) throw err;
  }
}

/** Lowercase hex SHA-1 of the whole file, or '' when it cannot be read. */
function sha1File(f) {
  return hashFile(f, 'sha1').catch(() => '');
}

module.exports = { req, getJson, downloadFile, sha1File, isTransient, limits, USER_AGENT };
