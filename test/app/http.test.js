const { test, describe, before, after, beforeEach, afterEach } = require('node:test');
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
  // an idle limit generous for a busy machine; the tests of the idle limit lower it
  Object.assign(client.limits, { idleMs: 5000, retryStepMs: 5 });
  secure.reset();
  plain.reset();
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-http-'));
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

describe('request', () => {
  test('follows a relative redirect against the address that answered, choosing HTTP or HTTPS afresh, with its headers on every hop', async () => {
    secure.route('/dir/start', { redirect: 'next?x=1', status: 301 }).route('/dir/next', { redirect: `${plain.url}/plain` });
    plain.route('/plain', { redirect: `${secure.url}/back` });
    secure.route('/back', { body: 'geri' });
    assert.equal(await body(await request(`${secure.url}/dir/start`)), 'geri');
    assert.deepEqual([secure.requests[1].path, plain.count('/plain')], ['/dir/next?x=1', 1]);
    const sent = [...secure.requests, ...plain.requests].map(({ headers: h }) => `${h['user-agent']} ${h.accept}`);
    assert.deepEqual(sent, sent.map(() => 'Quorlin-Launcher/1.0 (Brimlox) */*'));
  });

  test('follows six redirects and refuses the seventh with its own status', async () => {
    for (let i = 1; i <= 7; i += 1) secure.route(`/r${i}`, { redirect: `/r${i + 1}` });
    secure.route('/r8', { body: 'sonunda' });
    assert.equal(await body(await request(`${secure.url}/r2`)), 'sonunda');
    await assert.rejects(request(`${secure.url}/r1`), { message: `HTTP 302 — ${secure.url}/r7` });
    assert.equal(secure.count('/r8'), 1);
  });

  test('rejects every final status but 200, a redirect without a Location too, with "HTTP <status> — <address>"', async () => {
    for (const status of [404, 204, 206, 500, 302]) {
      plain.route('/s', { status, body: status === 204 ? '' : 'x' });
      await assert.rejects(request(`${plain.url}/s`), { message: `HTTP ${status} — ${plain.url}/s` });
    }
  });

  test('gives up on a server silent before its answer', async () => {
    client.limits.idleMs = 400;
    secure.route('/slow', { delay: 900, body: 'geç' });
    await assert.rejects(request(`${secure.url}/slow`), { message: `Zaman aşımı: ${secure.url}/slow` });
  });
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

describe('getText and getJson', () => {
  test('getText keeps a character split between chunks whole and succeeds after two failures; getJson fails at once on a body that is not JSON', async () => {
    const split = Buffer.from('aş', 'utf8');
    secure.route('/split', (req, res) => {
      res.writeHead(200, { 'Content-Length': split.length });
      res.write(split.subarray(0, 2));
      setTimeout(() => res.end(split.subarray(2)), 30);
    });
    assert.equal(await getText(`${secure.url}/split`), 'aş');
    secure.route('/meta', [{ status: 500 }, { status: 503 }, { body: 'Sürümler: ğüşiöç' }]).route('/v', { body: [{ stable: true }] });
    assert.deepEqual([await getText(`${secure.url}/meta`), await getJson(`${secure.url}/v`)], ['Sürümler: ğüşiöç', [{ stable: true }]]);
    secure.route('/bad', { body: '<html>' });
    await assert.rejects(getJson(`${secure.url}/bad`), SyntaxError);
    assert.deepEqual([secure.count('/meta'), secure.count('/bad')], [3, 1]);
  });
});

describe('download', () => {
  const data = Buffer.alloc(256 * 1024, 7);

  test('moves the complete file into place, reporting fractions up to 1 only when the size is known', async () => {
    secure.route('/f.jar', { body: data });
    plain.route('/chunked', { body: data, chunked: true });
    for (const [url, sized] of [[`${secure.url}/f.jar`, true], [`${plain.url}/chunked`, false]]) {
      const dest = path.join(dir, 'deep', String(sized), 'f.jar');
      const fractions = [];
      await download(url, dest, (pct) => fractions.push(pct));
      assert.deepEqual([fs.readFileSync(dest).equals(data), fs.existsSync(`${dest}.part`), fractions.at(-1), [...fractions].sort((x, y) => x - y)],
        [true, false, ...(sized ? [1, fractions] : [undefined, []])]);
    }
  });

  test('a progress callback that throws is logged once and never touches the transfer', async (t) => {
    secure.route('/f.jar', { body: data });
    const dest = path.join(dir, 'f.jar');
    fs.writeFileSync(dest, 'eski');
    const logged = t.mock.method(console, 'error', () => {});
    const progress = t.mock.fn(() => { throw new Error('çizilemedi'); });
    await download(`${secure.url}/f.jar`, dest, progress);
    assert.deepEqual([fs.readFileSync(dest).equals(data), progress.mock.callCount(), logged.mock.calls.map((c) => c.arguments)],
      [true, 1, [['[Quorlin] HATA: çizilemedi']]]);
  });

  test('a body cut short or stalled fails, keeps the earlier file and leaves the .part; the next attempt replaces both', async () => {
    client.limits.idleMs = 400;
    const dest = path.join(dir, 'server.jar');
    fs.writeFileSync(dest, 'eski');
    secure.route('/server.jar', [{ body: data, cut: 1000 }, { body: data, stall: true }, { body: data }]);
    await assert.rejects(download(`${secure.url}/server.jar`, dest));
    assert.deepEqual([fs.readFileSync(dest, 'utf8'), fs.statSync(`${dest}.part`).size], ['eski', 1000]);
    await assert.rejects(download(`${secure.url}/server.jar`, dest), { message: `Zaman aşımı: ${secure.url}/server.jar` });
    assert.equal(fs.readFileSync(dest, 'utf8'), 'eski');
    await download(`${secure.url}/server.jar`, dest);
    assert.deepEqual([fs.readFileSync(dest).equals(data), fs.existsSync(`${dest}.part`)], [true, false]);
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
});
