const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { run } = require('../../app/run');

const ROOT = path.resolve(__dirname, '..', '..');
const JAR = path.join(ROOT, 'app', 'assets', 'brimlox-1.0.0.jar');
const STUBS = path.join(ROOT, 'build', 'mod', 'classes-stubs');
const RUNNER = path.join(ROOT, 'test', 'support', 'RunModEntries.java');

test('the mod archive: its entries, its mod description, and entry points that read the configuration', async (t) => {
  if (!fs.existsSync(JAR) || !fs.existsSync(STUBS)) {
    t.skip(`${JAR} is not built: make ${path.relative(ROOT, JAR)}`);
    return;
  }
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-mod-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));

  const listing = await run('jar', ['tf', JAR]);
  assert.deepEqual(listing.stdout.trim().split('\n'), ['com/', 'com/quorlin/', 'com/quorlin/brimlox/',
    'com/quorlin/brimlox/BrimloxClient.class', 'com/quorlin/brimlox/BrimloxConfig.class',
    'com/quorlin/brimlox/BrimloxMod.class', 'fabric.mod.json'], 'sorted, and without the loader interfaces');

  await run('jar', ['xf', JAR, 'fabric.mod.json'], { cwd: dir });
  const mod = JSON.parse(fs.readFileSync(path.join(dir, 'fabric.mod.json'), 'utf8'));
  assert.deepEqual([mod.id, mod.version], ['brimlox', '1.0.0']);
  assert.deepEqual(mod.depends, { fabricloader: '>=0.19.0', minecraft: '>=26.3 <26.4', java: '>=21', 'fabric-api': '*' });

  // [configuration file, what the main and the client entry point log]
  const cases = [
    [null, ['[Brimlox] config/brimlox/config.json: autoJoin=false, serverAddress=localhost',
      '[Brimlox] Otomatik katılma kapalı']],
    ['\uFEFF{\n  "overlay": { "port": 8765 },\n  "autoJoin" : true,\n  "serverAddress": "oyun.\\u00f6rnek\\\\1:25570"\n}', [
      '[Brimlox] config/brimlox/config.json: autoJoin=true, serverAddress=oyun.örnek\\1:25570',
      '[Brimlox] Otomatik katılma: oyun.örnek\\1:25570']],
  ];
  const classPath = [STUBS, JAR].join(path.delimiter);
  for (const [config, lines] of cases) {
    const file = path.join(dir, 'config', 'brimlox', 'config.json');
    fs.rmSync(file, { force: true });
    if (config !== null) {
      fs.mkdirSync(path.dirname(file), { recursive: true });
      fs.writeFileSync(file, config);
    }
    const r = await run('java', ['-Dstdout.encoding=UTF-8', '-Dsun.stdout.encoding=UTF-8', '-cp', classPath, RUNNER,
      mod.entrypoints.main[0], mod.entrypoints.client[0]], { cwd: dir });
    assert.equal(r.code, 0, r.stderr);
    assert.deepEqual(r.stdout.trim().split('\n'), lines);
  }
});
