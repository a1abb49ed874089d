'use strict';
// Values that the bootstrapper's build writes into the packed application as build-info.json
// beside main.js: {"clientId":"…","updateApi":"…","updateKey":"…"}, updateKey being the PEM text
// of the Ed25519 public key that update manifests must be signed with. A source checkout has no
// such file.
const fs = require('node:fs');
const path = require('node:path');

// A build without an update service must never talk to somebody else's host: this name is
// reserved and never resolves.
const UNSET_UPDATE_API = 'https://updates.quorlin.invalid';

/** Reads build-info.json from `dir`; missing or unreadable parts fall back to "" and the unset update address. */
function readBuildInfo(dir = path.join(__dirname, '..')) {
  let info = {};
  try {
    info = JSON.parse(fs.readFileSync(path.join(dir, 'build-info.json'), 'utf8'));
  } catch {
    // no build values: a source checkout or a build that carried none
  }
  const text = (value) => (typeof value === 'string' ? value.trim() : '');
  return {
    clientId: text(info && info.clientId),
    updateApi: text(info && info.updateApi) || UNSET_UPDATE_API,
    updateKey: text(info && info.updateKey),
  };
}

module.exports = { readBuildInfo, UNSET_UPDATE_API };
