const test = require('node:test');
const assert = require('node:assert');
const { run } = require('../../app/core/run');

test('a console tool answers with its exit code and both streams as text', async () => {
  const r = await run('sh', ['-c', 'cat; printf "ş\\n" >&2; exit 3'], { input: 'ğı' });
  assert.deepStrictEqual(r, { code: 3, stdout: 'ğı', stderr: 'ş\n', error: null });
});

test('a missing program and a hung one are answers, not exceptions', async () => {
  const missing = await run('/nonexistent/tool.exe', ['x']);
  const started = Date.now();
  const hung = await run('sleep', ['30'], { timeout: 200 });
  assert.deepStrictEqual([missing.code, missing.error.code, hung.code, /200 ms/.test(hung.error.message), Date.now() - started < 5000],
    [null, 'ENOENT', null, true, true]);
});
