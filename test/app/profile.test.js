'use strict';
const { test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { writeProfile, writeGameDefaults } = require('../../app/setup/profile');
const { testContext, APP_DIR } = require('../support/context');

const REAL = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata', 'official-launcher');
const VERSION = 'fabric-loader-0.19.3-26.3';
const NOW = Date.parse('2026-01-31T12:00:00.000Z');

let dir, ctx, profiles;
beforeEach(() => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-profile-'));
  ctx = testContext({ dir });
  profiles = path.join(ctx.paths.MC_DIR, 'launcher_profiles.json');
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

function store(file, data) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, data);
}

const readJson = (file = profiles) => JSON.parse(fs.readFileSync(file, 'utf8'));

test('writeProfile leaves every other profile and key of real profile files as it was, with or without a byte-order mark', {
  skip: !fs.existsSync(REAL) && `no real profile files at ${REAL}`,
}, () => {
  const names = fs.readdirSync(REAL).filter((n) => n.endsWith('.json'));
  assert.ok(names.length >= 3);
  for (const [name, bom] of names.flatMap((n) => [[n, ''], [n, '\uFEFF']])) {
    const text = fs.readFileSync(path.join(REAL, name), 'utf8');
    store(profiles, bom + text);
    writeProfile(ctx, VERSION, { now: NOW });
    const after = readJson();
    assert.equal(after.profiles['quorlin-brimlox'].lastVersionId, VERSION);
    delete after.profiles['quorlin-brimlox'];
    assert.deepEqual(after, JSON.parse(text), `${name}${bom && ' with a byte-order mark'}`);
    assert.deepEqual(fs.readdirSync(ctx.paths.MC_DIR), ['launcher_profiles.json'], 'no backup, no side file');
  }
});

test('a new profile file holds only our profile; an existing entry keeps its created time and its own fields', () => {
  writeProfile(ctx, VERSION, { now: NOW });
  const doc = readJson();
  assert.deepEqual([Object.keys(doc.profiles), doc.settings, doc.version], [['quorlin-brimlox'], {}, 3]);
  const png = fs.readFileSync(path.join(APP_DIR, 'assets', 'brimlox.png')).toString('base64');
  assert.deepEqual(doc.profiles['quorlin-brimlox'], {
    name: 'Quorlin • Brimlox', type: 'custom', created: '2026-01-31T12:00:00.000Z', lastUsed: '2026-01-31T12:01:00.000Z',
    lastVersionId: VERSION, gameDir: ctx.paths.GAME_DIR, icon: `data:image/png;base64,${png}`,
    javaArgs: '-Xmx4G -Xms1G -XX:+UseG1GC -XX:+UnlockExperimentalVMOptions -XX:G1NewSizePercent=20 -XX:MaxGCPauseMillis=50',
  });
  doc.profiles['quorlin-brimlox'] = { created: '2020-05-05T00:00:00.000Z', resolution: { width: 800 }, name: 'old' };
  store(profiles, JSON.stringify(doc));
  ctx = testContext({ dir, appDir: path.join(dir, 'no-app'), settings: { gameRam: 8 } });
  writeProfile(ctx, VERSION, { now: NOW });
  const entry = readJson().profiles['quorlin-brimlox'];
  assert.deepEqual([entry.created, entry.resolution, entry.name, entry.icon, entry.javaArgs.split(' ')[0]],
    ['2020-05-05T00:00:00.000Z', { width: 800 }, 'Quorlin • Brimlox', 'Furnace', '-Xmx8G']);
});

test('a profile file that is not a profile document is kept beside the new one, never over an older backup', () => {
  const cut = '{"profiles":{"mine":{"name":"Benim","lastVersionId":"1.21.4","gameDir":"C:\\\\Oyun"},"other":{"na';
  ['[1,2]', cut, '{"profiles":"none"}'].forEach((text, i) => {
    store(profiles, text);
    writeProfile(ctx, VERSION, { now: NOW });
    assert.deepEqual(Object.keys(readJson().profiles), ['quorlin-brimlox']);
    assert.equal(fs.readFileSync(`${profiles}.bak${i === 0 ? '' : i + 1}`, 'utf8'), text, `backup ${i + 1}`);
  });
  assert.equal(fs.readFileSync(`${profiles}.bak`, 'utf8'), '[1,2]', 'the first backup is untouched');
  fs.rmSync(profiles);
  fs.mkdirSync(profiles);
  assert.throws(() => writeProfile(ctx, VERSION), { code: 'EISDIR' }, 'a profile file that cannot be read is an error');
  assert.ok(fs.statSync(profiles).isDirectory());
});

test('a profile writer killed in the middle of a write leaves a whole document', async () => {
  const big = { profiles: {}, settings: { keepLauncherOpen: true }, version: 3 };
  for (let i = 0; i < 150; i += 1) big.profiles[`p${i}`] = { name: `Profil ${i}`, icon: 'A'.repeat(20000) };
  store(profiles, JSON.stringify(big));
  // versions of one length keep the finished document at one size
  const writer = `const ctx = require(${JSON.stringify(path.join(APP_DIR, 'core', 'context.js'))}).createContext(${JSON.stringify({ env: { APPDATA: dir }, home: dir })});
    const { writeProfile } = require(${JSON.stringify(path.join(APP_DIR, 'setup', 'profile.js'))});
    writeProfile(ctx, 'v0');
    console.log('writing');
    for (let i = 1; ; i += 1) writeProfile(ctx, 'v' + (i % 10));`;
  for (let round = 0; round < 4; round += 1) {
    const child = spawn(process.execPath, ['-e', writer], { stdio: ['ignore', 'pipe', 'inherit'] });
    await new Promise((resolve) => child.stdout.once('data', resolve));
    const whole = fs.statSync(profiles).size;
    // killed the moment a write shows: a side file, or the document at another size
    for (const until = Date.now() + 3000; Date.now() < until && fs.statSync(profiles).size === whole
      && !fs.readdirSync(ctx.paths.MC_DIR).some((n) => n.endsWith('.tmp'));) ;
    const ended = new Promise((resolve) => child.once('exit', resolve));
    child.kill('SIGKILL');
    await ended;
    assert.equal(Object.keys(readJson().profiles).length, 151, `round ${round}`);
  }
});

test('writeGameDefaults makes the mod join the local server, keeping its other keys, and writes the game options once', () => {
  const [config, options] = [['config', 'brimlox', 'config.json'], ['options.txt']].map((p) => path.join(ctx.paths.GAME_DIR, ...p));
  for (const [before, kept] of [[null, {}], ['{"autoJoin":', {}],
    ['\uFEFF{"autoJoin":false,"serverAddress":"example.org","overlayPort":8765}', { overlayPort: 8765 }]]) {
    if (before !== null) store(config, before);
    writeGameDefaults(ctx);
    assert.deepEqual(readJson(config), { ...kept, autoJoin: true, serverAddress: 'localhost' });
    assert.equal(fs.readFileSync(options, 'utf8'), 'lang:tr_tr\nonboardAccessibility:false\nskipMultiplayerWarning:true\njoinedFirstServer:true\n');
  }
  fs.writeFileSync(options, 'lang:en_us\n');
  writeGameDefaults(ctx);
  assert.equal(fs.readFileSync(options, 'utf8'), 'lang:en_us\n', 'an existing options file is never touched');
});
