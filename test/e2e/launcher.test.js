'use strict';
// The launcher from its first start to its own update, as a user drives it from the page,
// against loopback stand-ins of every outside service. The steps share one world and run in
// order; each checks what it leaves on disk and on the page.
const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const { openWorld, until, NO_REALDATA, JRE_DIR, MODS } = require('./harness');

describe('the launcher, end to end', { skip: NO_REALDATA }, () => {
  let world;
  let ui;
  let paths;
  const text = (selector) => ui.text(selector);
  const pageHas = (selector, expected) => ui.page.waitForFunction(([s, e]) => document.querySelector(s).textContent.includes(e), [selector, expected]);
  const view = (name) => ui.click(`.nav[data-view="${name}"]`);

  before(async () => { world = await openWorld(); });
  after(() => world && world.finish());

  test('first start and sign-in: without an application id the settings ask for one; then the sign-in window signs the user in', async () => {
    paths = world.start().ctx.paths;
    ui = await world.openPage();
    assert.deepEqual([await text('#ver'), await text('#acctName')], ['v1.0.26 • Minecraft 26.3', 'Giriş']);
    await world.shot('İlk açılış: pencere açıldı');
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
    assert.equal(fs.existsSync(paths.ACCOUNT_FILE), true);
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
    const [brimlox, api, sodium, lithium] = ['brimlox-1.0.0.jar', MODS['fabric-api'], MODS.sodium, MODS.lithium];
    assert.deepEqual(fs.readdirSync(path.join(GAME_DIR, 'mods')).sort(), [brimlox, api, lithium, sodium].sort());
    assert.deepEqual(fs.readdirSync(path.join(SERVER_DIR, 'mods')).sort(), [brimlox, api, lithium].sort());
    const { profiles } = JSON.parse(fs.readFileSync(path.join(MC_DIR, 'launcher_profiles.json'), 'utf8'));
    assert.equal(profiles['quorlin-brimlox'].lastVersionId, versionId);

    const starts = () => world.javaRecord().filter((e) => e.args);
    await until(() => starts().length === 2, 'the game to start');
    const [server, game] = starts();
    assert.deepEqual([...server.args.slice(-3), server.cwd], ['-jar', serverJar, 'nogui', SERVER_DIR]);
    const quickPlay = game.args.indexOf('--quickPlayMultiplayer');
    assert.deepEqual([game.args[quickPlay + 1], game.args[game.args.indexOf('--username') + 1], game.cwd], ['localhost:25565', 'Example', GAME_DIR]);
    await pageHas('#log', '[Oyun] ');
    await pageHas('#stSub', 'Steve sunucuya girdi');
    await world.shot('Oyun açılıyor; oyunun satırları [Oyun] ile geliyor');
  });

  test('the game crashes: "Tekrar başlat" starts it again straight into the running server, preparing nothing again', async () => {
    const starts = () => world.javaRecord().filter((e) => e.args);
    process.kill(starts()[1].pid, 'SIGKILL');
    await pageHas('#notice', 'Oyun çöktü.');
    assert.equal(await text('#reopen'), 'Tekrar başlat');
    await world.shot('Oyun çöktü: Tekrar başlat');
    await ui.click('#reopen');
    await pageHas('#notice', 'Oyun açılıyor.');
    await until(() => starts().length === 3, 'the game\'s second start');
    const [server, first, again] = starts();
    assert.deepEqual([again.args, again.cwd, server.args.at(-1)], [first.args, first.cwd, 'nogui']);
    assert.deepEqual(world.answered('game:restart'), [{ ok: true, how: 'direct' }]);
  });

  test('the server console: a join reaches the page, a command reaches the server, the game\'s exit is learnt; signing out', async () => {
    await view('server');
    await ui.page.fill('#cmd', '/say merhaba');
    await ui.page.press('#cmd', 'Enter');
    await pageHas('#log', 'say merhaba<--[HERE]');
    assert.match(await text('#log'), /Steve joined the game/);
    await world.shot('Sunucu sekmesi: katılım ve komut');
    const game = world.javaRecord().filter((e) => e.args).at(-1);
    process.kill(game.pid);
    await view('play');
    await pageHas('#stSub', 'Oyun kapandı');
    await world.shot('Oyun kapandı');
    await ui.click('#acct');
    await pageHas('#acctName', 'Giriş');
    assert.equal(fs.existsSync(paths.ACCOUNT_FILE), false);
    await ui.closeClean();
  });

  test('the diagnostic run, signed out with no official launcher to find: prints the profile, the mods and Play, pictures the page and ends', async (t) => {
    // its lines go to standard output
    const print = t.mock.method(console, 'log', () => {});
    const { testing } = world.start({ env: { QUORLIN_SELFTEST: '1' } });
    ui = await world.openPage();
    testing.capture = () => ui.page.screenshot();
    await until(() => testing.calls.exit.length > 0, 'the diagnostic run to end');
    print.mock.restore();
    const printed = print.mock.calls.map((c) => c.arguments.join(' '));
    const [profile, ...lines] = printed.filter((l) => l.startsWith('SELFTEST'));
    world.keep('selftest.txt', `${printed.join('\n')}\n`);
    assert.match(profile, /^SELFTEST profile \{.*"lastVersionId":"fabric-loader-0\.19\.5-26\.3"/);
    const shot = path.join(world.dirs.tmp, 'electron-shot.png');
    assert.deepEqual(lines, ['SELFTEST mods ["brimlox-1.0.0.jar"]', 'SELFTEST play {"ok":true,"how":null,"wasOpen":false}', `SELFTEST shot ${shot}`]);
    assert.deepEqual([fs.readFileSync(shot).subarray(1, 4).toString(), testing.calls.exit], ['PNG', [0]]);
    world.keep('selftest.png', fs.readFileSync(shot));
    await world.shot('Tanılama çalışması (QUORLIN_SELFTEST) bitti');
    await ui.closeClean();
    world.ui = null;
  });

});
