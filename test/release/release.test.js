'use strict';
// `make release` with throwaway keys into a temporary folder, then a launcher of the previous
// version, built with the same key, updating from that release through a loopback update service.
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync, spawnSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { startWorld, pointEndpoints } = require('../support/world');
const { standInTools } = require('../support/bin');
const { testContext } = require('../support/context');
const endpoints = require('../../app/core/endpoints');
const { download } = require('../../app/core/http');
const { APP_VERSION, MOD_VERSION } = require('../../app/core/layout');
const { createUpdates, resolveMod } = require('../../app/update/mod');
const { maybeUpdateLauncher } = require('../../app/update/launcher');

const REPO = path.resolve(__dirname, '..', '..');
const CARRIED_JAR = path.join(REPO, 'app', 'assets', 'brimlox-1.0.0.jar');
const PREVIOUS = '1.0.25';
const FILES = { manifest: 'manifest.json', package: `app-${APP_VERSION}.zip`, mod: `brimlox-${MOD_VERSION}.jar` };

let top, keys, out, world, tools, undoEndpoints;
const saved = { ...process.env };

/** The files under dir by relative name with their SHA-256. */
function hashedTree(dir) {
  return Object.fromEntries(fs.readdirSync(dir, { recursive: true }).sort()
    .filter((name) => fs.statSync(path.join(dir, name)).isFile())
    .map((name) => [name, crypto.createHash('sha256').update(fs.readFileSync(path.join(dir, name))).digest('hex')]));
}

function unzip(zip, dir) {
  fs.mkdirSync(dir, { recursive: true });
  execFileSync('unzip', ['-qo', zip, '-d', dir]);
}

before(async () => {
  top = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-release-'));
  [keys, out] = [path.join(top, 'keys'), path.join(top, 'release')];
  execFileSync(path.join(__dirname, 'make-keys.sh'), [keys]);
  world = await startWorld({ https: true });
  const made = spawnSync('make', ['release', `QUORLIN_SIGNING_KEY=${keys}/signing.pem`, `QUORLIN_CODESIGN_CERT=${keys}/codesign.pem`,
    `QUORLIN_CODESIGN_KEY=${keys}/codesign.key`, `QUORLIN_RELEASE_DIR=${out}`, `QUORLIN_RELEASE_URL=${world.url}/release/`],
  { cwd: REPO, encoding: 'utf8' });
  assert.equal(made.status, 0, made.stdout + made.stderr);
  // the launcher's tools: PowerShell unpacks, cmd.exe starts the swap script
  tools = standInTools();
  tools.plan({ 'powershell.exe': { unpack: true } });
  Object.assign(process.env, { PATH: `${tools.bin}${path.delimiter}${process.env.PATH}`,
    QUORLIN_TOOL_PLAN: tools.env.QUORLIN_TOOL_PLAN, QUORLIN_TOOL_LOG: tools.env.QUORLIN_TOOL_LOG });
  undoEndpoints = pointEndpoints(endpoints, { updateService: world.url });
});

after(async () => {
  if (undoEndpoints) undoEndpoints();
  Object.assign(process.env, saved);
  if (tools) tools.remove();
  if (world) await world.close();
  fs.rmSync(top, { recursive: true, force: true });
});

test('make release writes the signed executable carrying the package, the mod and the manifest; never without its key', () => {
  assert.deepEqual(fs.readdirSync(out).sort(), ['Quorlin.exe', FILES.package, FILES.mod, FILES.manifest].sort());
  execFileSync('osslsigncode', ['verify', '-CAfile', path.join(keys, 'root.pem'), '-in', path.join(out, 'Quorlin.exe')], { stdio: 'pipe' });
  const pkg = fs.readFileSync(path.join(out, FILES.package));
  assert.ok(fs.readFileSync(path.join(out, 'Quorlin.exe')).includes(pkg), 'the package is the very archive the executable carries');
  const publicKey = crypto.createPublicKey(fs.readFileSync(path.join(keys, 'signing.pem'))).export({ type: 'spki', format: 'pem' });
  const info = JSON.parse(execFileSync('unzip', ['-p', path.join(out, FILES.package), 'build-info.json'], { encoding: 'utf8' }));
  assert.equal(info.updateKey, publicKey.trim());
  assert.deepEqual(fs.readFileSync(path.join(out, FILES.mod)), fs.readFileSync(CARRIED_JAR));

  const unset = spawnSync('make', ['release', 'QUORLIN_SIGNING_KEY=', `QUORLIN_RELEASE_DIR=${top}/none`], { cwd: REPO, encoding: 'utf8' });
  assert.notEqual(unset.status, 0);
  assert.match(unset.stderr, /make release needs QUORLIN_SIGNING_KEY=/);
  assert.equal(fs.existsSync(path.join(top, 'none')), false);
});

test('a launcher of the previous version stages the release and takes its mod; one flipped byte in any file is refused', async () => {
  // the launcher's application as the release's build packed it: its build-info.json holds the key
  const appDir = path.join(top, 'app');
  unzip(path.join(out, FILES.package), appDir);
  const release = Object.fromEntries(Object.entries(FILES).map(([name, file]) => [name, fs.readFileSync(path.join(out, file))]));
  const flipped = (data, at) => Buffer.from(data).fill(data[at] ^ 0x01, at, at + 1);
  // a digit of the package's digest: the manifest still reads as JSON
  const digestAt = release.manifest.indexOf(JSON.parse(release.manifest).launcher.sha256) + 10;

  // [the file served with a flipped byte, staged, the mod used, the log]
  for (const [spoiled, staged, modUsed, logged] of [
    [null, true, 'cached', [`[Quorlin] Launcher güncellemesi hazır (${APP_VERSION}). Yeniden başlatılıyor…`, `[Quorlin] Mod güncellendi → ${MOD_VERSION}`]],
    ['manifest', false, 'carried', ['[Quorlin] HATA: güncelleme bildiriminin imzası geçersiz, güncelleme atlandı.']],
    ['package', false, 'cached', ['[Quorlin] Launcher güncellemesi atlandı: dosya özeti uyuşmadı', `[Quorlin] Mod güncellendi → ${MOD_VERSION}`]],
    ['mod', true, 'carried', [`[Quorlin] Launcher güncellemesi hazır (${APP_VERSION}). Yeniden başlatılıyor…`, '[Quorlin] Mod güncellemesi atlandı: mod dosya özeti uyuşmadı']],
  ]) {
    const served = { ...release, ...(spoiled && { [spoiled]: flipped(release[spoiled], spoiled === 'manifest' ? digestAt : release[spoiled].length >> 1) }) };
    world.reset();
    world.route('/api/manifest.php', { body: served.manifest })
      .route(`/release/${FILES.package}`, { body: served.package }).route(`/release/${FILES.mod}`, { body: served.mod });
    const ctx = testContext({ dir: fs.mkdtempSync(path.join(top, 'user-')), appDir });
    const resources = path.join(ctx.paths.BASE, 'runtime', 'resources');
    const { CACHE_DIR: cacheDir } = ctx.paths;

    const man = await createUpdates(ctx).manifest();
    const result = await maybeUpdateLauncher({ man, currentVersion: PREVIOUS, cacheDir, appDir: path.join(resources, 'app'),
      runtimeResources: resources, download, relaunchExe: '', log: ctx.log, tmpDir: path.join(top, 'tmp') });
    const jar = await resolveMod({ man, cacheDir, bundledJar: ctx.paths.CARRIED_MOD_JAR, bundledVersion: PREVIOUS, download, log: ctx.log });

    const stage = path.join(resources, 'app.new');
    assert.deepEqual([result, fs.existsSync(stage), jar, ctx.lines], [staged, staged,
      modUsed === 'cached' ? path.join(cacheDir, FILES.mod) : ctx.paths.CARRIED_MOD_JAR, logged], spoiled || 'the release as made');
    // what is kept in the cache is exactly what was published, and nothing that did not verify
    const kept = fs.existsSync(cacheDir) ? fs.readdirSync(cacheDir).sort() : [];
    assert.deepEqual(kept, [FILES.package, FILES.mod].filter((name) => (name === FILES.mod ? modUsed === 'cached' : staged)), spoiled);
    for (const name of kept) assert.deepEqual(fs.readFileSync(path.join(cacheDir, name)), release[name === FILES.mod ? 'mod' : 'package']);
    if (staged) assert.deepEqual(hashedTree(stage), hashedTree(appDir));
  }
});
