'use strict';
// Mojang's rule format and Maven coordinates, shared by the installation and the launch.

const { isPlainName } = require('../core/names');

/** "windows", "osx" or "linux" for a Node platform name (default: this computer's). */
function osName(platform = process.platform) {
  if (platform === 'win32') return 'windows';
  if (platform === 'darwin') return 'osx';
  return 'linux';
}

/** Processor name as version files spell it (default: this computer's). */
function archName(arch = process.arch) {
  if (arch === 'x64') return 'x86_64';
  if (arch === 'arm64') return 'arm64';
  return 'x86';
}

/** The computer the rules are evaluated for: { os, arch }. */
function currentSystem() {
  return { os: osName(), arch: archName() };
}

function ruleMatches(rule, features, system) {
  const os = rule.os || {};
  if (os.name !== undefined && os.name !== system.os) return false;
  if (os.arch !== undefined && os.arch !== system.arch) return false;
  for (const [name, wanted] of Object.entries(rule.features || {})) {
    if (Boolean(features[name]) !== Boolean(wanted)) return false;
  }
  // other conditions, such as an OS version range, do not take part
  return true;
}

/**
 * Whether a rule list admits its entry: none or empty admits; otherwise the last matching
 * rule decides and nothing matching means not admitted.
 */
function ruleAllows(rules, features = {}, system = currentSystem()) {
  if (!Array.isArray(rules) || rules.length === 0) return true;
  let allowed = false;
  for (const rule of rules) {
    if (ruleMatches(rule, features, system)) allowed = rule.action === 'allow';
  }
  return allowed;
}

// "group:artifact:version[:classifier]" in pieces; each piece, and each dotted step of the
// group, becomes a folder or a file name, so each must be a plain name.
function coordinate(name) {
  const parts = String(name).split(':');
  const [group, artifact, version, classifier] = parts;
  if (parts.length < 3 || parts.length > 4 || ![...group.split('.'), ...parts.slice(1)].every(isPlainName)) {
    throw new Error('Geçersiz kütüphane adı: ' + name);
  }
  return { group, artifact, version, classifier };
}

/** "group:artifact:version[:classifier]" → "group/as/dirs/artifact/version/artifact-version[-classifier].jar". */
function mavenPath(name) {
  const { group, artifact, version, classifier } = coordinate(name);
  const file = `${artifact}-${version}${classifier ? '-' + classifier : ''}.jar`;
  return `${group.replace(/\./g, '/')}/${artifact}/${version}/${file}`;
}

/** "group:artifact[:classifier]": the same for every version of one library. */
function libKey(name) {
  const { group, artifact, classifier } = coordinate(name);
  return `${group}:${artifact}${classifier ? ':' + classifier : ''}`;
}

module.exports = { currentSystem, ruleAllows, mavenPath, libKey };
