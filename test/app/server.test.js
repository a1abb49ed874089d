'use strict';
const { test, describe, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const { startWorld } = require('../support/world');
const { APP_DIR, testContext } = require('../support/context');
const { limits, forceKeys, createServer } = require('../../app/server');
const { explainCrash } = require('../../app/diagnostics/crash');

const FAKE_JAVA = path.resolve(__dirname, '..', 'support', 'fake-java', 'java');
const REALDATA = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata');
const NOT_READY = 'Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.';
const STOP_FIRST = 'Geri yüklemek için önce sunucuyu durdur.';
const NO_JAVA = 'quorlin-no-java bulunamadı; virüs programı silmiş olabilir. Quorlin klasörüne virüs programında izin verip tekrar dene.';

let dir, ctx, server;
const sent = (channel) => ctx.sent.filter(([c]) => c === channel).map(([, d]) => d);
const until = async (check) => { while (!check()) await new Promise((r) => setTimeout(r, 10)); };

beforeEach(async () => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-server-'));
  ctx = testContext({ dir });
  server = createServer(ctx);
  const probe = net.createServer().listen(0, '127.0.0.1');
  await new Promise((r) => probe.once('listening', r));
  Object.assign(limits, { port: probe.address().port, pollMs: 20, readyMs: 5000, stopMs: 5000, closeGraceMs: 200 });
  await new Promise((r) => probe.close(r)); // a port where nothing answers
});

afterEach(async () => {
  await server.stopServer();
  fs.rmSync(dir, { recursive: true, force: true });
});

describe('server.properties', () => {
  test('forcing the keys replaces a key\'s first line and appends missing keys after the last non-blank line', () => {
    const template = fs.readFileSync(path.join(APP_DIR, 'assets', 'server.properties'), 'utf8');
    assert.deepEqual(forceKeys(template).split(/\r?\n/), template.split(/\r?\n/));
    // [file text, text after forcing]
    for (const [text, expected] of [
      ['motd=Mine\r\nwhite-list=true\r\npvp=true\r\n', 'motd=Mine\r\nwhite-list=false\npvp=true\nenforce-whitelist=false\nspawn-protection=0\n'],
      ['white-list-extra=1\nspawn-protection=16\n\n \n', 'white-list-extra=1\nspawn-protection=0\nwhite-list=false\nenforce-whitelist=false\n'],
      ['enforce-whitelist=true\nenforce-whitelist=true\nwhite-list=false\nspawn-protection=0',
        'enforce-whitelist=false\nenforce-whitelist=true\nwhite-list=false\nspawn-protection=0'],
    ]) assert.equal(forceKeys(text), expected, JSON.stringify(text));
  });

  test('files written by real servers keep every other line', (t) => {
    const folder = path.join(REALDATA, 'server', 'properties');
    if (!fs.existsSync(folder)) return t.skip(`no real data in ${folder}`);
    const FORCED = /^(white-list|enforce-whitelist|spawn-protection)=/;
    const others = (text) => text.split(/\r?\n/).filter((l) => l.trim() && !FORCED.test(l));
    for (const name of fs.readdirSync(folder)) {
      const text = fs.readFileSync(path.join(folder, name), 'utf8');
      const forced = forceKeys(text);
      assert.deepEqual(others(forced), others(text), name);
      assert.deepEqual(forced.split(/\r?\n/).filter((l) => FORCED.test(l)).sort(),
        ['enforce-whitelist=false', 'spawn-protection=0', 'white-list=false'], name);
    }
  });
});

describe('ensureServerFiles', () => {
  let world;
  before(async () => { world = await startWorld(); });
  after(() => world.close());
  const jarPath = (loader) => `/v2/versions/loader/26.3/${loader}/1.1.0/server/jar`;
  const prepare = (loader, installer = '1.1.0') => server.ensureServerFiles({ loader, installer }, [path.join(dir, 'brimlox.jar')]);

  test('fetches the jar of a new loader only, puts the mods in and keeps the user\'s properties; fails on a failed download or a non-version', async () => {
    world.route(jarPath('0.19.5'), { body: 'jar 0.19.5' }).route(jarPath('0.19.6'), { body: 'jar 0.19.6' });
    ctx.endpoints.fabricMeta = world.url;
    const serverDir = ctx.paths.SERVER_DIR;
    fs.mkdirSync(serverDir, { recursive: true });
    fs.writeFileSync(path.join(dir, 'brimlox.jar'), 'mod');
    for (const name of ['fabric-server-26.3-0.19.4.jar', 'fabric-server-launch.jar', 'Fabric-server-x.jar', 'fabric-server.txt']) fs.writeFileSync(path.join(serverDir, name), 'old');
    assert.equal(await prepare('0.19.5'), path.join(serverDir, 'fabric-server-26.3-0.19.5.jar'));
    assert.deepEqual(fs.readdirSync(serverDir).sort(),
      ['Fabric-server-x.jar', 'eula.txt', 'fabric-server-26.3-0.19.5.jar', 'fabric-server.txt', 'mods', 'server.properties']);
    assert.deepEqual([fs.readdirSync(path.join(serverDir, 'mods')), fs.readFileSync(path.join(serverDir, 'eula.txt'), 'utf8')], [['brimlox.jar'], 'eula=true\n']);
    const properties = path.join(serverDir, 'server.properties');
    fs.writeFileSync(properties, 'motd=Benim\r\nwhite-list=true\r\n');
    await prepare('0.19.5');
    assert.deepEqual([world.count(jarPath('0.19.5')), fs.readFileSync(properties, 'utf8')],
      [1, 'motd=Benim\r\nwhite-list=false\nenforce-whitelist=false\nspawn-protection=0\n'], 'the same loader downloads nothing');
    // a new jar with a world there: the world is backed up before the old jar goes; the same files again back up nothing
    fs.mkdirSync(path.join(serverDir, 'world')); // the world the properties name when they name none
    const labels = () => sent('progress').map((p) => p.label);
    const seen = labels().length;
    await prepare('0.19.6');
    await prepare('0.19.6');
    assert.deepEqual(labels().slice(seen).filter((l) => l !== 'Sunucu hazırlanıyor'), ['Dünya yedekleniyor', 'Sunucu indiriliyor']);
    assert.equal((await server.backupList()).backups.length, 1);
    assert.deepEqual(fs.readdirSync(serverDir).filter((n) => n.startsWith('fabric-server-26')), ['fabric-server-26.3-0.19.6.jar']);
    await assert.rejects(prepare('0.19.7'), { message: /^HTTP 404 — / });
    await assert.rejects(prepare('../../x'), { message: 'Geçersiz Fabric sürümü: ../../x' });
    await assert.rejects(prepare('0.19.5', null), { message: 'Geçersiz Fabric sürümü: null' });
  });
});

describe('the server process', () => {
  const record = () => path.join(dir, 'record.jsonl');
  // Starts the fake server with `plan`; resolves to "ready" or the start's error message.
  function start(plan = {}, java = FAKE_JAVA) {
    Object.assign(process.env, { FAKE_JAVA_PLAN: JSON.stringify(plan), FAKE_JAVA_RECORD: record() });
    fs.mkdirSync(ctx.paths.SERVER_DIR, { recursive: true });
    return server.startServer(java, path.join(dir, 'server.jar')).then(() => 'ready', (err) => err.message);
  }
  const records = () => (fs.existsSync(record()) ? fs.readFileSync(record(), 'utf8').trim().split('\n').map((l) => JSON.parse(l)) : []);
  const states = () => sent('server').map((e) => JSON.stringify(e));

  test('runs with the settings\' memory, reports readiness, joins and console lines, takes commands and stops', async () => {
    ctx.settings.serverRam = 5;
    assert.equal(await start({ joins: ['Oyuncu_1'] }), 'ready');
    const { args, cwd } = records()[0];
    assert.deepEqual({ args, cwd }, { args: ['-Xmx5G', '-Xms1G', '-Duser.language=en', '-Duser.country=US', '-Dstdout.encoding=UTF-8', '-Dstderr.encoding=UTF-8', '-jar', path.join(dir, 'server.jar'), 'nogui'], cwd: ctx.paths.SERVER_DIR });
    await until(() => sent('server').some((e) => e.joined));
    server.serverCommand('say merhaba\r\n dünya\n');
    server.serverCommand(42);
    await until(() => records().length === 2);
    await server.stopServer();
    assert.deepEqual(records().slice(1), [{ input: 'say merhaba dünya' }, { input: 'stop' }]);
    assert.deepEqual(states(), ['{"state":"starting"}', '{"state":"running"}', '{"state":"running","joined":"Oyuncu_1"}', '{"state":"stopped","code":0}']);
    assert.ok(ctx.lines.includes('WARNING: A restricted method in java.lang.System has been called'), 'standard error is read too');
    assert.deepEqual([server.isOurs(), server.status(), ctx.lines.at(-1)], [false, 'stopped', '[Quorlin] Sunucu kapandı (0)']);
    assert.ok(sent('progress').slice(1).every((p) => p.pct > 0.3 && p.pct <= 0.95), 'the wait moves the bar without filling it');
  });

  // [case, plan, java, outcome, state after, the last log line]
  const OUTCOMES = [
    ['a ready line with a decimal comma, a character split between writes', { ready: 'comma', split: true }, FAKE_JAVA, 'ready', 'running', /Done \(1,234s\)!/],
    ['a program that cannot start, told as the Java gone', {}, path.join(os.tmpdir(), 'quorlin-no-java'), NO_JAVA, 'stopped', /^\[Quorlin\] HATA: quorlin-no-java bulunamadı;/],
    ['a server not ready in time', { ready: null }, FAKE_JAVA, NOT_READY, 'starting', /Time elapsed/],
  ];
  for (const [name, plan, java, outcome, after, last] of OUTCOMES) {
    test(name, async () => {
      if (after === 'starting') limits.readyMs = 1500;
      ctx.explainCrash = explainCrash;
      assert.deepEqual([await start(plan, java), server.status()], [outcome, after]);
      assert.match(ctx.lines.at(-1), last);
      assert.ok(ctx.lines.every((l) => !l.includes('\uFFFD')), 'every character whole');
    });
  }

  // the waits here wake on the state's changes: with the half-second check alone they would take minutes
  test('a crashed server comes back once by itself, stays stopped after crashing again within a minute, and each crash is explained', { timeout: 20000 }, async () => {
    limits.pollMs = 60 * 1000;
    const told = [];
    ctx.explainCrash = async (crash) => {
      told.push(crash);
      return { kind: 'unknown', text: `Sunucu beklenmedik şekilde kapandı (çıkış kodu ${crash.code}).`, report: null };
    };
    const starts = () => records().filter((r) => r.args).length;
    const gaveUp = () => sent('server').filter((e) => e.crashed).length;
    assert.equal(await start({ crash: 'unknown', crashAfterReadyMs: 0, crashStarts: 2 }), 'ready');
    await until(() => gaveUp() === 1);
    const crashed = { state: 'stopped', crashed: true, text: 'Sunucu beklenmedik şekilde kapandı (çıkış kodu 1).' };
    assert.deepEqual([starts(), server.status(), sent('server')], [2, 'stopped', [{ state: 'starting' }, { state: 'running' },
      { state: 'stopped', code: 1 }, { state: 'starting' }, { state: 'running' }, { state: 'stopped', code: 1 }, crashed]]);
    assert.deepEqual(ctx.lines.filter((l) => l.startsWith('[Quorlin]')), ['[Quorlin] Sunucu kapandı (1)', '[Quorlin] Sunucu çöktü, yeniden başlatılıyor…',
      `[Quorlin] HATA: ${crashed.text}`, '[Quorlin] Sunucu kapandı (1)', `[Quorlin] HATA: ${crashed.text}`, '[Quorlin] HATA: Sunucu tekrar çöktü ve durduruldu.']);
    const [first, second] = told;
    assert.deepEqual([told.length, first.side, first.dir, first.code], [2, 'server', ctx.paths.SERVER_DIR, 1]);
    assert.ok(first.since < second.since && first.output.some((l) => /Done \(/.test(l)), 'each run with its start time and last lines');
    // a start of the user's gets its own comeback; a Play waiting for a server that ends before it is ready waits for that one too
    assert.equal(await start({ exitEarly: 1 }), NOT_READY);
    await until(() => gaveUp() === 2);
    assert.equal(starts(), 4);
  });

  test('a server that ignores "stop" is killed after the stop time', async () => {
    limits.stopMs = 300;
    assert.equal(await start({ onStop: 'hang' }), 'ready');
    await server.stopServer();
    await until(() => server.status() === 'stopped');
    assert.equal(ctx.lines.at(-1), '[Quorlin] Sunucu kapandı (SIGTERM)');
  });

  test('starts while one is in flight share it; a start while the process exists returns at once', async () => {
    const both = Promise.all([start({ readyMs: 300 }), start({ readyMs: 300 })]);
    await until(() => server.isOurs());
    assert.equal(await Promise.race([server.startServer(FAKE_JAVA, 'x.jar').then(() => 'at once'), both]), 'at once');
    assert.deepEqual([await both, records().filter((r) => r.args).length], [['ready', 'ready'], 1]);
  });

  describe('backups of the world', () => {
    const world = () => path.join(ctx.paths.SERVER_DIR, 'brimlox');
    const names = () => fs.readdirSync(ctx.paths.BACKUPS_DIR);
    const inputs = () => records().filter((r) => r.input).map((r) => r.input);
    beforeEach(() => {
      fs.mkdirSync(world(), { recursive: true });
      fs.writeFileSync(path.join(world(), 'level.dat'), 'seviye');
      fs.writeFileSync(path.join(ctx.paths.SERVER_DIR, 'server.properties'), 'level-name=brimlox\n');
    });

    test('an orderly stop backs the world up before it resolves, an unchanged world or a crash not; a restore waits for a stopped server and a listed name', async () => {
      assert.equal(await start(), 'ready');
      await assert.rejects(server.restoreBackup('x'), { message: STOP_FIRST });
      await server.stopServer();
      const [name] = names();
      await until(() => !sent('backups').at(-1).busy);
      const [listed] = sent('backups').at(-1).backups;
      assert.deepEqual(listed, { name, level: 'brimlox', date: listed.date, bytes: fs.statSync(path.join(ctx.paths.BACKUPS_DIR, name)).size });
      assert.equal(await server.backupNow(), null, 'nothing changed since');
      assert.equal(await start(), 'ready');
      fs.writeFileSync(path.join(world(), 'level.dat'), 'değişti'); // played on, then it crashed
      process.kill(records().filter((r) => r.pid).at(-1).pid, 'SIGKILL');
      await until(() => server.status() === 'stopped');
      assert.deepEqual(names(), [name], 'the crashed world is not backed up');

      await assert.rejects(server.restoreBackup('../server.properties'), { message: 'Yedek bulunamadı.' });
      await server.restoreBackup(name);
      assert.equal(fs.readFileSync(path.join(world(), 'level.dat'), 'utf8'), 'seviye');
    });

    // saving the user turned off before stays off after the backup
    for (const userOff of [false, true]) {
      test(`while the server runs, a backup is bracketed by save-off, save-all flush${userOff ? ', saving left off as the user had it' : ' and save-on'}`, async (t) => {
        t.after(() => { limits.backupEveryMs = 60 * 60 * 1000; });
        limits.backupEveryMs = 100;
        assert.equal(await start(), 'ready');
        if (userOff) server.serverCommand('save-off');
        await until(() => sent('backups').some((e) => e.busy));
        limits.backupEveryMs = 60 * 60 * 1000; // this one only
        await until(() => sent('backups').some((e) => !e.busy && e.backups.length === 1));
        await server.stopServer();
        assert.deepEqual(inputs(), [...(userOff ? ['save-off', 'save-off', 'save-all flush'] : ['save-off', 'save-all flush', 'save-on']), 'stop']);
      });
    }
  });

  test('a server already answering on the port is used, and nothing is sent to it', async () => {
    const outside = net.createServer((s) => s.end()).listen(limits.port, '127.0.0.1');
    await new Promise((r) => outside.once('listening', r));
    assert.equal(await start(), 'ready');
    server.serverCommand('stop');
    await server.stopServer();
    outside.close();
    assert.deepEqual([server.isOurs(), states(), records()], [false, ['{"state":"running","external":true}'], []]);
    assert.deepEqual(ctx.lines, [`[Quorlin] ${limits.port} portunda zaten bir sunucu çalışıyor, o kullanılacak.`]);
  });
});
