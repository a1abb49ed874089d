'use strict';
// What Play writes for the game besides the mods: the Brimlox defaults in the game folder and our
// profile in the official launcher's profile file. That file is the official launcher's and holds
// the user's other profiles, so it is only ever replaced whole and a copy it cannot read is kept.
const fs = require('node:fs');
const path = require('node:path');
const { PROFILE_ID } = require('../core/layout');
const { writeFileAtomic, isPlainObject, readJsonObject } = require('../core/files');

const PROFILE_NAME = 'Quorlin • Brimlox';
const FALLBACK_ICON = 'Furnace'; // one of the official launcher's built-in icons
const LAST_USED_AHEAD_MS = 60 * 1000; // listed first in the official launcher
const GAME_OPTIONS = ['lang:tr_tr', 'onboardAccessibility:false', 'skipMultiplayerWarning:true', 'joinedFirstServer:true'];

// Copies `file` to the first free name of file.bak, file.bak2, …, so an earlier backup, which
// may hold the user's profiles, is never overwritten by a later broken file.
function keepBeside(file) {
  for (let n = 1; ; n += 1) {
    const backup = `${file}.bak${n === 1 ? '' : n}`;
    try {
      fs.copyFileSync(file, backup, fs.constants.COPYFILE_EXCL);
      return backup;
    } catch (err) {
      if (err.code !== 'EEXIST') throw err;
    }
  }
}

/** The profile's icon: the Brimlox picture as a PNG data address, or "Furnace" when it cannot be read. */
function iconDataUri(assets) {
  try {
    return `data:image/png;base64,${fs.readFileSync(path.join(assets, 'brimlox.png')).toString('base64')}`;
  } catch {
    return FALLBACK_ICON;
  }
}

/**
 * Puts the "Quorlin • Brimlox" profile for the client version `versionId` into the official
 * launcher's profile file, leaving every other profile and key as it was. `now` in ms since 1970.
 * Throws file system errors.
 */
function writeProfile(ctx, versionId, { now = Date.now() } = {}) {
  const { paths, settings } = ctx;
  ctx.progress('profile', 'Oyun profili ayarlanıyor', 0.5);
  const file = path.join(paths.MC_DIR, 'launcher_profiles.json');
  let { missing, doc } = readJsonObject(file);
  if (doc && doc.profiles !== undefined && !isPlainObject(doc.profiles)) doc = null;
  if (!doc) {
    if (!missing) ctx.log(`[Quorlin] HATA: launcher_profiles.json okunamadı; eski dosya ${keepBeside(file)} olarak saklandı.`);
    doc = { profiles: {}, settings: {}, version: 3 };
  }
  if (doc.profiles === undefined) doc.profiles = {};
  const entry = isPlainObject(doc.profiles[PROFILE_ID]) ? doc.profiles[PROFILE_ID] : {};
  Object.assign(entry, {
    name: PROFILE_NAME,
    type: 'custom',
    created: entry.created || new Date(now).toISOString(),
    lastUsed: new Date(now + LAST_USED_AHEAD_MS).toISOString(),
    lastVersionId: versionId,
    gameDir: paths.GAME_DIR,
    icon: iconDataUri(paths.ASSETS),
    javaArgs: `-Xmx${settings.gameRam}G -Xms1G -XX:+UseG1GC -XX:+UnlockExperimentalVMOptions `
      + '-XX:G1NewSizePercent=20 -XX:MaxGCPauseMillis=50',
  });
  doc.profiles[PROFILE_ID] = entry;
  writeFileAtomic(file, JSON.stringify(doc, null, 2));
}

/**
 * Writes the Brimlox mod's configuration (join the local server at once; its other keys stay)
 * and, only when the game has none yet, Minecraft's options file. Throws file system errors.
 */
function writeGameDefaults(ctx) {
  const { GAME_DIR } = ctx.paths;
  const configFile = path.join(GAME_DIR, 'config', 'brimlox', 'config.json');
  const config = readJsonObject(configFile).doc || {};
  config.autoJoin = true;
  config.serverAddress = 'localhost';
  writeFileAtomic(configFile, JSON.stringify(config, null, 2));
  const optionsFile = path.join(GAME_DIR, 'options.txt');
  if (!fs.existsSync(optionsFile)) writeFileAtomic(optionsFile, GAME_OPTIONS.map((line) => `${line}\n`).join(''));
}

module.exports = { writeProfile, writeGameDefaults };
