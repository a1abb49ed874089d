'use strict';
// One world for the whole launcher, driven from its page: the real app/main.js under the
// Electron stand-in, loaded from a copy laid out as the bootstrapper installs it
// (<runtime>/resources/app), the real page in headless Chromium talking to that main process,
// every outside service on loopback worlds, the fake java as server and game, and the Windows
// tool stand-ins on the search path, unpacking for real. With QUORLIN_DEMO_DIR set, every `shot` keeps a picture
// of the page there and waits QUORLIN_DEMO_PAUSE_MS so a person can follow.
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const electron = require('electron');
const { launchBrowser, openPage, ROOT } = require('../ui/harness');
const { startMojangWorld } = require('../support/mojang-world');
const { startSigninWorld } = require('../support/signin-world');
const { PATHS, loaderList, installerList, serveModrinth } = require('../support/fabric-world');
const { makeZip } = require('../support/zip');
const { standInTools } = require('../support/bin');

const FAKE_JAVA = path.join(ROOT, 'test', 'support', 'fake-java', 'java');
// the fake java answers -version with this captured text
const JAVA_VERSION_TEXT = path.join(ROOT, '..', 'shared', 'realdata', 'java-version', 'captured',
  'temurin-25-jdk-amd64.version.stderr.txt');
const NO_REALDATA = !fs.existsSync(JAVA_VERSION_TEXT) && `real java -version text not found at ${JAVA_VERSION_TEXT}`;
const JRE_ASSET = '/github/OpenJDK25U-jre_x64_windows_hotspot_25.0.1_8.zip';
const JRE_DIR = 'jdk-25.0.1+8-jre';
const INSTALLER = '1.1.0';
const MODS = { 'fabric-api': 'fabric-api-0.141.0+26.3.jar', sodium: 'sodium-fabric-0.7.0+mc26.3.jar', lithium: 'lithium-fabric-0.18.0+mc26.3.jar' };
const DEMO_DIR = process.env.QUORLIN_DEMO_DIR || '';
const DEMO_PAUSE_MS = Number(process.env.QUORLIN_DEMO_PAUSE_MS || 1500);

function freePort() {
  return new Promise((resolve) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

async function until(check, what, ms = 20000) {
  const end = Date.now() + ms;
  while (!check()) {
    if (Date.now() > end) throw new Error(`gave up waiting for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

/** Serves Fabric's, Modrinth's and Adoptium's answers on the Mojang world, so one host plays them all. */
function serveProvisioning(mw, loader) {
  const w = mw.world;
  w.route(PATHS.loaders, { body: loaderList([['0.19.99-beta', false], [loader, true]]) });
  w.route(PATHS.installers, { body: installerList([[INSTALLER, true]]) });
  w.route(`/v2/versions/loader/26.3/${loader}/${INSTALLER}/server/jar`, { body: 'fabric server launcher' });
  for (const [slug, filename] of Object.entries(MODS)) serveModrinth(w, slug, [{ filename, primary: true }]);
  // the JRE: a small program that hands every call to the fake java
  const java = `#!/bin/sh\nexec '${process.execPath}' '${FAKE_JAVA}' "$@"\n`;
  const jre = makeZip([{ name: `${JRE_DIR}/` }, { name: `${JRE_DIR}/bin/` }, { name: `${JRE_DIR}/bin/java`, data: java },
    { name: `${JRE_DIR}/release`, data: 'JAVA_VERSION="25.0.1"\n' }]);
  w.route(PATHS.jre, { redirect: JRE_ASSET, status: 307 }).route(JRE_ASSET, { body: jre });
}

async function openWorld() {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-e2e-'));
  const dirs = Object.fromEntries(['tmp', 'Roaming'].map((d) => [d, path.join(root, d)]));
  for (const dir of Object.values(dirs)) fs.mkdirSync(dir);
  const runtime = path.join(root, 'runtime');
  const appDir = path.join(runtime, 'resources', 'app');
  fs.cpSync(path.join(ROOT, 'app'), appDir, { recursive: true });
  const tools = standInTools();
  // the official launcher's tools are not there, as on this host: it is neither running nor found
  const officialTools = ['tasklist', 'taskkill', 'winget', 'msiexec.exe', 'explorer.exe'];
  tools.plan({ tar: { unpack: true }, 'powershell.exe': { unpack: true } }, { missing: officialTools });

  const [mw, sw, browser, port] = await Promise.all([startMojangWorld({ assets: 24 }), startSigninWorld(), launchBrowser(), freePort()]);
  const loader = mw.fabric.id.split('-')[2];
  serveProvisioning(mw, loader);

  const record = path.join(root, 'java-record.jsonl');
  const saved = { ...process.env };
  // the update service is the Mojang world too, and publishes nothing
  Object.assign(process.env, { PATH: `${tools.bin}${path.delimiter}${process.env.PATH}`, TMPDIR: dirs.tmp, APPDATA: dirs.Roaming,
    QUORLIN_API: mw.world.url, QUORLIN_EXE: path.join(runtime, 'Quorlin.exe'), QUORLIN_TOOL_PLAN: tools.env.QUORLIN_TOOL_PLAN,
    QUORLIN_TOOL_LOG: tools.env.QUORLIN_TOOL_LOG, FAKE_JAVA_RECORD: record,
    FAKE_JAVA_PLAN: JSON.stringify({ joins: ['Steve'], joinAfterGame: true, gameExitMs: null }) });

  const shots = [];
  if (DEMO_DIR) fs.mkdirSync(DEMO_DIR, { recursive: true });
  const world = {
    dirs, runtime, appDir, sw, loader, tools, ui: null, answers: [], app: null,

    /**
     * Starts the launcher afresh as the bootstrapper would: main.js loaded anew from the
     * runtime copy, the services pointed at the worlds, Electron ready; `env` is added to the
     * process's. Returns main.js's `ctx` and `services` and the stand-in's `testing`.
     */
    start({ env = {} } = {}) {
      electron.testing.reset({ packaged: true });
      for (const key of Object.keys(require.cache)) if (key.startsWith(appDir + path.sep)) delete require.cache[key];
      delete process.env.QUORLIN_SELFTEST;
      Object.assign(process.env, env);
      const { ctx, services } = require(path.join(appDir, 'main.js'));
      mw.useAsEndpoints(ctx.endpoints);
      sw.useAsEndpoints(ctx.endpoints);
      Object.assign(ctx.endpoints, { modrinth: mw.world.url, adoptium: mw.world.url });
      Object.assign(require(path.join(appDir, 'server.js')).limits, { port, pollMs: 50 });
      // the run's results must not depend on this machine's free memory
      services.freeMemory = () => 64 * 1024 ** 3;
      world.app = { ctx, services, testing: electron.testing };
      electron.testing.setReady();
      return world.app;
    },

    /** Waits for the main window, then opens the page in Chromium with its bridge to the main process. */
    async openPage() {
      const { ctx, testing } = world.app;
      await until(() => ctx.page.window() && ctx.page.window().isVisible(), 'the main window');
      world.answers = [];
      // the page takes events in the order they were sent (one evaluation after the other);
      // an answer waits for the events sent before it, as on Electron's single channel
      let delivered = Promise.resolve();
      const main = async (channel, args) => {
        const answer = await electron.ipcRenderer.invoke(channel, ...args);
        world.answers.push([channel, answer]);
        await testing.flush();
        await delivered;
        return answer;
      };
      const ui = await openPage(browser, { main });
      ui.page.context().setDefaultTimeout(20000);
      ui.page.on('dialog', (dialog) => dialog.accept());
      testing.remotePage = (channel, payload) => { delivered = ui.emit(channel, payload).catch(() => {}); };
      world.ui = ui;
      return ui;
    },

    /** The answers the main process gave to the page's requests on `channel`. */
    answered: (channel) => world.answers.filter(([c]) => c === channel).map(([, answer]) => answer),
    /** The fake java's record: its starts ({ args, cwd, pid }) and the console lines it read ({ input }). */
    javaRecord: () => (fs.existsSync(record) ? fs.readFileSync(record, 'utf8').split('\n').filter(Boolean).map((l) => JSON.parse(l)) : []),

    /** In a demo, a picture of the page under `caption`, then a pause; otherwise nothing. */
    async shot(caption) {
      if (!DEMO_DIR) return;
      const file = `${String(shots.length + 1).padStart(2, '0')}.png`;
      await world.ui.page.screenshot({ path: path.join(DEMO_DIR, file) });
      shots.push({ file, caption });
      console.log(`demo: ${caption}`);
      await new Promise((resolve) => setTimeout(resolve, DEMO_PAUSE_MS));
    },

    /** In a demo, keeps `content` (text or bytes) as the file `name` beside the pictures. */
    keep(name, content) { if (DEMO_DIR) fs.writeFileSync(path.join(DEMO_DIR, name), content); },

    /** Stops what is still running, writes the demo's index and removes the world. */
    async finish() {
      // a game or server that is still up: each by its own process id
      for (const { pid } of world.javaRecord().filter((e) => e.pid)) {
        try { process.kill(pid); } catch { /* already gone */ }
      }
      if (world.ui) await world.ui.close();
      await Promise.all([browser.close(), mw.close(), sw.close()]);
      for (const key of Object.keys(process.env)) if (!(key in saved)) delete process.env[key];
      Object.assign(process.env, saved);
      if (DEMO_DIR) writeIndex(shots);
      fs.rmSync(root, { recursive: true, force: true });
      tools.remove();
    },
  };
  return world;
}

const escapeHtml = (text) => String(text).replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);

// The demo's index: the pictures with their captions, then the diagnostic run's output and picture.
function writeIndex(shots) {
  const kept = (name) => path.join(DEMO_DIR, name);
  const output = fs.existsSync(kept('selftest.txt')) ? fs.readFileSync(kept('selftest.txt'), 'utf8') : '';
  const parts = shots.map(({ file, caption }, i) => `<figure><figcaption>${i + 1}. ${escapeHtml(caption)}</figcaption><img src="${file}" alt=""></figure>`);
  parts.push(`<h2>QUORLIN_SELFTEST</h2><pre>${escapeHtml(output)}</pre>`);
  if (fs.existsSync(kept('selftest.png'))) parts.push('<figure><figcaption>The diagnostic run\'s picture</figcaption><img src="selftest.png" alt=""></figure>');
  fs.writeFileSync(kept('index.html'), `<!doctype html>
<html lang="tr"><head><meta charset="utf-8"><title>Quorlin — uçtan uca</title>
<style>body{font:15px system-ui,sans-serif;background:#15161c;color:#e9eaf0;margin:24px}figure{margin:0 0 32px}img{max-width:100%}
pre{background:#0b0c10;padding:12px;white-space:pre-wrap}</style></head><body><h1>Quorlin — first start to the diagnostic run</h1>
${parts.join('\n')}
</body></html>
`);
}

module.exports = { openWorld, until, NO_REALDATA, JRE_DIR, MODS };
