'use strict';
const { test, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const electron = require('electron');
const endpoints = require('../../app/core/endpoints');
const official = require('../../app/setup/official-launcher');
const { standInTools } = require('../support/bin');
const { testContext } = require('../support/context');
const { startWorld } = require('../support/world');

const REAL_TASKLIST = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata', 'windows', 'tasklist',
  'tasklist-fo-csv-with-header.willsmythe.csv');
const EXE = 'MinecraftLauncher.exe';

let tools, world, dir, ctx, present; // present: the Windows files that exist

before(async () => {
  [tools, world] = [standInTools(), await startWorld()];
  endpoints.mojangLauncher = world.url;
});
after(() => Promise.all([tools.remove(), world.close()]));
beforeEach(() => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-official-'));
  ctx = testContext({ dir });
  ctx.paths.MC_DIR = 'C:\\Users\\Ayşe\\AppData\\Roaming\\.minecraft';
  present = new Set();
  tools.plan();
  electron.testing.reset();
  world.reset();
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

const options = (extra = {}) => ({
  platform: 'win32', home: 'C:\\Users\\Ayşe', exists: (file) => present.has(file) || fs.existsSync(file), openPath: electron.shell.openPath,
  env: { ...tools.env, 'ProgramFiles(x86)': 'D:\\Apps86', ProgramFiles: 'D:\\Apps', LOCALAPPDATA: 'D:\\Local' }, ...extra,
});

test('the launcher counts as running only for its exact image names in a tasklist that succeeded', async () => {
  const real = fs.existsSync(REAL_TASKLIST) ? fs.readFileSync(REAL_TASKLIST, 'utf8') : '"svchost.exe","1256","Services","0","2,776 K"\n';
  const row = (image) => `"${image}","4242","Console","1","312,000 K"\r\n`;
  for (const [plan, running] of [[{ stdout: real }, false], [{ stdout: real + row('minecraftlauncher.exe') }, true],
    [{ stdout: row('Minecraft.exe') }, true], [{ stdout: row('NotMinecraft.exe') + row('Minecraft.exe.bak') }, false],
    [{ stdout: row('Minecraft.exe'), code: 1 }, false]]) {
    tools.plan({ tasklist: plan });
    assert.equal(await official.closeOfficialLauncher(options()), running, plan.stdout.slice(-40));
    assert.deepEqual(tools.calls().map((c) => [c.name, ...c.args]), [['tasklist', '/FO', 'CSV', '/NH'],
      ...(running ? [['taskkill', '/IM', 'MinecraftLauncher.exe', '/F'], ['taskkill', '/IM', 'Minecraft.exe', '/F']] : [])]);
  }
  tools.plan({}, { missing: ['tasklist'] });
  assert.equal(await official.launcherRunning(options()), false);
  tools.plan({ tasklist: { stdout: row('Minecraft.exe'), delay: 100 } });
  assert.equal(await official.closeOfficialLauncher(options({ platform: 'linux' })), false);
  let ticks = 0;
  const ticker = setInterval(() => { ticks += 1; }, 5);
  assert.deepEqual(await Promise.all([official.launcherOpen(options()), official.launcherOpen(options())]), [true, true]);
  clearInterval(ticker);
  assert.equal(tools.calls('tasklist').length, 1, 'state queries at once share one tasklist');
  assert.ok(ticks > 0, 'the main process runs on while tasklist answers');
});

test('findOfficialLauncher: the picked file, then the usual folders in order, with the standard folders by default', async () => {
  const usual = ['D:\\Apps86\\Minecraft Launcher', 'D:\\Apps\\Minecraft Launcher', 'D:\\Apps86\\Minecraft',
    'D:\\Local\\Programs\\Minecraft Launcher', 'C:\\Users\\Ayşe\\AppData\\Roaming\\.minecraft'].map((d) => `${d}\\${EXE}`);
  ctx.settings.launcherPath = 'E:\\Oyunlar\\ML.exe';
  for (let i = 0; i < usual.length; i += 1) {
    present = new Set(usual.slice(i));
    assert.deepEqual(await official.findOfficialLauncher(ctx, options()), { kind: 'exe', path: usual[i] }, 'the picked file is gone');
  }
  present.add('E:\\Oyunlar\\ML.exe');
  assert.deepEqual(await official.findOfficialLauncher(ctx, options()), { kind: 'exe', path: 'E:\\Oyunlar\\ML.exe' });
  for (const file of [`C:\\Program Files (x86)\\Minecraft Launcher\\${EXE}`, `C:\\Program Files\\Minecraft Launcher\\${EXE}`,
    `C:\\Users\\Ayşe\\AppData\\Local\\Programs\\Minecraft Launcher\\${EXE}`]) {
    present = new Set([file]);
    assert.deepEqual(await official.findOfficialLauncher(ctx, options({ env: tools.env })), { kind: 'exe', path: file });
  }
  assert.deepEqual(tools.calls(), [], 'no PowerShell while a file is found');
});

test('findOfficialLauncher then asks PowerShell: Store package, uninstall entries, shortcuts', async () => {
  const store = 'Microsoft.4297127D64EC6_8wekyb3d8bbwe';
  const found = `D:\\Oyun Başlatıcı\\${EXE}`;
  // [PowerShell answers in turn, result, the queries asked]
  const cases = [
    [[{ stdout: `${store}\r\n` }, { stdout: 'Minecraft.App Other.App\r\n' }], { kind: 'store', path: `shell:AppsFolder\\${store}!Minecraft.App` },
      [/PackageFamilyName$/, /Get-AppxPackageManifest/]],
    // a byte-order mark that the switch to UTF-8 may put first is no part of the answer
    [[{ stdout: `\uFEFF${store}` }, {}], { kind: 'store', path: `shell:AppsFolder\\${store}!Minecraft` }, [/Family/, /Manifest/]],
    // the OEM code page would garble the Turkish letters; a failed query says nothing
    [[{ stdout: store, code: 1 }, { stdout: 'D:\\Oyun Başlatıcı\r\n', oem: true }], { kind: 'exe', path: found }, [/Family/, /Uninstall.*DisplayIcon/]],
    [[{}, { stdout: 'D:\\Boş' }, { stdout: 'C:\\Masaüstü\\Minecraft.lnk' }], { kind: 'lnk', path: 'C:\\Masaüstü\\Minecraft.lnk' },
      [/Family/, /Uninstall/, /GetFolderPath.*\.lnk/]],
  ];
  present = new Set([found]);
  for (const [plans, result, queries] of cases) {
    tools.plan({ 'powershell.exe': plans });
    assert.deepEqual(await official.findOfficialLauncher(ctx, options()), result);
    const asked = tools.calls('powershell.exe').map((c) => c.args[4]);
    assert.deepEqual(asked.map((query, i) => Boolean(queries[i]?.test(query))), queries.map(() => true), asked.join('\n'));
  }
});

test('openOfficialLauncher: a Store app through explorer.exe, a file through the shell, nothing as null', async () => {
  tools.plan({ 'powershell.exe': [{ stdout: 'Fam' }, { stdout: 'App' }] });
  assert.equal(await official.openOfficialLauncher(ctx, options()), 'store');
  for (let i = 0; i < 200 && tools.calls('explorer.exe').length === 0; i += 1) await new Promise((r) => setTimeout(r, 20));
  assert.deepEqual(tools.calls('explorer.exe').map((c) => c.args), [['shell:AppsFolder\\Fam!App']]);
  present = new Set([`D:\\Apps\\Minecraft Launcher\\${EXE}`]);
  assert.equal(await official.openOfficialLauncher(ctx, options()), 'exe');
  assert.deepEqual(electron.testing.calls.openPath, [`D:\\Apps\\Minecraft Launcher\\${EXE}`]);
  present = new Set();
  tools.plan({}, { missing: ['explorer.exe', 'powershell.exe'] });
  assert.equal(await official.openOfficialLauncher(ctx, options()), null);
});

test('installing: winget with its output in the log; an error counts when the launcher is found after', async () => {
  tools.plan({ winget: { stdout: 'Bulundu Minecraft Launcher\r\n', stderr: '  indiriliyor  ' } });
  assert.equal(await official.installOfficialLauncher(ctx, options()), true);
  assert.deepEqual(tools.calls('winget')[0].args, ['install', '--id', 'Mojang.MinecraftLauncher', '-e', '--silent',
    '--accept-package-agreements', '--accept-source-agreements']);
  assert.deepEqual(ctx.lines.sort(), ['[winget] Bulundu Minecraft Launcher', '[winget] indiriliyor']);
  present = new Set([`D:\\Apps86\\Minecraft\\${EXE}`]);
  tools.plan({ winget: { code: 0x8a15002b } });
  assert.deepEqual([await official.installOfficialLauncher(ctx, options()), await official.installOfficialLauncher(ctx, options({ platform: 'linux' }))], [true, false]);
  assert.deepEqual(tools.calls().map((c) => c.name), ['winget'], 'no package install after winget');
});

test('installing without winget: the package is downloaded into the cache and run; a failed download is logged', async () => {
  const installed = path.join(dir, EXE);
  ctx.settings.launcherPath = installed;
  const msi = Buffer.alloc(64 * 1024, 7);
  world.route('/download/MinecraftInstaller.msi', [{ body: msi }, { status: 404 }]);
  tools.plan({ 'msiexec.exe': { files: { [installed]: 'MZ' }, code: 1602 } }, { missing: ['winget'] });
  assert.equal(await official.installOfficialLauncher(ctx, options()), true);
  const cached = path.join(ctx.paths.CACHE_DIR, 'MinecraftInstaller.msi');
  assert.deepEqual(fs.readFileSync(cached), msi, 'the package stays in the cache');
  assert.deepEqual(tools.calls('msiexec.exe').map((c) => c.args), [['/i', cached, '/passive', '/norestart']]);

  fs.rmSync(installed);
  tools.plan({ winget: { code: 1 } }, { missing: ['powershell.exe'] });
  assert.equal(await official.installOfficialLauncher(ctx, options()), false);
  assert.deepEqual([tools.calls('msiexec.exe'), ctx.lines.includes(`[Quorlin] Launcher indirilemedi: HTTP 404 — ${world.url}/download/MinecraftInstaller.msi`)], [[], true]);
});
