'use strict';
// The bridge between the page and the main process. The page runs sandboxed and isolated:
// it sees only `window.quorlin`, never ipcRenderer itself or Electron's event objects.
const { contextBridge, ipcRenderer } = require('electron');

// The only channels on which the main process pushes news to the page.
const EVENT_CHANNELS = ['progress', 'log', 'server', 'closing', 'game', 'backups'];

contextBridge.exposeInMainWorld('quorlin', {
  play: () => ipcRenderer.invoke('play'),
  restartGame: () => ipcRenderer.invoke('game:restart'),
  repairFiles: () => ipcRenderer.invoke('game:repair'),
  state: () => ipcRenderer.invoke('state'),
  startServer: () => ipcRenderer.invoke('server:start'),
  stopServer: () => ipcRenderer.invoke('server:stop'),
  command: (text) => ipcRenderer.invoke('server:cmd', text),
  backups: () => ipcRenderer.invoke('backup:list'),
  restoreBackup: (name) => ipcRenderer.invoke('backup:restore', name),
  diagnostics: () => ipcRenderer.invoke('diagnostics:bundle'),
  setSettings: (changes) => ipcRenderer.invoke('settings:set', changes),
  open: (what) => ipcRenderer.invoke('open', what),
  installLauncher: () => ipcRenderer.invoke('launcher:install'),
  pickLauncher: () => ipcRenderer.invoke('launcher:pick'),
  login: () => ipcRenderer.invoke('auth:login'),
  logout: () => ipcRenderer.invoke('auth:logout'),
  link: (which) => ipcRenderer.invoke('link', which),
  win: (action) => ipcRenderer.invoke('win', action),
  // Unknown channel names register nothing; the listener gets the payload alone, so the
  // page never holds the sender.
  on: (channel, fn) => {
    if (!EVENT_CHANNELS.includes(channel) || typeof fn !== 'function') return;
    ipcRenderer.on(channel, (_event, payload) => fn(payload));
  },
});
