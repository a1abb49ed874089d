'use strict';
// The launcher from its first start to the diagnostic run, as a user drives it from the page,
// against loopback stand-ins of every outside service. The steps share one world and run in
// order; each checks what it leaves on disk and on the page.
const { describe, test, before, after, mock } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openWorld, until, NO_REALDATA, JRE_DIR, MODS } = require('./harness');

// What the launcher prints on standard output (where its lines go while it has no window)
// until `done()` resolves.
async function printedUntil(done) {
  const print = mock.method(console, 'log', () => {});
  try {
    await done();
  } finally {
    print.mock.restore();
  }
  return print.mock.calls.map((c) => c.arguments.join(' '));
}

describe('the launcher, end to end', { skip: NO_REALDATA }, () => {
  let world;
  let ui;
  let paths;
  const text = (selector) => ui.text(selector);
  const pageHas = (selector, expected) => ui.page.waitForFunction(([s, e]) => document.querySelector(s).textContent.includes(e), [selector, expected]);
  const view = (name) => ui.click(`.nav[data-view="${name}"]`);

  before(async () => { world = await openWorld(); });
  after(() => world && world.finish());

  test('first start without an update: the window opens and the desktop shortcut is asked for once', async () => {
    world.publish({ version: '1.0.26', url: `${world.updates.url}/packages/app-1.0.26.zip` });
    const { state } = await world.start({ asWindows: true });
    paths = state.paths;
    ui = await world.openPage();
    assert.deepEqual([await text('#ver'), await text('#acctName')], ['v1.0.26 • Minecraft 26.3', 'Giriş']);
    await until(() => fs.existsSync(paths.SETTINGS_FILE) && world.readSettings().shortcut === 2, 'the shortcut to be recorded');
    const [shortcut, ...more] = world.toolCalls('powershell.exe');
    assert.ok(!more.length && shortcut.args.at(-1).includes(`$s.TargetPath='${process.env.QUORLIN_BOOT}'`), shortcut.args.at(-1));
    await world.shot('İlk açılış: pencere açıldı, masaüstü kısayolu bir kez istendi');
  });

  test('sign-in: without an application id the settings ask for one; then the sign-in window signs the user in', async () => {
    await ui.click('#acct');
    assert.equal(await ui.classes('#view-settings'), 'view on');
    await world.shot('Uygulama kimliği olmadan giriş: Ayarlar açılır');
    await ui.page.fill('#clientId', world.sw.clientId);
    await ui.page.press('#clientId', 'Tab');
    await until(() => world.answered('settings:set').length === 1, 'the settings to be saved');
    await view('play');
    await ui.click('#loginBtn');
    const { testing } = world.app;
    await until(() => testing.windows.length === 2 && testing.windows[1].loaded.length === 1, 'the sign-in window');
    const signInWindow = testing.windows[1];
    testing.navigate(signInWindow, 'will-redirect', world.sw.authorize(signInWindow.loaded[0].url));
    await pageHas('#acctName', 'Example');
    assert.match(await text('#notice'), /Hoş geldin, Example\./);
    assert.deepEqual([fs.existsSync(paths.ACCOUNT_FILE), world.readSettings().clientId], [true, world.sw.clientId]);
    await until(() => signInWindow.isDestroyed(), 'the sign-in window to close');
    await world.shot('Giriş yapıldı: hesap sayfada');
  });

  test('OYNA: Java, Fabric, the mods, the profile and the server are put in place, then the game starts into the server', async () => {
    await ui.page.evaluate(() => {
      window.__shown = [];
      const pct = document.getElementById('stPct');
      new MutationObserver(() => window.__shown.push([document.getElementById('stText').textContent, pct.textContent]))
        .observe(pct, { childList: true, characterData: true, subtree: true });
    });
    await ui.click('#playBtn');
    await pageHas('#stText', 'Sunucu');
    await world.shot('OYNA: hazırlık sürüyor');
    await pageHas('#notice', 'Oyun açılıyor.');
    assert.deepEqual(world.answered('play'), [{ ok: true, how: 'direct' }]);
    const shown = await ui.page.evaluate(() => window.__shown);
    for (const [label, pct] of [['Java 25 indiriliyor', '0%'], ['Sürümler kontrol ediliyor', '18%'], ['Sunucu başlatılıyor', '72%'],
      ['Minecraft açılıyor', '100%']]) {
      assert.ok(shown.some(([l, p]) => l === label && p === pct), `the page showed ${label} at ${pct}: ${JSON.stringify(shown)}`);
    }
    assert.deepEqual(shown.at(-1), ['Oyun açılıyor — doğrudan sunucuya bağlanacaksın', '100%']);

    const { RUNTIME_DIR, CACHE_DIR, GAME_DIR, SERVER_DIR, MC_DIR, GAME_ROOT } = paths;
    const versionId = `fabric-loader-${world.loader}-26.3`;
    const serverJar = path.join(SERVER_DIR, `fabric-server-26.3-${world.loader}.jar`);
    // the JRE unpacked into the runtime folder and its archive gone; the game in the launcher's own root
    const present = [path.join(RUNTIME_DIR, JRE_DIR, 'bin', 'java'), path.join(CACHE_DIR, 'jre25.zip'), serverJar,
      path.join(MC_DIR, 'versions', versionId, `${versionId}.json`), path.join(GAME_ROOT, 'versions', '26.3', '26.3.jar')];
    assert.deepEqual(present.map((file) => fs.existsSync(file)), [true, false, true, true, true]);
    assert.deepEqual(world.toolCalls('tar').map((c) => c.args), [['-xf', path.join(CACHE_DIR, 'jre25.zip'), '-C', RUNTIME_DIR]]);
    const [brimlox, api, sodium, lithium] = ['brimlox-1.0.0.jar', MODS['fabric-api'], MODS.sodium, MODS.lithium];
    assert.deepEqual(fs.readdirSync(path.join(GAME_DIR, 'mods')).sort(), [brimlox, api, lithium, sodium].sort());
    assert.deepEqual(fs.readdirSync(path.join(SERVER_DIR, 'mods')).sort(), [brimlox, api, lithium].sort());
    assert.deepEqual(fs.readFileSync(path.join(GAME_DIR, 'mods', brimlox)), fs.readFileSync(path.join(world.appDir, 'assets', brimlox)));
    const { profiles } = JSON.parse(fs.readFileSync(path.join(MC_DIR, 'launcher_profiles.json'), 'utf8'));
    assert.equal(profiles['quorlin-brimlox'].lastVersionId, versionId);
    assert.equal(fs.readFileSync(path.join(SERVER_DIR, 'eula.txt'), 'utf8'), 'eula=true\n');

    const starts = () => world.javaRecord().filter((e) => e.args);
    await until(() => starts().length === 2, 'the game to start');
    const [server, game] = starts();
    assert.deepEqual([...server.args.slice(-3), server.cwd], ['-jar', serverJar, 'nogui', SERVER_DIR]);
    const quickPlay = game.args.indexOf('--quickPlayMultiplayer');
    assert.deepEqual([game.args[quickPlay + 1], game.args[game.args.indexOf('--username') + 1], game.cwd], ['localhost:25565', 'Example', GAME_DIR]);
    await pageHas('#log', '[Oyun] ');
    await world.shot('Oyun açılıyor; oyunun satırları [Oyun] ile geliyor');
  });

  test('the server console: a join reaches the page, a command reaches the server, and the game\'s exit is learnt', async () => {
    await view('server');
    await pageHas('#stSub', 'Steve sunucuya girdi');
    await ui.page.fill('#cmd', '/say merhaba');
    await ui.page.press('#cmd', 'Enter');
    await pageHas('#log', 'say merhaba<--[HERE]');
    assert.match(await text('#log'), /Steve joined the game/);
    await world.shot('Sunucu sekmesi: katılım ve komut');
    const game = world.javaRecord().filter((e) => e.args)[1];
    process.kill(game.pid);
    await view('play');
    await pageHas('#stSub', 'Oyun kapandı');
    assert.equal(world.app.state.gameProc, null);
    await world.shot('Oyun kapandı');
  });

  test('closing the window with the server running: the notice covers the page, the server gets "stop", then the window goes', async () => {
    const { state, testing } = world.app;
    const win = state.win;
    let serverAtClose;
    win.once('closed', () => { serverAtClose = state.server; });
    await ui.click('#wClose');
    await ui.page.waitForFunction(() => !document.getElementById('closing').classList.contains('hidden'));
    await world.shot('Kapatılıyor: önce sunucu durduruluyor');
    await until(() => win.isDestroyed(), 'the window to close');
    assert.equal(serverAtClose, null, 'the server had ended before the window closed');
    assert.deepEqual(world.javaRecord().filter((e) => e.input).map((e) => e.input), ['say merhaba', 'stop']);
    assert.equal(testing.calls.quit, 1);
    await ui.closeClean();
  });

  test('a newer launcher published: it is staged, the swap script is written and started, and the process ends before any window', async () => {
    const { zip, entry } = world.servePackage('1.0.27', '// Quorlin 1.0.27\n');
    world.publish(entry);
    let launcher;
    const printed = await printedUntil(async () => {
      launcher = await world.start();
      await until(() => launcher.testing.calls.exit.length > 0, 'the process to end');
    });
    const { testing, state } = launcher;
    assert.deepEqual([testing.calls.exit, testing.windows.length, state.win], [[0], 0, null]);
    assert.deepEqual(printed, ['[Quorlin] Launcher güncellemesi hazır (1.0.27). Yeniden başlatılıyor…']);
    assert.deepEqual(fs.readFileSync(path.join(paths.CACHE_DIR, 'app-1.0.27.zip')), zip);
    const stage = path.join(world.runtime, 'resources', 'app.new');
    assert.equal(fs.readFileSync(path.join(stage, 'app', 'main.js'), 'utf8'), '// Quorlin 1.0.27\n');
    assert.match(fs.readFileSync(path.join(world.dirs.tmp, 'quorlin-update.cmd'), 'utf8'), /^@echo off\r\n/);
    const [started] = world.toolCalls('cmd.exe');
    assert.deepEqual([started.args.at(-1), started.cwd], ['quorlin-update.cmd', world.dirs.tmp]);
    assert.deepEqual(started.env, {
      QUORLIN_UPDATE_APP: world.appDir, QUORLIN_UPDATE_FROM: path.join(stage, 'app'), QUORLIN_UPDATE_STAGE: stage,
      QUORLIN_UPDATE_RUN: process.env.QUORLIN_EXE, QUORLIN_UPDATE_RUN_DIR: path.win32.dirname(process.env.QUORLIN_EXE),
    });
    fs.rmSync(stage, { recursive: true });
  });

  test('signed out with no official launcher to find: Play still prepares everything and the page asks where the launcher is', async () => {
    world.publish({ version: '1.0.26', url: `${world.updates.url}/packages/app-1.0.26.zip` });
    const { state, testing } = await world.start();
    ui = await world.openPage();
    assert.equal(await text('#acctName'), 'Example', 'the account is kept between starts');
    await ui.click('#acct');
    await pageHas('#acctName', 'Giriş');
    assert.equal(fs.existsSync(paths.ACCOUNT_FILE), false);
    const before = world.readSettings().lastPlay;
    await ui.click('#playBtn');
    await pageHas('#stText', 'Minecraft Launcher bulunamadı');
    assert.deepEqual(world.answered('play'), [{ ok: true, how: null, wasOpen: false }]);
    assert.deepEqual([await text('#reopen'), world.readSettings().lastPlay > before, state.serverState], ['Konumunu seç', true, 'running']);
    await world.shot('Çıkış yapılmış, Minecraft Launcher yok: konumunu seç');
    await ui.click('#reopen');
    await until(() => testing.calls.dialogs.length === 1, 'the file dialog');
    assert.equal(testing.calls.dialogs[0].options.title, 'MinecraftLauncher.exe dosyasını seç');
    await ui.click('#wClose');
    await until(() => state.win.isDestroyed(), 'the window to close');
    await ui.closeClean();
  });

  test('the diagnostic run prints the profile, the mods and Play, pictures the page and ends', async () => {
    const printed = await printedUntil(async () => {
      const { testing } = await world.start({ env: { QUORLIN_SELFTEST: '1' } });
      ui = await world.openPage();
      testing.capture = () => ui.page.screenshot();
      await until(() => testing.calls.exit.length > 0, 'the diagnostic run to end');
    });
    const [profile, ...lines] = printed.filter((l) => l.startsWith('SELFTEST'));
    world.keep('selftest.txt', `${printed.join('\n')}\n`);
    assert.match(profile, /^SELFTEST profile \{.*"lastVersionId":"fabric-loader-0\.19\.5-26\.3"/);
    const shot = path.join(world.dirs.tmp, 'electron-shot.png');
    assert.deepEqual(lines, ['SELFTEST mods ["brimlox-1.0.0.jar"]', 'SELFTEST play {"ok":true,"how":null,"wasOpen":false}', `SELFTEST shot ${shot}`]);
    assert.deepEqual([fs.readFileSync(shot).subarray(1, 4).toString(), world.app.testing.calls.exit], ['PNG', [0]]);
    world.keep('selftest.png', fs.readFileSync(shot));
    await world.shot('Tanılama çalışması (QUORLIN_SELFTEST) bitti');
    await ui.closeClean();
    world.ui = null;
  });
});
