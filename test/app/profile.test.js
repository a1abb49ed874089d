const { test, describe, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { spawn } = require('node:child_process');
const { state, initState } = require('../../app/state');
const { writeProfile, writeGameDefaults } = require('../../app/setup/profile');

const APP_DIR = path.resolve(__dirname, '..', '..', 'app');
const REAL = path.resolve(__dirname, '..', '..', '..', 'shared', 'realdata', 'official-launcher');
const VERSION = 'fabric-loader-0.19.3-26.3';
const NOW = Date.parse('2026-01-31T12:00:00.000Z');

let dir;
let profiles;
beforeEach(() => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-profile-'));
  initState({ env: { APPDATA: dir }, home: dir, appDir: APP_DIR });
  profiles = path.join(state.paths.MC_DIR, 'launcher_profiles.json');
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

function store(file, data) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, data);
}

function readProfiles() {
  return JSON.parse(fs.readFileSync(profiles, 'utf8'));
}

function withoutOurs(doc) {
  const copy = structuredClone(doc);
  delete copy.profiles['quorlin-brimlox'];
  return copy;
}

describe('writeProfile', () => {
  test('leaves every other profile and key of real profile files as it was, with or without a byte-order mark', (t) => {
    if (!fs.existsSync(REAL)) {
      t.skip(`no real profile files at ${REAL}`);
      return;
    }
    const names = fs.readdirSync(REAL).filter((n) => n.endsWith('.json'));
    assert.ok(names.length >= 3);
    for (const [name, bom] of names.flatMap((n) => [[n, ''], [n, '\uFEFF']])) {
      const text = fs.readFileSync(path.join(REAL, name), 'utf8');
      store(profiles, bom + text);
      writeProfile(VERSION, { now: NOW });
      const after = readProfiles();
      assert.deepEqual(withoutOurs(after), JSON.parse(text), `${name}${bom && ' with a byte-order mark'}`);
      assert.equal(after.profiles['quorlin-brimlox'].lastVersionId, VERSION);
      assert.deepEqual(fs.readdirSync(state.paths.MC_DIR), ['launcher_profiles.json'], 'no backup, no side file');
    }
  });

  test('a new file holds only our profile with every field set', () => {
    writeProfile(VERSION, { now: NOW });
    const doc = readProfiles();
    assert.deepEqual(Object.keys(doc.profiles), ['quorlin-brimlox']);
    assert.deepEqual({ settings: doc.settings, version: doc.version }, { settings: {}, version: 3 });
    const entry = doc.profiles['quorlin-brimlox'];
    const png = fs.readFileSync(path.join(APP_DIR, 'assets', 'brimlox.png')).toString('base64');
    assert.deepEqual(entry, {
      name: 'Quorlin • Brimlox',
      type: 'custom',
      created: '2026-01-31T12:00:00.000Z',
      lastUsed: '2026-01-31T12:01:00.000Z',
      lastVersionId: VERSION,
      gameDir: state.paths.GAME_DIR,
      icon: `data:image/png;base64,${png}`,
      javaArgs: '-Xmx4G -Xms1G -XX:+UseG1GC -XX:+UnlockExperimentalVMOptions -XX:G1NewSizePercent=20 -XX:MaxGCPauseMillis=50',
    });
  });

  test('an existing entry keeps its created time and its own fields; without the picture the icon is Furnace', () => {
    store(profiles, JSON.stringify({ profiles: { 'quorlin-brimlox': { created: '2020-05-05T00:00:00.000Z', resolution: { width: 800 }, name: 'old' } } }));
    state.paths.ASSETS = path.join(dir, 'no-assets');
    state.settings.gameRam = 8;
    writeProfile(VERSION, { now: NOW });
    const entry = readProfiles().profiles['quorlin-brimlox'];
    assert.equal(entry.created, '2020-05-05T00:00:00.000Z');
    assert.deepEqual(entry.resolution, { width: 800 });
    assert.equal(entry.name, 'Quorlin • Brimlox');
    assert.equal(entry.icon, 'Furnace');
    assert.match(entry.javaArgs, /^-Xmx8G /);
  });

  test('a file that is not a profile document is kept beside the new one, never over an older backup', () => {
    const cut = '{"profiles":{"mine":{"name":"Benim","lastVersionId":"1.21.4","gameDir":"C:\\\\Oyun"},"other":{"na';
    const broken = [cut, '[1,2]', '{"profiles":"none"}'];
    broken.forEach((text, i) => {
      store(profiles, text);
      writeProfile(VERSION, { now: NOW });
      assert.deepEqual(Object.keys(readProfiles().profiles), ['quorlin-brimlox']);
      const backup = `${profiles}.bak${i === 0 ? '' : i + 1}`;
      assert.equal(fs.readFileSync(backup, 'utf8'), text, `backup ${i + 1} holds the file as it was`);
    });
    assert.equal(fs.readFileSync(`${profiles}.bak`, 'utf8'), cut, 'the first backup is untouched');
  });

  test('a profile file that cannot be read is an error and stays as it is', () => {
    fs.mkdirSync(profiles, { recursive: true });
    assert.throws(() => writeProfile(VERSION, { now: NOW }), { code: 'EISDIR' });
    assert.ok(fs.statSync(profiles).isDirectory());
  });

  test('a writer killed in the middle of a write leaves a whole document', async () => {
    const big = { profiles: {}, settings: { keepLauncherOpen: true }, version: 3 };
    for (let i = 0; i < 150; i += 1) big.profiles[`p${i}`] = { name: `Profil ${i}`, icon: `data:image/png;base64,${'A'.repeat(20000)}` };
    store(profiles, JSON.stringify(big));
    // versions of one length keep the finished document at one size
    const writer = `
      const { initState } = require(${JSON.stringify(path.join(APP_DIR, 'state.js'))});
      initState({ env: { APPDATA: ${JSON.stringify(dir)} }, home: ${JSON.stringify(dir)}, appDir: ${JSON.stringify(APP_DIR)} });
      const { writeProfile } = require(${JSON.stringify(path.join(APP_DIR, 'setup', 'profile.js'))});
      writeProfile('v0');
      console.log('writing');
      for (let i = 1; ; i += 1) writeProfile('v' + (i % 10));`;
    for (let round = 0; round < 4; round += 1) {
      const child = spawn(process.execPath, ['-e', writer], { stdio: ['ignore', 'pipe', 'inherit'] });
      await new Promise((resolve) => child.stdout.once('data', resolve));
      const whole = fs.statSync(profiles).size;
      // kill it the moment a write shows: a side file, or the document at another size
      const until = Date.now() + 3000;
      while (Date.now() < until && fs.statSync(profiles).size === whole
        && !fs.readdirSync(state.paths.MC_DIR).some((n) => n.endsWith('.tmp')));
      const ended = new Promise((resolve) => child.once('exit', resolve));
      child.kill('SIGKILL');
      await ended;
      const doc = readProfiles();
      assert.equal(Object.keys(doc.profiles).length, 151, `round ${round}`);
      assert.deepEqual(doc.settings, big.settings);
    }
  });
});

describe('writeGameDefaults', () => {
  test('sets the mod to join the local server, keeping its other keys; a broken configuration starts over', () => {
    const config = path.join(state.paths.GAME_DIR, 'config', 'brimlox', 'config.json');
    const cases = [
      [null, {}],
      ['\uFEFF{"autoJoin":false,"serverAddress":"example.org","overlayPort":8765}', { overlayPort: 8765 }],
      ['{"autoJoin":', {}],
    ];
    for (const [before, kept] of cases) {
      if (before === null) fs.rmSync(config, { force: true });
      else store(config, before);
      writeGameDefaults();
      assert.deepEqual(JSON.parse(fs.readFileSync(config, 'utf8')), { ...kept, autoJoin: true, serverAddress: 'localhost' });
    }
  });

  test('writes the four game options once and never touches an existing options file', () => {
    const options = path.join(state.paths.GAME_DIR, 'options.txt');
    writeGameDefaults();
    assert.equal(fs.readFileSync(options, 'utf8'),
      'lang:tr_tr\nonboardAccessibility:false\nskipMultiplayerWarning:true\njoinedFirstServer:true\n');
    fs.writeFileSync(options, 'lang:en_us\n');
    writeGameDefaults();
    assert.equal(fs.readFileSync(options, 'utf8'), 'lang:en_us\n');
  });
});
