const { test, describe, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const electron = require('electron');
const endpoints = require('../../app/endpoints');
const client = require('../../app/http');
const { state, initState } = require('../../app/state');
const official = require('../../app/setup/official-launcher');
const { standInTools } = require('../support/bin');
const { startWorld } = require('../support/world');

const REAL_TASKLIST = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata', 'windows', 'tasklist',
  'tasklist-fo-csv-with-header.willsmythe.csv');
const HOME = 'C:\\Users\\Ayşe';
const EXE = 'MinecraftLauncher.exe';

let tools;
let world;
let dir;
let present; // the Windows files that exist
let events; // what reached the page: [channel, payload]

before(async () => {
  tools = standInTools();
  world = await startWorld();
  endpoints.mojangLauncher = world.url;
  client.limits.retryStepMs = 5;
});
after(async () => {
  tools.remove();
  await world.close();
});

beforeEach(async () => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-official-'));
  initState({ env: { APPDATA: path.join(dir, 'roaming') }, home: HOME });
  state.paths.MC_DIR = 'C:\\Users\\Ayşe\\AppData\\Roaming\\.minecraft';
  present = new Set();
  events = [];
  electron.testing.reset();
  const win = new electron.BrowserWindow({ webPreferences: { preload: 'preload.js' } });
  state.win = win;
  for (const channel of ['log', 'progress']) electron.ipcRenderer.on(channel, (_e, data) => events.push([channel, data]));
  world.reset();
});

function options(extra = {}) {
  return {
    platform: 'win32',
    env: { ...tools.env, 'ProgramFiles(x86)': 'D:\\Apps86', ProgramFiles: 'D:\\Apps', LOCALAPPDATA: 'D:\\Local' },
    home: HOME,
    exists: (file) => present.has(file) || fs.existsSync(file),
    openPath: electron.shell.openPath,
    ...extra,
  };
}

async function delivered() {
  await electron.testing.flush();
  return events;
}

describe('launcherRunning and closeOfficialLauncher', () => {
  const real = fs.existsSync(REAL_TASKLIST) ? fs.readFileSync(REAL_TASKLIST, 'utf8') : '"svchost.exe","1256","Services","0","2,776 K"\n';
  const row = (image) => `"${image}","4242","Console","1","312,000 K"\r\n`;
  const cases = [
    ['an ordinary process list', { stdout: real }, false],
    ['the launcher in lower case', { stdout: real + row('minecraftlauncher.exe') }, true],
    ['the game of the Store app', { stdout: row('Minecraft.exe') }, true],
    ['a name that only ends like it', { stdout: row('NotMinecraft.exe') + row('Minecraft.exe.bak') }, false],
    ['a failing tasklist', { stdout: row('Minecraft.exe'), code: 1 }, false],
  ];
  for (const [what, plan, running] of cases) {
    test(`${what}: ${running ? 'running' : 'not running'}`, async () => {
      tools.plan({ tasklist: plan });
      assert.equal(await official.closeOfficialLauncher(options()), running);
      assert.deepEqual(tools.calls('taskkill').map((c) => c.args),
        running ? [['/IM', 'MinecraftLauncher.exe', '/F'], ['/IM', 'Minecraft.exe', '/F']] : []);
      assert.deepEqual(tools.calls('tasklist').map((c) => c.args), [['/FO', 'CSV', '/NH']]);
    });
  }

  test('a missing tasklist, another platform and state queries at once', async () => {
    tools.plan({}, { missing: ['tasklist'] });
    assert.equal(await official.launcherRunning(options()), false);
    tools.plan({ tasklist: { stdout: row('Minecraft.exe') } });
    assert.equal(await official.launcherRunning(options()), true);
    tools.plan({ tasklist: { stdout: row('Minecraft.exe'), delay: 100 } });
    assert.equal(await official.closeOfficialLauncher(options({ platform: 'linux' })), false);
    assert.deepEqual(tools.calls(), []);
    const answers = await Promise.all([official.launcherOpen(options()), official.launcherOpen(options())]);
    assert.deepEqual(answers, [true, true]);
    assert.equal(tools.calls('tasklist').length, 1, 'one tasklist for both queries');
  });
});

describe('psOut', () => {
  test('reads Turkish letters right however the console writes them', async () => {
    const folder = 'C:\\Users\\Ayşe Işık Doğan\\Masaüstü';
    for (const plan of [{ stdout: `\r\n${folder}\r\n`, oem: true }, { stdout: `\uFEFF${folder}\r\n` }]) {
      tools.plan({ 'powershell.exe': plan });
      assert.equal(await official.psOut('Get-Location', options()), folder);
    }
    const [args] = tools.calls('powershell.exe').map((c) => c.args);
    assert.deepEqual(args.slice(0, 4), ['-NoProfile', '-ExecutionPolicy', 'Bypass', '-Command']);
    assert.match(args[4], /Get-Location$/);
  });

  test('a failing or missing PowerShell gives empty text', async () => {
    tools.plan({ 'powershell.exe': { stdout: 'yarım', code: 1 } });
    assert.equal(await official.psOut('x', options()), '');
    tools.plan({}, { missing: ['powershell.exe'] });
    assert.equal(await official.psOut('x', options()), '');
  });
});

describe('findOfficialLauncher', () => {
  const usual = [
    'D:\\Apps86\\Minecraft Launcher\\MinecraftLauncher.exe',
    'D:\\Apps\\Minecraft Launcher\\MinecraftLauncher.exe',
    'D:\\Apps86\\Minecraft\\MinecraftLauncher.exe',
    'D:\\Local\\Programs\\Minecraft Launcher\\MinecraftLauncher.exe',
    'C:\\Users\\Ayşe\\AppData\\Roaming\\.minecraft\\MinecraftLauncher.exe',
  ];

  test('the picked file first, then the usual folders in order, without asking PowerShell', async () => {
    tools.plan();
    state.settings.launcherPath = 'E:\\Oyunlar\\ML.exe';
    for (let i = 0; i < usual.length; i += 1) {
      present = new Set(usual.slice(i));
      assert.deepEqual(await official.findOfficialLauncher(options()), { kind: 'exe', path: usual[i] }, 'picked file gone');
    }
    present.add('E:\\Oyunlar\\ML.exe');
    assert.deepEqual(await official.findOfficialLauncher(options()), { kind: 'exe', path: 'E:\\Oyunlar\\ML.exe' });
    assert.deepEqual(tools.calls(), []);
  });

  test('unset program folders default to the standard ones and the home folder', async () => {
    const defaults = [
      'C:\\Program Files (x86)\\Minecraft Launcher\\MinecraftLauncher.exe',
      'C:\\Program Files\\Minecraft Launcher\\MinecraftLauncher.exe',
      'C:\\Users\\Ayşe\\AppData\\Local\\Programs\\Minecraft Launcher\\MinecraftLauncher.exe',
    ];
    for (const file of defaults) {
      present = new Set([file]);
      assert.deepEqual(await official.findOfficialLauncher(options({ env: tools.env })), { kind: 'exe', path: file });
    }
  });

  const store = 'Microsoft.4297127D64EC6_8wekyb3d8bbwe';
  // [what, PowerShell answers, result, the queries asked]
  const searches = [
    ['a Store package', [{ stdout: `${store}\r\n` }, { stdout: 'Minecraft.App Other.App\r\n' }],
      { kind: 'store', path: `shell:AppsFolder\\${store}!Minecraft.App` }, [/PackageFamilyName$/, /Get-AppxPackageManifest/]],
    ['a Store package without an application id', [{ stdout: store }, { stdout: '' }],
      { kind: 'store', path: `shell:AppsFolder\\${store}!Minecraft` }, [/PackageFamilyName$/, /Get-AppxPackageManifest/]],
    ['an uninstall entry whose folder holds the launcher', [{}, { stdout: 'D:\\Oyun Başlatıcı\r\n', oem: true }],
      { kind: 'exe', path: `D:\\Oyun Başlatıcı\\${EXE}` }, [/PackageFamilyName$/, /Uninstall.*DisplayIcon/]],
    ['a shortcut, after an uninstall entry without the launcher', [{}, { stdout: 'D:\\Boş' }, { stdout: 'C:\\Masaüstü\\Minecraft.lnk' }],
      { kind: 'lnk', path: 'C:\\Masaüstü\\Minecraft.lnk' }, [/PackageFamilyName$/, /Uninstall/, /GetFolderPath.*\.lnk/]],
    ['nothing anywhere', [{}], null, [/PackageFamilyName$/, /Uninstall/, /GetFolderPath/]],
  ];
  for (const [what, plans, found, queries] of searches) {
    test(`then PowerShell: ${what}`, async () => {
      present = new Set([`D:\\Oyun Başlatıcı\\${EXE}`]);
      tools.plan({ 'powershell.exe': plans });
      assert.deepEqual(await official.findOfficialLauncher(options()), found);
      const asked = tools.calls('powershell.exe').map((c) => c.args[4]);
      assert.equal(asked.length, queries.length);
      queries.forEach((pattern, i) => assert.match(asked[i], pattern));
    });
  }
});

describe('openOfficialLauncher', () => {
  test('a Store app through explorer.exe, a file through the shell, nothing as null', async () => {
    tools.plan({ 'powershell.exe': [{ stdout: 'Fam' }, { stdout: 'App' }] });
    assert.equal(await official.openOfficialLauncher(options()), 'store');
    for (let i = 0; i < 100 && tools.calls('explorer.exe').length === 0; i += 1) await new Promise((r) => setTimeout(r, 20));
    assert.deepEqual(tools.calls('explorer.exe').map((c) => c.args), [['shell:AppsFolder\\Fam!App']]);

    present = new Set(['D:\\Apps\\Minecraft Launcher\\MinecraftLauncher.exe']);
    assert.equal(await official.openOfficialLauncher(options()), 'exe');
    assert.deepEqual(electron.testing.calls.openPath, ['D:\\Apps\\Minecraft Launcher\\MinecraftLauncher.exe']);

    present = new Set();
    tools.plan({}, { missing: ['explorer.exe', 'powershell.exe'] });
    assert.equal(await official.openOfficialLauncher(options()), null);
  });
});

describe('installOfficialLauncher', () => {
  const WINGET = ['install', '--id', 'Mojang.MinecraftLauncher', '-e', '--silent',
    '--accept-package-agreements', '--accept-source-agreements'];

  test('winget first: its output goes to the log, and an error counts when the launcher is found after', async () => {
    tools.plan({ winget: { stdout: 'Bulundu Minecraft Launcher [Mojang.MinecraftLauncher]\r\n', stderr: '  indiriliyor  ' } });
    assert.equal(await official.installOfficialLauncher(options()), true);
    assert.deepEqual(tools.calls('winget').map((c) => c.args), [WINGET]);
    const lines = (await delivered()).filter(([ch]) => ch === 'log').map(([, line]) => line).sort();
    assert.deepEqual(lines, ['[winget] Bulundu Minecraft Launcher [Mojang.MinecraftLauncher]', '[winget] indiriliyor']);

    present = new Set(['D:\\Apps86\\Minecraft\\MinecraftLauncher.exe']);
    tools.plan({ winget: { code: 0x8a15002b } });
    assert.equal(await official.installViaWinget(options()), true);
    assert.deepEqual(tools.calls('msiexec.exe'), []);
    assert.equal(await official.installOfficialLauncher(options({ platform: 'linux' })), false);
  });

  test('without winget the installer package is downloaded into the cache and run', async () => {
    const installed = path.join(dir, 'Minecraft Launcher', EXE);
    state.settings.launcherPath = installed;
    const msi = Buffer.alloc(64 * 1024, 7);
    world.route('/download/MinecraftInstaller.msi', { body: msi });
    tools.plan({ 'msiexec.exe': { files: { [installed]: 'MZ' }, code: 1602 } }, { missing: ['winget'] });
    assert.equal(await official.installOfficialLauncher(options()), true);
    const cached = path.join(state.paths.CACHE_DIR, 'MinecraftInstaller.msi');
    assert.deepEqual(fs.readFileSync(cached), msi, 'the package stays in the cache');
    assert.deepEqual(tools.calls('msiexec.exe').map((c) => c.args), [['/i', cached, '/passive', '/norestart']]);
    const steps = (await delivered()).filter(([ch]) => ch === 'progress').map(([, p]) => p);
    assert.deepEqual(steps[0], { step: 'launch', label: 'Minecraft Launcher kuruluyor', pct: 0.5 });
    assert.deepEqual(steps.at(-1), { step: 'launch', label: 'Minecraft Launcher kuruluyor', pct: 0.9 });
    assert.ok(steps.some((p) => p.label === 'Minecraft Launcher indiriliyor' && p.pct === 1));
  });

  test('a failed download is logged and ends in false when nothing is found', async () => {
    tools.plan({ winget: { code: 1 } }, { missing: ['powershell.exe'] });
    assert.equal(await official.installOfficialLauncher(options()), false);
    assert.deepEqual(tools.calls('msiexec.exe'), []);
    const lines = (await delivered()).filter(([ch]) => ch === 'log').map(([, line]) => line);
    assert.ok(lines.includes(`[Quorlin] Launcher indirilemedi: HTTP 404 — ${world.url}/download/MinecraftInstaller.msi`), lines.join('\n'));
  });
});
