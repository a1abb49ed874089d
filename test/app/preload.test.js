const { test, describe, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const path = require('node:path');
const { BrowserWindow, ipcMain, ipcRenderer, testing } = require('electron');
const { APP_DIR, REQUESTS, openPage } = require('../support/launcher');

let win, quorlin;
// A fresh page in a main window, with the bridge loaded as Electron does for each page load.
beforeEach(() => {
  testing.reset({ ready: true });
  win = new BrowserWindow({ show: false, webPreferences: { preload: path.join(APP_DIR, 'preload.js') } });
  quorlin = openPage();
});

describe('window.quorlin', () => {
  test('requests are the eighteen request functions and on, nothing else; each invokes its channel with its argument unchanged; on: each of the six event channels delivers the payload alone, to every listener; other names register nothing', async () => {
    assert.deepEqual(Object.keys(quorlin).sort(), [...REQUESTS.map((r) => r[0]), 'on'].sort());
    for (const [fn, channel, arg] of REQUESTS) {
      let seen;
      ipcMain.handle(channel, (_event, ...args) => { seen = args; return { from: channel }; });
      assert.deepEqual([await quorlin[fn](arg), seen], [{ from: channel }, arg === undefined ? [] : [arg]], fn);
    }
    const got = [];
    for (const name of ['state', 'play', 'settings:set', '', undefined, 'LOG']) quorlin.on(name, () => got.push(name));
    for (const channel of ['progress', 'log', 'server', 'closing', 'game', 'backups']) quorlin.on(channel, (...args) => got.push([channel, ...args]));
    quorlin.on('log', (line) => got.push(['second log listener', line]));
    assert.deepEqual(ipcRenderer.eventNames().sort(), ['backups', 'closing', 'game', 'log', 'progress', 'server']);
    const events = [
      ['progress', { step: 'java', label: 'Java kontrol ediliyor', pct: 0 }], ['log', '[Quorlin] merhaba'],
      ['server', { state: 'running', joined: 'Ayşe' }], ['closing', true], ['game', { running: false, code: 1 }], ['backups', { busy: true, backups: [] }],
    ];
    for (const [channel, payload] of [...events, ['state', {}]]) win.webContents.send(channel, payload);
    await testing.flush();
    assert.deepEqual(got, [events[0], events[1], ['second log listener', '[Quorlin] merhaba'], ...events.slice(2)]);
  });
});
