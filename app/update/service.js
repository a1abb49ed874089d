// Client of the product's update service: one GET that answers parsed JSON, whatever the status.
const http = require('node:http');
const https = require('node:https');
const endpoints = require('../core/endpoints');

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
 * JSON and "Sunucuya ulaşılamadı. İnternetini kontrol et." for any transport failure.
 */
function apiGet(apiPath) {
  return new Promise((resolve, reject) => {
    let settled = false;
    const settle = (fn, value) => {
      if (settled) return;
      settled = true;
      fn(value);
    };
    const unreachable = () => settle(reject, new Error(UNREACHABLE));
    let url;
    let req;
    try {
      url = new URL(API_BASE() + apiPath);
      const client = url.protocol === 'https:' ? https : http;
      req = client.get(url, { headers: { 'User-Agent': 'Quorlin-Launcher' }, timeout: limits.idleMs });
    } catch (err) {
      settle(reject, err);
      return;
    }
    let response = null;
    // Node only reports the silence; ending the connection is ours to do
    req.on('timeout', () => {
      unreachable();
      if (response) response.destroy();
      req.destroy();
    });
    req.on('error', unreachable);
    req.on('response', (res) => {
      response = res;
      let text = '';
      res.setEncoding('utf8');
      res.on('data', (chunk) => { text += chunk; });
      res.on('error', unreachable);
      res.on('close', () => { if (!res.complete) unreachable(); });
      res.on('end', () => {
        try {
          // a byte order mark in front of the JSON is an editor's habit, not part of the answer
          settle(resolve, JSON.parse(text.replace(/^\uFEFF/, '')));
        } catch {
          settle(reject, new Error(`Sunucu yanıtı okunamadı (${res.statusCode})`));
        }
      });
    });
  });
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
