'use strict';
const { test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { writeProfile, writeGameDefaults } = require('../../app/setup/profile');
const { testContext, APP_DIR } = require('../support/context');

const REAL = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata', 'official-launcher');
const VERSION = 'fabric-loader-0.19.3-26.3';
const NOW = Date.parse('2026-01-31T12:00:00.000Z');
const OUR_JVM = '-Xms1G -XX:+UseG1GC -XX:+UnlockExperimentalVMOptions -XX:G1NewSizePercent=20 -XX:MaxGCPauseMillis=50 '
  + '-Duser.language=en -Duser.country=US -Dstdout.encoding=UTF-8 -Dstderr.encoding=UTF-8';

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
    javaArgs: `-Xmx4G ${OUR_JVM}`,
  });
  doc.profiles['quorlin-brimlox'] = { created: '2020-05-05T00:00:00.000Z', resolution: { width: 800 }, name: 'old' };
  store(profiles, JSON.stringify(doc));
  ctx = testContext({ dir, appDir: path.join(dir, 'no-app'), settings: { gameRam: 8 } });
  writeProfile(ctx, VERSION, { now: NOW });
  const entry = readJson().profiles['quorlin-brimlox'];
  assert.deepEqual([entry.created, entry.resolution, entry.name, entry.icon, entry.javaArgs.split(' ')[0]],
    ['2020-05-05T00:00:00.000Z', { width: 800 }, 'Quorlin • Brimlox', 'Furnace', '-Xmx8G']);
});

test('the Java arguments keep the user\'s own options once, ours replacing those that set the same thing', () => {
  const own = '-Xmx2G  -Duser.language=tr -XX:+UseZGC -Dfoo=bar -Dstdout.encoding=Cp1254 -XX:MaxGCPauseMillis=200 -Dfoo=bar -XX:+AlwaysPreTouch';
  for (const javaArgs of [own, `-Xmx4G ${OUR_JVM} -Dfoo=bar -XX:+AlwaysPreTouch`, 7]) {
    store(profiles, JSON.stringify({ profiles: { 'quorlin-brimlox': { javaArgs } } }));
    writeProfile(ctx, VERSION, { now: NOW });
    const expected = `-Xmx4G ${OUR_JVM}${typeof javaArgs === 'string' ? ' -Dfoo=bar -XX:+AlwaysPreTouch' : ''}`;
    assert.equal(readJson().profiles['quorlin-brimlox'].javaArgs, expected, String(javaArgs));
  }
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
