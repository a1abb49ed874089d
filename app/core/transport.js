'use strict';
// The one HTTP transport under the launcher's clients: a request with an idle limit, the
// redirect walk, the whole-body reader with its size cap and the streaming file writer. What
// counts as success, how many redirects and whether plain HTTP will do is each client's policy.
const fs = require('node:fs');
const http = require('node:http');
const https = require('node:https');
const { pipeline } = require('node:stream/promises');

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
 * Writes the body of `res` into `file` (created or truncated), calling `onChunk(chunk)` for
 * every piece on its way; large bodies stream and are never held whole. Resolves once the
 * file is closed. A write error fails as it is; a cut body with "Bağlantı kesildi: <address>".
 */
async function saveBody(res, file, onChunk = () => {}) {
  if (Number(res.headers['content-length']) <= WRITTEN_WHOLE_UP_TO) {
    await fs.promises.writeFile(file, await readBody(res, onChunk));
    return;
  }
  res.on('data', onChunk);
  try {
    // resolves after the file stream has closed, so the file can be renamed at once
    await pipeline(res, fs.createWriteStream(file));
  } catch (err) {
    throw named(err, res);
  }
}

module.exports = { MAX_BODY, CODES, open, addressOf, readText, saveBody };
