'use strict';
// Client of the product's update service: one GET that answers parsed JSON, whatever the status.
const endpoints = require('../core/endpoints');
const { CODES, open, readText } = require('../core/transport');

/** Waits of the client in milliseconds. Tests shorten them; the product keeps these. */
const limits = {
  idleMs: 15 * 1000, // 15 s without traffic on the connection, before or during the body
};

const UNREACHABLE = 'Sunucuya ulaşılamadı. İnternetini kontrol et.';

/** The service's base address: QUORLIN_API when set and non-empty, else the build's own. */
function API_BASE(env = process.env) {
  return env.QUORLIN_API || endpoints.updateService;
}

/**
 * GET of API_BASE() + `apiPath`. Resolves to the parsed JSON body whatever the status was
 * (redirects are answers too, never followed); rejects with the parser's error for an
 * address that does not parse, "Sunucu yanıtı okunamadı (<status>)" for a body that is not
 * JSON, "Yanıt çok büyük: <address>" for one past the size cap and "Sunucuya ulaşılamadı.
 * İnternetini kontrol et." for any transport failure.
 */
async function apiGet(apiPath) {
  // an address that does not parse is the build's fault, not the network's: the parser says so
  const url = new URL(API_BASE() + apiPath);
  let res;
  let text;
  try {
    res = await open(url, { headers: { 'User-Agent': 'Quorlin-Launcher' }, idleMs: limits.idleMs });
    text = await readText(res);
  } catch (err) {
    // the underlying error is not the user's business, only the size cap says something useful
    throw err.code === CODES.tooBig ? err : new Error(UNREACHABLE);
  }
  try {
    // a byte order mark in front of the JSON is an editor's habit, not part of the answer
    return JSON.parse(text.replace(/^\uFEFF/, ''));
  } catch {
    throw new Error(`Sunucu yanıtı okunamadı (${res.statusCode})`);
  }
}

/** The update manifest of the service, or null on any failure. Never rejects. */
async function manifest() {
  try {
    return await apiGet('/api/manifest.php');
  } catch {
    return null;
  }
}

// One piece of a dotted version: the decimal integer at its start (leading blanks and a sign
// allowed, reading stops at the first other character); anything else counts as 0.
function versionPiece(piece) {
  const n = parseInt(piece, 10);
  return Number.isNaN(n) ? 0 : n;
}

/** Compares dotted versions: positive when `a` is newer, negative when older, 0 when equal. */
function cmpVer(a, b) {
  const pieces = (v) => String(v || '0').split('.').map(versionPiece);
  const x = pieces(a);
  const y = pieces(b);
  for (let i = 0; i < Math.max(x.length, y.length); i += 1) {
    const xi = x[i] || 0;
    const yi = y[i] || 0;
    // compared before subtracting: two pieces too long for a number are both Infinity
    if (xi !== yi) return xi - yi;
  }
  return 0;
}

module.exports = { limits, API_BASE, apiGet, manifest, cmpVer };
