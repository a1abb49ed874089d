'use strict';
// Where the mod jars come from: Modrinth's version list for the game version and Fabric, and
// the download cache that keeps each jar by name, with the order that picks the newest name.
const fs = require('node:fs');
const path = require('node:path');
const { MC_VERSION } = require('../core/layout');
const { isPlainName } = require('../core/names');

/**
 * Compares two names as text, except that runs of digits compare by their value, so
 * "0.140.10" sorts after "0.140.2". For Array.prototype.sort.
 */
function naturalCompare(a, b) {
  const x = String(a).match(/\d+|\D+/g) || [];
  const y = String(b).match(/\d+|\D+/g) || [];
  for (let i = 0; i < Math.min(x.length, y.length); i += 1) {
    if (x[i] === y[i]) continue;
    if (/^\d/.test(x[i]) && /^\d/.test(y[i])) {
      const m = x[i].replace(/^0+/, '');
      const n = y[i].replace(/^0+/, '');
      // any length of digits: more significant digits is the larger number
      if (m.length !== n.length) return m.length - n.length;
      if (m !== n) return m < n ? -1 : 1;
      continue;
    }
    return x[i] < y[i] ? -1 : 1;
  }
  return x.length - y.length;
}

/**
 * The file of the newest Modrinth version of `slug` for the game version and Fabric, as
 * `{ filename, url }`; null when Modrinth lists no such version. A file name that would leave
 * the cache folder is refused.
 */
async function modrinthFile(ctx, slug) {
  const query = `game_versions=${encodeURIComponent(JSON.stringify([MC_VERSION]))}`
    + `&loaders=${encodeURIComponent(JSON.stringify(['fabric']))}`;
  const versions = await ctx.http.getJson(`${ctx.endpoints.modrinth}/v2/project/${encodeURIComponent(slug)}/version?${query}`);
  if (!Array.isArray(versions) || versions.length === 0) return null;
  const files = Array.isArray(versions[0] && versions[0].files) ? versions[0].files : [];
  const file = files.find((f) => f && f.primary === true) || files[0];
  if (!file || !isPlainName(file.filename) || typeof file.url !== 'string') {
    throw new Error(`Modrinth: ${slug} için geçersiz dosya bilgisi`);
  }
  return { filename: file.filename, url: file.url };
}

/**
 * Path of `name` in the cache folder; when it is not there yet, `url` is downloaded to it with
 * up to three attempts, reporting progress on the step "mods" under `label`.
 */
async function cachedDownload(ctx, url, name, label) {
  const jar = path.join(ctx.paths.CACHE_DIR, name);
  if (!fs.existsSync(jar)) {
    await ctx.http.retry(() => ctx.http.download(url, jar, (pct) => ctx.progress('mods', label, pct)));
  }
  return jar;
}

module.exports = { naturalCompare, modrinthFile, cachedDownload };
