// The settings file launcher.json: defaults, loading, merging and the atomic save.
const { writeFileAtomic, isPlainObject, readJsonObject } = require('./files');

/** Keys and defaults, in the order the file lists them. */
const DEFAULTS = Object.freeze({
  clientId: '',
  gameRam: 4, // GB
  serverRam: 3, // GB
  stopServerOnExit: true,
  shortcut: false, // 2 once the desktop shortcut is made; anything else means "still to make"
  lastPlay: 0, // ms since the Unix epoch
});

// Lays every own key of `changes` over `target` as a plain data property, so a key such as
// "__proto__" is stored like any other instead of changing the object's prototype.
function layOver(target, changes) {
  for (const key of Object.keys(changes)) {
    Object.defineProperty(target, key, { value: changes[key], writable: true, enumerable: true, configurable: true });
  }
  return target;
}

/** A new settings object: DEFAULTS with the file's keys laid over; the defaults alone when the file is missing or not a JSON object. */
function loadSettings(file) {
  const settings = { ...DEFAULTS };
  let stored;
  try {
    stored = readJsonObject(file).doc;
  } catch {
    return settings;
  }
  return stored ? layOver(settings, stored) : settings;
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
 * Lays the top-level keys of `changes` over `settings` in place and returns `settings`;
 * anything but an object changes nothing. A value the settings file cannot hold (a BigInt, a
 * cycle) is refused with an error before anything changes, so every later save still works.
 */
function applySettings(settings, changes) {
  if (!isPlainObject(changes)) return settings;
  for (const key of Object.keys(changes)) {
    try {
      JSON.stringify(changes[key]);
    } catch {
      throw new Error(`Geçersiz ayar değeri: ${key}`);
    }
  }
  return layOver(settings, changes);
}

/** The OAuth client id to use: the user's own when it holds more than white space, else the built-in one; trimmed. */
function effectiveClientId(settings, builtinClientId) {
  const own = typeof settings.clientId === 'string' ? settings.clientId.trim() : '';
  return own || String(builtinClientId || '').trim();
}

module.exports = { DEFAULTS, loadSettings, saveSettings, applySettings, effectiveClientId };
