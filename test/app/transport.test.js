// The transport under the three HTTP clients, driven through each of them.
const { test, before, after, beforeEach, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { Readable } = require('node:stream');
const { startWorld } = require('../support/world');
const http = require('../../app/core/http');
const net = require('../../app/mc/net');
const service = require('../../app/update/service');
const { MAX_BODY } = require('../../app/core/transport');

let secure, other, plain, dir;

before(async () => { [secure, other, plain] = await Promise.all([startWorld({ https: true }), startWorld({ https: true }), startWorld()]); });
after(() => Promise.all([secure.close(), other.close(), plain.close()]));
beforeEach(() => {
  // idle limits generous for a busy machine; the test of the idle limit lowers them
  Object.assign(http.limits, { idleMs: 5000, retryStepMs: 5 });
  Object.assign(net.limits, { requestIdleMs: 5000, downloadIdleMs: 5000 });
  for (const w of [secure, other, plain]) w.reset();
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-transport-'));
});
afterEach(() => fs.rmSync(dir, { recursive: true, force: true }));

// Answers `size` blanks as fast as the client takes them; `sent` counts them, `done` settles when the connection ends.
function flood(isAnnounced, size = 528 * 1024 * 1024) {
  const block = Buffer.alloc(64 * 1024, 0x20);
  const route = (req, res) => {
    res.writeHead(200, isAnnounced ? { 'Content-Length': size } : {});
    res.on('close', route.ended);
    Readable.from((function* blocks() { for (; route.sent < size; route.sent += block.length) yield block; })()).pipe(res);
  };
  return Object.assign(route, { sent: 0, done: new Promise((resolve) => { route.ended = resolve; }) });
}

test('whole-body reads stop at the size cap, announced or not, and end the connection at once; a download streams past it', async () => {
  process.env.QUORLIN_API = plain.url;
  for (const [world, route, read] of [[plain, flood(true), (url) => http.getJson(url)],
    [secure, flood(false), (url) => net.req('GET', url)], [plain, flood(false), () => service.apiGet('/big')]]) {
    world.route('/big', route);
    await assert.rejects(read(`${world.url}/big`), { message: `Yanıt çok büyük: ${world.url}/big` });
    await route.done;
    assert.ok(route.sent < 2 * MAX_BODY, `${route.sent} bytes sent`);
  }
  plain.route('/big.bin', { body: Buffer.alloc(MAX_BODY + 1) });
  await http.download(`${plain.url}/big.bin`, path.join(dir, 'big.bin'));
  assert.equal(fs.statSync(path.join(dir, 'big.bin')).size, MAX_BODY + 1);
});

test('a redirect resolves against the address that answered, may switch scheme and repeats the method without the body; leaving the origin drops the credentials', async () => {
  secure.route('/dir/start', { redirect: 'next?x=1', status: 301 }).route('/dir/next', { redirect: `${plain.url}/plain` });
  plain.route('/plain', { redirect: `${secure.url}/back` });
  const split = Buffer.from('geri ş'); // the last character's two bytes arrive apart, and the text keeps it whole
  secure.route('/back', (req, res) => res.writeHead(200, { 'Content-Length': split.length }).write(split.subarray(0, 6), () => setTimeout(() => res.end(split.subarray(6)), 30)));
  assert.equal(await http.getText(`${secure.url}/dir/start`), 'geri ş');
  const hops = [...secure.requests, ...plain.requests].map(({ path: p, headers: h }) => `${p} ${h['user-agent']} ${h.accept}`);
  assert.deepEqual(hops, ['/dir/start', '/dir/next?x=1', '/back', '/plain'].map((p) => `${p} Quorlin-Launcher/1.0 (Brimlox) */*`));
  const headers = { Authorization: 'Bearer t', cookie: 'a=1', 'X-Extra': 'x' };
  for (const w of [secure, other]) w.route('/to', { body: {} });
  for (const to of ['/to', `${secure.url.replace('localhost', '127.0.0.1')}/to`, `${other.url}/to`]) { // the same origin, another host, another port
    secure.route('/from', { status: 307, redirect: to });
    await net.req('POST', `${secure.url}/from`, { headers, json: { a: 1 } });
  }
  const arrived = [...secure.requests, ...other.requests].filter((r) => r.path === '/to')
    .map(({ method, body, headers: h }) => [method, body.length, h['content-type'], h.authorization, h.cookie, h['x-extra']]);
  assert.deepEqual(arrived, [['POST', 0, undefined, 'Bearer t', 'a=1', 'x'], ...Array(2).fill(['POST', 0, undefined, undefined, undefined, 'x'])]);
});

test('a silent connection or a body cut short fails naming the hop, leaves the file as it was and counts as a brief fault', async () => {
  Object.assign(http.limits, { idleMs: 300 });
  Object.assign(net.limits, { requestIdleMs: 300, downloadIdleMs: 300 });
  const [small, big] = [crypto.randomBytes(200 * 1024), crypto.randomBytes(1536 * 1024)]; // files write one whole, stream the other
  secure.route('/slow', { delay: 900, body: 'geç' }).route('/go', { redirect: '/stall' }).route('/stall', { stall: true, body: big })
    .route('/small', { body: small, cut: 1000 }).route('/big', { body: big, cut: 100 * 1024, chunked: true });
  const dest = path.join(dir, 'keep.jar');
  fs.writeFileSync(dest, 'eski');
  const calls = { request: http.request, getText: http.getText, req: (url) => net.req('GET', url), download: (url) => http.download(url, dest), downloadFile: (url) => net.downloadFile(url, dest) };
  // [client call, path, failure and the path it names]
  for (const [call, at, failure] of [['request', '/slow', 'Zaman aşımı: /slow'], ...['req', 'download', 'downloadFile'].map((c) => [c, '/go', 'Zaman aşımı: /stall']),
    ['getText', '/small', 'Bağlantı kesildi: /small'], ['req', '/big', 'Bağlantı kesildi: /big'],
    ...['download', 'downloadFile'].flatMap((c) => ['/small', '/big'].map((p) => [c, p, `Bağlantı kesildi: ${p}`]))]) {
    const err = await calls[call](secure.url + at).then(assert.fail, (e) => e);
    assert.deepEqual([err.message, net.isTransient(err), fs.readFileSync(dest, 'utf8')], [failure.replace(' /', ` ${secure.url}/`), true, 'eski'], `${call} ${at}`);
  }
  // a file that cannot be written fails as the platform says, never as a cut connection
  fs.mkdirSync(path.join(dir, 'new.jar.part'));
  secure.route('/small', { body: small }).route('/big', { body: big });
  for (const at of ['/small', '/big']) await assert.rejects(http.download(secure.url + at, path.join(dir, 'new.jar')), { code: 'EISDIR' }, at);
});

test('the game files resume too: a part left by a failed attempt is continued, hashed whole, and deleted when the whole does not match', async () => {
  const jar = crypto.randomBytes(1536 * 1024);
  const sha1 = (data) => crypto.createHash('sha1').update(data).digest('hex');
  const dest = path.join(dir, 'client.jar');
  // cut at 80 %, then a server error: the attempt fails as a brief fault and keeps what came
  secure.route('/client.jar', [{ body: jar, cut: jar.length * 0.8 }, { status: 503 }]);
  const err = await net.downloadFile(`${secure.url}/client.jar`, dest, sha1(jar)).then(assert.fail, (e) => e);
  const held = fs.statSync(`${dest}.part`).size;
  assert.deepEqual([err.message, net.isTransient(err), held > 0], [`HTTP 503 — ${secure.url}/client.jar`, true, true]);
  secure.reset();
  secure.route('/client.jar', { body: jar, ranges: true });
  await net.downloadFile(`${secure.url}/client.jar`, dest, sha1(jar));
  assert.deepEqual([fs.readFileSync(dest).equals(jar), secure.requests.map((r) => r.headers.range)], [true, [`bytes=${held}-`]]);
  // a part that is not the start of this file: the whole fails its digest and nothing is kept
  fs.writeFileSync(`${dest}.part`, Buffer.alloc(held));
  const bad = await net.downloadFile(`${secure.url}/client.jar`, dest, sha1(jar)).then(assert.fail, (e) => e);
  assert.deepEqual([bad.message, fs.existsSync(`${dest}.part`), fs.readFileSync(dest).equals(jar)], ['Bozuk dosya: client.jar', false, true]);
});
