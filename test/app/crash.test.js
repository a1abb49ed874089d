'use strict';
const { test, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { explainCrash, lineTail } = require('../../app/diagnostics/crash');

const FAKE_JAVA = path.resolve(__dirname, '..', 'support', 'fake-java', 'java');
const ARGS = { game: ['-Xmx4G', 'net.fabricmc.loader.impl.launch.knot.KnotClient'], server: ['-Xmx3G', '-jar', 'server.jar', 'nogui'] };

let dir;
beforeEach(() => { dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-crash-')); });
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

// Runs the fake java as the game or the server in `dir`, crashing as `kind`; resolves to what
// the launcher knows of the run: its start, exit code and last console lines.
function crashRun(side, kind) {
  const since = Date.now();
  const child = spawn(process.execPath, [FAKE_JAVA, ...ARGS[side]], { cwd: dir, env: { ...process.env, FAKE_JAVA_PLAN: JSON.stringify({ crash: kind }) } });
  const tail = lineTail(20);
  for (const stream of [child.stdout, child.stderr]) {
    stream.setEncoding('utf8');
    stream.on('data', (text) => text.split(/\r?\n/).filter(Boolean).forEach(tail.push));
  }
  return new Promise((resolve) => child.on('close', (code) => resolve({ dir, since, code, side, output: tail.lines() })));
}

const inDir = (...parts) => path.join(dir, ...parts);
const newest = (folder, pattern) => inDir(folder, fs.readdirSync(inDir(folder)).find((n) => pattern.test(n)));
const REPORT = () => newest('crash-reports', /^crash-/);
const HS_ERR = () => newest('.', /^hs_err_pid\d+\.log$/);
const LOG = () => inDir('logs', 'latest.log');

// [side, kind the fake java plays, the sentence, the file named]
const CASES = [
  ['game', 'out-of-memory', "Oyun belleği yetmedi. Ayarlar'dan oyun belleğini artırıp tekrar dene.", REPORT],
  ['server', 'out-of-memory', "Sunucu belleği yetmedi. Ayarlar'dan sunucu belleğini artırıp tekrar dene.", REPORT],
  ['game', 'system-memory', "Bilgisayarda yeterli boş bellek yok. Açık programları kapat ya da Ayarlar'dan oyun belleğini azaltıp tekrar dene.", HS_ERR],
  ['game', 'graphics', 'Ekran kartı sürücüsü oyunu açamadı. Ekran kartı sürücüsünü güncelleyip tekrar dene.', HS_ERR],
  ['game', 'mod-resolution', "Mod uyumsuzluğu: Brimlox için fabric-api eksik ya da uyumsuz. Quorlin'i yeniden başlatıp tekrar dene.", LOG],
  ['game', 'mod-failed', "sodium modu açılırken hata verdi. Quorlin'i yeniden başlatıp tekrar dene; sürerse Ayarlar'daki Tanılama paketini bize gönder.", REPORT],
  ['game', 'java-too-old', "Java sürümü eski: bu dosyalar Java 25 istiyor. Quorlin'i yeniden başlatıp tekrar dene.", null],
  ['server', 'port-taken', '25565 portunu başka bir program kullanıyor. Açık kalan başka bir Minecraft sunucusunu kapatıp tekrar dene.', LOG],
  ['server', 'world-locked', 'Dünya başka bir sunucuda açık. Açık kalan Minecraft sunucusunu kapatıp tekrar dene.', LOG],
  ['game', 'damaged-file', 'Bozuk bir dosya var (sodium-fabric-0.6.13+mc26.3.jar). Ayarlar\'dan "Dosyaları onar" ile onarıp tekrar dene.', LOG],
  ['game', 'turkish-locale', 'Türkçe "ı" harfi brimlox modunu bozdu. Quorlin\'i yeniden başlatıp tekrar dene; sürerse Ayarlar\'daki Tanılama paketini bize gönder.', REPORT],
  ['server', 'missing-file', 'fabric-server-26.3-0.19.5.jar bulunamadı; virüs programı silmiş olabilir. Quorlin klasörüne virüs programında izin verip tekrar dene.', null],
];

test('each crash the game or the server leaves behind is told in one sentence with what to do and the file that shows it', async () => {
  for (const [side, kind, sentence, named] of CASES) {
    fs.rmSync(dir, { recursive: true, force: true });
    fs.mkdirSync(dir);
    const said = await explainCrash(await crashRun(side, kind));
    const report = named && named();
    assert.deepEqual(said, { kind, text: report ? `${sentence} Rapor: ${report}` : sentence, report }, `${side} ${kind}`);
  }
});

test('an unknown crash says so and names its report; without one it points to the log', async () => {
  const run = await crashRun('server', 'unknown');
  assert.deepEqual(await explainCrash(run), { kind: 'unknown', text: `Sunucu beklenmedik şekilde kapandı (çıkış kodu 1). Ayrıntılar: ${REPORT()}`, report: REPORT() });
  // the same files seen by a later run are an earlier run's: they tell nothing of this one
  const later = { dir, since: Date.now() + 60 * 1000, code: -1073741819 };
  assert.deepEqual(await explainCrash(later), { kind: 'unknown', text: 'Oyun beklenmedik şekilde kapandı (çıkış kodu -1073741819). Ayrıntılar kayıtlarda.', report: null });
});

test("the crash report's cause wins over a warning earlier in the log", async () => {
  fs.mkdirSync(inDir('logs'));
  fs.writeFileSync(LOG(), '[Worker-Main-3/WARN]: Failed to load pack.zip\njava.util.zip.ZipException: zip END header not found\n');
  assert.equal((await explainCrash(await crashRun('game', 'out-of-memory'))).kind, 'out-of-memory');
});

test('a Java that cannot be started is a missing file; a taken port or a locked world count for the server only', async () => {
  const error = await new Promise((resolve) => spawn(inDir('runtime', 'bin', 'javaw.exe')).on('error', resolve));
  assert.equal((await explainCrash({ dir, since: Date.now(), code: -1, error })).text.split(';')[0], 'javaw.exe bulunamadı');
  // the game's own mods may listen on a port: their bind failure is not why the game ended
  const output = ['java.net.BindException: Address already in use: bind', 'session.lock: already locked (possibly by other Minecraft instance?)'];
  assert.equal((await explainCrash({ dir, since: Date.now(), code: 1, output })).kind, 'unknown');
  assert.equal((await explainCrash({ dir, since: Date.now(), code: 1, side: 'server', output })).kind, 'port-taken');
});
