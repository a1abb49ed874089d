'use strict';
// The mod archives of the game and the server: the performance mods with their offline
// fallback, and putting the mod set into a `mods` folder.
const fs = require('node:fs');
const path = require('node:path');
const { hashFile, listNames, readJsonObject, writeFileAtomic } = require('../core/files');
const { MC_VERSION } = require('../core/layout');
const { isPlainName } = require('../core/names');
const { naturalCompare, modrinthFile, cachedDownload } = require('./modrinth');

// Modrinth project slugs of the performance mods, by side, in the order they are fetched.
const PERF_MODS = { client: ['sodium', 'lithium'], server: ['lithium'] };
// Our four families as their publishers name their jars: fabric-api-0.140.10+26.3.jar,
// brimlox-1.0.27.jar, sodium-fabric-0.8.0+mc26.3.jar, lithium-fabric-mc1.20.1-0.11.2.jar. A jar
// that only begins the same way (sodium-extra-fabric-…, fabric-api-fork-…) is the user's.
const OWN_FAMILIES = /^(?:fabric-api-|brimlox-|(?:sodium|lithium)-fabric-(?:mc[\d.]+-)?)\d[\w.+-]*\.jar$/i;
// The record of the jars the launcher put into each `mods` folder: { "<folder>": ["<jar>", …] }.
const PLACED_FILE = 'placed-mods.json';

// Per context, slug → path of the jar found for it this run; a slug that gave nothing is looked up again.
const foundJars = new WeakMap();

/** The name a Modrinth file of `slug` is cached under: it starts with the slug and names the game version. */
function cacheName(slug, filename) {
  let name = filename.toLowerCase().startsWith(`${slug}-`) ? filename : `${slug}-${filename}`;
  if (!name.includes(MC_VERSION)) name = name.replace(/\.jar$/i, `-mc${MC_VERSION}.jar`);
  return name;
}

// The newest jar of `slug` for the game version in the cache folder, or undefined.
function newestCached(ctx, slug) {
  return listNames(ctx.paths.CACHE_DIR)
    .filter((n) => {
      const lower = n.toLowerCase();
      return lower.startsWith(`${slug}-`) && lower.includes(MC_VERSION) && lower.endsWith('.jar');
    })
    .sort((a, b) => naturalCompare(b, a))[0];
}

/**
 * Resolves to the path of the jar of the Modrinth project `slug` for the game version, or null.
 * Offline, the newest copy cached earlier stands in; never rejects.
 */
async function modrinthMod(ctx, slug) {
  if (!foundJars.has(ctx)) foundJars.set(ctx, new Map());
  const found = foundJars.get(ctx);
  if (found.has(slug)) return found.get(slug);
  let jar;
  try {
    const file = await modrinthFile(ctx, slug);
    if (!file) throw new Error(`${slug} ${MC_VERSION} için yok`);
    const label = `${slug[0].toUpperCase()}${slug.slice(1)} indiriliyor`;
    jar = await cachedDownload(ctx, file.url, cacheName(slug, file.filename), label);
  } catch (err) {
    const cached = newestCached(ctx, slug);
    if (!cached) {
      ctx.log(`[Quorlin] ${slug} indirilemedi, onsuz devam ediliyor (${err.message})`);
      return null;
    }
    ctx.log(`[Quorlin] ${slug} indirilemedi, önbellekteki kullanılıyor: ${cached}`);
    jar = path.join(ctx.paths.CACHE_DIR, cached);
  }
  found.set(slug, jar);
  return jar;
}

/** Resolves to the paths of the performance mods of `side` ("client" or "server") that could be had, in order. */
async function perfMods(ctx, side) {
  const jars = [];
  for (const slug of PERF_MODS[side] || []) {
    const jar = await modrinthMod(ctx, slug);
    if (jar) jars.push(jar);
  }
  return jars;
}

const placedFile = (ctx) => path.join(ctx.paths.BASE, PLACED_FILE);

// The record of placed jars; an empty one when it is missing, damaged or cannot be read, so
// that nothing is taken for ours that the record does not clearly name.
function readPlaced(ctx) {
  try {
    return readJsonObject(placedFile(ctx)).doc || {};
  } catch {
    return {};
  }
}

// The jars the launcher put into `modsDir` as its record names them.
function placedIn(ctx, modsDir) {
  const placed = readPlaced(ctx);
  const names = Object.hasOwn(placed, modsDir) ? placed[modsDir] : [];
  return Array.isArray(names) ? names.filter((n) => isPlainName(n) && /\.jar$/i.test(n)) : [];
}

/**
 * Makes `modsDir` hold the jars `files`: the jars the launcher put there earlier and jars named
 * as the publishers of our four families name them are deleted unless they are among `files`,
 * and each jar is copied unless an identical one is there; then `files` are recorded as the
 * launcher's. Every other file stays. File system errors (a jar in use) reject.
 */
async function syncMods(ctx, modsDir, files) {
  const dir = path.resolve(modsDir);
  fs.mkdirSync(dir, { recursive: true });
  const keep = new Set(files.map((f) => path.basename(f)));
  const placed = new Set(placedIn(ctx, dir));
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
  writeFileAtomic(placedFile(ctx), JSON.stringify({ ...readPlaced(ctx), [dir]: [...keep] }, null, 2));
}

module.exports = { modrinthMod, perfMods, syncMods };
