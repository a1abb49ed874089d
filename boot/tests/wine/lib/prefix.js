'use strict';
// Makes the shared Wine prefix: a fresh 64-bit Windows with its own HOME, the test CA
// trusted in its Root store, and the stand-ins for tar.exe and powershell.exe in system32
// (Wine's own powershell.exe is a stub that succeeds at everything, so ours is preferred
// through a DLL override).

const fs = require('node:fs');
const path = require('node:path');
const {
  REPO, BUILD, BIN, PREFIX, HOME, SYSTEM32, RELAYED, winPath, wineEnv, runOk, startXvfb, stopWineServer,
} = require('./wine');

const POWERSHELL_DIR = path.join('WindowsPowerShell', 'v1.0');

async function makePrefix() {
  const started = Date.now();
  await stopWineServer(wineEnv());
  fs.rmSync(PREFIX, { recursive: true, force: true });
  fs.rmSync(HOME, { recursive: true, force: true });
  fs.rmSync(path.join(BUILD, 'prefix.ready'), { force: true });
  fs.mkdirSync(HOME, { recursive: true });
  const x = await startXvfb();
  try {
    const env = wineEnv(x.display);
    await runOk('wine', ['wineboot', '-i'], { env, timeout: 300000 });
    await runOk('wine', [path.join(BIN, 'addca.exe'), winPath(path.join(REPO, 'test', 'ca', 'ca.der'))], { env });
    await runOk('wine', ['reg', 'add', 'HKCU\\Software\\Wine\\DllOverrides', '/v', 'powershell.exe', '/d', 'native', '/f'], { env });
    // Traced only when WINEDEBUG asks for +relay: the calls that show the start-up's order.
    await runOk('wine', ['reg', 'add', 'HKCU\\Software\\Wine\\Debug', '/v', 'RelayInclude', '/d', RELAYED.join(';'), '/f'], { env });
    // The bootstrapper runs PowerShell from its own folder; other programs find it in system32.
    for (const [tool, where] of [['tar.exe', ''], ['powershell.exe', ''], ['powershell.exe', POWERSHELL_DIR]]) {
      fs.copyFileSync(path.join(BIN, tool), path.join(SYSTEM32, where, tool));
    }
    await stopWineServer(env);
  } finally {
    await x.stop();
  }
  fs.writeFileSync(path.join(BUILD, 'prefix.ready'), '');
  console.log(`Wine prefix ready in ${((Date.now() - started) / 1000).toFixed(1)} s: ${PREFIX}`);
}

makePrefix().catch((err) => {
  console.error(err.message);
  process.exit(1);
});
