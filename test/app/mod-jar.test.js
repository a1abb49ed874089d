const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { run } = require('../../app/core/run');

const ROOT = path.resolve(__dirname, '..', '..');
const JAR = path.join(ROOT, 'app', 'assets', 'brimlox-1.0.0.jar');
const STUBS = path.join(ROOT, 'build', 'mod', 'classes-stubs');

test('the mod archive: its entries, its mod description, and entry points that read the configuration', async (t) => {
  if (!fs.existsSync(JAR) || !fs.existsSync(STUBS)) return t.skip(`not built: make ${path.relative(ROOT, JAR)}`);
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-mod-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  const classes = ['BrimloxClient', 'BrimloxConfig', 'BrimloxMod'].map((c) => `com/quorlin/brimlox/${c}.class`);
  assert.deepEqual((await run('jar', ['tf', JAR])).stdout.trim().split('\n'),
    ['com/', 'com/quorlin/', 'com/quorlin/brimlox/', ...classes, 'fabric.mod.json'], 'sorted, without the loader interfaces');
  await run('jar', ['xf', JAR, 'fabric.mod.json'], { cwd: dir });
  const mod = JSON.parse(fs.readFileSync(path.join(dir, 'fabric.mod.json'), 'utf8'));
  assert.deepEqual([mod.id, mod.version, mod.depends],
    ['brimlox', '1.0.0', { fabricloader: '>=0.19.0', minecraft: '>=26.3 <26.4', java: '>=21', 'fabric-api': '*' }]);

  // [configuration file, what the main and the client entry point log]
  for (const [config, lines] of [
    [null, ['config/brimlox/config.json: autoJoin=false, serverAddress=localhost', 'Otomatik katılma kapalı']],
    ['\uFEFF{ "overlay": { "port": 8765 },\n "autoJoin" : true, "serverAddress": "oyun.\\u00f6rnek\\\\1:25570" }',
      ['config/brimlox/config.json: autoJoin=true, serverAddress=oyun.örnek\\1:25570', 'Otomatik katılma: oyun.örnek\\1:25570']],
  ]) {
    if (config !== null) fs.mkdirSync(path.join(dir, 'config', 'brimlox'), { recursive: true });
    if (config !== null) fs.writeFileSync(path.join(dir, 'config', 'brimlox', 'config.json'), config);
    const r = await run('java', ['-Dstdout.encoding=UTF-8', '-Dsun.stdout.encoding=UTF-8', '-cp', [STUBS, JAR].join(path.delimiter),
      path.join(ROOT, 'test', 'support', 'RunModEntries.java'), mod.entrypoints.main[0], mod.entrypoints.client[0]], { cwd: dir });
    assert.deepEqual(r.stdout.trim().split('\n'), lines.map((l) => `[Brimlox] ${l}`), r.stderr);
  }
});
