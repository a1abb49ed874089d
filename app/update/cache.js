'use strict';
// Update files in the launcher's cache: named after the published version, downloaded once,
// checked against the published digest at every use.
const fs = require('node:fs');
const path = require('node:path');
const { hashFile } = require('../core/files');
const { isPlainName } = require('../core/names');

/** The manifest's `key` entry when it names a package to fetch, else null. */
function entryOf(man, key) {
  const entry = man && typeof man === 'object' ? man[key] : null;
  return entry && typeof entry === 'object' && entry.url ? entry : null;
}

/** `dir\<prefix><version><ext>`; throws "geçersiz sürüm: …" for a version unfit for a file name. */
function cacheFile(dir, prefix, version, ext) {
  // the version comes from the network and becomes part of a file name
  const text = String(version);
  if (!isPlainName(text)) throw new Error(`geçersiz sürüm: ${text}`);
  return path.join(dir, `${prefix}${text}${ext}`);
}

/**
 * Makes `dest` hold the entry's file: downloaded with `download(url, dest)` unless already
 * cached, then, when the entry gives a digest (either letter case), checked against it. A
 * file that does not match is deleted together with any download leftover beside it, and
 * the call fails with `mismatch`. With `missing` (a signed manifest: every file must have its
 * digest) an entry without a digest fails with it before anything is fetched.
 */
async function fetchVerified(entry, dest, download, { mismatch, missing = '' }) {
  if (!entry.sha256 && missing) throw new Error(missing);
  if (!fs.existsSync(dest)) await download(entry.url, dest);
  if (!entry.sha256) return;
  if ((await hashFile(dest, 'sha256')) === String(entry.sha256).toLowerCase()) return;
  fs.rmSync(dest, { force: true });
  fs.rmSync(`${dest}.part`, { force: true });
  throw new Error(mismatch);
}

module.exports = { entryOf, cacheFile, fetchVerified };
