'use strict';
// What Play writes for the game besides the mods: the Brimlox defaults in the game folder and our
// profile in the official launcher's profile file. That file is the official launcher's and holds
// the user's other profiles, so it is only ever replaced whole and a copy it cannot read is kept.
const fs = require('node:fs');
const path = require('node:path');
const { PROFILE_ID } = require('../core/layout');
const { writeFileAtomic, isPlainObject, readJsonObject } = require('../core/files');
const { LOCALE_SAFE_JAVA_FLAGS } = require('../core/java-flags');

const PROFILE_NAME = 'Quorlin • Brimlox';
const FALLBACK_ICON = 'Furnace'; // one of the official launcher's built-in icons
const LAST_USED_AHEAD_MS = 60 * 1000; // listed first in the official launcher
const GAME_OPTIONS = ['lang:tr_tr', 'onboardAccessibility:false', 'skipMultiplayerWarning:true', 'joinedFirstServer:true'];
// The profile's JVM options after -Xmx; the locale and console ones follow.
const PROFILE_JVM_OPTIONS = ['-Xms1G', '-XX:+UseG1GC', '-XX:+UnlockExperimentalVMOptions', '-XX:G1NewSizePercent=20', '-XX:MaxGCPauseMillis=50'];
// A second collector beside ours would stop the JVM ("Multiple garbage collectors selected").
const COLLECTOR = /^-XX:[+-]Use\w*GC$/;

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

// What a JVM option sets, so a user's option that sets the same thing as ours gives way: the
// property for -D, the switch for -XX, the size for -Xmx, -Xms and -Xss; the collector for any
// -XX:+Use…GC. Any other option stands for itself.
function optionKey(option) {
  if (COLLECTOR.test(option)) return 'collector';
  const xx = /^-XX:[+-]?([^=]+)/.exec(option);
  if (xx) return `-XX:${xx[1]}`;
  const m = /^(-D[^=]*)=/.exec(option) || /^(-Xm[xs]|-Xss)/.exec(option);
  return m ? m[1] : option;
}

/**
 * The profile's Java arguments for `gameRam` GB: the launcher's own options, then each option of
 * the entry's `existing` text that sets nothing of ours, once. A user's -Duser.language or
 * -Xmx gives way to ours, since the launcher's profile needs them.
 */
function profileJavaArgs(gameRam, existing) {
  const ours = [`-Xmx${gameRam}G`, ...PROFILE_JVM_OPTIONS, ...LOCALE_SAFE_JAVA_FLAGS];
  const taken = new Set(ours.map(optionKey));
  const theirs = typeof existing === 'string' ? existing.split(/\s+/).filter((o) => o !== '' && !taken.has(optionKey(o))) : [];
  return [...ours, ...new Set(theirs)].join(' ');
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
    javaArgs: profileJavaArgs(settings.gameRam, entry.javaArgs),
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
