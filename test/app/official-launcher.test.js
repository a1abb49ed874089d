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
    assert.deepEqual([await official.closeOfficialLauncher(options()), tools.calls().map((c) => [c.name, ...c.args])], [running, [['tasklist', '/FO', 'CSV', '/NH'],
      ...(running ? [['taskkill', '/IM', 'MinecraftLauncher.exe', '/F'], ['taskkill', '/IM', 'Minecraft.exe', '/F']] : [])]], plan.stdout.slice(-40));
  }
  tools.plan({ tasklist: { stdout: row('Minecraft.exe'), delay: 100 } });
  assert.equal(await official.closeOfficialLauncher(options({ platform: 'linux' })), false);
  let ticks = 0;
  const ticker = setInterval(() => { ticks += 1; }, 5);
  assert.deepEqual(await Promise.all([official.launcherOpen(options()), official.launcherOpen(options())]), [true, true]);
  clearInterval(ticker);
  assert.deepEqual([tools.calls('tasklist').length, ticks > 0], [1, true], 'state queries at once share one tasklist; the main process runs on while it answers');
});

test('findOfficialLauncher: the picked file, then the usual folders in order, with the standard folders by default', async () => {
  const usual = ['D:\\Apps86\\Minecraft Launcher', 'D:\\Apps\\Minecraft Launcher', 'D:\\Apps86\\Minecraft',
    'D:\\Local\\Programs\\Minecraft Launcher', 'C:\\Users\\Ayşe\\AppData\\Roaming\\.minecraft'].map((d) => `${d}\\${EXE}`);
  ctx.settings.launcherPath = 'E:\\Oyunlar\\ML.exe';
  const order = [ctx.settings.launcherPath, ...usual];
  for (let i = 0; i < order.length; i += 1) {
    present = new Set(order.slice(i));
    assert.deepEqual(await official.findOfficialLauncher(ctx, options()), { kind: 'exe', path: order[i] });
  }
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
  present = new Set([found]);
  // [PowerShell answers in turn, result, the queries asked]
  for (const [plans, result, queries] of [
    [[{ stdout: `${store}\r\n` }, { stdout: 'Minecraft.App Other.App\r\n' }], { kind: 'store', path: `shell:AppsFolder\\${store}!Minecraft.App` },
      [/PackageFamilyName$/, /Get-AppxPackageManifest/]],
    // a byte-order mark that the switch to UTF-8 may put first is no part of the answer
    [[{ stdout: `\uFEFF${store}` }, {}], { kind: 'store', path: `shell:AppsFolder\\${store}!Minecraft` }, [/Family/, /Manifest/]],
    // the OEM code page would garble the Turkish letters; a failed query says nothing
    [[{ stdout: store, code: 1 }, { stdout: 'D:\\Oyun Başlatıcı\r\n', oem: true }], { kind: 'exe', path: found }, [/Family/, /Uninstall.*DisplayIcon/]],
    [[{}, { stdout: 'D:\\Boş' }, { stdout: 'C:\\Masaüstü\\Minecraft.lnk' }], { kind: 'lnk', path: 'C:\\Masaüstü\\Minecraft.lnk' },
      [/Family/, /Uninstall/, /GetFolderPath.*\.lnk/]],
  ]) {
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
  assert.deepEqual([await official.openOfficialLauncher(ctx, options()), electron.testing.calls.openPath], ['exe', [`D:\\Apps\\Minecraft Launcher\\${EXE}`]]);
  present = new Set();
  tools.plan({}, { missing: ['explorer.exe', 'powershell.exe'] });
  assert.equal(await official.openOfficialLauncher(ctx, options()), null);
});

test('installing: winget with its output in the log; an error counts when the launcher is found after', async () => {
  tools.plan({ winget: { stdout: 'Bulundu Minecraft Launcher\r\n', stderr: '  indiriliyor  ' } });
  assert.deepEqual([await official.installOfficialLauncher(ctx, options()), tools.calls('winget')[0].args, ctx.lines.sort()], [true,
    ['install', '--id', 'Mojang.MinecraftLauncher', '-e', '--silent', '--accept-package-agreements', '--accept-source-agreements'],
    ['[winget] Bulundu Minecraft Launcher', '[winget] indiriliyor']]);
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
  const cached = path.join(ctx.paths.CACHE_DIR, 'MinecraftInstaller.msi');
  assert.deepEqual([await official.installOfficialLauncher(ctx, options()), fs.readFileSync(cached), tools.calls('msiexec.exe').map((c) => c.args)],
    [true, msi, [['/i', cached, '/passive', '/norestart']]], 'the package stays in the cache');

  fs.rmSync(installed);
  tools.plan({ winget: { code: 1 } }, { missing: ['powershell.exe'] });
  assert.deepEqual([await official.installOfficialLauncher(ctx, options()), tools.calls('msiexec.exe'),
    ctx.lines.includes(`[Quorlin] Launcher indirilemedi: HTTP 404 — ${world.url}/download/MinecraftInstaller.msi`)], [false, [], true]);
});
