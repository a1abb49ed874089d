'use strict';
// The update manifest's signature. A build that carries the publisher's Ed25519 public key
// (build-info.json's updateKey) uses a manifest only when its field `sig` verifies over a fixed
// text made of the six fields the launcher reads, never over the JSON as sent:
//
//   quorlin-manifest-1
//   launcher.version=<value>
//   launcher.url=<value>
//   launcher.sha256=<value>
//   mod.version=<value>
//   mod.url=<value>
//   mod.sha256=<value>
//
// lines joined with "\n" and ending with "\n", in UTF-8; <value> is the manifest's string as it
// is, empty when the field is absent or not a string. A value holding "\r" or "\n" cannot be
// signed (such a manifest is refused). `sig` is the standard base64, with padding, of the
// 64-byte signature. Launchers without a key ignore `sig` like any other field.
const crypto = require('node:crypto');
const { isPlainObject } = require('../core/files');

const ENTRIES = ['launcher', 'mod'];
const FIELDS = ['version', 'url', 'sha256'];
// 64 bytes in standard base64: 86 characters and two of padding
const SIGNATURE = /^[A-Za-z0-9+/]{86}==$/;

// Manifests whose signature verified, as signedManifest made them.
const signed = new WeakSet();

// The string at man[entry][field]; '' when it is absent or not a string.
function valueOf(man, entry, field) {
  const holder = isPlainObject(man) && isPlainObject(man[entry]) ? man[entry] : {};
  return typeof holder[field] === 'string' ? holder[field] : '';
}

/** The text the signature of `man` covers (see the top of this file), or null when a value holds a line break. */
function signedText(man) {
  const lines = ['quorlin-manifest-1'];
  for (const entry of ENTRIES) {
    for (const field of FIELDS) {
      const value = valueOf(man, entry, field);
      if (/[\r\n]/.test(value)) return null;
      lines.push(`${entry}.${field}=${value}`);
    }
  }
  return `${lines.join('\n')}\n`;
}

/**
 * The manifest `man` as far as its signature vouches for it, when `sig` verifies with the
 * public key `keyPem` (PEM, SPKI): a new object holding only the six signed values, in the
 * manifest's shape ({ launcher: { version, url, sha256 }, mod: { … } }). Otherwise null: no
 * `sig`, a signature that does not verify, a value that cannot be signed, or a key that is
 * not an Ed25519 public key.
 */
function signedManifest(man, keyPem) {
  const text = signedText(man);
  const sig = isPlainObject(man) ? man.sig : undefined;
  if (text === null || typeof sig !== 'string' || !SIGNATURE.test(sig)) return null;
  try {
    const key = crypto.createPublicKey(keyPem);
    if (key.asymmetricKeyType !== 'ed25519') return null;
    if (!crypto.verify(null, Buffer.from(text, 'utf8'), key, Buffer.from(sig, 'base64'))) return null;
  } catch {
    return null;
  }
  const entryOf = (entry) => Object.fromEntries(FIELDS.map((field) => [field, valueOf(man, entry, field)]));
  const result = Object.fromEntries(ENTRIES.map((entry) => [entry, entryOf(entry)]));
  signed.add(result);
  return result;
}

/** Whether `man` came out of signedManifest: every file it publishes must then match its digest. */
function isSigned(man) {
  return signed.has(man);
}

module.exports = { signedText, signedManifest, isSigned };
