const { test, describe, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { ipcMain } = require('electron');
const { APP_DIR, REQUESTS, loadLauncher, openPage } = require('../support/launcher');
const { mainWindowOptions } = require('../../app/window');
const { launcherPaths } = require('../../app/layout');

const NOT_AVAILABLE = 'Bu özellik henüz kullanılamıyor.';
let appData;
beforeEach(() => { appData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-main-')); });
afterEach(() => fs.rmSync(appData, { recursive: true, force: true }));

// The launcher loaded, ready and showing its window with the bridge in its page.
async function runningLauncher(options = {}) {
  const launcher = loadLauncher({ appData, ...options });
  launcher.testing.setReady();
  await launcher.testing.flush();
  return { ...launcher, win: launcher.state.win, quorlin: openPage() };
}

describe('single instance', () => {
  test('a process without the lock quits and sets up nothing', async () => {
    const { testing, state } = loadLauncher({ appData, lock: false });
    assert.deepEqual([testing.calls.quit, ipcMain.handlers.size], [1, 0]);
    testing.setReady();
    await testing.flush();
    assert.deepEqual([testing.windows.length, state.win], [0, null]);
  });

  test('a second start restores a minimised window and focuses it; closing the window quits', async () => {
    const { testing, win } = await runningLauncher();
    win.minimize();
    testing.secondInstance(['Quorlin.exe', '--ignored']);
    assert.deepEqual([win.isMinimized(), win.isFocused()], [false, true]);
    assert.equal(testing.calls.quit, 0);
    win.close();
    assert.equal(testing.calls.quit, 1);
  });
});

describe('main window', () => {
  test('is created once the application is ready, frameless, sandboxed and without a menu', async () => {
    const { testing, win } = await runningLauncher();
    const { frame, show, webPreferences } = win.options;
    assert.deepEqual({ windows: testing.windows.length, frame, show, menuRemoved: win.menuRemoved, loaded: win.loaded },
      { windows: 1, frame: false, show: false, menuRemoved: true, loaded: [{ file: 'ui/index.html' }] });
    assert.deepEqual(webPreferences, { preload: path.join(APP_DIR, 'preload.js'), contextIsolation: true, nodeIntegration: false, sandbox: true });
    assert.ok(fs.existsSync(path.join(APP_DIR, 'ui', 'index.html')));
  });

  test('uses the Windows icon on Windows and the PNG elsewhere', () => {
    const paths = launcherPaths({ env: { APPDATA: 'C:\\U' }, appDir: 'C:\\R\\resources\\app' }, path.win32);
    const onWindows = mainWindowOptions(paths, 'win32', path.win32);
    assert.equal(onWindows.icon, 'C:\\R\\resources\\app\\assets\\quorlin.ico');
    assert.equal(mainWindowOptions(paths, 'linux', path.win32).icon, 'C:\\R\\resources\\app\\assets\\quorlin.png');
  });

  test('stays hidden until its first ready-to-show', async () => {
    const { testing, state } = loadLauncher({ appData });
    testing.autoReadyToShow = false;
    testing.setReady();
    await testing.flush();
    assert.equal(state.win.isVisible(), false);
    state.win.emit('ready-to-show');
    assert.equal(state.win.isVisible(), true);
  });
});

test('events reach the page as payloads while the window exists, and are dropped without error before and after', async () => {
  const { window, testing, state } = loadLauncher({ appData });
  assert.doesNotThrow(() => window.log('too early'));
  testing.setReady();
  await testing.flush();
  const quorlin = openPage();
  const got = [];
  quorlin.on('progress', (p) => got.push(p));
  quorlin.on('log', (line) => got.push(line));
  window.progress('java', 'Java 25 indiriliyor', 0.25);
  window.log('[Quorlin] HATA: olmadı');
  await testing.flush();
  assert.deepEqual(got, [{ step: 'java', label: 'Java 25 indiriliyor', pct: 0.25 }, '[Quorlin] HATA: olmadı']);
  state.win.destroy();
  assert.doesNotThrow(() => window.send('server', { state: 'stopped', code: 0 }));
});

describe('requests', () => {
  test('every channel of the bridge has a handler', async () => {
    await runningLauncher();
    assert.deepEqual([...ipcMain.handlers.keys()].sort(), REQUESTS.map((r) => r[1]).sort());
  });

  test('setSettings merges, saves at once and answers the whole settings', async () => {
    const file = path.join(appData, '.quorlin', 'launcher.json');
    fs.mkdirSync(path.dirname(file));
    fs.writeFileSync(file, '{ "serverRam": 5, "own": "x" }');
    const { quorlin } = await runningLauncher();
    const settings = await quorlin.setSettings({ gameRam: 8 });
    assert.deepEqual(settings, { clientId: '', gameRam: 8, serverRam: 5, stopServerOnExit: true, shortcut: false, lastPlay: 0, own: 'x' });
    assert.deepEqual(JSON.parse(fs.readFileSync(file, 'utf8')), settings);
    assert.deepEqual(await quorlin.setSettings(null), settings);
  });

  test('state answers the snapshot the page starts from', async () => {
    const { quorlin } = await runningLauncher();
    const { server, account, version, mc, gameDir, hasClientId, settings } = await quorlin.state();
    assert.deepEqual({ server, account, version, mc, gameDir, hasClientId, gameRam: settings.gameRam }, {
      server: 'stopped', account: null, version: '1.0.26', mc: '26.3', gameDir: path.join(appData, '.quorlin', 'brimlox'), hasClientId: false, gameRam: 4,
    });
    await quorlin.setSettings({ clientId: ' my-app-id ' });
    assert.equal((await quorlin.state()).hasClientId, true);
  });

  test('open creates a missing folder before opening it, and ignores unknown names', async () => {
    const { quorlin, testing } = await runningLauncher();
    const mods = path.join(appData, '.quorlin', 'brimlox', 'mods');
    assert.equal(await quorlin.open('mods'), undefined);
    assert.ok(fs.statSync(mods).isDirectory());
    for (const name of ['constructor', 'C:\\Windows']) await quorlin.open(name);
    assert.deepEqual(testing.calls.openPath, [mods]);
  });

  test('link opens the two fixed pages and nothing else; a failing browser is logged', async () => {
    const { quorlin, testing } = await runningLauncher();
    for (const which of ['azure', 'review', 'https://example.com']) await quorlin.link(which);
    assert.deepEqual(testing.calls.openExternal, [
      'https://portal.azure.com/#view/Microsoft_AAD_RegisteredApps/ApplicationsListBlade',
      'https://aka.ms/mce-reviewappid',
    ]);
    const lines = [];
    quorlin.on('log', (line) => lines.push(line));
    testing.openExternalError = new Error('no browser');
    assert.equal(await quorlin.link('azure'), undefined);
    await testing.flush();
    assert.deepEqual(lines, ['[Quorlin] HATA: no browser']);
  });

  test('win minimises and closes the window; other actions do nothing', async () => {
    const { quorlin, win } = await runningLauncher();
    await quorlin.win('max');
    assert.equal(win.isMinimized(), false);
    await quorlin.win('min');
    assert.equal(win.isMinimized(), true);
    await quorlin.win('close');
    assert.equal(win.isDestroyed(), true);
  });

  test('work that is not in this launcher yet answers a clear error instead of pretending', async () => {
    const { quorlin } = await runningLauncher();
    for (const fn of ['play', 'startServer', 'login']) assert.deepEqual(await quorlin[fn](), { ok: false, error: NOT_AVAILABLE }, fn);
    await assert.rejects(quorlin.logout(), { message: `Error invoking remote method 'auth:logout': Error: ${NOT_AVAILABLE}` });
    assert.equal(await quorlin.stopServer(), undefined);
    await assert.rejects(quorlin.open('launcher'), { message: `Error invoking remote method 'open': Error: ${NOT_AVAILABLE}` });
  });
});
