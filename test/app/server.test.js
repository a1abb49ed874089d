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

const FAKE_JAVA = path.resolve(__dirname, '..', 'support', 'fake-java', 'java');
const REALDATA = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata');
const NOT_READY = 'Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.';

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
    await prepare('0.19.6');
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
    assert.deepEqual({ args, cwd }, { args: ['-Xmx5G', '-Xms1G', '-jar', path.join(dir, 'server.jar'), 'nogui'], cwd: ctx.paths.SERVER_DIR });
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
    ['a server that exits before it is ready', { exitEarly: 1 }, FAKE_JAVA, NOT_READY, 'stopped', /^\[Quorlin\] Sunucu kapandı \(1\)$/],
    ['a program that cannot start', {}, path.join(os.tmpdir(), 'quorlin-no-java'), NOT_READY, 'stopped', /^\[Quorlin\] HATA: Sunucu programı çalıştırılamadı .*ENOENT/],
    ['a server not ready in time', { ready: null }, FAKE_JAVA, NOT_READY, 'starting', /Time elapsed/],
  ];
  for (const [name, plan, java, outcome, after, last] of OUTCOMES) {
    test(name, async () => {
      if (after === 'starting') limits.readyMs = 1500;
      assert.deepEqual([await start(plan, java), server.status()], [outcome, after]);
      assert.match(ctx.lines.at(-1), last);
      assert.ok(ctx.lines.every((l) => !l.includes('\uFFFD')), 'every character whole');
    });
  }

  test('a server that ignores "stop" is killed after the stop time', async () => {
    limits.stopMs = 300;
    assert.equal(await start({ onStop: 'hang' }), 'ready');
    const began = Date.now();
    await server.stopServer();
    assert.ok(Date.now() - began >= 300);
    await until(() => server.status() === 'stopped');
    assert.equal(ctx.lines.at(-1), '[Quorlin] Sunucu kapandı (SIGTERM)');
  });

  test('starts while one is in flight share it; a start while the process exists returns at once', async () => {
    const both = Promise.all([start({ readyMs: 300 }), start({ readyMs: 300 })]);
    await until(() => server.isOurs());
    assert.equal(await Promise.race([server.startServer(FAKE_JAVA, 'x.jar').then(() => 'at once'), both]), 'at once');
    assert.deepEqual([await both, records().filter((r) => r.args).length], [['ready', 'ready'], 1]);
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
