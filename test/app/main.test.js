const { test, describe, beforeEach, afterEach, mock } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { ipcMain } = require('electron');
const { APP_DIR, REQUESTS, loadLauncher, startedLauncher, signIn } = require('../support/launcher');

// the real start-up of main.js asks the update service: here one that refuses at once
process.env.QUORLIN_API = 'http://127.0.0.1:1';
let appData;
beforeEach(() => { appData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-main-')); });
afterEach(() => fs.rmSync(appData, { recursive: true, force: true }));

const started = (answers) => startedLauncher({ appData, answers });

describe('single instance and window', () => {
  test('a process without the lock quits and sets up nothing', async () => {
    const { testing, state } = loadLauncher({ appData, lock: false });
    assert.deepEqual([testing.calls.quit, ipcMain.handlers.size], [1, 0]);
    testing.setReady();
    await testing.flush();
    assert.deepEqual([testing.windows.length, state.win], [0, null]);
  });

  test('the window opens hidden after a refused update check and shows when ready; a second start brings it back', async () => {
    const { testing, state } = loadLauncher({ appData });
    testing.autoReadyToShow = false;
    testing.setReady();
    while (!state.win) await new Promise((resolve) => setTimeout(resolve, 10));
    const { win } = state;
    const { frame, show, webPreferences } = win.options;
    assert.deepEqual({ frame, show, menuRemoved: win.menuRemoved, loaded: win.loaded, visible: win.isVisible() },
      { frame: false, show: false, menuRemoved: true, loaded: [{ file: 'ui/index.html' }], visible: false });
    assert.deepEqual(webPreferences, { preload: path.join(APP_DIR, 'preload.js'), contextIsolation: true, nodeIntegration: false, sandbox: true });
    win.emit('ready-to-show');
    win.minimize();
    testing.secondInstance(['Quorlin.exe', '--ignored']);
    assert.deepEqual([win.isVisible(), win.isMinimized(), win.isFocused(), testing.calls.quit], [true, false, true, 0]);
    assert.deepEqual([...ipcMain.handlers.keys()].sort(), REQUESTS.map((r) => r[1]).sort());
  });

  test('without the window a log line goes to standard output and nothing is sent', async () => {
    const { state } = await started();
    const window = require(path.join(APP_DIR, 'core', 'window.js'));
    state.win.destroy();
    const printed = mock.method(console, 'log', () => {});
    window.progress('java', 'kayboldu', 1);
    window.log('[Quorlin] HATA: pencere yok');
    printed.mock.restore();
    assert.deepEqual(printed.mock.calls.map((c) => c.arguments), [['[Quorlin] HATA: pencere yok']]);
  });
});

describe('closing the window', () => {
  test('with our server running: the page is told once, further requests wait, the window closes after the server', async () => {
    let stopped;
    const { state, testing, win, services, events, quorlin } = await started({ stopServer: () => new Promise((resolve) => { stopped = resolve; }) });
    state.server = { pid: 1 };
    await quorlin.win('close');
    await quorlin.win('close');
    await testing.flush();
    assert.deepEqual([win.isDestroyed(), win.__closing, events], [false, true, [['closing', true]]]);
    stopped();
    await testing.flush();
    assert.deepEqual([win.isDestroyed(), services.calls.filter((c) => c[0] === 'stopServer').length], [true, 1]);
  });

  test('closes at once without a server of ours, or when the user keeps it running', async () => {
    for (const [server, stopServerOnExit] of [[null, true], [{ pid: 1 }, false]]) {
      const { state, win, services } = await started();
      Object.assign(state, { server });
      state.settings.stopServerOnExit = stopServerOnExit;
      win.close();
      assert.deepEqual([win.isDestroyed(), services.calls.length], [true, 0]);
    }
  });
});

describe('requests', () => {
  test('state answers the snapshot, the account without its tokens', async () => {
    const { quorlin, state } = await started({ launcherRunning: true });
    assert.equal((await quorlin.state()).hasClientId, false);
    signIn(state);
    await quorlin.setSettings({ clientId: ' my-app-id ' });
    assert.deepEqual(await quorlin.state(), {
      server: 'stopped', settings: state.settings, account: { name: 'Ayşe', uuid: 'u-1' }, hasClientId: true, version: '1.0.26', mc: '26.3',
      gameDir: path.join(appData, '.quorlin', 'brimlox'), launcherOpen: true,
    });
  });

  test('open and link act on their fixed names given as text, and on nothing else', async () => {
    const { quorlin, testing, services } = await started();
    for (const what of ['mods', ['game'], 'constructor', 'C:\\Windows', 'launcher']) await quorlin.open(what);
    for (const which of ['azure', ['review'], 'review', 'https://example.com']) await quorlin.link(which);
    const mods = path.join(appData, '.quorlin', 'brimlox', 'mods');
    assert.deepEqual([fs.statSync(mods).isDirectory(), testing.calls.openPath, services.calls], [true, [mods], [['openOfficialLauncher']]]);
    assert.deepEqual(testing.calls.openExternal.map((url) => new URL(url).host), ['portal.azure.com', 'aka.ms']);
  });

  test('login opens its window over ours, and a failure is answered as a result, not thrown', async () => {
    const { quorlin, state } = await started();
    state.auth.login = async (...args) => { throw new Error(args[2] === state.win ? 'CANCELLED' : 'no parent'); };
    assert.deepEqual(await quorlin.login(), { ok: false, error: 'CANCELLED' });
  });

  test('the official launcher: picked in a titled dialog over the window and opened; installed, then opened when that worked', async () => {
    const { quorlin, testing, state, services } = await started();
    assert.deepEqual([await quorlin.pickLauncher(), state.settings.launcherPath], [false, undefined]);
    testing.dialogAnswer = { canceled: false, filePaths: ['D:\\Oyunlar\\MinecraftLauncher.exe'] };
    assert.equal(await quorlin.pickLauncher(), true);
    assert.deepEqual(testing.calls.dialogs[0], { parent: state.win, options: {
      title: 'MinecraftLauncher.exe dosyasını seç', filters: [{ name: 'Minecraft Launcher', extensions: ['exe', 'lnk'] }], properties: ['openFile'],
    } });
    assert.equal(JSON.parse(fs.readFileSync(state.paths.SETTINGS_FILE, 'utf8')).launcherPath, 'D:\\Oyunlar\\MinecraftLauncher.exe');
    assert.deepEqual(services.calls, [['openOfficialLauncher']]);
    for (const installed of [false, true]) {
      services.calls.length = 0;
      services.installOfficialLauncher = async () => installed;
      assert.equal(await quorlin.installLauncher(), installed);
      assert.deepEqual(services.calls.map((c) => c[0]), installed ? ['openOfficialLauncher'] : []);
    }
  });
});
