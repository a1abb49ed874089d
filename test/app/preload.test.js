const { test, describe, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const electron = require('electron');
const { APP_DIR, openPage } = require('../support/launcher');

const { BrowserWindow, ipcMain, ipcRenderer, testing } = electron;

// Loads the bridge into a fresh page of a main window, as Electron does for each page load.
function loadPage() {
  testing.reset({ ready: true });
  const preload = path.join(APP_DIR, 'preload.js');
  const win = new BrowserWindow({ show: false, webPreferences: { preload, sandbox: true, contextIsolation: true } });
  return { win, quorlin: openPage() };
}

const REQUESTS = [
  ['play', 'play'],
  ['state', 'state'],
  ['startServer', 'server:start'],
  ['stopServer', 'server:stop'],
  ['command', 'server:cmd', 'say hi'],
  ['setSettings', 'settings:set', { gameRam: 8 }],
  ['open', 'open', 'mods'],
  ['installLauncher', 'launcher:install'],
  ['pickLauncher', 'launcher:pick'],
  ['login', 'auth:login'],
  ['logout', 'auth:logout'],
  ['link', 'link', 'azure'],
  ['win', 'win', 'min'],
];

describe('window.quorlin requests', () => {
  let quorlin;
  beforeEach(() => ({ quorlin } = loadPage()));

  test('offers the thirteen request functions and on, nothing else', () => {
    assert.deepEqual(Object.keys(quorlin).sort(), [...REQUESTS.map((r) => r[0]), 'on'].sort());
    assert.equal(Object.isFrozen(quorlin), true);
  });

  test('each function invokes its channel with its argument unchanged and returns the result', async () => {
    for (const [fn, channel, arg] of REQUESTS) {
      let seen;
      ipcMain.handle(channel, (_event, ...args) => { seen = args; return { from: channel }; });
      const result = await quorlin[fn](arg);
      assert.deepEqual(result, { from: channel }, fn);
      assert.deepEqual(seen, arg === undefined ? [] : [arg], `${fn} passes its argument through`);
    }
  });

  test("a handler's failure reaches the page as a rejection with Electron's text", async () => {
    ipcMain.handle('server:stop', () => { throw new Error('durdurulamadı'); });
    await assert.rejects(quorlin.stopServer(), { message: "Error invoking remote method 'server:stop': Error: durdurulamadı" });
  });

  test('arguments and results are copies, not shared objects', async () => {
    const changes = { gameRam: 6 };
    const settings = { gameRam: 4 };
    ipcMain.handle('settings:set', (_event, given) => { given.gameRam = 99; Object.assign(settings, given); return settings; });
    const result = await quorlin.setSettings(changes);
    assert.equal(changes.gameRam, 6);
    result.gameRam = 1;
    assert.equal(settings.gameRam, 99);
  });
});

describe('window.quorlin.on', () => {
  test('each of the five event channels delivers the payload alone', async () => {
    const { win, quorlin } = loadPage();
    const got = [];
    for (const channel of ['progress', 'log', 'server', 'closing', 'game']) {
      quorlin.on(channel, (...args) => got.push([channel, ...args]));
    }
    win.webContents.send('progress', { step: 'java', label: 'Java kontrol ediliyor', pct: 0 });
    win.webContents.send('log', '[Quorlin] merhaba');
    win.webContents.send('server', { state: 'running', joined: 'Ayşe' });
    win.webContents.send('closing', true);
    win.webContents.send('game', { running: false, code: 1 });
    await testing.flush();
    assert.deepEqual(got, [
      ['progress', { step: 'java', label: 'Java kontrol ediliyor', pct: 0 }],
      ['log', '[Quorlin] merhaba'],
      ['server', { state: 'running', joined: 'Ayşe' }],
      ['closing', true],
      ['game', { running: false, code: 1 }],
    ]);
  });

  test('other channel names register nothing and throw nothing', async () => {
    const { win, quorlin } = loadPage();
    let called = false;
    for (const name of ['state', 'play', 'settings:set', '', undefined, 'LOG']) {
      quorlin.on(name, () => { called = true; });
    }
    assert.deepEqual(ipcRenderer.eventNames(), []);
    win.webContents.send('state', {});
    await testing.flush();
    assert.equal(called, false);
  });

  test('every call adds one more listener', async () => {
    const { win, quorlin } = loadPage();
    const lines = [];
    quorlin.on('log', (line) => lines.push(`a:${line}`));
    quorlin.on('log', (line) => lines.push(`b:${line}`));
    win.webContents.send('log', 'x');
    await testing.flush();
    assert.deepEqual(lines, ['a:x', 'b:x']);
  });
});
