'use strict';
// The account file: the account record as compact JSON, encrypted with Electron's
// safeStorage when encryption is available, plain UTF-8 otherwise.

const fs = require('node:fs');
const { writeFileAtomic } = require('../core/files');

function canEncrypt(safe) {
  return Boolean(safe) && safe.isEncryptionAvailable() === true;
}

function isRecord(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value)
    && typeof value.name === 'string' && typeof value.uuid === 'string';
}

/**
 * Reads the account record from `file`; null for a missing, undecryptable or unparseable
 * file, or one that holds no account record. The file itself is never touched here.
 */
function readAccount(file, safe) {
  try {
    const bytes = fs.readFileSync(file);
    // A file written in the other mode fails here (decryption of plain text, or JSON
    // parsing of cipher bytes) and so reads as signed out.
    const text = canEncrypt(safe) ? safe.decryptString(bytes) : bytes.toString('utf8');
    const value = JSON.parse(text);
    return isRecord(value) ? value : null;
  } catch {
    return null;
  }
}

function failure(err) {
  return new Error('Hesap dosyası yazılamadı: ' + err.message);
}

/**
 * Writes `record` to `file`, or deletes the file when `record` is null (a missing file is
 * fine). The new content goes to a side file that is flushed and then renamed over the old
 * one, so a crash mid-write leaves either the old account or the new one, never a torn file.
 */
function writeAccount(file, safe, record) {
  try {
    if (record === null) {
      fs.rmSync(file, { force: true });
      return;
    }
    const text = JSON.stringify(record);
    writeFileAtomic(file, canEncrypt(safe) ? safe.encryptString(text) : Buffer.from(text, 'utf8'));
  } catch (err) {
    throw failure(err);
  }
}

module.exports = { readAccount, writeAccount };
