const { test, describe, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const net = require('node:net');
const os = require('node:os');
const path = require('node:path');
const { startWorld } = require('../support/world');
const endpoints = require('../../app/endpoints');
const { state, initState } = require('../../app/state');
const server = require('../../app/server');

const APP_DIR = path.resolve(__dirname, '..', '..', 'app');
const FAKE_JAVA = path.resolve(__dirname, '..', 'support', 'fake-java', 'java');
const REALDATA = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata');
const NOT_READY = 'Sunucu açılamadı — Sunucu sekmesindeki kayıtlara bak.';
const FORCED = ['white-list=false', 'enforce-whitelist=false', 'spawn-protection=0'];

let dir;
let events;
const sent = (channel) => events.filter(([c]) => c === channel).map(([, d]) => d);
const logLines = () => sent('log');

function freePort() {
  return new Promise((resolve) => {
    const probe = net.createServer().listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => resolve(port));
    });
  });
}

beforeEach(async () => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-server-'));
  initState({ env: { APPDATA: dir }, home: dir, appDir: APP_DIR });
  events = [];
  // the page's end of send(): every event in order
  state.win = { isDestroyed: () => false, webContents: { isDestroyed: () => false, send: (c, d) => events.push([c, d]) } };
  Object.assign(server.limits, { port: await freePort(), pollMs: 20, readyMs: 5000, stopMs: 5000, closeGraceMs: 200 });
});

afterEach(async () => {
  const child = state.server;
  if (child) {
    const gone = new Promise((resolve) => child.once('ended', resolve));
    child.kill('SIGKILL');
    await gone;
  }
  fs.rmSync(dir, { recursive: true, force: true });
});

describe('server.properties', () => {
  test('the template keeps its line ends and already holds the forced keys', () => {
    const template = fs.readFileSync(path.join(APP_DIR, 'assets', 'server.properties'), 'utf8');
    const ends = template.match(/\r?\n/g);
    assert.deepEqual(ends, [...Array(17).fill('\r\n'), '\n', '\n']);
    assert.ok(template.startsWith('motd=§cBrim§flox §7• Quorlin\r\n'));
    assert.deepEqual(server.forceKeys(template).split(/\r?\n/), template.split(/\r?\n/));
  });

  // [case, file text, text after forcing]
  const CASES = [
    ['the whitelist on, CRLF lines, other keys missing',
      'motd=Mine\r\nwhite-list=true\r\npvp=true\r\n',
      'motd=Mine\r\nwhite-list=false\npvp=true\nenforce-whitelist=false\nspawn-protection=0\n'],
    ['blank lines at the end, keys that only begin alike',
      'white-list-extra=1\nspawn-protection=16\n\n \n',
      'white-list-extra=1\nspawn-protection=0\n\n \n'.trimEnd() + '\nwhite-list=false\nenforce-whitelist=false\n'],
    ['only the first line of a key changes',
      'enforce-whitelist=true\nenforce-whitelist=true\nwhite-list=false\nspawn-protection=0',
      'enforce-whitelist=false\nenforce-whitelist=true\nwhite-list=false\nspawn-protection=0'],
  ];
  for (const [name, text, expected] of CASES) {
    test(name, () => assert.equal(server.forceKeys(text), expected));
  }

  test('files written by real servers keep every other line', (t) => {
    const folder = path.join(REALDATA, 'server', 'properties');
    if (!fs.existsSync(folder)) return t.skip(`no real data in ${folder}`);
    for (const name of fs.readdirSync(folder)) {
      const text = fs.readFileSync(path.join(folder, name), 'utf8');
      const lines = (s) => s.split('\n').map((l) => l.replace(/\r$/, ''));
      const forced = lines(server.forceKeys(text));
      for (const line of FORCED) assert.equal(forced.filter((l) => l === line).length, 1, `${name}: ${line}`);
      const isForced = (l) => FORCED.some((f) => l.startsWith(f.split('=')[0] + '='));
      const kept = (s) => lines(s).filter((l) => l.trim() && !isForced(l));
      assert.deepEqual(kept(server.forceKeys(text)), kept(text), name);
    }
  });
});

describe('ensureServerFiles', () => {
  let world;
  const saved = endpoints.fabricMeta;
  before(async () => {
    world = await startWorld();
    endpoints.fabricMeta = world.url;
  });
  after(async () => {
    endpoints.fabricMeta = saved;
    await world.close();
  });

  const jarPath = (loader) => `/v2/versions/loader/26.3/${loader}/1.1.0/server/jar`;
  const synced = [];
  const mods = { perfMods: async (side) => [`lithium-${side}.jar`], syncMods: (d, jars) => synced.push([d, jars]) };

  test('fetches the jar of a new loader only, and keeps the user\'s properties', async () => {
    world.reset();
    world.route(jarPath('0.19.5'), { body: 'jar 0.19.5' }).route(jarPath('0.19.6'), { body: 'jar 0.19.6' });
    const serverDir = state.paths.SERVER_DIR;
    fs.mkdirSync(serverDir, { recursive: true });
    for (const name of ['fabric-server-26.3-0.19.4.jar', 'fabric-server-launch.jar', 'Fabric-server-x.jar', 'fabric-server.txt']) {
      fs.writeFileSync(path.join(serverDir, name), 'old');
    }
    const first = await server.ensureServerFiles({ loader: '0.19.5', installer: '1.1.0' }, 'api.jar', mods);
    assert.equal(first, path.join(serverDir, 'fabric-server-26.3-0.19.5.jar'));
    assert.deepEqual(fs.readdirSync(serverDir).sort(),
      ['Fabric-server-x.jar', 'eula.txt', 'fabric-server-26.3-0.19.5.jar', 'fabric-server.txt', 'server.properties']);
    assert.equal(fs.readFileSync(path.join(serverDir, 'eula.txt'), 'utf8'), 'eula=true\n');
    assert.deepEqual(synced.pop(), [path.join(serverDir, 'mods'), [state.currentModJar, 'api.jar', 'lithium-server.jar']]);
    assert.deepEqual(sent('progress')[0], { step: 'server', label: 'Sunucu hazırlanıyor', pct: 0 });
    assert.ok(sent('progress').some((p) => p.label === 'Sunucu indiriliyor' && p.pct === 1));

    const properties = path.join(serverDir, 'server.properties');
    fs.writeFileSync(properties, 'motd=Benim\r\nwhite-list=true\r\n');
    await server.ensureServerFiles({ loader: '0.19.5', installer: '1.1.0' }, 'api.jar', mods);
    assert.equal(world.count(jarPath('0.19.5')), 1, 'the same loader downloads nothing');
    assert.equal(fs.readFileSync(properties, 'utf8'), 'motd=Benim\r\nwhite-list=false\nenforce-whitelist=false\nspawn-protection=0\n');

    await server.ensureServerFiles({ loader: '0.19.6', installer: '1.1.0' }, 'api.jar', mods);
    assert.deepEqual(fs.readdirSync(serverDir).filter((n) => n.startsWith('fabric-server-26')), ['fabric-server-26.3-0.19.6.jar']);
  });

  // [case, Fabric versions, error]
  const FAILURES = [
    ['a failed download', { loader: '0.19.7', installer: '1.1.0' }, /^HTTP 404 — /],
    ['a loader version that names another folder', { loader: '../../x', installer: '1.1.0' }, /^Geçersiz Fabric sürümü: \.\.\/\.\.\/x$/],
    ['a missing installer version', { loader: '0.19.5' }, /^Geçersiz Fabric sürümü: undefined$/],
  ];
  for (const [name, fv, message] of FAILURES) {
    test(`fails on ${name}`, async () => {
      await assert.rejects(server.ensureServerFiles(fv, 'api.jar', mods), { message });
    });
  }
});

describe('the server process', () => {
  let record;
  // Starts the fake server with `plan`; resolves to the start's outcome, never rejects.
  function start(plan = {}, java = FAKE_JAVA) {
    record = path.join(dir, 'record.jsonl');
    process.env.FAKE_JAVA_PLAN = JSON.stringify(plan);
    process.env.FAKE_JAVA_RECORD = record;
    fs.mkdirSync(state.paths.SERVER_DIR, { recursive: true });
    return server.startServer(java, path.join(dir, 'server.jar')).then(() => 'ready', (err) => err.message);
  }
  const records = () => (fs.existsSync(record) ? fs.readFileSync(record, 'utf8').trim().split('\n').map((l) => JSON.parse(l)) : []);
  const states = () => sent('server').map((e) => JSON.stringify(e));
  const until = async (check) => { while (!check()) await new Promise((r) => setTimeout(r, 10)); };
  after(() => {
    delete process.env.FAKE_JAVA_PLAN;
    delete process.env.FAKE_JAVA_RECORD;
  });

  test('runs with the settings\' memory, reports readiness, joins and console lines, takes commands and stops', async () => {
    state.settings.serverRam = 5;
    assert.equal(await start({ joins: ['Oyuncu_1'] }), 'ready');
    assert.deepEqual(records()[0], { args: ['-Xmx5G', '-Xms1G', '-jar', path.join(dir, 'server.jar'), 'nogui'], cwd: state.paths.SERVER_DIR, pid: state.server.pid });
    await until(() => sent('server').some((e) => e.joined));
    server.serverCommand('say merhaba\r\n dünya\n');
    server.serverCommand(42);
    await until(() => records().length === 2);
    await server.stopServer();
    assert.deepEqual(records().slice(1), [{ input: 'say merhaba dünya' }, { input: 'stop' }]);
    assert.deepEqual(states(), ['{"state":"starting"}', '{"state":"running"}', '{"state":"running","joined":"Oyuncu_1"}', '{"state":"stopped","code":0}']);
    const lines = logLines();
    assert.ok(lines.includes('WARNING: A restricted method in java.lang.System has been called'), 'standard error is read too');
    assert.ok(lines.some((l) => l.endsWith('Done (1.234s)! For help, type "help"')));
    assert.equal(lines.at(-1), '[Quorlin] Sunucu kapandı (0)');
    assert.deepEqual([state.server, state.serverState], [null, 'stopped']);
    const waits = sent('progress').filter((p) => p.label === 'Sunucu açılıyor').map((p) => p.pct);
    assert.deepEqual(sent('progress')[0], { step: 'server', label: 'Sunucu başlatılıyor', pct: 0.3 });
    assert.ok(waits.every((pct) => pct > 0.3 && pct <= 0.95), String(waits));
  });

  test('a ready line with a decimal comma and a character split between writes', async () => {
    assert.equal(await start({ ready: 'comma', split: true }), 'ready');
    assert.ok(logLines().some((l) => l.endsWith('Dünya oluşturuluyor: ş')), 'one whole line');
    assert.ok(logLines().every((l) => !l.includes('\uFFFD')));
  });

  // [case, plan, java, state after, last log line]
  const FAILED = [
    ['a server that exits before it is ready', { exitEarly: 1 }, FAKE_JAVA, 'stopped', '[Quorlin] Sunucu kapandı (1)'],
    ['a program that cannot start', {}, path.join(os.tmpdir(), 'no-such-java'), 'stopped', /^\[Quorlin\] HATA: Sunucu programı çalıştırılamadı .*ENOENT/],
    ['a server never ready in time', { ready: null }, FAKE_JAVA, 'starting', /Preparing level|Time elapsed/],
  ];
  for (const [name, plan, java, after, last] of FAILED) {
    test(`${name}: the start fails`, async () => {
      if (after === 'starting') server.limits.readyMs = 1500;
      assert.equal(await start(plan, java), NOT_READY);
      assert.equal(state.serverState, after);
      assert.match(logLines().at(-1), last instanceof RegExp ? last : new RegExp(`^${last.replace(/[()[\]]/g, '\\$&')}$`));
    });
  }

  test('a server that ignores "stop" is killed after the stop time', async () => {
    server.limits.stopMs = 300;
    assert.equal(await start({ onStop: 'hang' }), 'ready');
    const child = state.server;
    const began = Date.now();
    await server.stopServer();
    assert.ok(Date.now() - began >= 300);
    await until(() => state.serverState === 'stopped');
    assert.equal(child.signalCode, 'SIGTERM');
    await server.stopServer(); // none left: at once
  });

  test('starts while one is in flight share it; a start while the process exists returns at once', async () => {
    const both = Promise.all([start({ readyMs: 300 }), start({ readyMs: 300 })]);
    await until(() => state.server);
    assert.equal(await Promise.race([server.startServer(FAKE_JAVA, 'x.jar').then(() => 'at once'), both]), 'at once');
    assert.deepEqual(await both, ['ready', 'ready']);
    assert.equal(records().filter((r) => r.args).length, 1);
  });

  test('a server already answering on the port is used', async () => {
    const outside = net.createServer((s) => s.end()).listen(server.limits.port, '127.0.0.1');
    await new Promise((r) => outside.once('listening', r));
    try {
      assert.equal(await start(), 'ready');
      assert.deepEqual([state.server, states()], [null, ['{"state":"running","external":true}']]);
      assert.deepEqual(logLines(), [`[Quorlin] ${server.limits.port} portunda zaten bir sunucu çalışıyor, o kullanılacak.`]);
      assert.equal(records().length, 0);
      server.serverCommand('stop'); // nothing to send it to
    } finally {
      outside.close();
    }
    assert.equal(await server.portOpen(server.limits.port), false);
  });
});

describe('server start request', () => {
  const STEPS = ['ensureJava', 'fabricVersions', 'refreshModJar', 'fabricApi', 'ensureServerFiles', 'startServer'];
  function steps(failing) {
    const calls = [];
    const fns = Object.fromEntries(STEPS.map((name) => [name, async (...args) => {
      calls.push([name, ...args]);
      if (name === failing) throw new Error(`${name} olmadı`);
      return { ensureJava: 'java.exe', fabricVersions: { loader: '0.19.5' }, fabricApi: 'api.jar', ensureServerFiles: 'server.jar' }[name];
    }]));
    return { fns, calls };
  }

  test('runs every step in order and passes their results on', async () => {
    const { fns, calls } = steps();
    assert.deepEqual(await server.serverStartRequest(fns), { ok: true });
    assert.deepEqual(calls, [['ensureJava'], ['fabricVersions'], ['refreshModJar'], ['fabricApi'],
      ['ensureServerFiles', { loader: '0.19.5' }, 'api.jar'], ['startServer', 'java.exe', 'server.jar']]);
  });

  test('answers a failing step with its message and logs it', async () => {
    const { fns, calls } = steps('fabricApi');
    assert.deepEqual(await server.serverStartRequest(fns), { ok: false, error: 'fabricApi olmadı' });
    assert.equal(calls.length, 4);
    assert.deepEqual(logLines(), ['[Quorlin] HATA: fabricApi olmadı']);
  });
});
