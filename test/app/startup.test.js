const { test, beforeEach, afterEach, mock } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { fakeServices, wiredLauncher } = require('../support/launcher');
const { ensureShortcut } = require('../../app/shortcut');

let appData;
beforeEach(() => { appData = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-startup-')); });
afterEach(() => fs.rmSync(appData, { recursive: true, force: true }));

const UPDATE = { launcher: { version: '1.0.27', url: 'http://x/app.zip' } };

test('a manifest later than the limit is discarded: the window opens without it and no update runs', async () => {
  let deliver;
  const services = fakeServices({ manifest: () => new Promise((resolve) => { deliver = resolve; }) });
  const { state, testing, startUp } = wiredLauncher({ appData, services, ready: true });
  await startUp({ manifestWaitMs: 10, platform: 'linux' });
  assert.equal(testing.windows.length, 1);
  deliver(UPDATE);
  await testing.flush();
  assert.equal(state.latestManifest, null);
  assert.deepEqual(services.calls.map((c) => c[0]), ['manifest']);
});

test('a manifest that fails at once does not hold the window back for the limit', { timeout: 5000 }, async (t) => {
  // the limit's timer never fires here: only the manifest's answer can let start-up go on
  t.mock.timers.enable({ apis: ['setTimeout'] });
  for (const manifest of [null, () => Promise.reject(new Error('ECONNREFUSED'))]) {
    const { testing, startUp } = wiredLauncher({ appData, services: fakeServices({ manifest }), ready: true });
    await startUp({ platform: 'linux' });
    assert.deepEqual([testing.windows.length, testing.calls.exit], [1, []]);
  }
});

test('an update under way ends the process before any window, after the account object exists', async () => {
  let authFirst;
  const services = fakeServices({ manifest: () => { authFirst = state.auth !== null; return UPDATE; }, maybeUpdateLauncher: true });
  const { state, testing, startUp } = wiredLauncher({ appData, services, ready: true, env: { QUORLIN_EXE: 'C:\\R\\Quorlin.exe' } });
  await startUp({ platform: 'linux' });
  assert.deepEqual({ authFirst, exit: testing.calls.exit, windows: testing.windows.length, latest: state.latestManifest },
    { authFirst: true, exit: [0], windows: 0, latest: UPDATE });
  const [[, given, { currentVersion, env }]] = services.calls.filter((c) => c[0] === 'maybeUpdateLauncher');
  assert.deepEqual([given, currentVersion, env.QUORLIN_EXE], [UPDATE, '1.0.26', 'C:\\R\\Quorlin.exe']);
});

test('a failing update check or account file still opens the window and says why on standard output', async () => {
  const cases = [
    [{ maybeUpdateLauncher: () => { throw new Error('paket bozuk'); } }, /HATA: Error: paket bozuk/],
    [{ Auth: class { constructor() { throw new Error('hesap bozuk'); } } }, /HATA: Error: hesap bozuk/],
  ];
  for (const [replaced, printedLine] of cases) {
    const services = Object.assign(fakeServices({ manifest: UPDATE }), replaced);
    const printed = mock.method(console, 'log', () => {});
    const { testing, startUp } = wiredLauncher({ appData, services, ready: true });
    await startUp({ platform: 'linux' });
    printed.mock.restore();
    assert.deepEqual([testing.windows.length, testing.calls.exit], [1, []]);
    assert.match(printed.mock.calls.map((c) => c.arguments.join(' ')).join('\n'), printedLine);
  }
});

test('the desktop shortcut is made once, on a packaged Windows launcher, unless an installer manages shortcuts', async () => {
  const bootDir = path.join(appData, "O'Neil’s İndirilenler");
  fs.mkdirSync(bootDir);
  const boot = path.join(bootDir, 'Quorlin.exe');
  const cases = [
    { name: 'already made', settings: { shortcut: 2 }, runs: 0, shortcut: 2 },
    { name: 'not Windows', platform: 'linux', runs: 0, shortcut: false },
    { name: 'development runtime', isPackaged: false, runs: 0, shortcut: false },
    { name: 'installer present', kaldir: true, runs: 0, shortcut: 2, saves: 1 },
    { name: 'made', runs: 1, shortcut: 2, saves: 1 },
    { name: 'made for the runtime without a bootstrapper', env: {}, runs: 1, shortcut: 2, saves: 1 },
    { name: 'PowerShell fails', answer: { code: 1 }, runs: 1, shortcut: false },
    { name: 'PowerShell missing', answer: { code: null, error: new Error('ENOENT') }, runs: 1, shortcut: false },
  ];
  for (const c of cases) {
    if (c.kaldir) fs.writeFileSync(path.join(bootDir, 'Kaldir.exe'), '');
    const settings = { shortcut: false, ...c.settings };
    const runs = [];
    let saves = 0;
    await ensureShortcut({
      settings, saveSettings: () => { saves += 1; }, assets: '/app/assets', isPackaged: c.isPackaged ?? true,
      platform: c.platform || 'win32', env: c.env || { QUORLIN_BOOT: boot }, execPath: '/r/Quorlin.exe',
      runTool: async (file, args) => { runs.push([file, ...args]); return c.answer || { code: 0 }; },
    });
    fs.rmSync(path.join(bootDir, 'Kaldir.exe'), { force: true });
    assert.deepEqual([runs.length, settings.shortcut, saves], [c.runs, c.shortcut, c.saves || 0], c.name);
    if (!c.name.startsWith('made')) continue;
    const [[file, ...args]] = runs;
    assert.deepEqual([file, ...args.slice(0, 4)], ['powershell.exe', '-NoProfile', '-ExecutionPolicy', 'Bypass', '-Command']);
    const [target, dir] = c.env ? ['/r/Quorlin.exe', '/r'] : [boot, bootDir].map((p) => p.replace("'", "''").replace('’', '’’'));
    assert.ok(args[4].includes(`Join-Path $d 'Quorlin.lnk'));$s.TargetPath='${target}';$s.WorkingDirectory='${dir}';` +
      "$s.IconLocation='/app/assets/quorlin.ico,0';$s.Description='Quorlin — Brimlox';$s.Save()"), args[4]);
  }
});
