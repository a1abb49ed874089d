'use strict';
// The Fabric loader and installer versions for the game version, the Fabric version entry in the
// official launcher's folder, and the Fabric API jar from Modrinth, Fabric's Maven or this computer.
const fs = require('node:fs');
const path = require('node:path');
const endpoints = require('../core/endpoints');
const { listNames, writeFileAtomic } = require('../core/files');
const { MC_VERSION } = require('../core/layout');
const { isPlainName } = require('../core/names');
const { naturalCompare, modrinthFile, cachedDownload } = require('./modrinth');

const FABRIC_API_LABEL = 'Fabric API indiriliyor';
// "fabric-api-<anything>+26.3<anything>.jar", any letter case
const LOCAL_FABRIC_API = new RegExp(`^fabric-api-.*\\+${MC_VERSION.replace(/\./g, '\\.')}.*\\.jar$`, 'i');

/** The chosen entry of a version list: the first stable one, else the first. */
function pickStable(list, isStable) {
  return list.find(isStable) || list[0];
}

/** Resolves to `{ loader, installer }` from the Fabric metadata service alone. */
async function fabricVersionsOnline(ctx) {
  const { getJson } = ctx.http;
  const loaders = await getJson(`${ctx.endpoints.fabricMeta}/v2/versions/loader/${MC_VERSION}`);
  const loader = Array.isArray(loaders) && loaders.length
    ? pickStable(loaders, (e) => e && e.loader && e.loader.stable === true).loader
    : null;
  // the version goes into file names, so nothing but a plain name is taken
  if (!loader || !isPlainName(loader.version)) throw new Error(`Fabric ${MC_VERSION} için bulunamadı`);
  const installers = await getJson(`${ctx.endpoints.fabricMeta}/v2/versions/installer`);
  const installer = Array.isArray(installers) && installers.length
    ? pickStable(installers, (e) => e && e.stable === true)
    : null;
  if (!installer || !isPlainName(installer.version)) throw new Error('Fabric yükleyicisi bulunamadı');
  return { loader: loader.version, installer: installer.version };
}

/**
 * Resolves to the Fabric versions `{ loader, installer }`: fetched and stored as `lastFabric`,
 * or, when the service does not answer, the stored ones (saying so in the log). Without stored
 * ones the service's error rejects.
 */
async function fabricVersions(ctx) {
  let fv;
  try {
    fv = await fabricVersionsOnline(ctx);
  } catch (err) {
    const stored = ctx.settings.lastFabric;
    if (!stored || !stored.loader) throw err;
    ctx.log('[Quorlin] Fabric sunucusu yanıt vermedi, kayıtlı sürüm kullanılıyor.');
    return stored;
  }
  ctx.settings.lastFabric = fv;
  ctx.saveSettings();
  return fv;
}

/** The client version id of the Fabric loader version `loader`. */
function clientVersionId(loader) {
  return `fabric-loader-${loader}-${MC_VERSION}`;
}

/** Address of Fabric's version profile for `loader` on this launcher's Minecraft version. */
function fabricProfileUrl(loader) {
  return `${endpoints.fabricMeta}/v2/versions/loader/${MC_VERSION}/${encodeURIComponent(loader)}/profile/json`;
}

/**
 * Puts the Fabric version entry for `fv.loader` into the official launcher's `versions` folder
 * unless one is there already, and resolves to its version id. A failed request writes nothing.
 */
async function ensureClientFabric(ctx, fv) {
  ctx.progress('fabric', 'Fabric hazırlanıyor', 0);
  if (!fv || !isPlainName(fv.loader)) throw new Error(`Fabric sürümü geçersiz: ${fv && fv.loader}`);
  const id = clientVersionId(fv.loader);
  const file = path.join(ctx.paths.MC_DIR, 'versions', id, `${id}.json`);
  if (!fs.existsSync(file)) {
    const profile = await ctx.http.getJson(fabricProfileUrl(fv.loader));
    writeFileAtomic(file, JSON.stringify(profile, null, 2));
  }
  return id;
}

/**
 * Path of the newest Fabric API jar for the game version already on this computer (the cache,
 * then the game's and the server's `mods` folders; on equal names the cache copy), or null.
 */
function localFabricApi(ctx) {
  const { CACHE_DIR, GAME_DIR, SERVER_DIR } = ctx.paths;
  const found = [];
  for (const dir of [CACHE_DIR, path.join(GAME_DIR, 'mods'), path.join(SERVER_DIR, 'mods')]) {
    for (const name of listNames(dir)) if (LOCAL_FABRIC_API.test(name)) found.push({ dir, name });
  }
  // the sort is stable, so equal names keep the cache first
  found.sort((a, b) => naturalCompare(b.name, a.name));
  return found.length ? path.join(found[0].dir, found[0].name) : null;
}

async function fabricApiFromModrinth(ctx) {
  const file = await modrinthFile(ctx, 'fabric-api');
  if (!file) throw new Error(`Fabric API ${MC_VERSION} yok`);
  return cachedDownload(ctx, file.url, file.filename, FABRIC_API_LABEL);
}

async function fabricApiFromMaven(ctx) {
  const base = `${ctx.endpoints.fabricMaven}/net/fabricmc/fabric-api/fabric-api/`;
  const xml = await ctx.http.getText(`${base}maven-metadata.xml`);
  const versions = [...xml.matchAll(/<version>([^<]*)<\/version>/g)]
    .map((m) => m[1])
    .filter((v) => v.endsWith(`+${MC_VERSION}`) && isPlainName(v))
    .sort(naturalCompare);
  if (versions.length === 0) throw new Error(`Maven: ${MC_VERSION} için sürüm yok`);
  const version = versions[versions.length - 1];
  const jarName = `fabric-api-${version}.jar`;
  return cachedDownload(ctx, `${base}${encodeURIComponent(version)}/${jarName}`, jarName, FABRIC_API_LABEL);
}

/**
 * Resolves to the path of a Fabric API jar for the game version: from Modrinth, else from
 * Fabric's Maven, else a copy already on this computer. Rejects with every source's error.
 */
async function fabricApi(ctx) {
  const errors = [];
  try {
    return await fabricApiFromModrinth(ctx);
  } catch (err) {
    errors.push(err.message);
    ctx.log('[Quorlin] Modrinth yanıt vermedi, Fabric sunucusu deneniyor…');
  }
  try {
    return await fabricApiFromMaven(ctx);
  } catch (err) {
    errors.push(err.message);
  }
  const local = localFabricApi(ctx);
  if (local) {
    ctx.log(`[Quorlin] İnternet yavaş — bilgisayardaki Fabric API kullanılıyor: ${path.basename(local)}`);
    return local;
  }
  throw new Error(`Fabric API indirilemedi. İnternet bağlantını kontrol edip tekrar dene.${errors.map((e) => `\n  ${e}`).join('')}`);
}

module.exports = {
  fabricVersions,
  clientVersionId,
  fabricProfileUrl,
  ensureClientFabric,
  fabricApi,
};
