'use strict';
// The list a backup carries of itself: every file's path, size and SHA-1, so a read-back or
// a restore can tell a whole archive from a damaged one. It is the archive's last entry.

const { isPlainObject } = require('../core/files');
const { isPlainName } = require('../core/names');
const { readEntry, corrupt } = require('./zip-read');

const LISTING = 'quorlin-backup.json';
const FORMAT = 1;
const MAX_LISTING = 32 * 1024 * 1024; // bytes
// The user's own server files that a backup holds beside the world folder.
const SERVER_FILES = ['server.properties', 'ops.json', 'whitelist.json', 'banned-players.json', 'banned-ips.json'];

/** The listing's text: { format: 1, level, created (ISO time), files: [{ path, size, sha1 }] }, paths relative to the server folder with "/". */
function listingText(level, created, files) {
  return JSON.stringify({ format: FORMAT, level, created: created.toISOString(), files }, null, 1);
}

function isListedFile(file, level) {
  return isPlainObject(file) && typeof file.path === 'string' && Number.isSafeInteger(file.size) && file.size >= 0
    && typeof file.sha1 === 'string' && /^[0-9a-f]{40}$/.test(file.sha1)
    && (file.path.startsWith(`${level}/`) || SERVER_FILES.includes(file.path));
}

/**
 * Reads the listing of the archive `zip` (from openZip) and checks it against the directory:
 * every entry but the listing is listed once with its size, and nothing listed is missing.
 * Resolves to { level, created (ISO text as written), files: Map(path → { size, sha1, entry }) };
 * throws "Yedek bozuk: …".
 */
async function readListing(zip) {
  const own = zip.entries.filter((e) => e.name === LISTING);
  if (own.length !== 1 || own[0].size > MAX_LISTING) throw corrupt(LISTING);
  const parts = [];
  await readEntry(zip.fh, own[0], (chunk) => { parts.push(Buffer.from(chunk)); });
  let doc;
  try {
    doc = JSON.parse(Buffer.concat(parts).toString('utf8'));
  } catch {
    throw corrupt(LISTING);
  }
  if (!isPlainObject(doc) || doc.format !== FORMAT || !isPlainName(doc.level) || !Array.isArray(doc.files)
    || !doc.files.every((f) => isListedFile(f, doc.level))) throw corrupt(LISTING);
  const files = new Map(doc.files.map((f) => [f.path, { size: f.size, sha1: f.sha1 }]));
  if (files.size !== doc.files.length) throw corrupt(LISTING);
  for (const entry of zip.entries) {
    if (entry.name === LISTING) continue;
    const listed = files.get(entry.name);
    if (!listed || listed.entry || listed.size !== entry.size) throw corrupt(entry.name);
    listed.entry = entry;
  }
  const missing = [...files].find(([, f]) => !f.entry);
  if (missing) throw corrupt(missing[0]);
  return { level: doc.level, created: doc.created, files };
}

module.exports = { LISTING, SERVER_FILES, listingText, readListing };
