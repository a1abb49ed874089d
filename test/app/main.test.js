'use strict';
const { test, describe, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const { BrowserWindow, ipcMain, app } = require('electron');
const { APP_DIR, REQUESTS, loadLauncher, startedLauncher, signIn } = require('../support/launcher');

const PAGE = pathToFileURL(path.join(APP_DIR, 'ui', 'index.html')).href;
const ELSEWHERE = 'https://example.com/';

let appData;
beforeEach(() => { appData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-main-')); });
afterEach(() => fs.rmSync(appData, { recursive: true, force: true }));

const started = (answers) => startedLauncher({ appData, answers });

describe('single instance and window', () => {
  test('a process without the lock quits and sets up nothing', async () => {
    const { testing } = loadLauncher({ appData, lock: false, answers: {} });
    assert.deepEqual([testing.calls.quit, ipcMain.handlers.size], [1, 0]);
    testing.setReady();
    await testing.flush();
    assert.equal(testing.windows.length, 0);
  });

  test('the window opens hidden and shows when ready; a second start brings it back', async () => {
    const { win, testing } = await started();
    const { frame, show, webPreferences } = win.options;
    assert.deepEqual({ frame, show, menuRemoved: win.menuRemoved, loaded: win.loaded, visible: win.isVisible() },
      { frame: false, show: false, menuRemoved: true, loaded: [{ file: path.join(APP_DIR, 'ui', 'index.html') }], visible: true });
    assert.deepEqual(webPreferences, { preload: path.join(APP_DIR, 'preload.js'), contextIsolation: true, nodeIntegration: false, sandbox: true });
    win.minimize();
    testing.secondInstance(['Quorlin.exe', '--ignored']);
    assert.deepEqual([win.isVisible(), win.isMinimized(), win.isFocused(), testing.calls.quit], [true, false, true, 0]);
    assert.deepEqual([...ipcMain.handlers.keys()].sort(), REQUESTS.map((r) => r[1]).sort());
  });
});

describe('the window keeps to its page, and only its page is answered', () => {
  test('navigations, redirects, dropped files and links, any frame and new windows are refused, quietly when they flood', async (t) => {
    t.mock.timers.enable({ apis: ['Date'] });
    const { win, testing, events } = await started();
    const elsewhere = [
      ['will-navigate', ELSEWHERE], ['will-redirect', ELSEWHERE], ['will-navigate', ELSEWHERE, { isMainFrame: false }],
      ['will-navigate', pathToFileURL(path.join(appData, 'dropped.html')).href],
    ];
    for (const [name, url, options] of elsewhere) assert.equal(testing.navigate(win, name, url, options), true, url);
    assert.equal(testing.openWindow(win, ELSEWHERE), null);
    for (let i = 0; i < 1000; i++) testing.navigate(win, 'will-navigate', `${ELSEWHERE}${i}`);
    assert.deepEqual([win.webContents.mainFrame.url, testing.windows.length], [PAGE, 1]);
    t.mock.timers.tick(1000);
    const dropped = 'data:text/html,' + 'x'.repeat(1e6);
    testing.navigate(win, 'will-redirect', dropped);
    for (const url of [PAGE, `${PAGE}#top`]) assert.equal(testing.navigate(win, 'will-navigate', url), false);
    await testing.flush();
    const lines = events.filter((e) => e[0] === 'log').map((e) => e[1]);
    assert.deepEqual([lines.length, lines[0], ...lines.slice(5)], [7, `[Quorlin] Sayfa değişikliği engellendi: ${ELSEWHERE}`,
      '[Quorlin] Çok sayıda engelleme: bir süre yazılmayacak.', `[Quorlin] Sayfa değişikliği engellendi: ${dropped.slice(0, 200)}…`]);
  });

  test('the page is known by its file however Chromium spells its address, on Windows too', () => {
    const { isPageUrl } = require(path.join(APP_DIR, 'core', 'window.js'));
    const page = 'file:///C:/Users/Ay%C5%9Fe%20%C3%96z/50%25/app/ui/index.html';
    const cases = [
      [true, 'file:///C:/Users/Ay%C5%9Fe%20%C3%96z/50%/app/ui/index.html'], [true, 'file:///c:\\users\\AYŞE Öz\\50%\\app\\ui\\index.html#top'],
      [false, 'file:///C:/Users/Ay%C5%9Fe%20%C3%96z/50%25/app/ui/index.html.html'], [false, `${page}/../../main.js`],
      [false, 'file://host/C:/Users/Ay%C5%9Fe%20%C3%96z/50%25/app/ui/index.html'], [false, 'https://example.com/C:/Users/app/ui/index.html'],
      [false, 'file:///C:/Users/Ay%C5%9Fe%20%C3%96z/50%25/app/ui%2Findex.html'], [false, undefined],
    ];
    for (const [same, url] of cases) assert.equal(isPageUrl(url, page, true), same, url);
  });

  test('a web contents the launcher did not open goes nowhere; its own windows keep their own rules', async (t) => {
    t.mock.method(console, 'log', () => {});
    const { testing, ctx } = loadLauncher({ appData, answers: {} });
    testing.setReady();
    while (!ctx.page.window()) await testing.flush();
    const stranger = new BrowserWindow({});
    assert.deepEqual([testing.navigate(stranger, 'will-navigate', ELSEWHERE), testing.navigate(stranger, 'will-redirect', PAGE),
      testing.openWindow(stranger, ELSEWHERE), testing.navigate(ctx.page.window(), 'will-navigate', PAGE)], [true, true, null, false]);
    const { waitForCode } = require(path.join(APP_DIR, 'mc', 'auth-signin.js'));
    waitForCode(BrowserWindow, ctx.page.window(), 'https://login.microsoftonline.com/consumers/oauth2/v2.0/authorize', 'https://login.microsoftonline.com/common/oauth2/nativeclient', 's')
      .catch(() => {});
    const signInWindow = testing.windows.at(-1);
    assert.deepEqual([testing.navigate(signInWindow, 'will-redirect', 'https://login.live.com/oauth20_authorize.srf'),
      testing.navigate(signInWindow, 'will-navigate', ELSEWHERE)], [false, true]);
    signInWindow.close();
  });

  test('a request from a foreign frame, a frame gone or another web contents is refused and changes nothing; the page is answered', async () => {
    const { win, ctx, testing, quorlin, events } = await started();
    const settings = structuredClone(ctx.settings);
    const askers = [
      [{ sender: win.webContents, senderFrame: { url: ELSEWHERE } }, ELSEWHERE],
      [{ sender: win.webContents, senderFrame: null }, 'çerçevesiz'],
      [{ sender: new BrowserWindow({}).webContents, senderFrame: { url: PAGE } }, PAGE],
    ];
    for (const [from, shown] of askers) {
      assert.deepEqual(await testing.invoke(from, 'settings:set', { gameRam: 99 }), { ok: false, error: 'İstek kabul edilmedi.' });
      assert.deepEqual(await testing.invoke(from, 'win', 'close'), { ok: false, error: 'İstek kabul edilmedi.' });
      await testing.flush();
      assert.equal(events.at(-2)[1], `[Quorlin] HATA: 'settings:set' isteği reddedildi: ${shown}`);
    }
    assert.deepEqual([ctx.settings, fs.existsSync(ctx.paths.SETTINGS_FILE), win.isDestroyed()], [settings, false, false]);
    assert.equal((await quorlin.setSettings({ gameRam: 6 })).gameRam, 6);
  });
});

describe('closing the window', () => {
  test('with our server running: the page is told once, further requests wait, the window closes after the server', async () => {
    let stopped;
    const { testing, win, services, events, quorlin } = await started({ serverIsOurs: true, stopServer: () => new Promise((resolve) => { stopped = resolve; }) });
    await quorlin.win('close');
    await quorlin.win('close');
    await testing.flush();
    assert.deepEqual([win.isDestroyed(), win.__closing, events], [false, true, [['closing', true]]]);
    stopped();
    await testing.flush();
    assert.deepEqual([win.isDestroyed(), services.calls.filter((c) => c[0] === 'stopServer').length], [true, 1]);
  });

  test('closes at once without a server of ours, or when the user keeps it running; then log lines go to standard output, and to the log file before the process ends', async (t) => {
    for (const [serverIsOurs, stopServerOnExit] of [[false, true], [true, false]]) {
      const { ctx, win, services, testing } = await started({ serverIsOurs });
      ctx.settings.stopServerOnExit = stopServerOnExit;
      win.close();
      assert.deepEqual([win.isDestroyed(), services.calls.length], [true, 0]);
      const printed = t.mock.method(console, 'log', () => {});
      ctx.progress('java', 'kayboldu', 1);
      ctx.log('[Quorlin] HATA: pencere yok');
      printed.mock.restore();
      assert.deepEqual(printed.mock.calls.map((c) => c.arguments), [['[Quorlin] HATA: pencere yok']]);
      const quits = testing.calls.quit;
      const ending = { defaultPrevented: false, preventDefault() { this.defaultPrevented = true; } };
      app.emit('will-quit', ending);
      while (testing.calls.quit === quits) await new Promise(setImmediate);
      const written = fs.readFileSync(path.join(ctx.paths.BASE, 'logs', 'launcher.log'), 'utf8');
      assert.deepEqual([ending.defaultPrevented, written.endsWith(' [Quorlin] HATA: pencere yok\r\n')], [true, true]);
    }
  });
});

describe('requests', () => {
  test('state answers the snapshot, the account without its tokens', async () => {
    const { quorlin, ctx } = await started({ launcherRunning: true, serverStatus: 'starting' });
    assert.equal((await quorlin.state()).hasClientId, false);
    signIn(ctx);
    await quorlin.setSettings({ clientId: ' my-app-id ' });
    assert.deepEqual(await quorlin.state(), {
      server: 'starting', settings: ctx.settings, account: { name: 'Ayşe', uuid: 'u-1' }, hasClientId: true, version: '1.0.26', mc: '26.3',
      gameDir: path.join(appData, '.quorlin', 'brimlox'), launcherOpen: true,
    });
  });

  test('open and link act on their fixed names given as text, and on nothing else; the diagnostics bundle is shown in Explorer, its path never told to the page; login opens its window over ours, and a failure is answered as a result, not thrown', async () => {
    const { quorlin, testing, services, ctx, win } = await started();
    for (const what of ['mods', ['game'], 'constructor', 'C:\\Windows', 'launcher']) await quorlin.open(what);
    for (const which of ['azure', ['review'], 'review', 'https://example.com']) await quorlin.link(which);
    const mods = path.join(appData, '.quorlin', 'brimlox', 'mods');
    assert.deepEqual([fs.statSync(mods).isDirectory(), testing.calls.openPath, services.calls], [true, [mods], [['openOfficialLauncher']]]);
    assert.deepEqual(testing.calls.openExternal.map((url) => new URL(url).host), ['portal.azure.com', 'aka.ms']);
    assert.deepEqual(await quorlin.diagnostics(), { ok: true });
    assert.match(path.relative(appData, testing.calls.showItemInFolder[0]), /^\.quorlin.quorlin-tanilama-[\d_-]+\.zip$/);
    services.diagnosticsBundle = async () => ({ ok: false, error: `Tanılama paketi yazılamadı: EACCES, open '${appData}'` });
    assert.deepEqual(await quorlin.diagnostics(), { ok: false, error: 'Tanılama paketi yazılamadı; ayrıntılar Sunucu sekmesinde.' });
    ctx.auth.login = async (...args) => { throw new Error(args[2] === win ? 'CANCELLED' : 'no parent'); };
    assert.deepEqual(await quorlin.login(), { ok: false, error: 'CANCELLED' });
  });

  test('the official launcher: picked in a titled dialog over the window and opened; installed, then opened when that worked', async () => {
    const { quorlin, testing, ctx, win, services } = await started();
    assert.deepEqual([await quorlin.pickLauncher(), ctx.settings.launcherPath], [false, undefined]);
    testing.dialogAnswer = { canceled: false, filePaths: ['D:\\Oyunlar\\MinecraftLauncher.exe'] };
    assert.equal(await quorlin.pickLauncher(), true);
    assert.deepEqual([testing.calls.dialogs[0].parent, testing.calls.dialogs[0].options.title], [win, 'MinecraftLauncher.exe dosyasını seç']);
    assert.equal(JSON.parse(fs.readFileSync(ctx.paths.SETTINGS_FILE, 'utf8')).launcherPath, 'D:\\Oyunlar\\MinecraftLauncher.exe');
    assert.deepEqual(services.calls, [['openOfficialLauncher']]);
    for (const installed of [false, true]) {
      services.calls.length = 0;
      services.installOfficialLauncher = async () => installed;
      assert.equal(await quorlin.installLauncher(), installed);
      assert.deepEqual(services.calls.map((c) => c[0]), installed ? ['openOfficialLauncher'] : []);
    }
  });

  test('the server start prepares Java, Fabric, the mod, Fabric API and the server folder, then starts; a failing step answers its message', async () => {
    const { quorlin, services, events, testing } = await started();
    assert.deepEqual(await quorlin.startServer(), { ok: true });
    assert.deepEqual(services.calls.splice(0), [['ensureJava'], ['fabricVersions'], ['refreshModJar'], ['fabricApi'], ['perfMods', 'server'],
      ['ensureServerFiles', { loader: '0.19.5', installer: '1.1.0' }, ['/carried/brimlox-1.0.0.jar', '/cache/fabric-api.jar', '/cache/sodium.jar']],
      ['startServer', 'C:\\Java\\bin\\JAVA.EXE', '/server/fabric-server-26.3-0.19.5.jar']]);
    services.fabricApi = () => { throw new Error('api yok'); };
    assert.deepEqual(await quorlin.startServer(), { ok: false, error: 'api yok' });
    await testing.flush();
    assert.deepEqual([services.calls.length, events.at(-1)], [3, ['log', '[Quorlin] HATA: api yok']]);
  });
});
