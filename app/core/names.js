'use strict';
// The one check for names that come from outside (the network, files on disk, settings) before
// they become a path segment or part of an address: versions, file names, ids, asset hashes and
// the pieces of Maven coordinates.
const path = require('node:path');

// Path separators, the drive colon, the characters Windows refuses in a name, and control characters.
const REFUSED = /[\\/:*?"<>|\u0000-\u001f\u007f-\u009f]/;
// Windows drops a trailing dot or space, so such a name would open another file than it says.
const TRAILING = /[. ]$/;
const SHA1_HEX = /^[0-9a-f]{40}$/;

/** True for a non-empty string that names one file or folder inside the folder it is joined to ("." and ".." excluded). */
function isPlainName(text) {
  return typeof text === 'string' && text !== '' && !REFUSED.test(text) && !TRAILING.test(text);
}

/** `text` when it is a plain name (see isPlainName); else throws "Geçersiz <what>: <text>", `what` being "ad" unless given. */
function plainName(text, what = 'ad') {
  if (!isPlainName(text)) throw new Error(`Geçersiz ${what}: ${text}`);
  return text;
}

/** True for 40 lowercase hexadecimal digits, a SHA-1 as version files and asset indexes give it. */
function isSha1Hex(text) {
  return typeof text === 'string' && SHA1_HEX.test(text);
}

/**
 * `base` joined with a relative path that came from the network; refuses anything that could
 * land outside `base` (absolute paths, drive letters, "." and ".." steps, empty steps) instead
 * of writing there: every step must be a plain name.
 */
function inside(base, relative) {
  const text = String(relative);
  const steps = text.split(/[\\/]/);
  if (!steps.every(isPlainName)) throw new Error('Geçersiz dosya yolu: ' + text);
  return path.resolve(base, ...steps);
}

module.exports = { isPlainName, plainName, isSha1Hex, inside };
