'use strict';
// The official Minecraft Launcher on Windows: whether it runs, closing it, finding it where it
// gets installed, opening it and installing it (winget first, Mojang's installer package next).
// Every tool runs hidden and off the event loop; a tool that is missing, fails or hangs means
// "not running" or "not found", never an error of the caller.
//
// Each function takes one options object, after the launcher's context where it needs one:
// `platform`, `env` (the environment of the tools and of the folder defaults: the context's, else
// the process's), `home`, `exists` (file test) and, for opening, `openPath` (Electron's
// shell.openPath). Only `openPath` has no default.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { run } = require('../core/run');

const LAUNCHER_EXE = 'MinecraftLauncher.exe';
const IMAGE_NAMES = ['MinecraftLauncher.exe', 'Minecraft.exe'];
const TOOL_TIMEOUT_MS = 20 * 1000;
// Windows PowerShell writes piped output in the console's OEM code page (857 on Turkish
// Windows), which garbles ş, ı, ğ in folder names; switched to UTF-8 they arrive intact.
const UTF8_OUTPUT = '[Console]::OutputEncoding=[Text.Encoding]::UTF8;';

const STORE_PACKAGE = "Get-AppxPackage -Name 'Microsoft.4297127D64EC6' | Select-Object -First 1";
const STORE_FAMILY_QUERY = `(${STORE_PACKAGE}).PackageFamilyName`;
const STORE_APP_ID_QUERY = `$p=${STORE_PACKAGE}; ($p | Get-AppxPackageManifest).Package.Applications.Application.Id`;
// The install folder of an uninstall entry, else the folder of its icon file (quotes and an
// icon index such as ",0" removed). [char]34 is a double quote: Windows PowerShell takes a quote
// written inside -Command apart when it reads its command line.
const UNINSTALL_QUERY = [
  "$k='HKLM:\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\*',",
  "'HKLM:\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\*',",
  "'HKCU:\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\*';",
  "Get-ItemProperty -Path $k -ErrorAction SilentlyContinue | Where-Object { $_.DisplayName -like '*Minecraft Launcher*' } |",
  ' ForEach-Object { if ($_.InstallLocation) { $_.InstallLocation } elseif ($_.DisplayIcon) {',
  " Split-Path -Parent (($_.DisplayIcon -replace [char]34, '') -replace ',\\d+$', '') } } | Select-Object -First 1",
].join('');
const SHORTCUT_QUERY = [
  "$d='CommonStartMenu','StartMenu','Desktop','CommonDesktopDirectory' | ForEach-Object { [Environment]::GetFolderPath($_) } | Where-Object { $_ };",
  " Get-ChildItem -Path $d -Filter *.lnk -Recurse -ErrorAction SilentlyContinue | Where-Object { $_.BaseName -match '^Minecraft( Launcher)?$' } |",
  ' Select-Object -First 1 -ExpandProperty FullName',
].join('');

const WINGET_ARGS = ['install', '--id', 'Mojang.MinecraftLauncher', '-e', '--silent',
  '--accept-package-agreements', '--accept-source-agreements'];

function firstLine(text) {
  return text.split(/\r?\n/)[0].trim();
}

/** True when tasklist shows MinecraftLauncher.exe or Minecraft.exe (any letter case); false on any failure. */
async function launcherRunning({ env = process.env } = {}) {
  const r = await run('tasklist', ['/FO', 'CSV', '/NH'], { env, timeout: TOOL_TIMEOUT_MS });
  if (r.code !== 0) return false;
  const out = r.stdout.toLowerCase();
  // a whole CSV field, so "NotMinecraft.exe" does not count
  return IMAGE_NAMES.some((name) => out.includes(`"${name.toLowerCase()}"`));
}

let openQuery = null;

/** `launcherRunning()` for the state reply: queries asked while one runs share its answer. */
function launcherOpen(options) {
  if (!openQuery) openQuery = launcherRunning(options).finally(() => { openQuery = null; });
  return openQuery;
}

/** Ends the official launcher's processes; true when it was running on Windows and ending was tried. */
async function closeOfficialLauncher(options = {}) {
  const { platform = process.platform, env = process.env } = options;
  if (platform !== 'win32' || !(await launcherRunning(options))) return false;
  for (const image of IMAGE_NAMES) {
    await run('taskkill', ['/IM', image, '/F'], { env, timeout: TOOL_TIMEOUT_MS });
  }
  return true;
}

/** Output of a PowerShell command as UTF-8 text, trimmed; "" on a failure, a non-zero exit or after 20 s. */
async function psOut(cmd, env) {
  const args = ['-NoProfile', '-ExecutionPolicy', 'Bypass', '-Command', UTF8_OUTPUT + cmd];
  const r = await run('powershell.exe', args, { env, timeout: TOOL_TIMEOUT_MS });
  // trim() also drops a byte-order mark that the UTF-8 switch may put first
  return r.code === 0 ? r.stdout.trim() : '';
}

/**
 * Where the official launcher is: `{ kind, path }` with kind "exe", "store" (path a shell
 * application address) or "lnk"; null when it is nowhere. The picked file first, then the
 * usual install folders, the Store package, the uninstall entries and the shortcuts.
 */
async function findOfficialLauncher(ctx, options = {}) {
  const { env = ctx.env, home = os.homedir(), exists = fs.existsSync } = options;
  const win = path.win32;
  const picked = ctx.settings.launcherPath;
  if (picked && exists(picked)) return { kind: 'exe', path: picked };

  const programsX86 = env['ProgramFiles(x86)'] || 'C:\\Program Files (x86)';
  const programs = env.ProgramFiles || 'C:\\Program Files';
  const localAppData = env.LOCALAPPDATA || win.join(home, 'AppData', 'Local');
  const usual = [
    win.join(programsX86, 'Minecraft Launcher', LAUNCHER_EXE),
    win.join(programs, 'Minecraft Launcher', LAUNCHER_EXE),
    win.join(programsX86, 'Minecraft', LAUNCHER_EXE),
    win.join(localAppData, 'Programs', 'Minecraft Launcher', LAUNCHER_EXE),
    win.join(ctx.paths.MC_DIR, LAUNCHER_EXE),
  ].find((file) => exists(file));
  if (usual) return { kind: 'exe', path: usual };

  const family = firstLine(await psOut(STORE_FAMILY_QUERY, env));
  if (family) {
    const appId = (await psOut(STORE_APP_ID_QUERY, env)).split(/\s+/)[0] || 'Minecraft';
    return { kind: 'store', path: `shell:AppsFolder\\${family}!${appId}` };
  }

  const folder = firstLine(await psOut(UNINSTALL_QUERY, env));
  if (folder && exists(win.join(folder, LAUNCHER_EXE))) return { kind: 'exe', path: win.join(folder, LAUNCHER_EXE) };

  const shortcut = firstLine(await psOut(SHORTCUT_QUERY, env));
  return shortcut ? { kind: 'lnk', path: shortcut } : null;
}

// Starts a program that lives on by itself: not waited for, no streams, outside the launcher's
// process group; a failure to start is only logged.
function startDetached(ctx, file, args, env) {
  const failed = (err) => ctx.log(`[Quorlin] HATA: ${file}: ${err.message}`);
  try {
    const child = spawn(file, args, { env, detached: true, stdio: 'ignore', windowsHide: true });
    child.on('error', failed);
    child.unref();
  } catch (err) {
    failed(err);
  }
}

/** Opens the official launcher; resolves to the kind of what was opened, or null when it was not found. */
async function openOfficialLauncher(ctx, options = {}) {
  const { env = ctx.env, openPath } = options;
  const found = await findOfficialLauncher(ctx, options);
  if (!found) return null;
  if (found.kind === 'store') {
    startDetached(ctx, 'explorer.exe', [found.path], env);
  } else {
    // opened as a double click would; the answer is an error text, never a rejection
    const problem = await openPath(found.path);
    if (problem) ctx.log(`[Quorlin] HATA: ${problem}`);
  }
  return found.kind;
}

/** Installs the official launcher with winget, logging its output; true when it ended with 0 or the launcher is found after. */
function installViaWinget(ctx, options) {
  const { env = ctx.env } = options;
  ctx.progress('launch', 'Minecraft Launcher kuruluyor', 0.5);
  return new Promise((resolve) => {
    let child;
    try {
      child = spawn('winget', WINGET_ARGS, { env, windowsHide: true, stdio: ['ignore', 'pipe', 'pipe'] });
    } catch {
      resolve(false);
      return;
    }
    const relay = (chunk) => {
      const text = chunk.trim();
      if (text) ctx.log(`[winget] ${text}`);
    };
    for (const stream of [child.stdout, child.stderr]) {
      // decoded as a stream, so a letter split between two chunks stays whole
      stream.setEncoding('utf8');
      stream.on('data', relay);
    }
    // a program that cannot start answers with an error and never exits
    child.on('error', () => resolve(false));
    child.on('exit', (code) => {
      // the last output arrives after the exit
      setImmediate(async () => resolve(code === 0 || (await findOfficialLauncher(ctx, options)) !== null));
    });
  });
}

/**
 * Installs the official launcher on Windows: winget, else Mojang's installer package downloaded
 * into the cache and run by msiexec. Resolves to true when winget succeeded or the launcher is
 * found afterwards; never rejects.
 */
async function installOfficialLauncher(ctx, options = {}) {
  const { platform = process.platform, env = ctx.env } = options;
  const { progress } = ctx;
  if (platform !== 'win32') return false;
  if (await installViaWinget(ctx, options)) return true;
  const downloading = 'Minecraft Launcher indiriliyor';
  const msi = path.join(ctx.paths.CACHE_DIR, 'MinecraftInstaller.msi');
  try {
    progress('launch', downloading, 0.3);
    await ctx.http.download(`${ctx.endpoints.mojangLauncher}/download/MinecraftInstaller.msi`, msi,
      (pct) => progress('launch', downloading, pct));
    progress('launch', 'Minecraft Launcher kuruluyor', 0.9);
    // its exit code says little (a declined permission prompt is 1602); the search below decides
    const r = await run('msiexec.exe', ['/i', msi, '/passive', '/norestart'], { env });
    if (r.error) throw r.error;
  } catch (err) {
    ctx.log(`[Quorlin] Launcher indirilemedi: ${err.message}`);
  }
  return (await findOfficialLauncher(ctx, options)) !== null;
}

module.exports = {
  launcherRunning,
  launcherOpen,
  closeOfficialLauncher,
  findOfficialLauncher,
  openOfficialLauncher,
  installOfficialLauncher,
};
