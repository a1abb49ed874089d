'use strict';
const { describe, test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const { EventEmitter } = require('node:events');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { PassThrough } = require('node:stream');

const { launchArgs } = require('../../app/mc/launch-args');
const { Game } = require('../../app/mc');

const WIN = { os: 'windows', arch: 'x86_64' };
const ROOT = 'C:\\Users\\Ayşe\\AppData\\Roaming\\.quorlin\\minecraft';
const GAME_DIR = 'C:\\Users\\Ayşe\\AppData\\Roaming\\.quorlin\\brimlox';
const NATIVES = ROOT + '\\natives\\26.3';
const ACCOUNT = { name: 'Ayse_42', uuid: '069a79f444e94726a5befca90e38aaf5', mcToken: 'tok', xuid: '2535' };
const KNOT = 'net.fabricmc.loader.impl.launch.knot.KnotClient';
const CLASSPATH = ROOT + '\\libraries\\a.jar;' + ROOT + '\\versions\\26.3\\26.3.jar';
const feature = (name) => [{ action: 'allow', features: { [name]: true } }];

function record({ vanillaJvm, vanillaGame, fabricJvm = [], fabricGame = [], fabricMain = KNOT, logArg = '-Dlog4j.configurationFile=C:\\x\\client.xml' } = {}) {
  return { vanilla: { id: '26.3', mainClass: 'net.minecraft.client.main.Main', arguments: {
    jvm: vanillaJvm || ['-Djava.library.path=${natives_directory}', '-cp', '${classpath}'],
    game: vanillaGame || ['--username', '${auth_player_name}', '--accessToken', '${auth_access_token}'],
  } }, fabric: { mainClass: fabricMain, arguments: { jvm: fabricJvm, game: fabricGame } }, classpath: [ROOT + '\\libraries\\a.jar', ROOT + '\\versions\\26.3\\26.3.jar'], logArg, assetIndex: '29' };
}

const args = (inst, extra = {}) => launchArgs({ root: ROOT, gameDir: GAME_DIR, nativesDir: NATIVES, inst, account: ACCOUNT, ramGb: 6,
  versionId: 'fabric-loader-0.19.3-26.3', quickPlay: 'localhost:25565', paths: path.win32, system: WIN, ...extra });

const count = (list, text) => list.filter((a) => a === text).length;
const gameArgs = (a) => a.slice(a.indexOf(KNOT) + 1);

describe('launch arguments', () => {
  test('memory, an English locale with UTF-8 output and logging first, then both files\' JVM arguments, Fabric\'s main class, game arguments; without -cp in the files the class path is added once; without a Fabric main class the vanilla one is used', () => {
    assert.deepEqual(args(record({ fabricJvm: ['-DFabricMcEmu= net.minecraft.client.main.Main '], fabricGame: ['--fabricFlag'] })), [
      '-Xmx6G', '-Xms1G', '-XX:+UseG1GC', '-XX:MaxGCPauseMillis=50',
      '-Duser.language=en', '-Duser.country=US', '-Dstdout.encoding=UTF-8', '-Dstderr.encoding=UTF-8', '-Dlog4j.configurationFile=C:\\x\\client.xml',
      '-Djava.library.path=' + NATIVES, '-cp', CLASSPATH, '-DFabricMcEmu= net.minecraft.client.main.Main ', KNOT,
      '--username', 'Ayse_42', '--accessToken', 'tok', '--fabricFlag', '--quickPlayMultiplayer', 'localhost:25565',
    ]);
    assert.deepEqual(args(record({ vanillaJvm: ['-Dx=${classpath_separator}'], fabricMain: null, logArg: null })).slice(8, 12), ['-Dx=;', '-cp', CLASSPATH, 'net.minecraft.client.main.Main']);
  });

  // the pair from the rule is proven on the real version files below, the appended one by the first test
  test('quick play: never when absent or empty, with the rule or without', () => {
    const withRule = record({
      vanillaGame: [{ rules: feature('is_quick_play_multiplayer'), value: ['--quickPlayMultiplayer', '${quickPlayMultiplayer}'] }],
    });
    for (const quickPlay of [undefined, '']) {
      assert.deepEqual([withRule, record()].map((inst) => count(args(inst, { quickPlay }), '--quickPlayMultiplayer')), [0, 0]);
    }
  });

  test('substitution: known names in one pass, unknown names kept, inserted values not searched again', () => {
    const inst = record({
      vanillaGame: ['${auth_player_name}', '${auth_xuid}|${clientid}|${user_type}|${user_properties}', '${resolution_width}',
        '${assets_root}', '${assets_index_name}:${version_name}', '${launcher_name}/${launcher_version}', '${}'],
    });
    const a = args(inst, { account: { ...ACCOUNT, xuid: '${auth_uuid}' }, quickPlay: undefined });
    assert.deepEqual(gameArgs(a), ['Ayse_42', '${auth_uuid}||msa|{}', '${resolution_width}', ROOT + '\\assets',
      '29:fabric-loader-0.19.3-26.3', 'Quorlin/1.0', '${}']);
    assert.equal(gameArgs(args(inst, { account: { ...ACCOUNT, xuid: undefined } }))[1], '||msa|{}');
  });

  test('memory that is not a whole number of gigabytes, a name or uuid that is not a Minecraft one, is refused', () => {
    const memory = { message: 'Oyun belleği geçersiz.' };
    const account = { message: 'Hesap bilgileri geçersiz. Çıkış yapıp yeniden giriş yap.' };
    const uuid = (u) => ({ account: { ...ACCOUNT, uuid: u } });
    const name = (n) => ({ account: { ...ACCOUNT, name: n } });
    assert.equal(args(record(), { ramGb: 16, ...uuid('069A79F4-44E9-4726-A5BE-FCA90E38AAF5'), ...name('abc') })[0], '-Xmx16G');
    for (const [extra, refusal] of [
      [{ ramGb: '4G -javaagent:x' }, memory], [{ ramGb: '6' }, memory], [{ ramGb: 4.5 }, memory], [{ ramGb: 0 }, memory],
      [name('Ay'), account], [name('A'.repeat(17)), account], [name('Ayşe'), account], [name('x --demo'), account], [name(['Ayse_42']), account],
      [uuid('u-u-i-d'), account], [uuid('069a79f4-44e94726-a5be-fca90e38aaf5'), account], [uuid('069a79f444e94726a5befca90e38aaf'), account],
      [uuid(undefined), account],
    ]) assert.throws(() => args(record(), extra), refusal, JSON.stringify(extra));
  });
});

const REAL = path.join(__dirname, '..', '..', '..', 'shared', 'realdata');
const readReal = (rel) => JSON.parse(fs.readFileSync(path.join(REAL, rel), 'utf8'));

describe('launch arguments of real version files', { skip: !fs.existsSync(REAL) && `real sample files not found at ${REAL}` }, () => {
  const real = (version) => args({
    ...record(), vanilla: readReal(`mojang/versions/${version}.json`), fabric: readReal('fabric/installed-profiles/fabric-loader-0.16.14-1.21.5.json'),
  });

  for (const version of ['26.2', '1.21.11', '1.20.1']) {
    test(`${version}: one quick play pair, no demo, size or other-system arguments, one class path`, () => {
      const a = real(version);
      const counted = ['--demo', '--width', '--quickPlayPath', '--quickPlaySingleplayer', '--quickPlayRealms', '-XstartOnFirstThread',
        '-Xss1M', '-XX:+UseZGC', '--quickPlayMultiplayer', '-cp'];
      assert.deepEqual([...counted.map((x) => count(a, x)), a[a.indexOf('--quickPlayMultiplayer') + 1], a[a.indexOf('-cp') + 1],
        a.indexOf('-Xmx6G'), a.some((x) => x.startsWith('-XX:HeapDumpPath=')), a[a.indexOf(KNOT) - 1]],
      [0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 'localhost:25565', CLASSPATH, 0, true, '-DFabricMcEmu= net.minecraft.client.main.Main ']);
      assert.ok(a.every((x) => !/\$\{(auth_|version_|game_|assets_|natives_|launcher_|classpath|quickPlayMultiplayer)/.test(x)), a.join(' '));
    });
  }
});

describe('Game.launch', () => {
  let top, logs;
  beforeEach(() => { [top, logs] = [fs.mkdtempSync(path.join(os.tmpdir(), 'mc-launch-')), []]; });
  afterEach(() => fs.rmSync(top, { recursive: true, force: true }));
  const newGame = (spawn) => new Game({
    root: path.join(top, 'minecraft'), gameDir: path.join(top, 'brimlox'), log: (l) => logs.push(l), spawn, system: WIN,
  });
  const launch = (spawn, extra) => newGame(spawn).launch({
    java: 'java', inst: { ...record(), classpath: [path.join(top, 'a.jar')] }, account: ACCOUNT, ramGb: 4, versionId: 'v', ...extra,
  });

  test('starts java detached, its window not hidden, in the game directory; output split per chunk, one exit code', (t) => {
    const spawn = t.mock.fn(() => Object.assign(new EventEmitter(), { stdout: new PassThrough(), stderr: new PassThrough(), unref: t.mock.fn() }));
    const [lines, codes] = [[], []];
    const child = launch(spawn, { java: 'C:\\jdk\\bin\\javaw.exe', quickPlay: 'localhost:25565', onLine: (l) => lines.push(l), onExit: (c) => codes.push(c) });
    const [{ arguments: [cmd, argv, opts], result }] = spawn.mock.calls;
    assert.deepEqual([spawn.mock.callCount(), child, cmd, argv[0]], [1, result, 'C:\\jdk\\bin\\javaw.exe', '-Xmx4G']);
    const natives = path.join(top, 'minecraft', 'natives', '26.3');
    // windowsHide would hide the game's own window too
    assert.deepEqual([{ ...opts }, argv.includes('-Djava.library.path=' + natives), child.unref.mock.callCount(), fs.readdirSync(natives),
      fs.statSync(path.join(top, 'brimlox')).isDirectory(), logs],
    [{ cwd: path.join(top, 'brimlox'), detached: true, stdio: ['ignore', 'pipe', 'pipe'] }, true, 1, [], true, ['[Quorlin] Oyun başlatılıyor: Ayse_42']]);
    // LF and CR LF end lines; a character split between chunks stays whole
    const s = Buffer.from('Dünya yüklendi\r\n\r\nşimdi');
    const cut = s.indexOf(Buffer.from('ş')) + 1;
    child.stdout.write(s.subarray(0, cut));
    child.stdout.write(s.subarray(cut));
    child.stderr.write('uyarı\n');
    child.emit('exit', 3, null);
    child.emit('exit', 3, null);
    assert.deepEqual([lines, codes], [['Dünya yüklendi', 'şimdi', 'uyarı'], [3]]);
  });

  test('a missing executable ends in onExit with a non-zero code and a log line, not an exception', async () => {
    const codes = [];
    assert.ok(launch(undefined, { java: path.join(top, 'jdk', 'bin', 'javaw.exe'), onExit: (c) => codes.push(c) }));
    for (let i = 0; i < 100 && codes.length === 0; i++) await new Promise((r) => setTimeout(r, 20));
    assert.deepEqual([codes.length, codes[0] !== 0], [1, true]);
    assert.match(logs.at(-1), /^\[Quorlin\] HATA: Oyun başlatılamadı: .*ENOENT/);
  });
});
