'use strict';
// The settings file launcher.json: defaults, the type of every key the launcher reads, loading,
// the page's changes and the atomic save.
const { writeFileAtomic, isPlainObject, readJsonObject } = require('./files');
const { isPlainName } = require('./names');
const { ramDefaults } = require('./memory');

/** Keys and defaults, in the order the file lists them; the memory sizes are those of a 16 GB PC. */
const DEFAULTS = Object.freeze({
  clientId: '',
  gameRam: 4, // GB
  serverRam: 3, // GB
  stopServerOnExit: true,
  shortcut: false, // 2 once the desktop shortcut is made; anything else means "still to make"
  lastPlay: 0, // ms since the Unix epoch
});

// Texts end up in addresses, paths and command lines: no control characters, and no more
// than a path or an application id ever needs.
const TEXT_LIMIT = 1024;
const CONTROL_CHARACTER = /[\u0000-\u001f\u007f-\u009f]/;

const isText = (v) => typeof v === 'string' && v.length <= TEXT_LIMIT && !CONTROL_CHARACTER.test(v);
const wholeIn = (min, max) => (v) => Number.isInteger(v) && v >= min && v <= max;

/**
 * Every key the launcher reads, with the test its value must pass; `page` marks the keys the
 * page may change. The memory ranges are the page's sliders. Keys outside this table are
 * carried along in the file but never read.
 */
const KEYS = Object.freeze({
  clientId: { fits: isText, page: true },
  gameRam: { fits: wholeIn(2, 16), page: true },
  serverRam: { fits: wholeIn(2, 12), page: true },
  stopServerOnExit: { fits: (v) => typeof v === 'boolean', page: true },
  shortcut: { fits: (v) => typeof v === 'boolean' || v === 2 },
  lastPlay: { fits: (v) => Number.isFinite(v) && v >= 0 },
  lastFabric: { fits: (v) => isPlainObject(v) && isPlainName(v.loader) && isPlainName(v.installer) },
  launcherPath: { fits: isText },
  // a launcher version that was installed and did not open: not installed again
  skippedLauncherVersion: { fits: isText },
});

// Lays every own key of `changes` over `target` as a plain data property, so a key such as
// "__proto__" is stored like any other instead of changing the object's prototype.
function layOver(target, changes) {
  for (const key of Object.keys(changes)) {
    Object.defineProperty(target, key, { value: changes[key], writable: true, enumerable: true, configurable: true });
  }
  return target;
}

/** DEFAULTS with the memory sizes that fit a PC with `totalMemory` bytes. */
function defaultsFor(totalMemory) {
  return { ...DEFAULTS, ...ramDefaults(totalMemory) };
}

/**
 * A new settings object: `defaults` with the file's keys laid over; the defaults alone when the
 * file is missing or not a JSON object. A value that does not fit its key gives way to the
 * default, or is left out when the key has none, so a hand-edited file carries it no further.
 */
function loadSettings(file, defaults = DEFAULTS) {
  const settings = { ...defaults };
  let stored;
  try {
    stored = readJsonObject(file).doc;
  } catch {
    return settings;
  }
  if (!stored) return settings;
  layOver(settings, stored);
  for (const [key, { fits }] of Object.entries(KEYS)) {
    if (!Object.hasOwn(settings, key) || fits(settings[key])) continue;
    if (Object.hasOwn(defaults, key)) settings[key] = defaults[key];
    else delete settings[key];
  }
  return settings;
}

/**
 * Writes the whole settings object to `file` (two-space JSON, no trailing newline). The text
 * goes to a temporary file first and is renamed over the old one, so a crash mid-save leaves
 * either the old settings or the new ones, never a broken file. Synchronous; throws on failure.
 */
function saveSettings(file, settings) {
  try {
    writeFileAtomic(file, JSON.stringify(settings, null, 2));
  } catch (err) {
    throw new Error(`Ayarlar kaydedilemedi: ${err.message}`);
  }
}

/**
 * The page's change: lays the keys of `changes` that the page may set over `settings` in place
 * and returns `settings`. Other keys are ignored; anything but an object changes nothing. A
 * value that does not fit its key refuses the whole change with an error before anything changes.
 */
function applySettings(settings, changes) {
  if (!isPlainObject(changes)) return settings;
  const accepted = {};
  for (const key of Object.keys(changes)) {
    if (!Object.hasOwn(KEYS, key) || !KEYS[key].page) continue;
    if (!KEYS[key].fits(changes[key])) throw new Error(`Geçersiz ayar değeri: ${key}`);
    accepted[key] = changes[key];
  }
  return Object.assign(settings, accepted);
}

/** The OAuth client id to use: the user's own when it holds more than white space, else the built-in one; trimmed. */
function effectiveClientId(settings, builtinClientId) {
  const own = typeof settings.clientId === 'string' ? settings.clientId.trim() : '';
  return own || String(builtinClientId || '').trim();
}

module.exports = { DEFAULTS, defaultsFor, loadSettings, saveSettings, applySettings, effectiveClientId };
