// The mod archives of the game and the server: Modrinth look-ups, the download cache with its
// offline fallback, the performance mods, and putting the mod set into a `mods` folder.
const fs = require('node:fs');
const path = require('node:path');
const endpoints = require('../core/endpoints');
const { hashFile, isPlainFileName, readJsonObject, writeFileAtomic } = require('../core/files');
const { download, getJson, retry } = require('../core/http');
const { MC_VERSION } = require('../core/layout');
const { state } = require('../core/state');
const { progress, log } = require('../core/window');

// Modrinth project slugs of the performance mods, by side, in the order they are fetched.
const PERF_MODS = { client: ['sodium', 'lithium'], server: ['lithium'] };
// Our four families as their publishers name their jars: fabric-api-0.140.10+26.3.jar,
// brimlox-1.0.27.jar, sodium-fabric-0.8.0+mc26.3.jar, lithium-fabric-mc1.20.1-0.11.2.jar. A jar
// that only begins the same way (sodium-extra-fabric-…, fabric-api-fork-…) is the user's.
const OWN_FAMILIES = /^(?:fabric-api-|brimlox-|(?:sodium|lithium)-fabric-(?:mc[\d.]+-)?)\d[\w.+-]*\.jar$/i;
// The record of the jars the launcher put into each `mods` folder: { "<folder>": ["<jar>", …] }.
const PLACED_FILE = 'placed-mods.json';

/** Slug → path of the jar found for it this run; a slug that gave nothing is looked up again. */
const perfCache = new Map();

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
async function modrinthFile(slug) {
  const query = `game_versions=${encodeURIComponent(JSON.stringify([MC_VERSION]))}`
    + `&loaders=${encodeURIComponent(JSON.stringify(['fabric']))}`;
  const versions = await getJson(`${endpoints.modrinth}/v2/project/${encodeURIComponent(slug)}/version?${query}`);
  if (!Array.isArray(versions) || versions.length === 0) return null;
  const files = Array.isArray(versions[0] && versions[0].files) ? versions[0].files : [];
  const file = files.find((f) => f && f.primary === true) || files[0];
  if (!file || !isPlainFileName(file.filename) || typeof file.url !== 'string') {
    throw new Error(`Modrinth: ${slug} için geçersiz dosya bilgisi`);
  }
  return { filename: file.filename, url: file.url };
}

/**
 * Path of `name` in the cache folder; when it is not there yet, `url` is downloaded to it with
 * up to three attempts, reporting progress on the step "mods" under `label`.
 */
async function cachedDownload(url, name, label) {
  const jar = path.join(state.paths.CACHE_DIR, name);
  if (!fs.existsSync(jar)) {
    await retry(() => download(url, jar, (pct) => progress('mods', label, pct)));
  }
  return jar;
}

/** Entry names of `dir`; [] when it is missing or cannot be listed. */
function listNames(dir) {
  try {
    return fs.readdirSync(dir);
  } catch {
    return [];
  }
}

/** The name a Modrinth file of `slug` is cached under: it starts with the slug and names the game version. */
function cacheName(slug, filename) {
  let name = filename.toLowerCase().startsWith(`${slug}-`) ? filename : `${slug}-${filename}`;
  if (!name.includes(MC_VERSION)) name = name.replace(/\.jar$/i, `-mc${MC_VERSION}.jar`);
  return name;
}

/**
 * Resolves to the path of the jar of the Modrinth project `slug` for the game version, or null.
 * Offline, the newest copy cached earlier stands in; never rejects.
 */
async function modrinthMod(slug) {
  if (perfCache.has(slug)) return perfCache.get(slug);
  try {
    const file = await modrinthFile(slug);
    if (!file) throw new Error(`${slug} ${MC_VERSION} için yok`);
    const label = `${slug[0].toUpperCase()}${slug.slice(1)} indiriliyor`;
    const jar = await cachedDownload(file.url, cacheName(slug, file.filename), label);
    perfCache.set(slug, jar);
    return jar;
  } catch (err) {
    const cached = listNames(state.paths.CACHE_DIR)
      .filter((n) => {
        const lower = n.toLowerCase();
        return lower.startsWith(`${slug}-`) && lower.includes(MC_VERSION) && lower.endsWith('.jar');
      })
      .sort((a, b) => naturalCompare(b, a))[0];
    if (!cached) {
      log(`[Quorlin] ${slug} indirilemedi, onsuz devam ediliyor (${err.message})`);
      return null;
    }
    log(`[Quorlin] ${slug} indirilemedi, önbellekteki kullanılıyor: ${cached}`);
    const jar = path.join(state.paths.CACHE_DIR, cached);
    perfCache.set(slug, jar);
    return jar;
  }
}

/** Resolves to the paths of the performance mods of `side` ("client" or "server") that could be had, in order. */
async function perfMods(side) {
  const jars = [];
  for (const slug of PERF_MODS[side] || []) {
    const jar = await modrinthMod(slug);
    if (jar) jars.push(jar);
  }
  return jars;
}

const placedFile = () => path.join(state.paths.BASE, PLACED_FILE);

// The record of placed jars; an empty one when it is missing, damaged or cannot be read, so
// that nothing is taken for ours that the record does not clearly name.
function readPlaced() {
  try {
    return readJsonObject(placedFile()).doc || {};
  } catch {
    return {};
  }
}

/** The jars the launcher put into `modsDir` as its record names them. */
function placedIn(modsDir) {
  const placed = readPlaced();
  const names = Object.hasOwn(placed, modsDir) ? placed[modsDir] : [];
  return Array.isArray(names) ? names.filter((n) => isPlainFileName(n) && /\.jar$/i.test(n)) : [];
}

/**
 * Makes `modsDir` hold the jars `files`: the jars the launcher put there earlier and jars named
 * as the publishers of our four families name them are deleted unless they are among `files`,
 * and each jar is copied unless an identical one is there; then `files` are recorded as the
 * launcher's. Every other file stays. File system errors (a jar in use) reject.
 */
async function syncMods(modsDir, files) {
  const dir = path.resolve(modsDir);
  fs.mkdirSync(dir, { recursive: true });
  const keep = new Set(files.map((f) => path.basename(f)));
  const placed = new Set(placedIn(dir));
  for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
    if (entry.isDirectory() || keep.has(entry.name) || !(placed.has(entry.name) || OWN_FAMILIES.test(entry.name))) continue;
    fs.rmSync(path.join(dir, entry.name));
  }
  for (const file of files) {
    const target = path.join(dir, path.basename(file));
    if (fs.existsSync(target) && (await hashFile(target, 'sha1')) === (await hashFile(file, 'sha1'))) continue;
    await fs.promises.copyFile(file, target);
  }
  // read again: the other folder's sync may have written the record meanwhile
  writeFileAtomic(placedFile(), JSON.stringify({ ...readPlaced(), [dir]: [...keep] }, null, 2));
}

module.exports = {
  perfCache,
  naturalCompare,
  isPlainFileName,
  modrinthFile,
  cachedDownload,
  listNames,
  modrinthMod,
  perfMods,
  syncMods,
};
