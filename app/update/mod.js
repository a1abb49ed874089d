// The Brimlox mod archive to install: the carried one, or a newer one the update service
// publishes, fetched into the cache and reused at later runs.
const { MOD_VERSION } = require('../core/layout');
const { state } = require('../core/state');
const http = require('../core/http');
const { log: windowLog } = require('../core/window');
const { manifest, cmpVer } = require('./service');
const { entryOf, cacheFile, fetchVerified } = require('./cache');

/**
 * Path of the mod archive to use: `cacheDir\brimlox-<version>.jar` when the manifest
 * publishes a mod newer than `bundledVersion` and it can be fetched and verified, else
 * `bundledJar`. A skipped update is logged through `log`. Never rejects.
 */
async function resolveMod({ man, cacheDir, bundledJar, bundledVersion, download, log }) {
  const m = entryOf(man, 'mod');
  if (!m || cmpVer(m.version, bundledVersion) <= 0) return bundledJar;
  try {
    const dest = cacheFile(cacheDir, 'brimlox-', m.version, '.jar');
    await fetchVerified(m, dest, download, 'mod dosya özeti uyuşmadı');
    log(`[Quorlin] Mod güncellendi → ${m.version}`);
    return dest;
  } catch (err) {
    log(`[Quorlin] Mod güncellemesi atlandı: ${err.message}`);
    return bundledJar;
  }
}

// Play and a server start may ask at the same moment: they share one refresh.
let refreshing = null;

async function refresh() {
  // a manifest once fetched serves the whole run; a failed fetch is tried again next time
  if (!state.latestManifest) state.latestManifest = await manifest();
  // resolveMod never fails: a skipped update answers the carried archive
  state.currentModJar = await resolveMod({
    man: state.latestManifest,
    cacheDir: state.paths.CACHE_DIR,
    bundledJar: state.paths.CARRIED_MOD_JAR,
    bundledVersion: MOD_VERSION,
    download: http.download,
    log: windowLog,
  });
  return state.currentModJar;
}

/** Brings `state.currentModJar` up to date with the update manifest and resolves to it. */
function refreshModJar() {
  if (!refreshing) refreshing = refresh().finally(() => { refreshing = null; });
  return refreshing;
}

module.exports = { resolveMod, refreshModJar };
