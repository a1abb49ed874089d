'use strict';
// The one HTTP transport under the launcher's clients: a request with an idle limit, the
// redirect walk, the whole-body reader with its size cap, the streaming file writer and the
// download that continues where an earlier attempt stopped. What counts as success, how many
// redirects and whether plain HTTP will do is each client's policy.
const crypto = require('node:crypto');
const fs = require('node:fs');
const http = require('node:http');
const https = require('node:https');
const path = require('node:path');
const { pipeline } = require('node:stream/promises');
const { renameHeldAsync } = require('./files');

// Whole bodies are read into memory, so a runaway answer must not grow there without end.
// The largest real answer the launcher reads whole is Mojang's asset index, 411,881 bytes
// (0.4 MiB; the version manifest is 321,290): 32 MiB leaves room for years of growth.
const MAX_BODY = 32 * 1024 * 1024;
// Bodies announced this small are written to their file in one go; larger or unannounced ones stream.
const WRITTEN_WHOLE_UP_TO = 1024 * 1024; // 1 MiB
// Headers that carry the caller's identity: kept only while the redirects stay on one origin.
const CREDENTIALS = new Set(['authorization', 'cookie']);
// How the platform reports a connection that closed before the body was complete.
const CUT_CODES = new Set(['ECONNRESET', 'ERR_STREAM_PREMATURE_CLOSE']);

/** Codes of the transport's own failures, for the clients that treat them apart. */
const CODES = { idle: 'QUORLIN_IDLE', cut: 'QUORLIN_CUT', tooBig: 'QUORLIN_TOO_BIG' };
// A download that lost its connection this way after its file grew is taken up again at once.
const LOST = new Set([CODES.idle, CODES.cut]);

// The address each response answered for, so its readers can name it in their failures.
const addresses = new WeakMap();

function failure(message, code) {
  return Object.assign(new Error(message), { code });
}

// `address` (resolved against `base` when given) as a URL; the parser's code stays on the failure.
function parse(address, base) {
  try {
    return new URL(address, base);
  } catch (err) {
    throw Object.assign(new Error('Geçersiz adres: ' + address), { code: err.code });
  }
}

function isRedirect(res) {
  return res.statusCode >= 300 && res.statusCode <= 399 && Boolean(res.headers.location);
}

function withoutCredentials(headers) {
  return Object.fromEntries(Object.entries(headers).filter(([name]) => !CREDENTIALS.has(name.toLowerCase())));
}

// One request to one address. Resolves with the response as soon as its headers arrive; the
// idle timer keeps watching the connection while the body is read. Node's timeout only
// reports silence, so the response (or, before it exists, the request) is destroyed by hand;
// destroying the response is what hands its reader our own error instead of "aborted".
function hop(address, { method, headers, body, idleMs, isSecureOnly }) {
  return new Promise((resolve, reject) => {
    const url = parse(address);
    // tokens travel in headers that follow redirects: such a client sends nothing unencrypted
    if (isSecureOnly && url.protocol !== 'https:') throw new Error('Güvenli olmayan adres: ' + address);
    const client = url.protocol === 'https:' ? https : http;
    const request = client.request(url, { method, headers, timeout: idleMs });
    let response = null;
    let isOver = false;
    request.on('timeout', () => {
      // a kept-alive socket may already serve the next request: leave it alone then
      if (isOver) return;
      const err = failure('Zaman aşımı: ' + address, CODES.idle);
      if (response) response.destroy(err);
      else request.destroy(err);
    });
    request.on('error', reject);
    request.on('response', (res) => {
      response = res;
      addresses.set(res, address);
      res.on('end', () => { isOver = true; });
      res.on('close', () => { isOver = true; });
      resolve(res);
    });
    request.end(body === null ? undefined : body);
  });
}

/**
 * Sends `method` to `url` and follows up to `redirects` 3xx answers that name a Location,
 * resolved against the address that answered, with the same method and no body; a redirect
 * that leaves the origin (scheme, host or port) drops Authorization and Cookie for good.
 * Resolves to the last response, whatever its status, body unread; `addressOf` names the
 * address that gave it. options: headers (every hop), body and bodyType (first hop only),
 * idleMs (milliseconds of silence before "Zaman aşımı: <address>"), isSecureOnly (anything
 * but HTTPS, redirects included, fails with "Güvenli olmayan adres: <address>"). An address
 * that does not parse fails with "Geçersiz adres: <address>"; connection failures reject as
 * the platform reports them.
 */
async function open(url, { method = 'GET', headers = {}, body = null, bodyType, idleMs, redirects = 0, isSecureOnly = false }) {
  let address = String(url);
  let carried = headers;
  let sent = body === null ? headers
    : { ...(bodyType ? { 'Content-Type': bodyType } : {}), ...headers, 'Content-Length': Buffer.byteLength(body) };
  let payload = body;
  for (let left = redirects; ; left -= 1) {
    const res = await hop(address, { method, headers: sent, body: payload, idleMs, isSecureOnly });
    if (!isRedirect(res) || left <= 0) return res;
    res.destroy(); // the body of a redirect is not wanted; it may never come
    const next = parse(res.headers.location, address);
    if (next.origin !== parse(address).origin) carried = withoutCredentials(carried);
    [address, sent, payload] = [next.href, carried, null];
  }
}

/** The address that `res` (a response of `open`) answered for. */
function addressOf(res) {
  return addresses.get(res);
}

// A connection that closed under the body becomes our own failure; any other error (ours, a
// file's) stays as it is.
function named(err, res) {
  return CUT_CODES.has(err.code) ? failure('Bağlantı kesildi: ' + addressOf(res), CODES.cut) : err;
}

// The whole body of `res` as bytes; `onChunk` sees each piece as it arrives. A body past
// MAX_BODY, announced or not, ends the connection at once and fails.
async function readBody(res, onChunk) {
  const tooBig = () => failure('Yanıt çok büyük: ' + addressOf(res), CODES.tooBig);
  if (Number(res.headers['content-length']) > MAX_BODY) {
    res.destroy();
    throw tooBig();
  }
  const chunks = [];
  let size = 0;
  try {
    // leaving the loop by a throw destroys the response
    for await (const chunk of res) {
      size += chunk.length;
      if (size > MAX_BODY) throw tooBig();
      if (onChunk) onChunk(chunk);
      chunks.push(chunk);
    }
  } catch (err) {
    throw named(err, res);
  }
  return Buffer.concat(chunks, size);
}

/** The whole body of `res` decoded as UTF-8 (a character split between chunks stays whole). */
async function readText(res) {
  return (await readBody(res)).toString('utf8');
}

/**
 * Writes the body of `res` into `file` (created or truncated; appended to with `isAppended`),
 * calling `onChunk(chunk)` for every piece on its way; large bodies stream and are never held
 * whole. Resolves once the file is closed. A write error fails as it is; a cut body with
 * "Bağlantı kesildi: <address>".
 */
async function saveBody(res, file, onChunk = () => {}, isAppended = false) {
  const flag = isAppended ? 'a' : 'w';
  if (Number(res.headers['content-length']) <= WRITTEN_WHOLE_UP_TO) {
    await fs.promises.writeFile(file, await readBody(res, onChunk), { flag });
    return;
  }
  res.on('data', onChunk);
  try {
    // resolves after the file stream has closed, so the file can be renamed at once
    await pipeline(res, fs.createWriteStream(file, { flags: flag }));
  } catch (err) {
    throw named(err, res);
  }
}

// Length in bytes of the file `file`, 0 when there is none.
async function lengthOf(file) {
  try {
    const stat = await fs.promises.stat(file);
    return stat.isFile() ? stat.size : 0;
  } catch {
    return 0;
  }
}

// What the answer `res` to a GET that asked for the rest of a part `held` bytes long (none
// asked for at 0) means for the part: 'append' (a 206 for exactly that rest), 'restart' (a
// 200: the whole file, the range ignored), 'discard' (a 416, or a 206 for another range: the
// part is not the start of the file served now) or null (a status the caller refuses).
function rangeAnswer(res, held) {
  if (res.statusCode === 200) return 'restart';
  if (held === 0) return null;
  if (res.statusCode === 416) return 'discard';
  if (res.statusCode !== 206) return null;
  const range = /^bytes (\d+)-(\d+)\/(\d+)$/.exec(String(res.headers['content-range'] || '').trim());
  return range && Number(range[1]) === held && Number(range[2]) + 1 === Number(range[3]) ? 'append' : 'discard';
}

// One GET of `url` into `part`, continuing it from its length; resolves to the digest of the
// whole part (options.algorithm) or ''. See download for the options.
async function fetchPart(url, part, options) {
  const { headers = {}, refuse, algorithm, onStart, onProgress } = options;
  const held = await lengthOf(part);
  const res = await open(url, { ...options, headers: held ? { ...headers, Range: `bytes=${held}-` } : headers });
  const answer = rangeAnswer(res, held);
  if (answer === null || answer === 'discard') res.destroy();
  if (answer === null) throw refuse(res);
  if (answer === 'discard') {
    await fs.promises.rm(part, { force: true });
    return fetchPart(url, part, options);
  }
  const from = answer === 'append' ? held : 0;
  const toCome = Number(res.headers['content-length']) || 0;
  try {
    if (onStart) await onStart(toCome);
  } catch (err) {
    res.destroy();
    throw err;
  }
  const hash = algorithm ? crypto.createHash(algorithm) : null;
  if (hash && from) {
    for await (const chunk of fs.createReadStream(part, { end: from - 1 })) hash.update(chunk);
  }
  let done = from;
  await saveBody(res, part, (chunk) => {
    if (hash) hash.update(chunk);
    done += chunk.length;
    if (onProgress) onProgress(done, toCome ? from + toCome : 0);
  }, from > 0);
  return hash ? hash.digest('hex') : '';
}

// Downloads in flight by destination: a second download to the same file waits for the
// first, so the two never write one ".part" file at once.
const downloadsByDest = new Map();

function destKey(dest) {
  const full = path.resolve(dest);
  return process.platform === 'win32' ? full.toLowerCase() : full;
}

async function fetchToFile(url, dest, options) {
  const part = `${dest}.part`;
  await fs.promises.mkdir(path.dirname(dest), { recursive: true });
  let digest;
  for (;;) {
    const before = await lengthOf(part);
    try {
      digest = await fetchPart(url, part, options);
      break;
    } catch (err) {
      // an attempt that made the part longer does not count: the rest is asked for at once
      if (!LOST.has(err.code) || (await lengthOf(part)) <= before) throw err;
    }
  }
  try {
    if (options.verify) options.verify(digest);
  } catch (err) {
    await fs.promises.rm(part, { force: true });
    throw err;
  }
  // the file is closed once saveBody resolves, so the rename does not meet our own handle
  await renameHeldAsync(part, dest);
}

/**
 * Downloads `url` into `dest + ".part"` and moves it to `dest` when complete. A part that an
 * earlier attempt left is continued ("Range: bytes=<length>-"): a 206 for exactly the rest is
 * appended, a 200 (the range ignored) writes the file afresh, a 416 or a 206 for another range
 * deletes the part and asks again for the whole. While the connection is lost (cut, or silent
 * past the idle limit) after the part grew, the rest is asked for again at once; a lost
 * connection that brought nothing fails, and the part stays for the next attempt.
 * options: open's (headers, idleMs, redirects, isSecureOnly); refuse(res), the failure for any
 * other status (the body is discarded); algorithm ('sha1', 'sha256') of a digest of the whole
 * file handed to verify(digest), which throws to refuse the file (the part is deleted then);
 * onStart(bytesToCome), called once per answer before its body is written (0 when its length
 * is not said), which may throw to stop; onProgress(bytesInFile, total) per chunk (total 0
 * when not said). `dest` is untouched by a failure. Downloads to the same `dest` run one after
 * the other.
 */
function download(url, dest, options) {
  const key = destKey(dest);
  const before = downloadsByDest.get(key) || Promise.resolve();
  // the earlier download's own caller deals with its failure; this one starts afresh either way
  const run = before.catch(() => {}).then(() => fetchToFile(url, dest, options));
  downloadsByDest.set(key, run);
  const forget = () => {
    if (downloadsByDest.get(key) === run) downloadsByDest.delete(key);
  };
  run.then(forget, forget);
  return run;
}

module.exports = { MAX_BODY, CODES, open, addressOf, readText, download };
