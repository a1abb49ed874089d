'use strict';
// Loopback stand-in for Mojang's version and asset services and Fabric's metadata and Maven on one
// HTTPS world: manifest, version file, libraries, client jar, logging configuration, asset index
// and objects, and a Fabric profile, with real SHA-1s. `template` (a real version file) keeps its
// libraries and arguments, served as files of at most maxLibSize bytes; `libraries` adds { name, size, rules }.

const crypto = require('node:crypto');
const { startWorld, answer, pointEndpoints } = require('./world');

const VERSION = '26.3';
const LOADER = '0.19.3';
const POOL = crypto.randomBytes(1 << 20);
const KNOT = 'net.fabricmc.loader.impl.launch.knot.KnotClient';

// a slice of the pool from the seed's own offset, wrapping round, stamped with the seed
function bytesFor(seed, size) {
  const out = Buffer.allocUnsafe(size);
  for (let at = 0, from = (seed * 7919) % POOL.length; at < size; at += POOL.length - from, from = 0) POOL.copy(out, at, from);
  out.write(`#${seed}#`, 0);
  return out;
}

const sha1 = (b) => crypto.createHash('sha1').update(b).digest('hex');

function mavenPath(name) {
  const [group, artifact, version, classifier] = name.split(':');
  return `${group.replace(/\./g, '/')}/${artifact}/${version}/${artifact}-${version}${classifier ? '-' + classifier : ''}.jar`;
}

// asset sizes spread like a real index: mostly small, some large sounds
function defaultAssetSize(i) {
  const r = ((i * 2654435761) % 1000) / 1000;
  if (r < 0.5) return 500 + Math.floor(r * 40000);
  if (r < 0.9) return 20000 + Math.floor((r - 0.5) * 500000);
  if (r < 0.99) return 220000 + Math.floor((r - 0.9) * 8000000);
  return 1000000 + Math.floor((r - 0.99) * 300000000);
}

const allowOs = (name) => [{ action: 'allow', os: { name } }];

// the arguments of a current version file that a start uses; the rule forms are proven on real files
const VERSION_ARGUMENTS = {
  game: ['--username', '${auth_player_name}', '--version', '${version_name}', '--gameDir', '${game_directory}',
    '--assetsDir', '${assets_root}', '--assetIndex', '${assets_index_name}', '--uuid', '${auth_uuid}',
    '--accessToken', '${auth_access_token}', '--userType', '${user_type}', '--versionType', '${version_type}',
    { rules: [{ action: 'allow', features: { is_quick_play_multiplayer: true } }], value: ['--quickPlayMultiplayer', '${quickPlayMultiplayer}'] }],
  jvm: [{ rules: allowOs('osx'), value: ['-XstartOnFirstThread'] }, '-Djava.library.path=${natives_directory}', '-cp', '${classpath}'],
};

// Vanilla libraries of the synthetic version: a shared one that Fabric replaces, one that
// differs from it only by classifier, natives per system, an old entry without an artifact,
// a rule list that only excludes macOS, and a 1 MiB and a 3 MiB library.
const SYNTHETIC_LIBRARIES = [
  { name: 'org.ow2.asm:asm:9.6', size: 122000 },
  { name: 'org.ow2.asm:asm:9.6:sources', size: 90000 },
  { name: 'com.mojang:brigadier:1.3.10', size: 80082 },
  { name: 'org.lwjgl:lwjgl:3.4.1', size: 800000 },
  { name: 'org.lwjgl:lwjgl:3.4.1:natives-windows', size: 250000, rules: allowOs('windows') },
  { name: 'org.lwjgl:lwjgl:3.4.1:natives-linux', size: 160000, rules: allowOs('linux') },
  { name: 'org.lwjgl:lwjgl:3.4.1:natives-macos', size: 170000, rules: allowOs('osx') },
  { name: 'ca.weblite:java-objc-bridge:1.1', size: 40000, rules: [{ action: 'allow' }, { action: 'disallow', os: { name: 'osx' } }] },
  { name: 'org.lwjgl.lwjgl:lwjgl-platform:2.9.4-nightly-20150209', noArtifact: true },
  { name: 'com.example:one-mib:1.0', size: 1024 * 1024 },
  { name: 'com.example:three-mib:1.0', size: 3 * 1024 * 1024 },
];

async function startMojangWorld(options = {}) {
  const { assets = 300, assetSizes = null, clientSize = 2 * 1024 * 1024 + 4096,
    libraries = [], template = null, maxLibSize = 64 * 1024, latency = 0 } = options;
  const world = await startWorld({ https: true, latency });
  const base = world.url;
  const served = new Map();
  const handlers = new Map();
  let seed = 1;

  // `where` is the path, or a function of the SHA-1 giving it (asset objects are named by it)
  function serve(where, size) {
    const s = seed++;
    const digest = sha1(bytesFor(s, size));
    const urlPath = typeof where === 'function' ? where(digest) : where;
    served.set(urlPath, { seed: s, size, sha1: digest });
    // made at each request, so a world of thousands of files holds none of them
    handlers.set(urlPath, (req, res) => answer(res, { body: bytesFor(s, size) }));
    world.route(urlPath, handlers.get(urlPath));
    return { url: base + urlPath, sha1: digest, size };
  }

  function serveJson(urlPath, doc) {
    const bytes = Buffer.from(JSON.stringify(doc));
    handlers.set(urlPath, { body: bytes, headers: { 'Content-Type': 'application/json' } });
    world.route(urlPath, handlers.get(urlPath));
    return { url: base + urlPath, sha1: sha1(bytes), size: bytes.length };
  }

  const artifactAt = (p, size) => ({ path: p, ...serve('/libraries/' + p, size) });
  const vanillaLibraries = template
    ? template.libraries.map((lib) => {
      const real = lib.downloads && lib.downloads.artifact;
      return real ? { ...lib, downloads: { ...lib.downloads, artifact: artifactAt(real.path, Math.min(real.size, maxLibSize)) } } : lib;
    })
    : [...SYNTHETIC_LIBRARIES, ...libraries].map((l) => (l.noArtifact
      ? { name: l.name, downloads: { classifiers: {} }, natives: { windows: 'natives-windows' } }
      : { name: l.name, downloads: { artifact: artifactAt(mavenPath(l.name), l.size) }, ...(l.rules ? { rules: l.rules } : {}) }));

  const objects = {};
  for (let i = 0; i < assets; i++) {
    const size = assetSizes ? assetSizes[i % assetSizes.length] : defaultAssetSize(i);
    const { sha1: digest } = serve((h) => `/res/${h.slice(0, 2)}/${h}`, size);
    objects[`minecraft/sounds/generated/${i}.ogg`] = { hash: digest, size };
  }
  const firstHash = Object.values(objects)[0];
  if (firstHash) objects['minecraft/sounds/generated/again.ogg'] = { ...firstHash };
  const index = { objects };
  const indexId = template ? template.assetIndex.id : '29';
  const assetIndex = { id: indexId, ...serveJson(`/v1/packages/index/${indexId}.json`, index), totalSize: 0 };

  const logFile = { id: 'client-1.21.2.xml', ...serve('/v1/objects/log/client-1.21.2.xml', 1073) };
  const vanilla = {
    arguments: template ? template.arguments : VERSION_ARGUMENTS, assetIndex, assets: indexId,
    downloads: { client: serve('/v1/objects/client/client.jar', clientSize) }, id: VERSION,
    javaVersion: { component: 'java-runtime-epsilon', majorVersion: 25 }, libraries: vanillaLibraries,
    logging: { client: { argument: '-Dlog4j.configurationFile=${path}', file: logFile, type: 'log4j2-xml' } },
    mainClass: 'net.minecraft.client.main.Main', type: 'release',
  };
  const versionEntry = serveJson(`/v1/packages/version/${VERSION}.json`, vanilla);
  serveJson('/mc/game/version_manifest_v2.json', {
    latest: { release: VERSION, snapshot: VERSION },
    versions: [
      { id: '26.3-snapshot-9', type: 'snapshot', url: base + '/v1/packages/version/26.3-snapshot-9.json' },
      { id: VERSION, type: 'release', url: versionEntry.url, sha1: versionEntry.sha1, complianceLevel: 1 },
    ],
  });

  // the first two carry their hash and size; the others only a Maven base without a slash
  const fabricLib = (name, size, bare) => {
    const { sha1: digest } = serve('/maven/' + mavenPath(name), size);
    return bare ? { name, url: base + '/maven' } : { name, url: base + '/maven/', sha1: digest, size };
  };
  const fabric = {
    id: `fabric-loader-${LOADER}-${VERSION}`, inheritsFrom: VERSION, mainClass: KNOT,
    arguments: { game: [], jvm: ['-DFabricMcEmu= net.minecraft.client.main.Main '] },
    libraries: [
      fabricLib('org.ow2.asm:asm:9.8', 126113),
      fabricLib('net.fabricmc:sponge-mixin:0.15.5+mixin.0.8.7', 150000),
      fabricLib(`net.fabricmc:intermediary:${VERSION}`, 30000, true),
      fabricLib(`net.fabricmc:fabric-loader:${LOADER}`, 200000, true),
    ],
    type: 'release',
  };
  const profilePath = `/v2/versions/loader/${VERSION}/${LOADER}/profile/json`;
  serveJson(profilePath, fabric);

  return {
    world, vanilla, fabric, index, profileUrl: base + profilePath,
    files: [...served].map(([p, f]) => ({ path: p, size: f.size, sha1: f.sha1 })),
    bytes: (urlPath) => bytesFor(served.get(urlPath).seed, served.get(urlPath).size),
    useAsEndpoints: (endpoints) => pointEndpoints(endpoints, {
      mojangMeta: base, mojangResources: base + '/res', fabricMeta: base, fabricMaven: base + '/maven',
    }),
    restore: (urlPath) => world.route(urlPath, handlers.get(urlPath)),
    clearRequests: () => { world.requests.length = 0; world.peak = world.active; },
    close: () => world.close(),
  };
}

module.exports = { startMojangWorld };
