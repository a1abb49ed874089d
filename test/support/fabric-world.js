'use strict';
// Answers of Fabric's metadata service and Maven, Modrinth and Adoptium, shaped like the real
// ones, for a loopback world from ./world.js.
const crypto = require('node:crypto');
const { pointEndpoints } = require('./world');

const MC = '26.3';
const PATHS = {
  loaders: `/v2/versions/loader/${MC}`,
  installers: '/v2/versions/installer',
  profile: (loader) => `/v2/versions/loader/${MC}/${loader}/profile/json`,
  maven: '/net/fabricmc/fabric-api/fabric-api/',
  modrinth: (slug) => `/v2/project/${slug}/version`,
  jre: '/v3/binary/latest/25/ga/windows/x64/jre/hotspot/normal/eclipse',
};

/** Points the services at `world`; returns a function that points them back. */
const useWorld = (endpoints, world) => pointEndpoints(endpoints,
  Object.fromEntries(['fabricMeta', 'fabricMaven', 'modrinth', 'adoptium'].map((k) => [k, world.url])));

/** A loader list of the game version, newest first: [[version, stable], …]. */
function loaderList(loaders) {
  return loaders.map(([version, stable], i) => ({
    loader: { separator: '.', build: 40 - i, maven: `net.fabricmc:fabric-loader:${version}`, version, stable },
    intermediary: { maven: `net.fabricmc:intermediary:${MC}`, version: MC, stable: true },
  }));
}

/** The installer list: [[version, stable], …]. */
function installerList(installers) {
  const jar = (v) => `https://maven.fabricmc.net/net/fabricmc/fabric-installer/${v}/fabric-installer-${v}.jar`;
  return installers.map(([version, stable]) => ({ url: jar(version), maven: `net.fabricmc:fabric-installer:${version}`, version, stable }));
}

/** fabric-api's maven-metadata.xml, compact as it is served. */
function mavenMetadata(versions) {
  return '<?xml version="1.0" encoding="UTF-8"?><metadata><groupId>net.fabricmc.fabric-api</groupId><artifactId>fabric-api</artifactId>'
    + `<versioning><latest>${versions.at(-1)}</latest><versions>${versions.map((v) => `<version>${v}</version>`).join('')}</versions>`
    + '<lastUpdated>20260820101500</lastUpdated></versioning></metadata>';
}

/**
 * Routes a Modrinth version list for `slug` holding one version whose `files` are
 * [{ filename, body, primary }], each served from the world's CDN path; returns those paths.
 */
function serveModrinth(world, slug, files) {
  const served = files.map(({ filename, body = `${slug}:${filename}`, primary = false }) => {
    const at = `/data/${slug}/versions/${encodeURIComponent(filename)}`;
    world.route(at, { body });
    const sha1 = crypto.createHash('sha1').update(body).digest('hex');
    return { hashes: { sha1 }, url: `${world.url}${at}`, filename, primary, size: Buffer.byteLength(body), file_type: null };
  });
  world.route(PATHS.modrinth(slug), {
    body: [{ game_versions: [MC], loaders: ['fabric'], version_number: '1.0.0', version_type: 'release', files: served }],
  });
  return served.map((f) => new URL(f.url).pathname);
}

module.exports = { MC, PATHS, useWorld, loaderList, installerList, mavenMetadata, serveModrinth };
