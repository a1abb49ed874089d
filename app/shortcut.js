// The desktop shortcut "Quorlin.lnk", made once per user on Windows.
const fs = require('node:fs');
const path = require('node:path');
const { run, psQuoted } = require('./core/run');

/** The PowerShell command that writes the shortcut on the user's desktop. */
function shortcutCommand(target, workDir, icon) {
  return "$d=[Environment]::GetFolderPath('Desktop');" +
    "$s=(New-Object -ComObject WScript.Shell).CreateShortcut((Join-Path $d 'Quorlin.lnk'));" +
    `$s.TargetPath='${psQuoted(target)}';$s.WorkingDirectory='${psQuoted(workDir)}';` +
    `$s.IconLocation='${psQuoted(icon)},0';$s.Description='Quorlin — Brimlox';$s.Save()`;
}

/**
 * Makes the desktop shortcut unless it was made before (`settings.shortcut` is 2), this is not
 * Windows, or the runtime still has its stock name (`isPackaged` false, a development run).
 * The target is the bootstrapper (`QUORLIN_BOOT`), else the running runtime. When an
 * installer manages the shortcuts ("Kaldir.exe" beside the bootstrapper) none is made.
 * `shortcut` becomes 2, and is saved, only once PowerShell succeeded, so a failure is
 * retried at the next start. Resolves when done; rejects only when saving fails.
 */
async function ensureShortcut({
  settings, saveSettings, assets, isPackaged,
  platform = process.platform, env = process.env, execPath = process.execPath, runTool = run,
}) {
  if (settings.shortcut === 2 || platform !== 'win32' || !isPackaged) return;
  const boot = env.QUORLIN_BOOT || '';
  if (boot && fs.existsSync(path.join(path.dirname(boot), 'Kaldir.exe'))) {
    settings.shortcut = 2;
    saveSettings();
    return;
  }
  const target = boot || execPath;
  const command = shortcutCommand(target, path.dirname(target), path.join(assets, 'quorlin.ico'));
  const { code, error } = await runTool('powershell.exe', ['-NoProfile', '-ExecutionPolicy', 'Bypass', '-Command', command]);
  if (code !== 0 || error) return;
  settings.shortcut = 2;
  saveSettings();
}

module.exports = { ensureShortcut };
