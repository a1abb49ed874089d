const { test, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { text: body } = require('node:stream/consumers');
const { startWorld } = require('../support/world');
const client = require('../../app/core/http');

const { request, retry, getText, getJson, download } = client;
let secure, plain, dir;
const savedLimits = { ...client.limits };

before(async () => { [secure, plain] = await Promise.all([startWorld({ https: true }), startWorld()]); });
after(async () => {
  Object.assign(client.limits, savedLimits);
  await Promise.all([secure.close(), plain.close()]);
});
beforeEach(() => {
  client.limits.retryStepMs = 5;
  for (const w of [secure, plain]) w.reset();
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-http-'));
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

test('request follows six redirects and refuses the seventh; every final status but 200 fails with "HTTP <status> — <address>"', async () => {
  for (let i = 1; i <= 7; i += 1) secure.route(`/r${i}`, { redirect: `/r${i + 1}` });
  secure.route('/r8', { body: 'sonunda' });
  assert.equal(await body(await request(`${secure.url}/r2`)), 'sonunda');
  await assert.rejects(request(`${secure.url}/r1`), { message: `HTTP 302 — ${secure.url}/r7` });
  assert.equal(secure.count('/r8'), 1);
  for (const status of [404, 204, 206, 500, 302]) { // 302: a redirect without a Location
    plain.route('/s', { status, body: status === 204 ? '' : 'x' });
    await assert.rejects(request(`${plain.url}/s`), { message: `HTTP ${status} — ${plain.url}/s` });
  }
});

test('retry pauses 1.5 s, then 3 s, and answers the first success or the last error', async () => {
  client.limits.retryStepMs = savedLimits.retryStepMs;
  // [failures before a success, tries, answer or last error, pauses]
  for (const [failures, tries, outcome, pauses] of [[2, 3, 'ok', [1500, 3000]], [9, 2, 'fail 2', [1500]], [9, 0, 'fail 1', []]]) {
    const slept = [];
    let calls = 0;
    const attempt = async () => (++calls <= failures ? Promise.reject(new Error(`fail ${calls}`)) : 'ok');
    const got = await retry(attempt, tries, async (ms) => { slept.push(ms); }).catch((err) => err.message);
    assert.deepEqual([got, slept], [outcome, pauses]);
  }
});

test('getText succeeds after two failures; getJson fails at once on a body that is not JSON', async () => {
  secure.route('/meta', [{ status: 500 }, { status: 503 }, { body: 'Sürümler: ğüşiöç' }]).route('/v', { body: [{ stable: true }] });
  assert.deepEqual([await getText(`${secure.url}/meta`), await getJson(`${secure.url}/v`)], ['Sürümler: ğüşiöç', [{ stable: true }]]);
  secure.route('/bad', { body: '<html>' });
  await assert.rejects(getJson(`${secure.url}/bad`), SyntaxError);
  assert.deepEqual([secure.count('/meta'), secure.count('/bad')], [3, 1]);
});

test('download moves the complete file into place, reporting fractions up to 1 only when the size is known; a reporter that throws is logged once', async (t) => {
  const data = Buffer.alloc(256 * 1024, 7);
  secure.route('/f.jar', { body: data });
  plain.route('/chunked', { body: data, chunked: true });
  const dest = (sized) => path.join(dir, 'deep', String(sized), 'f.jar');
  for (const [url, sized] of [[`${secure.url}/f.jar`, true], [`${plain.url}/chunked`, false]]) {
    const fractions = [];
    await download(url, dest(sized), (pct) => fractions.push(pct));
    assert.deepEqual([fs.readFileSync(dest(sized)).equals(data), fs.existsSync(`${dest(sized)}.part`), fractions.at(-1), [...fractions].sort((x, y) => x - y)],
      [true, false, ...(sized ? [1, fractions] : [undefined, []])]);
  }
  // the reporter is the caller's: its failure ends the reports, never the transfer
  const logged = t.mock.method(console, 'error', () => {});
  const progress = t.mock.fn(() => { throw new Error('çizilemedi'); });
  fs.writeFileSync(dest(true), 'eski');
  await download(`${secure.url}/f.jar`, dest(true), progress);
  assert.deepEqual([fs.readFileSync(dest(true)).equals(data), progress.mock.callCount(), logged.mock.calls.map((c) => c.arguments)],
    [true, 1, [['[Quorlin] HATA: çizilemedi']]]);
});

test('two downloads to one destination run one after the other; others run alongside', async () => {
  secure.route('/one', { body: 'birinci', delay: 60 }).route('/two', { body: 'ikinci', delay: 60 });
  const dest = path.join(dir, 'same.jar');
  await Promise.all([download(`${secure.url}/one`, dest), download(`${secure.url}/two`, dest)]);
  assert.deepEqual([secure.peak, fs.readFileSync(dest, 'utf8')], [1, 'ikinci']);
  // a failed first one does not hold up the next
  const tries = await Promise.allSettled([download(`${secure.url}/nope`, dest), download(`${secure.url}/one`, dest)]);
  assert.deepEqual([...tries.map((t) => t.status), fs.readFileSync(dest, 'utf8')], ['rejected', 'fulfilled', 'birinci']);
  secure.peak = 0;
  await Promise.all([download(`${secure.url}/one`, path.join(dir, 'a')), download(`${secure.url}/two`, path.join(dir, 'b'))]);
  assert.equal(secure.peak, 2);
});

test('download continues a part from its length: a 206 appends, a 200 starts over, a 416 starts afresh', async () => {
  const data = Buffer.alloc(1536 * 1024);
  for (let i = 0; i < data.length; i += 1) data[i] = i % 251;
  const dest = path.join(dir, 'jre.zip');
  const asked = () => secure.requests.map((r) => r.headers.range);
  // [what an earlier attempt left, the server's plan, the ranges asked for, the sizes to come announced]
  for (const [part, plan, ranges, toCome] of [
    [data.subarray(0, 1000), { body: data, ranges: true }, ['bytes=1000-'], [data.length - 1000]],
    [Buffer.alloc(19, 1), { body: data }, ['bytes=19-'], [data.length]],
    [Buffer.alloc(data.length + 5), { body: data, ranges: true }, [`bytes=${data.length + 5}-`, undefined], [data.length]],
  ]) {
    secure.reset();
    secure.route('/jre.zip', plan);
    fs.writeFileSync(`${dest}.part`, part);
    const [fractions, announced] = [[], []];
    await download(`${secure.url}/jre.zip`, dest, (pct) => fractions.push(pct), { onStart: (n) => { announced.push(n); } });
    assert.deepEqual([fs.readFileSync(dest).equals(data), fs.existsSync(`${dest}.part`), fractions.at(-1), asked(), announced],
      [true, false, 1, ranges, toCome], ranges[0]);
  }
});
