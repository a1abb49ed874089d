'use strict';
// What a backup holds: the world folder that server.properties names and the user's own
// server files; and whether the disk has room for it.

const fsp = require('node:fs/promises');
const path = require('node:path');
const { plainName } = require('../core/names');
const { SERVER_FILES } = require('./listing');

// The running server holds it locked; it is made anew at every start.
const SESSION_LOCK = 'session.lock';

// The text of a properties file's key or value, its escapes resolved (\uXXXX, \t, \:, …).
function unescapeProperty(text) {
  return text.replace(/\\(u[0-9a-fA-F]{4}|[\s\S])/g, (_, e) => (e.length > 1
    ? String.fromCharCode(parseInt(e.slice(1), 16))
    : { t: '\t', n: '\n', r: '\r', f: '\f' }[e] ?? e));
}

// The value of `key` in the text of a properties file, undefined when it is not there.
function propertyValue(text, key) {
  for (const raw of text.split(/\r\n|\r|\n/)) {
    const line = raw.replace(/^[\uFEFF \t\f]+/, ''); // a byte-order mark some editors put first
    if (line === '' || line[0] === '#' || line[0] === '!') continue;
    const [, name, value] = /^((?:\\[\s\S]|[^\\=: \t\f])*)[ \t\f]*[=:]?[ \t\f]*([\s\S]*)$/.exec(line);
    if (unescapeProperty(name) === key) return unescapeProperty(value);
  }
  return undefined;
}

/**
 * The world's folder name: `level-name` in `serverDir`'s server.properties, "world" when the
 * file or the key is missing. The name comes from disk: one that is not a plain folder name
 * (separators, "..") is refused before it becomes a path.
 */
async function levelName(serverDir) {
  const text = await fsp.readFile(path.join(serverDir, 'server.properties'), 'utf8').catch((err) => {
    if (err.code === 'ENOENT') return '';
    throw unreadable('server.properties', err);
  });
  return plainName(propertyValue(text, 'level-name') ?? 'world', 'dünya adı');
}

function isDirectory(dir) {
  return fsp.stat(dir).then((s) => s.isDirectory(), () => false);
}

function unreadable(rel, err) {
  return new Error(`${rel} okunamadı (${err.code || err.message})`);
}

// Every file under `dir` (its path relative to the server folder is `rel`), sorted by name.
async function walk(dir, rel, out) {
  const items = await fsp.readdir(dir, { withFileTypes: true }).catch((err) => { throw unreadable(rel, err); });
  items.sort((a, b) => (a.name < b.name ? -1 : a.name > b.name ? 1 : 0));
  for (const item of items) {
    const file = path.join(dir, item.name);
    const itemRel = `${rel}/${item.name}`;
    if (item.isDirectory()) {
      await walk(file, itemRel, out);
      continue;
    }
    // links and other odd entries count when they lead to a file; nothing is left out unsaid
    const stat = await fsp.stat(file).catch((err) => { throw unreadable(itemRel, err); });
    if (!stat.isFile()) throw unreadable(itemRel, { code: 'dosya değil' });
    out.push({ path: itemRel, file, size: stat.size, mtime: stat.mtime });
  }
}

/**
 * The files a backup of `level` holds: [{ path, file, size, mtime }], `path` relative to
 * `serverDir` with "/". The world folder without its session.lock, then the server files
 * that exist. Throws a Turkish text when the world is missing or a file cannot be read.
 */
async function worldFiles(serverDir, level) {
  const world = path.join(serverDir, level);
  if (!(await isDirectory(world))) throw new Error(`"${level}" dünyası bulunamadı`);
  const files = [];
  await walk(world, level, files);
  const kept = files.filter((f) => f.path !== `${level}/${SESSION_LOCK}`);
  for (const name of SERVER_FILES) {
    const file = path.join(serverDir, name);
    const stat = await fsp.stat(file).catch((err) => {
      if (err.code === 'ENOENT') return null;
      throw unreadable(name, err);
    });
    if (stat) kept.push({ path: name, file, size: stat.size, mtime: stat.mtime });
  }
  return kept;
}

module.exports = { levelName, isDirectory, worldFiles, unreadable };
