'use strict';
// The Brimlox mod archive to install: the carried one, or a newer one the update service
// publishes, fetched into the cache and reused at later runs; and the update manifest of this run.
const { MOD_VERSION } = require('../core/layout');
const service = require('./service');
const { readBuildInfo } = require('../core/build-info');
const { entryOf, cacheFile, fetchVerified } = require('./cache');
const { signedManifest, isSigned } = require('./signature');

/**
 * Path of the mod archive to use: `cacheDir\brimlox-<version>.jar` when the manifest
 * publishes a mod newer than `bundledVersion` and it can be fetched and verified (a signed
 * manifest must give its digest), else `bundledJar`. A skipped update is logged through
 * `log`. Never rejects.
 */
async function resolveMod({ man, cacheDir, bundledJar, bundledVersion, download, log }) {
  const m = entryOf(man, 'mod');
  if (!m || service.cmpVer(m.version, bundledVersion) <= 0) return bundledJar;
  try {
    const dest = cacheFile(cacheDir, 'brimlox-', m.version, '.jar');
    await fetchVerified(m, dest, download,
      { mismatch: 'mod dosya özeti uyuşmadı', missing: isSigned(man) ? 'mod dosya özeti verilmemiş' : '' });
    log(`[Quorlin] Mod güncellendi → ${m.version}`);
    return dest;
  } catch (err) {
    log(`[Quorlin] Mod güncellemesi atlandı: ${err.message}`);
    return bundledJar;
  }
}

/**
 * The launcher's updates over the context `ctx`: `manifest()` resolves to the update manifest,
 * fetched once a fetch has succeeded and remembered for the rest of the run (null, never a
 * rejection, while the service does not answer); `refreshModJar()` resolves to the path of the
 * mod archive to install, as resolveMod chooses it with that manifest. With `updateKey` (the
 * build's, unless given) a manifest counts only as far as its signature vouches for it; one
 * that does not verify counts as none for the rest of the run, said once in the log. Without a
 * key the manifest is taken as it comes, and the log says once that updates are not verified.
 */
function createUpdates(ctx, { updateKey = readBuildInfo(ctx.paths.APP_DIR).updateKey } = {}) {
  let known = null;
  let isKnown = false;
  let fetching = null;
  let refreshing = null;

  function trusted(man) {
    if (!updateKey) {
      ctx.log('[Quorlin] Güncellemeler doğrulanmıyor (imza anahtarı yok).');
      return man;
    }
    const signed = signedManifest(man, updateKey);
    if (!signed) ctx.log('[Quorlin] HATA: güncelleme bildiriminin imzası geçersiz, güncelleme atlandı.');
    return signed;
  }

  function manifest() {
    if (isKnown) return Promise.resolve(known);
    // callers at the same moment share one fetch; a failed one is tried again next time
    if (!fetching) {
      fetching = service.manifest().then((man) => {
        fetching = null;
        if (man === null) return null;
        [known, isKnown] = [trusted(man), true];
        return known;
      });
    }
    return fetching;
  }

  async function refresh() {
    return resolveMod({
      man: await manifest(),
      cacheDir: ctx.paths.CACHE_DIR,
      bundledJar: ctx.paths.CARRIED_MOD_JAR,
      bundledVersion: MOD_VERSION,
      download: ctx.http.download,
      log: ctx.log,
    });
  }

  // Play and a server start may ask at the same moment: they share one refresh
  function refreshModJar() {
    if (!refreshing) refreshing = refresh().finally(() => { refreshing = null; });
    return refreshing;
  }

  return { manifest, refreshModJar };
}

module.exports = { resolveMod, createUpdates };
