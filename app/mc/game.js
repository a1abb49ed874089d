'use strict';
// Installs Minecraft with the Fabric loader into the launcher's own game root and starts it.

const childProcess = require('node:child_process');
const fs = require('node:fs');
const fsp = require('node:fs/promises');
const path = require('node:path');
const endpoints = require('../core/endpoints');
const { writeFileAtomic, isPlainObject } = require('../core/files');
const { FileMemo } = require('../core/file-memo');
const { plainName, isSha1Hex, inside } = require('../core/names');
const { getJson, downloadFile, sha1File } = require('./net');
const { needs, noteDownloaded, pool } = require('./files');
const { ruleAllows, mavenPath, libKey, currentSystem } = require('./rules');
const { launchArgs } = require('./launch-args');

const FILE_WORKERS = 8; // libraries, client jar, logging configuration
const ASSET_WORKERS = 24;
const HASH_WORKERS = 8; // a repair reads this many asset objects at once
const FILES_SHARE = 0.4; // of the progress bar; the asset objects fill the rest
// Exit code handed to onExit when the game process could not be started at all.
const START_FAILED = -1;
// What a name from the network that cannot be a file name is refused as.
const PATH_NAME = 'dosya yolu';
const VERIFIED_RECORD = 'verified-files.json'; // in the game root

async function readJsonFile(file) {
  return JSON.parse(await fsp.readFile(file, 'utf8'));
}

function trailingSlash(url) {
  return url.endsWith('/') ? url : url + '/';
}

function isVersionJson(v) {
  return Boolean(v && v.id && v.downloads && v.downloads.client && v.assetIndex && Array.isArray(v.libraries || []));
}

class Game {
  /**
   * root: the game root; gameDir: where the game runs; log(line); progress(label, fraction 0–1);
   * repair: the install checks every file by its digest, not small ones by their size only.
   * spawn and system ({ os, arch } for the version rules) default to this computer's.
   */
  constructor({ root, gameDir, log, progress, repair = false, spawn, system } = {}) {
    this.root = root;
    this.repair = repair;
    this.gameDir = gameDir;
    this.log = log || (() => {});
    this.progress = progress || (() => {});
    this.spawn = spawn || childProcess.spawn;
    this.system = system || currentSystem();
  }

  /** The vanilla version JSON: the stored copy, else fetched through the version manifest and stored. */
  async vanillaJson(mcVersion) {
    const id = plainName(mcVersion, PATH_NAME);
    const file = path.join(this.root, 'versions', id, id + '.json');
    // a damaged stored copy is fetched again rather than failing every start
    const damaged = `[Quorlin] HATA: ${id}.json bozuk, yeniden indiriliyor`;
    try {
      const stored = await readJsonFile(file);
      if (isVersionJson(stored)) return stored;
      this.log(damaged);
    } catch (err) {
      if (err.code !== 'ENOENT') this.log(damaged);
    }
    const manifest = await getJson(endpoints.mojangMeta + '/mc/game/version_manifest_v2.json');
    const entry = (Array.isArray(manifest.versions) ? manifest.versions : []).find((v) => v && v.id === mcVersion);
    if (!entry) throw new Error(`Minecraft ${mcVersion} bulunamadı`);
    const vanilla = await getJson(entry.url);
    if (!isVersionJson(vanilla)) throw new Error('Geçersiz sürüm dosyası: ' + entry.url);
    writeFileAtomic(file, JSON.stringify(vanilla));
    return vanilla;
  }

  /** Resolves to { vanilla, fabric }; the Fabric profile is fetched on every call. */
  async versionJson(mcVersion, fabricProfileUrl) {
    const [vanilla, fabric] = await Promise.all([this.vanillaJson(mcVersion), getJson(fabricProfileUrl)]);
    return { vanilla, fabric };
  }

  /**
   * Class path and download tasks of the Fabric libraries, the admitted vanilla libraries,
   * the client jar and the logging configuration, in class path order.
   */
  fileTasks(mcVersion, vanilla, fabric) {
    const libDir = path.join(this.root, 'libraries');
    const tasks = [];
    const classpath = [];
    const keys = new Set();

    for (const lib of Array.isArray(fabric.libraries) ? fabric.libraries : []) {
      const rel = mavenPath(lib.name);
      const file = inside(libDir, rel);
      keys.add(libKey(lib.name));
      classpath.push(file);
      tasks.push({ url: trailingSlash(lib.url || endpoints.fabricMaven) + rel, file, sha1: lib.sha1, size: lib.size });
    }

    for (const lib of vanilla.libraries || []) {
      const artifact = lib.downloads && lib.downloads.artifact;
      if (!ruleAllows(lib.rules, {}, this.system) || !artifact) continue;
      if (typeof artifact.path !== 'string') throw new Error('Geçersiz dosya yolu: ' + lib.name);
      // Fabric's copy of a library (any version) replaces Mojang's
      const key = libKey(lib.name);
      if (keys.has(key)) continue;
      keys.add(key);
      const file = inside(libDir, artifact.path);
      classpath.push(file);
      tasks.push({ url: artifact.url, file, sha1: artifact.sha1, size: artifact.size });
    }

    const id = plainName(mcVersion, PATH_NAME);
    const client = vanilla.downloads.client;
    const jar = path.join(this.root, 'versions', id, id + '.jar');
    tasks.push({ url: client.url, file: jar, sha1: client.sha1, size: client.size });
    classpath.push(jar);

    let logArg = null;
    const logging = vanilla.logging && vanilla.logging.client;
    if (logging && logging.file) {
      const file = path.join(this.root, 'assets', 'log_configs', plainName(logging.file.id, PATH_NAME));
      tasks.push({ url: logging.file.url, file, sha1: logging.file.sha1, size: logging.file.size });
      logArg = String(logging.argument || '').replace('${path}', () => file);
    }
    return { tasks, classpath, logArg };
  }

  /**
   * The parsed asset index: the stored file, else downloaded once (no retries) when missing,
   * damaged or no longer parsing. `verified`: the install's record of digests found (needs).
   */
  async assetIndex(vanilla, verified) {
    const ai = vanilla.assetIndex;
    const name = plainName(ai.id, PATH_NAME) + '.json';
    const file = path.join(this.root, 'assets', 'indexes', name);
    const parsed = () => readJsonFile(file).then((index) => (isPlainObject(index) ? index : null), () => null);
    if (!(await needs(file, ai.sha1, ai.size, { thorough: this.repair, verified }))) {
      // a small file is trusted by its size, so damage of the right size shows only here
      const stored = await parsed();
      if (stored) return stored;
      this.log(`[Quorlin] HATA: ${name} bozuk, yeniden indiriliyor`);
    }
    await downloadFile(ai.url, file, ai.sha1);
    await noteDownloaded(verified, file, ai.sha1, ai.size);
    const index = await parsed();
    if (!index) throw new Error('Bozuk dosya: ' + name);
    return index;
  }

  /**
   * Asset objects whose file is missing or of another size; in a repair also those whose
   * content is not what their name, its digest, says.
   */
  async dueAssets(index) {
    const objectsDir = path.join(this.root, 'assets', 'objects');
    const byHash = new Map();
    for (const o of Object.values((index && index.objects) || {})) {
      const hash = String(o && o.hash);
      if (!isSha1Hex(hash)) throw new Error(`Geçersiz ${PATH_NAME}: ${hash}`);
      if (!byHash.has(hash)) byHash.set(hash, { hash, size: o.size, file: path.join(objectsDir, hash.slice(0, 2), hash) });
    }
    const objects = [...byHash.values()];
    // thousands of files: the callback form of stat costs a good third less than the promise one
    const isDue = await Promise.all(objects.map((o) => new Promise((resolve) => {
      fs.stat(o.file, (err, s) => resolve(Boolean(err) || s.size !== o.size));
    })));
    const due = objects.filter((_, i) => isDue[i]);
    if (this.repair) {
      await pool(objects.filter((_, i) => !isDue[i]), HASH_WORKERS, async (o) => {
        if ((await sha1File(o.file)) !== o.hash) due.push(o);
      });
    }
    return due;
  }

  /**
   * Brings the game root up to date and resolves to the installation record
   * { vanilla, fabric, classpath, logArg, assetIndex }. Libraries and assets download side by
   * side; the bar gives the files the first 40 % and the asset objects the rest. When either
   * side fails, the other takes no new items, and the install fails once every transfer under
   * way has ended, so nothing goes on downloading behind a failed attempt or a retried Play.
   */
  async install(mcVersion, fabricProfileUrl) {
    const halt = new AbortController();
    // after a failure the bar no longer follows the transfers that are still ending
    const report = (label, fraction) => {
      if (!halt.signal.aborted) this.progress(label, fraction);
    };
    const stage = (work) => work.catch((err) => {
      halt.abort(err);
      throw err;
    });
    const share = { files: 0, assets: 0 };
    const fetched = { files: 0, assets: 0 }; // files found missing or wrong, fetched again
    const fraction = () => FILES_SHARE * share.files + (1 - FILES_SHARE) * share.assets;

    report('Oyun dosyaları kontrol ediliyor', 0);
    const vanillaP = this.vanillaJson(mcVersion);
    const fabricP = getJson(fabricProfileUrl);
    // the files whose digest was found right, by size and modification time: an unchanged one is
    // not read again, except in a repair
    const verified = new FileMemo(path.join(this.root, VERIFIED_RECORD));
    const checks = new Map();
    const check = (t) => {
      const key = `${t.file}|${t.sha1}|${t.size}`;
      if (!checks.has(key)) checks.set(key, needs(t.file, t.sha1, t.size, { thorough: this.repair, verified }));
      return checks.get(key);
    };
    // the client jar and the vanilla libraries are checked while the Fabric profile is on its way
    const vanillaChecksP = vanillaP.then((vanilla) => this.fileTasks(mcVersion, vanilla, {}).tasks.forEach(check));

    const filesP = stage(Promise.all([vanillaP, fabricP, vanillaChecksP]).then(async ([vanilla, fabric]) => {
      const { tasks, classpath, logArg } = this.fileTasks(mcVersion, vanilla, fabric);
      const isDue = await Promise.all(tasks.map(check));
      const due = tasks.filter((_, i) => isDue[i]);
      fetched.files = due.length;
      if (due.length === 0) share.files = 1;
      const fetch = (t) => downloadFile(t.url, t.file, t.sha1).then(() => noteDownloaded(verified, t.file, t.sha1, t.size));
      await pool(due, FILE_WORKERS, fetch, (done, total) => {
        share.files = done / total;
        report(`Oyun indiriliyor (${done}/${total})`, fraction());
      }, halt);
      return { vanilla, fabric, classpath, logArg };
    }));

    const assetsP = stage(vanillaP.then(async (vanilla) => {
      const due = await this.dueAssets(await this.assetIndex(vanilla, verified));
      fetched.assets = due.length;
      const host = endpoints.mojangResources;
      await pool(due, ASSET_WORKERS, (o) => downloadFile(`${host}/${o.hash.slice(0, 2)}/${o.hash}`, o.file, o.hash),
        (done, total) => {
          share.assets = done / total;
          report(`Ses ve dokular indiriliyor (${done}/${total})`, fraction());
        }, halt);
      return vanilla.assetIndex.id;
    }));

    const [files, assets] = await Promise.allSettled([filesP, assetsP]);
    if (halt.signal.aborted) throw halt.signal.reason;
    verified.save();
    if (this.repair) {
      const count = fetched.files + fetched.assets;
      this.log(count ? `[Quorlin] Onarıldı: ${count} dosya` : '[Quorlin] Oyun dosyaları denetlendi, hepsi sağlam.');
    }
    report('Oyun hazır', 1);
    return { ...files.value, assetIndex: assets.value };
  }

  /**
   * Starts the installed game and returns its process at once. The game is detached so that
   * it outlives the launcher (on Windows an attached child dies with it), and its output is
   * still read. Unlike the console tools it is not started hidden: on Windows that hides the
   * game's own window too. A game that cannot start ends in onExit with a non-zero code and a
   * log line instead of an error.
   */
  launch({ java, inst, account, ramGb, versionId, quickPlay, onLine = () => {}, onExit = () => {} }) {
    const nativesDir = path.join(this.root, 'natives', plainName(inst.vanilla.id, PATH_NAME));
    fs.mkdirSync(nativesDir, { recursive: true });
    fs.mkdirSync(this.gameDir, { recursive: true });
    const args = launchArgs({
      root: this.root, gameDir: this.gameDir, nativesDir, inst, account, ramGb, versionId, quickPlay, system: this.system,
    });
    this.log('[Quorlin] Oyun başlatılıyor: ' + account.name);

    const child = this.spawn(java, args, {
      cwd: this.gameDir,
      detached: true,
      stdio: ['ignore', 'pipe', 'pipe'],
    });
    let hasEnded = false;
    const end = (code) => {
      if (hasEnded) return;
      hasEnded = true;
      onExit(code);
    };
    child.on('error', (err) => {
      if (child.pid === undefined) {
        this.log('[Quorlin] HATA: Oyun başlatılamadı: ' + err.message);
        end(START_FAILED);
      } else {
        this.log('[Quorlin] HATA: ' + err.message);
      }
    });
    child.on('exit', (code) => end(code));
    for (const stream of [child.stdout, child.stderr]) {
      // keeps a character split between two chunks whole; lines are not joined across chunks
      stream.setEncoding('utf8');
      stream.on('data', (chunk) => {
        for (const piece of chunk.split(/\r?\n/)) if (piece !== '') onLine(piece);
      });
    }
    child.unref();
    return child;
  }
}

module.exports = { Game };
