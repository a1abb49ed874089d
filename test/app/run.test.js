const test = require('node:test');
const assert = require('node:assert');
const { run } = require('../../app/core/run');

test('a missing program and a hung one are answers, not exceptions', async () => {
  const missing = await run('/nonexistent/tool.exe', ['x']);
  const hung = await run('sleep', ['30'], { timeout: 200 });
  assert.deepStrictEqual([missing.code, missing.error.code, hung.code, /200 ms/.test(hung.error.message)],
    [null, 'ENOENT', null, true]);
});
