'use strict';
// Runs the launcher page in headless Chromium with its real bridge script. The bridge's
// `require('electron')` gets an in-page stand-in: requests are recorded and answered by the
// test (some at once, see openPage; the others by `answer`, or all of them by a main process
// given to `openPage`), events are pushed by `emit`.

const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');
const assert = require('node:assert/strict');
const { chromium } = require('playwright-core');

const ROOT = path.join(__dirname, '..', '..');
const PAGE_URL = pathToFileURL(path.join(ROOT, 'app', 'ui', 'index.html')).href;
const SHOTS = path.join(ROOT, 'build', 'ui-shots');

const LAUNCH_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic'];

function launchBrowser() {
  return chromium.launch({ executablePath: '/usr/bin/chromium', args: LAUNCH_ARGS });
}

// One browser for a whole test file: `const shared = shareBrowser()`, then `shared.browser`.
function shareBrowser() {
  const { before, after } = require('node:test');
  const shared = {};
  before(async () => { shared.browser = await launchBrowser(); });
  after(() => shared.browser.close());
  return shared;
}

function snapshot(overrides = {}) {
  return { server: 'stopped', settings: { gameRam: 6, serverRam: 4, stopServerOnExit: true, clientId: '', launcherPath: '' },
    account: null, hasClientId: true, version: '1.0.26', mc: '26.3', gameDir: 'C:\\Users\\Ayşe\\AppData\\Roaming\\.quorlin\\brimlox',
    launcherOpen: false, ...overrides };
}

// Channels whose answer carries no decision are answered at once (these with no value);
// every other request waits for the test's `answer`.
const NO_VALUE = ['server:stop', 'server:cmd', 'open', 'link', 'win'];

// Runs inside the page before its own scripts.
function installStandIn(auto, noValue, runPreload) {
  for (const channel of noValue) auto[channel] = undefined;
  const ipc = { calls: [], pending: [], listeners: {}, auto, problems: [] };
  window.__ipc = ipc;
  document.addEventListener('securitypolicyviolation', (e) => ipc.problems.push(`CSP: ${e.violatedDirective} ${e.blockedURI}`));
  const ipcRenderer = {
    invoke(channel, ...args) {
      ipc.calls.push({ channel, args });
      if (window.__main) return window.__main(channel, args);
      if (Object.hasOwn(ipc.auto, channel)) return Promise.resolve(structuredClone(ipc.auto[channel]));
      return new Promise((resolve, reject) => ipc.pending.push({ channel, resolve, reject }));
    },
    on(channel, listener) { (ipc.listeners[channel] ||= []).push(listener); },
  };
  const contextBridge = {
    exposeInMainWorld(key, api) {
      if (key in window) throw new Error('Cannot bind an API on top of an existing property');
      Object.defineProperty(window, key, { value: Object.freeze({ ...api }), enumerable: true });
    },
  };
  runPreload((name) => {
    if (name !== 'electron') throw new Error(`module not found: ${name}`);
    return { contextBridge, ipcRenderer };
  });
}

class PageUnderTest {
  constructor(page) {
    this.page = page;
    this.problems = [];
    page.on('console', (m) => { if (m.type() === 'error' || m.type() === 'warning') this.problems.push(`console: ${m.text()}`); });
    page.on('pageerror', (e) => this.problems.push(`page error: ${e.message}`));
  }

  // Answers the oldest waiting request of `channel`, waiting for one to arrive first;
  // rejectRequest rejects it the way Electron passes on a handler that threw an Error of `message`.
  answer(channel, value) { return this.finish(channel, 'resolve', value); }

  rejectRequest(channel, message) { return this.finish(channel, 'reject', message); }

  async finish(channel, how, value) {
    await this.page.waitForFunction((ch) => window.__ipc.pending.some((p) => p.channel === ch), channel);
    await this.page.evaluate(([ch, h, v]) => {
      const i = window.__ipc.pending.findIndex((p) => p.channel === ch);
      const request = window.__ipc.pending.splice(i, 1)[0];
      if (h === 'resolve') request.resolve(v); else request.reject(new Error(`Error invoking remote method '${ch}': Error: ${v}`));
    }, [channel, how, value]);
    await this.settle();
  }

  async emit(channel, ...payloads) {
    await this.page.evaluate(([ch, list]) => {
      for (const payload of list) for (const fn of window.__ipc.listeners[ch] || []) fn({ sender: 'main' }, payload);
    }, [channel, payloads]);
    await this.settle();
  }

  calls(channel) {
    return this.page.evaluate((ch) => window.__ipc.calls.filter((c) => !ch || c.channel === ch), channel);
  }

  // Lets answered promises run on and the console take its waiting lines (once per frame).
  settle() {
    return this.page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(() => setTimeout(r, 0)))));
  }

  text(selector) { return this.page.locator(selector).textContent(); }

  classes(selector) { return this.page.locator(selector).getAttribute('class'); }

  isHidden(selector) { return this.page.locator(selector).evaluate((el) => el.classList.contains('hidden')); }

  async click(selector) {
    await this.page.click(selector);
    await this.settle();
  }

  async close() {
    const csp = await this.page.evaluate(() => window.__ipc.problems).catch(() => []);
    await this.page.context().close();
    return [...this.problems, ...csp];
  }

  async closeClean() { assert.deepEqual(await this.close(), [], 'no console errors and no policy violations'); }
}

// Opens the page. `state` is the snapshot answered to the start-up request, or null to
// hold that request until the test answers it. `main(channel, args)`, when given, answers
// every request instead, as the main process does.
async function openPage(browser, { state = snapshot(), viewport = { width: 1120, height: 690 }, main } = {}) {
  const context = await browser.newContext({ viewport });
  context.setDefaultTimeout(5000);
  const page = await context.newPage();
  if (main) await page.exposeFunction('__main', main);
  const auto = { 'settings:set': state && state.settings, 'auth:logout': true };
  if (state !== null) auto.state = state;
  const preloadSource = fs.readFileSync(path.join(ROOT, 'app', 'preload.js'), 'utf8');
  // the bridge script is pasted in as a function body: the page's policy forbids evaluating text
  await page.addInitScript({
    content: `(${installStandIn})(${JSON.stringify(auto)}, ${JSON.stringify(NO_VALUE)}, function (require) {\n${preloadSource}\n});`,
  });
  const ui = new PageUnderTest(page);
  await page.goto(PAGE_URL);
  await ui.settle();
  return ui;
}

// Reads colours out of a PNG by decoding it in a blank page of the same browser.
async function pixels(browser, png, points) {
  const page = await browser.newPage();
  try {
    return await page.evaluate(async ([b64, pts]) => {
      const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      const bitmap = await createImageBitmap(new Blob([bytes], { type: 'image/png' }));
      const g = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
      g.drawImage(bitmap, 0, 0);
      return pts.map(([x, y]) => Array.from(g.getImageData(x, y, 1, 1).data.slice(0, 3)));
    }, [png.toString('base64'), points]);
  } finally {
    await page.close();
  }
}

module.exports = { launchBrowser, shareBrowser, openPage, snapshot, pixels, ROOT, SHOTS };
