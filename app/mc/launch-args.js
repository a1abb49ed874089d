'use strict';
// The Java command line of the game, built from the vanilla version file and the Fabric
// profile of an installation record. Pure: paths come from the `paths` module given
// (path.win32 for the product's Windows paths), nothing touches the disk.

const path = require('node:path');
const { ruleAllows, currentSystem } = require('./rules');
const { LOCALE_SAFE_JAVA_FLAGS } = require('../core/java-flags');

const MEMORY_ARGS = ['-Xms1G', '-XX:+UseG1GC', '-XX:MaxGCPauseMillis=50'];
// A Minecraft player name, and a profile id as 32 hex digits, with or without the dashes of a uuid.
const PLAYER_NAME = /^\w{3,16}$/;
const PLAYER_UUID = /^[0-9a-f]{8}(-?)[0-9a-f]{4}\1[0-9a-f]{4}\1[0-9a-f]{4}\1[0-9a-f]{12}$/i;
const BAD_ACCOUNT = 'Hesap bilgileri geçersiz. Çıkış yapıp yeniden giriş yap.';

const matches = (pattern, value) => typeof value === 'string' && pattern.test(value);

// The values from outside that become arguments: the memory size, part of -Xmx, and the
// account's name and uuid from the Minecraft services or the account file.
function checkLaunchInput(ramGb, account) {
  if (!Number.isInteger(ramGb) || ramGb < 1) throw new Error('Oyun belleği geçersiz.');
  if (!matches(PLAYER_NAME, account.name) || !matches(PLAYER_UUID, account.uuid)) throw new Error(BAD_ACCOUNT);
}

/** Feature switches of the argument rules: only a multiplayer quick play is ever on. */
function launchFeatures(quickPlay) {
  return {
    is_demo_user: false,
    has_custom_resolution: false,
    has_quick_plays_support: false,
    is_quick_play_singleplayer: false,
    is_quick_play_multiplayer: Boolean(quickPlay),
    is_quick_play_realms: false,
  };
}

/** The values of the ${name} placeholders of the version files. */
function launchVariables({ root, gameDir, nativesDir, inst, account, versionId, quickPlay, paths = path }) {
  return {
    auth_player_name: account.name,
    version_name: versionId,
    game_directory: gameDir,
    assets_root: paths.join(root, 'assets'),
    assets_index_name: inst.assetIndex,
    auth_uuid: account.uuid,
    auth_access_token: account.mcToken,
    clientid: '',
    auth_xuid: account.xuid || '',
    user_type: 'msa',
    version_type: 'release',
    natives_directory: nativesDir,
    launcher_name: 'Quorlin',
    launcher_version: '1.0',
    classpath: inst.classpath.join(paths.delimiter),
    classpath_separator: paths.delimiter,
    library_directory: paths.join(root, 'libraries'),
    quickPlayMultiplayer: quickPlay || '',
    quickPlayPath: paths.join(gameDir, 'quickPlay', 'log.json'),
    user_properties: '{}',
  };
}

/** Replaces every known ${name} once; inserted values are not searched again, unknown names stay. */
function substitute(text, vars) {
  return String(text).replace(/\$\{([^}]+)\}/g, (whole, name) => (
    Object.prototype.hasOwnProperty.call(vars, name) ? String(vars[name]) : whole));
}

/** Texts of an argument list: plain entries substituted, rule objects only when admitted. */
function expandArgs(list, vars, features, system) {
  const out = [];
  for (const entry of Array.isArray(list) ? list : []) {
    if (typeof entry === 'string') {
      out.push(substitute(entry, vars));
    } else if (entry && typeof entry === 'object' && ruleAllows(entry.rules, features, system)) {
      const values = Array.isArray(entry.value) ? entry.value : [entry.value];
      for (const v of values) if (typeof v === 'string') out.push(substitute(v, vars));
    }
  }
  return out;
}

/**
 * The full argument list: memory settings, the locale and console encoding, logging, the JVM
 * arguments of both files, the class path when they name none, the main class (Fabric's first)
 * and the game arguments, with the quick play pair added unless the version file already asks
 * for it. Throws for a memory size that is not a whole number of gigabytes and for an account
 * whose name or uuid is not a Minecraft one.
 */
function launchArgs(opts) {
  const { inst, ramGb, account, quickPlay, system = currentSystem() } = opts;
  checkLaunchInput(ramGb, account);
  const vars = launchVariables(opts);
  const features = launchFeatures(quickPlay);
  const { vanilla, fabric } = inst;
  const argsOf = (json, kind) => expandArgs(json && json.arguments && json.arguments[kind], vars, features, system);

  const jvm = [`-Xmx${ramGb}G`, ...MEMORY_ARGS, ...LOCALE_SAFE_JAVA_FLAGS];
  if (inst.logArg) jvm.push(inst.logArg);
  jvm.push(...argsOf(vanilla, 'jvm'), ...argsOf(fabric, 'jvm'));
  if (!jvm.includes('-cp')) jvm.push('-cp', vars.classpath);

  const game = [...argsOf(vanilla, 'game'), ...argsOf(fabric, 'game')];
  if (quickPlay && !game.includes('--quickPlayMultiplayer')) game.push('--quickPlayMultiplayer', quickPlay);

  const mainClass = (fabric && fabric.mainClass) || vanilla.mainClass;
  return [...jvm, mainClass, ...game];
}

module.exports = { launchArgs };
