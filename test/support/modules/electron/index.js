// Stand-in for the `electron` module in the launcher's tests. `make test-app` puts
// test/support/modules on NODE_PATH, so `require('electron')` in the app and in tests
// resolves here. It models the parts of Electron 45 the launcher uses, with Electron's
// own messages where the launcher or the page can see them.
//
// Test-facing API (everything else mirrors Electron):
//   const electron = require('electron'); const t = electron.testing;
//   t.reset({ lock = true, ready = false, encryption = true, packaged = true })
//        forget every window, handler, listener and record; `lock` is what
//        app.requestSingleInstanceLock() answers; `ready` resolves app.whenReady() at once.
//   t.setReady()            resolve app.whenReady() and emit app 'ready'
//   t.secondInstance(argv = [], cwd = '')   emit app 'second-instance' as Electron does
//   t.windows               every BrowserWindow created since reset, in order
//   t.calls                 { quit, exit: [codes], lockRequests, openPath: [p], openExternal: [url],
//                             showOpenDialog: [{ win, options }], handlerErrors: [{ channel, error }] }
//   t.dialogResult          what dialog.showOpenDialog resolves to (default: cancelled)
//   t.openPathResult        what shell.openPath resolves to (default '': success)
//   t.openExternalError     when set, shell.openExternal rejects with it
//   t.encryptionAvailable   safeStorage.isEncryptionAvailable() once the app is ready
//   t.autoReadyToShow       (default true) a hidden window emits 'ready-to-show' once after its
//                           first load; set false to emit it yourself: win.emit('ready-to-show')
//   t.page                  the page's global object: contextBridge puts its APIs here
//                           (t.page.quorlin); the page of the window whose webPreferences name a
//                           preload receives that window's webContents.send events
//   t.navigate(win, 'will-navigate' | 'will-redirect', url) -> true when a listener
//                           called preventDefault(); listeners get (details, url, isSameDocument,
//                           isMainFrame) with details = { url, isSameDocument, isMainFrame,
//                           frame, initiator, preventDefault() }
//   t.didNavigate(win, url, code = 200, text = 'OK')  emit 'did-navigate' (event, url, code, text)
//   t.flush()               a promise that settles after pending IPC deliveries
// IPC is asynchronous and structured-cloned both ways, as in Electron: a handler's thrown
// error reaches the page as Error("Error invoking remote method '<ch>': " + String(err)).
const { EventEmitter } = require('node:events');
const path = require('node:path');
const os = require('node:os');

const testing = {};
let readyResolve;
let readyPromise;

function makeEvent(extra = {}) {
  const event = {
    defaultPrevented: false,
    preventDefault() { event.defaultPrevented = true; },
    ...extra,
  };
  return event;
}

// ---------------------------------------------------------------- app
class App extends EventEmitter {
  get isPackaged() { return testing.packaged; }
  requestSingleInstanceLock() {
    testing.calls.lockRequests += 1;
    return testing.lock;
  }
  whenReady() { return readyPromise; }
  isReady() { return testing.ready; }
  quit() {
    testing.calls.quit += 1;
    testing.quitting = true;
  }
  exit(code = 0) { testing.calls.exit.push(code); }
  getAppPath() { return testing.appPath; }
  getPath(name) { return path.join(os.tmpdir(), 'quorlin-electron-standin', name); }
  getVersion() { return '1.0.0'; }
}
const app = new App();

function windowClosed() {
  if (testing.windows.every((w) => w.isDestroyed()) && !testing.quitting) app.emit('window-all-closed');
}

// ---------------------------------------------------------------- webContents, BrowserWindow
let nextId = 1;

class WebContents extends EventEmitter {
  constructor(win) {
    super();
    this.id = nextId++;
    this.window = win;
    this.sent = [];
    this.url = '';
  }
  isDestroyed() { return this.window.isDestroyed(); }
  getURL() { return this.url; }
  loadURL(url) {
    this.url = url;
    return Promise.resolve();
  }
  send(channel, ...args) {
    if (this.isDestroyed()) throw new TypeError('Object has been destroyed');
    const payload = structuredClone(args);
    this.sent.push({ channel, args: payload });
    if (this.window.options.webPreferences && this.window.options.webPreferences.preload) {
      deliver(() => ipcRenderer.emitFromMain(channel, payload));
    }
  }
}

class BrowserWindow extends EventEmitter {
  constructor(options = {}) {
    super();
    this.options = options;
    this.id = nextId++;
    this.webContents = new WebContents(this);
    this.destroyed = false;
    this.visible = options.show !== false;
    this.minimized = false;
    this.focused = false;
    this.menuRemoved = false;
    this.loaded = [];
    this.readyToShowSent = false;
    testing.windows.push(this);
  }
  static getAllWindows() { return testing.windows.filter((w) => !w.destroyed); }
  static getFocusedWindow() { return testing.windows.find((w) => !w.destroyed && w.focused) || null; }
  isDestroyed() { return this.destroyed; }
  removeMenu() { this.menuRemoved = true; }
  loadFile(file) { return this.load({ file }, path.resolve(testing.appPath, file)); }
  loadURL(url) { return this.load({ url }, url); }
  load(record, url) {
    this.loaded.push(record);
    this.webContents.url = url;
    if (testing.autoReadyToShow && !this.readyToShowSent && !this.visible) {
      setImmediate(() => {
        if (!this.destroyed && !this.readyToShowSent) this.emit('ready-to-show');
      });
    }
    return Promise.resolve();
  }
  emit(name, ...args) {
    if (name === 'ready-to-show') this.readyToShowSent = true;
    return super.emit(name, ...args);
  }
  show() { this.visible = true; this.minimized = false; this.focused = true; }
  hide() { this.visible = false; }
  isVisible() { return this.visible; }
  minimize() { this.minimized = true; this.focused = false; }
  isMinimized() { return this.minimized; }
  restore() { this.minimized = false; }
  focus() { this.focused = true; }
  isFocused() { return this.focused; }
  getParentWindow() { return this.options.parent || null; }
  // Asks to close: 'close' listeners may cancel with preventDefault().
  close() {
    if (this.destroyed) return;
    const event = makeEvent();
    this.emit('close', event);
    if (!event.defaultPrevented) this.destroy();
  }
  destroy() {
    if (this.destroyed) return;
    this.destroyed = true;
    this.visible = false;
    this.emit('closed');
    windowClosed();
  }
}

// ---------------------------------------------------------------- IPC
function deliver(fn) {
  testing.pending += 1;
  setImmediate(() => {
    testing.pending -= 1;
    fn();
  });
}

class IpcMain extends EventEmitter {
  constructor() {
    super();
    this.handlers = new Map();
  }
  handle(channel, fn) {
    if (this.handlers.has(channel)) throw new Error(`Attempted to register a second handler for '${channel}'`);
    this.handlers.set(channel, fn);
  }
  removeHandler(channel) { this.handlers.delete(channel); }
}
const ipcMain = new IpcMain();

class IpcRenderer extends EventEmitter {
  invoke(channel, ...args) {
    return new Promise((resolve, reject) => {
      const cloned = structuredClone(args);
      deliver(async () => {
        const handler = ipcMain.handlers.get(channel);
        const sender = pageWindow() ? pageWindow().webContents : null;
        try {
          if (!handler) throw new Error(`No handler registered for '${channel}'`);
          const result = await handler({ sender, senderFrame: null, processId: 1, frameId: 1 }, ...cloned);
          resolve(structuredClone(result));
        } catch (err) {
          testing.calls.handlerErrors.push({ channel, error: err });
          reject(new Error(`Error invoking remote method '${channel}': ${String(err)}`));
        }
      });
    });
  }
  emitFromMain(channel, args) {
    this.emit(channel, { sender: this, senderId: 0 }, ...args);
  }
}
const ipcRenderer = new IpcRenderer();

function pageWindow() {
  return testing.windows.find((w) => !w.destroyed && w.options.webPreferences && w.options.webPreferences.preload);
}

// Functions cross the bridge as proxies; everything else is copied and frozen.
function bridgeValue(value) {
  if (typeof value === 'function') return (...args) => value(...args);
  if (value && typeof value === 'object') {
    const copy = Array.isArray(value) ? [] : {};
    for (const key of Object.keys(value)) copy[key] = bridgeValue(value[key]);
    return Object.freeze(copy);
  }
  return value;
}

const contextBridge = {
  exposeInMainWorld(key, api) {
    if (Object.prototype.hasOwnProperty.call(testing.page, key)) {
      throw new Error('Cannot bind an API on top of an existing property on the window object');
    }
    testing.page[key] = bridgeValue(api);
  },
};

// ---------------------------------------------------------------- shell, dialog, safeStorage
const shell = {
  openPath(p) {
    testing.calls.openPath.push(p);
    return Promise.resolve(testing.openPathResult);
  },
  openExternal(url) {
    testing.calls.openExternal.push(url);
    return testing.openExternalError ? Promise.reject(testing.openExternalError) : Promise.resolve();
  },
};

const dialog = {
  showOpenDialog(win, options) {
    if (!(win instanceof BrowserWindow)) [win, options] = [null, win];
    testing.calls.showOpenDialog.push({ win, options });
    return Promise.resolve(structuredClone(testing.dialogResult));
  },
};

// Reversible, recognisable "encryption": a marker followed by the text's bytes turned around.
const CIPHER_MARK = Buffer.from('v10');
const safeStorage = {
  isEncryptionAvailable() { return testing.ready && testing.encryptionAvailable; },
  encryptString(text) {
    if (!testing.ready) throw new Error('safeStorage cannot be used before app is ready');
    if (!testing.encryptionAvailable) {
      throw new Error('Error while encrypting the text provided to safeStorage.encryptString. Encryption is not available.');
    }
    return Buffer.concat([CIPHER_MARK, Buffer.from(String(text), 'utf8').reverse()]);
  },
  decryptString(buffer) {
    if (!Buffer.isBuffer(buffer)) throw new TypeError('Expected the first argument of decryptString() to be a buffer');
    if (!testing.ready) throw new Error('safeStorage cannot be used before app is ready');
    if (buffer.length < CIPHER_MARK.length || !buffer.subarray(0, CIPHER_MARK.length).equals(CIPHER_MARK)) {
      throw new Error('Error while decrypting the ciphertext provided to safeStorage.decryptString.');
    }
    return Buffer.from(buffer.subarray(CIPHER_MARK.length)).reverse().toString('utf8');
  },
};

// ---------------------------------------------------------------- test controls
Object.assign(testing, {
  reset({ lock = true, ready = false, encryption = true, packaged = true } = {}) {
    for (const emitter of [app, ipcMain, ipcRenderer]) emitter.removeAllListeners();
    ipcMain.handlers.clear();
    readyPromise = new Promise((resolve) => { readyResolve = resolve; });
    Object.assign(testing, {
      lock,
      ready: false,
      packaged,
      quitting: false,
      encryptionAvailable: encryption,
      autoReadyToShow: true,
      appPath: path.resolve(__dirname, '..', '..', '..', '..', 'app'),
      windows: [],
      page: {},
      pending: 0,
      dialogResult: { canceled: true, filePaths: [] },
      openPathResult: '',
      openExternalError: null,
      calls: { quit: 0, exit: [], lockRequests: 0, openPath: [], openExternal: [], showOpenDialog: [], handlerErrors: [] },
    });
    if (ready) testing.setReady();
  },
  setReady() {
    testing.ready = true;
    readyResolve();
    app.emit('ready');
  },
  secondInstance(argv = [], cwd = '') {
    app.emit('second-instance', makeEvent(), argv, cwd, {});
  },
  navigate(win, name, url) {
    const details = makeEvent({ url, isSameDocument: false, isMainFrame: true, frame: null, initiator: null });
    win.webContents.emit(name, details, url, false, true);
    return details.defaultPrevented;
  },
  didNavigate(win, url, code = 200, text = 'OK') {
    win.webContents.url = url;
    win.webContents.emit('did-navigate', makeEvent(), url, code, text);
  },
  async flush() {
    while (testing.pending > 0) await new Promise((resolve) => setImmediate(resolve));
    await new Promise((resolve) => setImmediate(resolve));
  },
});
testing.reset();

module.exports = { app, BrowserWindow, ipcMain, ipcRenderer, contextBridge, shell, dialog, safeStorage, testing };
