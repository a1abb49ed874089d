// Stand-in for the `electron` module in the launcher's tests (`make test-app` puts
// test/support/modules on NODE_PATH). It models what the launcher uses of Electron 45,
// with Electron's own messages where the launcher or the page can see them.
//
// IPC is asynchronous and structured-cloned both ways, as in Electron. Test controls are on
// `require('electron').testing` (see reset below for the records and switches): the window with a
// preload delivers its sends to `page` (the page's global object) or to `remotePage(channel,
// payload)` when set, and its main frame is the one `ipcRenderer.invoke` asks from; `invoke`
// asks from any web contents and frame. `navigate` plays a navigation or a server redirect,
// `openWindow` a `window.open`; both answer what came of it.
const { EventEmitter } = require('node:events');
const path = require('node:path');
const { pathToFileURL } = require('node:url');

const testing = {};
let readyResolve;
let readyPromise;

function makeEvent(extra = {}) {
  return { defaultPrevented: false, preventDefault() { this.defaultPrevented = true; }, ...extra };
}

const app = Object.assign(new EventEmitter(), {
  requestSingleInstanceLock: () => testing.lock,
  whenReady: () => readyPromise,
  quit() {
    testing.calls.quit += 1;
    testing.quitting = true;
  },
  // ends at once in Electron; here it is recorded and the process lives on
  exit(code = 0) { testing.calls.exit.push(code); },
  // a folder of testing.paths; Electron throws when the system cannot name it
  getPath(name) {
    if (!Object.hasOwn(testing.paths, name)) throw new Error(`Failed to get '${name}' path`);
    return testing.paths[name];
  },
});

// A frame of a page (Electron's WebFrameMain): the address it shows.
class WebFrameMain {
  constructor(url = '') { this.url = url; }
}

class WebContents extends EventEmitter {
  constructor(win) {
    super();
    Object.assign(this, { window: win, mainFrame: new WebFrameMain(), windowOpenHandler: null });
  }
  isDestroyed() { return this.window.isDestroyed(); }
  setWindowOpenHandler(handler) { this.windowOpenHandler = handler; }
  send(channel, ...args) {
    if (this.isDestroyed()) throw new TypeError('Object has been destroyed');
    const payload = structuredClone(args);
    if (this.window !== pageWindow()) return;
    deliver(() => (testing.remotePage ? testing.remotePage(channel, ...payload) : ipcRenderer.emit(channel, { sender: ipcRenderer, senderId: 0 }, ...payload)));
  }
  async capturePage() {
    const png = await testing.capture();
    return { toPNG: () => png };
  }
}

class BrowserWindow extends EventEmitter {
  constructor(options = {}) {
    super();
    Object.assign(this, { options, webContents: new WebContents(this), loaded: [], visible: options.show !== false });
    Object.assign(this, { destroyed: false, minimized: false, focused: false, menuRemoved: false });
    testing.windows.push(this);
    app.emit('web-contents-created', makeEvent(), this.webContents);
  }
  isDestroyed() { return this.destroyed; }
  removeMenu() { this.menuRemoved = true; }
  // Electron resolves a relative file against the application's folder; the launcher gives it whole
  loadFile(file) { return this.load({ file }, pathToFileURL(path.resolve(file)).href); }
  loadURL(url) { return this.load({ url }, url); }
  load(record, url) {
    this.loaded.push(record);
    this.webContents.mainFrame.url = url;
    if (testing.autoReadyToShow && this.loaded.length === 1 && !this.visible) {
      setImmediate(() => { if (!this.destroyed) this.emit('ready-to-show'); });
    }
    return Promise.resolve();
  }
  show() { Object.assign(this, { visible: true, minimized: false, focused: true }); }
  isVisible() { return this.visible; }
  minimize() { this.minimized = true; this.focused = false; }
  isMinimized() { return this.minimized; }
  restore() { this.minimized = false; }
  focus() { this.focused = true; }
  isFocused() { return this.focused; }
  getParentWindow() { return this.options.parent || null; }
  setContentProtection(enable) { this.contentProtected = Boolean(enable); }
  isContentProtected() { return Boolean(this.contentProtected); }
  // 'close' listeners may cancel with preventDefault()
  close() {
    if (this.destroyed) return;
    const event = makeEvent();
    this.emit('close', event);
    if (!event.defaultPrevented) this.destroy();
  }
  destroy() {
    if (this.destroyed) return;
    Object.assign(this, { destroyed: true, visible: false });
    this.emit('closed');
    if (testing.windows.every((w) => w.destroyed) && !testing.quitting) app.emit('window-all-closed');
  }
}

function deliver(fn) {
  testing.pending += 1;
  setImmediate(() => { testing.pending -= 1; fn(); });
}

function pageWindow() {
  return testing.windows.find((w) => !w.destroyed && w.options.webPreferences && w.options.webPreferences.preload);
}

const ipcMain = Object.assign(new EventEmitter(), {
  handlers: new Map(),
  handle(channel, fn) {
    if (ipcMain.handlers.has(channel)) throw new Error(`Attempted to register a second handler for '${channel}'`);
    ipcMain.handlers.set(channel, fn);
  },
});

// A request from `senderFrame` of the web contents `sender`, as ipcMain's handler sees it.
function invokeFrom({ sender, senderFrame }, channel, ...args) {
  const cloned = structuredClone(args);
  return new Promise((resolve, reject) => deliver(async () => {
    const handler = ipcMain.handlers.get(channel);
    try {
      if (!handler) throw new Error(`No handler registered for '${channel}'`);
      resolve(structuredClone(await handler({ sender, senderFrame }, ...cloned)));
    } catch (err) {
      reject(new Error(`Error invoking remote method '${channel}': ${String(err)}`));
    }
  }));
}

const ipcRenderer = Object.assign(new EventEmitter(), {
  invoke(channel, ...args) {
    const page = pageWindow()?.webContents ?? null;
    return invokeFrom({ sender: page, senderFrame: page && page.mainFrame }, channel, ...args);
  },
});

// Functions cross the bridge as proxies, other values as copies; the page gets a frozen object.
const contextBridge = {
  exposeInMainWorld(key, api) {
    if (Object.hasOwn(testing.page, key)) throw new Error('Cannot bind an API on top of an existing property on the window object');
    const bridged = Object.entries(api).map(([k, v]) => [k, typeof v === 'function' ? (...args) => v(...args) : structuredClone(v)]);
    testing.page[key] = Object.freeze(Object.fromEntries(bridged));
  },
};

const dialog = {
  async showOpenDialog(...args) {
    const [parent, options] = args.length > 1 ? args : [null, args[0]];
    testing.calls.dialogs.push({ parent, options });
    return testing.dialogAnswer;
  },
};

const shell = {
  openPath: async (p) => { testing.calls.openPath.push(p); return ''; },
  openExternal: async (url) => { testing.calls.openExternal.push(url); },
  showItemInFolder: (p) => { testing.calls.showItemInFolder.push(p); },
};

// Reversible, recognisable "encryption": a marker followed by the text's bytes turned around.
const CIPHER_MARK = Buffer.from('v10');
const safeStorage = {
  isEncryptionAvailable() { return testing.ready && testing.encryptionAvailable; },
  encryptString(text) {
    if (!testing.ready) throw new Error('safeStorage cannot be used before app is ready');
    if (!testing.encryptionAvailable) throw new Error('Error while encrypting the text provided to safeStorage.encryptString. Encryption is not available.');
    return Buffer.concat([CIPHER_MARK, Buffer.from(String(text), 'utf8').reverse()]);
  },
  decryptString(buffer) {
    if (!Buffer.isBuffer(buffer)) throw new TypeError('Expected the first argument of decryptString() to be a buffer');
    if (!testing.ready) throw new Error('safeStorage cannot be used before app is ready');
    if (!buffer.subarray(0, CIPHER_MARK.length).equals(CIPHER_MARK)) throw new Error('Error while decrypting the ciphertext provided to safeStorage.decryptString.');
    return Buffer.from(buffer.subarray(CIPHER_MARK.length)).reverse().toString('utf8');
  },
};

Object.assign(testing, {
  // forgets every window, handler, listener and record
  reset({ lock = true, ready = false, encryption = true, packaged = false } = {}) {
    for (const emitter of [app, ipcMain, ipcRenderer]) emitter.removeAllListeners();
    ipcMain.handlers.clear();
    readyPromise = new Promise((resolve) => { readyResolve = resolve; });
    app.isPackaged = packaged;
    // autoReadyToShow: a hidden window emits 'ready-to-show' after its first load; dialogAnswer is
    // what showOpenDialog resolves to; capture() gives the PNG bytes of capturePage
    Object.assign(testing, { lock, ready: false, quitting: false, encryptionAvailable: encryption, autoReadyToShow: true });
    Object.assign(testing, { windows: [], page: {}, remotePage: null, pending: 0 });
    // paths: what app.getPath answers, by name
    Object.assign(testing, { dialogAnswer: { canceled: true, filePaths: [] }, capture: () => Buffer.alloc(0), paths: {} });
    testing.calls = { quit: 0, exit: [], openPath: [], openExternal: [], showItemInFolder: [], dialogs: [] };
    if (ready) testing.setReady();
  },
  setReady() {
    testing.ready = true;
    readyResolve();
  },
  secondInstance(argv = [], cwd = '') { app.emit('second-instance', makeEvent(), argv, cwd, {}); },
  // 'will-navigate': a page (a link, a script, a dropped file or link) starts a navigation, which
  // Electron announces with will-frame-navigate, then for the main frame will-navigate;
  // 'will-redirect': a server redirects one. True when a listener prevented it; otherwise the
  // main frame now shows `url`.
  navigate(win, name, url, { isMainFrame = true } = {}) {
    const contents = win.webContents;
    const frame = isMainFrame ? contents.mainFrame : new WebFrameMain();
    const events = name === 'will-redirect' ? ['will-redirect'] : ['will-frame-navigate', ...(isMainFrame ? ['will-navigate'] : [])];
    for (const event of events) {
      const details = makeEvent({ url, isSameDocument: false, isMainFrame, frame, initiator: frame });
      // will-navigate and will-redirect still pass their deprecated positional arguments too
      if (event === 'will-frame-navigate') contents.emit(event, details);
      else contents.emit(event, details, url, false, isMainFrame, 1, 1);
      if (details.defaultPrevented) return true;
    }
    if (isMainFrame) contents.mainFrame.url = url;
    return false;
  },
  // window.open(url) in `win`'s page: the new window, or null when the handler denied it
  openWindow(win, url) {
    const handler = win.webContents.windowOpenHandler;
    const details = { url, frameName: '', features: '', disposition: 'foreground-tab',
      referrer: { url: win.webContents.mainFrame.url, policy: 'strict-origin-when-cross-origin' }, postBody: null };
    const answer = handler ? handler(details) : { action: 'allow' };
    if (!answer || answer.action !== 'allow') return null;
    const opened = new BrowserWindow(answer.overrideBrowserWindowOptions || {});
    opened.loadURL(url);
    return opened;
  },
  invoke: invokeFrom,
  didNavigate(win, url, code = 200, text = 'OK') { win.webContents.emit('did-navigate', makeEvent(), url, code, text); },
  async flush() {
    while (testing.pending > 0) await new Promise((resolve) => setImmediate(resolve));
    await new Promise((resolve) => setImmediate(resolve));
  },
});
testing.reset();

module.exports = { app, BrowserWindow, ipcMain, ipcRenderer, contextBridge, dialog, shell, safeStorage, testing };
