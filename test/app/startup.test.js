'use strict';
const { test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const electron = require('electron');
const { APP_DIR, testContext } = require('../support/context');
const { fakeServices } = require('../support/launcher');
const { startUp, ensureShortcut } = require('../../app/startup');

let appData;
beforeEach(() => { appData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-startup-')); });
afterEach(() => fs.rmSync(appData, { recursive: true, force: true }));

const UPDATE = { launcher: { version: '1.0.27', url: 'http://x/app.zip' } };

// A start-up over a fresh context and `services`; `options` go to startUp (a Linux start by default).
function start(services, options = {}) {
  electron.testing.reset({ ready: true, packaged: true });
  const ctx = testContext({ dir: appData });
  return { ctx, done: startUp(ctx, services, electron, { env: {}, platform: 'linux', ...options }) };
}

test('the window waits for the manifest only up to its answer or 6 s; a later manifest is discarded', { timeout: 5000 }, async (t) => {
  t.mock.timers.enable({ apis: ['setTimeout'] });
  let deliver;
  const cases = [null, () => Promise.reject(new Error('ECONNREFUSED')), () => new Promise((resolve) => { deliver = resolve; })];
  for (const manifest of cases) {
    const services = fakeServices({ manifest });
    const { done } = start(services);
    const { testing } = electron;
    await testing.flush();
    if (deliver) {
      t.mock.timers.tick(5999);
      await testing.flush();
      assert.equal(testing.windows.length, 0);
      t.mock.timers.tick(1);
    }
    await done;
    deliver?.(UPDATE);
    await testing.flush();
    // the window shown settles what an update left
    assert.deepEqual([testing.windows.length, services.calls.map((c) => c[0])], [1, ['manifest', 'settleUpdate']]);
  }
});

test('an update under way ends the process before any window, after the account object exists', async () => {
  let authFirst;
  const services = fakeServices({ manifest: () => { authFirst = ctx.auth !== null; return UPDATE; }, maybeUpdateLauncher: true });
  const { ctx, done } = start(services, { env: { QUORLIN_EXE: 'C:\\R\\Quorlin.exe' } });
  await done;
  const [, { man, currentVersion, cacheDir, appDir, runtimeResources, download, relaunchExe }] = services.calls
    .find((c) => c[0] === 'maybeUpdateLauncher');
  assert.deepEqual({ authFirst, exit: electron.testing.calls.exit, windows: electron.testing.windows.length, man, currentVersion },
    { authFirst: true, exit: [0], windows: 0, man: UPDATE, currentVersion: '1.0.26' });
  assert.deepEqual([cacheDir, appDir, runtimeResources, download, relaunchExe],
    [ctx.paths.CACHE_DIR, APP_DIR, path.dirname(APP_DIR), ctx.http.download, 'C:\\R\\Quorlin.exe']);
});

test('a failing update check or account file still opens the window and says why; the shortcut is asked for on Windows', async () => {
  const kaldir = path.join(appData, 'Kaldir.exe');
  fs.writeFileSync(kaldir, '');
  const cases = [
    [{ maybeUpdateLauncher: () => { throw new Error('paket bozuk'); } }, /HATA: Error: paket bozuk/],
    [{ Auth: class { constructor() { throw new Error('hesap bozuk'); } } }, /HATA: Error: hesap bozuk/],
  ];
  for (const [replaced, line] of cases) {
    const services = Object.assign(fakeServices({ manifest: UPDATE }), replaced);
    // an installer beside the bootstrapper makes the shortcut its own: recorded as made, nothing run
    const { ctx, done } = start(services, { platform: 'win32', env: { QUORLIN_BOOT: path.join(appData, 'Quorlin.exe') } });
    await done;
    assert.deepEqual([electron.testing.windows.length, electron.testing.calls.exit], [1, []]);
    assert.match(ctx.lines.join('\n'), line);
    assert.equal(JSON.parse(fs.readFileSync(ctx.paths.SETTINGS_FILE, 'utf8')).shortcut, 2);
    fs.rmSync(ctx.paths.SETTINGS_FILE);
  }
});

test('the desktop shortcut is made once, on a packaged Windows launcher, unless an installer manages shortcuts', async () => {
  const bootDir = path.join(appData, "O'Neil’s İndirilenler");
  fs.mkdirSync(bootDir);
  const boot = path.join(bootDir, 'Quorlin.exe');
  // [what, changes to the call, PowerShell runs, shortcut after]
  const cases = [
    ['already made', { settings: { shortcut: 2 } }, 0, 2], ['not Windows', { platform: 'linux' }, 0, false],
    ['development runtime', { isPackaged: false }, 0, false], ['installer present', { kaldir: true }, 0, 2],
    ['made', {}, 1, 2], ['made for the runtime without a bootstrapper', { env: {} }, 1, 2],
    ['PowerShell fails', { answer: { code: 1 } }, 1, false], ['PowerShell missing', { answer: { code: null, error: new Error('ENOENT') } }, 1, false],
  ];
  for (const [name, c, expectedRuns, shortcut] of cases) {
    if (c.kaldir) fs.writeFileSync(path.join(bootDir, 'Kaldir.exe'), '');
    const [settings, runs] = [{ shortcut: false, ...c.settings }, []];
    let saves = 0;
    await ensureShortcut({
      settings, saveSettings: () => { saves += 1; }, assets: '/app/assets', isPackaged: c.isPackaged ?? true,
      platform: c.platform || 'win32', env: c.env || { QUORLIN_BOOT: boot }, execPath: '/r/Quorlin.exe',
      runTool: async (file, args) => { runs.push([file, ...args]); return c.answer || { code: 0 }; },
    });
    fs.rmSync(path.join(bootDir, 'Kaldir.exe'), { force: true });
    assert.deepEqual([runs.length, settings.shortcut, saves], [expectedRuns, shortcut, shortcut === 2 && !c.settings ? 1 : 0], name);
    if (!name.startsWith('made')) continue;
    const [[file, ...args]] = runs;
    assert.deepEqual([file, ...args.slice(0, 4)], ['powershell.exe', '-NoProfile', '-ExecutionPolicy', 'Bypass', '-Command']);
    const [target, dir] = c.env ? ['/r/Quorlin.exe', '/r'] : [boot, bootDir].map((p) => p.replace("'", "''").replace('’', '’’'));
    assert.ok(args[4].includes(`$s.TargetPath='${target}';$s.WorkingDirectory='${dir}';$s.IconLocation='/app/assets/quorlin.ico,0'`), args[4]);
  }
});

test('a window shown removes what an update kept; after a rollback it says so once, and the version that did not open is not staged again', async () => {
  const { settleUpdate } = require('../../app/update/launcher');
  const resources = path.join(appData, 'runtime', 'resources');
  const notice = '[Quorlin] Güncelleme açılmadı, önceki sürüme dönüldü.';
  // [files the bootstrapper and the last update left, the skipped version handed to the update, lines said]
  for (const [left, skippedVersion, said] of [
    [{ 'app.old/main.js': 'eski', 'app.starts': '2', 'app.rolledback': '', 'app.new.version': '1.0.27' }, '', [notice]],
    [{ 'app.old/main.js': 'eski', 'app.starts': '1' }, '1.0.27', []],
  ]) {
    for (const [rel, text] of Object.entries({ 'app/main.js': 'şimdiki', ...left })) {
      fs.mkdirSync(path.dirname(path.join(resources, rel)), { recursive: true });
      fs.writeFileSync(path.join(resources, rel), text);
    }
    electron.testing.reset({ ready: true, packaged: true });
    const ctx = testContext({ dir: appData, appDir: path.join(resources, 'app') });
    const services = Object.assign(fakeServices({ manifest: UPDATE }), { settleUpdate: () => settleUpdate(ctx) });
    await startUp(ctx, services, electron, { env: {}, platform: 'linux' });
    const [, { skippedVersion: handed }] = services.calls.find((c) => c[0] === 'maybeUpdateLauncher');
    assert.deepEqual([fs.existsSync(path.join(resources, 'app.old')), ctx.lines], [true, []], 'nothing settles before the window shows');
    await electron.testing.flush();
    assert.deepEqual([handed, fs.readdirSync(resources).sort(), ctx.lines], [skippedVersion, ['app', 'app.new.version'], said]);
    assert.equal(JSON.parse(fs.readFileSync(ctx.paths.SETTINGS_FILE, 'utf8')).skippedLauncherVersion, '1.0.27');
  }
});
