'use strict';
const { test, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const { startWorld } = require('../support/world');
const net = require('../../app/mc/net');

const sha1 = (b) => crypto.createHash('sha1').update(b).digest('hex');
const data = crypto.randomBytes(200 * 1024); // written in one go
const big = crypto.randomBytes(1536 * 1024); // streamed to disk

let world, dir, base;
const saved = { ...net.limits };
before(async () => {
  world = await startWorld({ https: true });
  base = fs.mkdtempSync(path.join(os.tmpdir(), 'mc-net-'));
  Object.assign(net.limits, { requestIdleMs: 600, downloadIdleMs: 600 });
});
after(async () => {
  Object.assign(net.limits, saved);
  await world.close();
  fs.rmSync(base, { recursive: true, force: true });
});
beforeEach(() => {
  world.reset();
  dir = fs.mkdtempSync(path.join(base, 'case-'));
});

test('req follows redirects up to the given count, then answers the 3xx; refuses anything but HTTPS, on a redirect too', async () => {
  world.route('/loop', { redirect: '/loop' }).route('/down', { redirect: 'http://127.0.0.1:9/x' });
  assert.deepEqual([(await net.req('GET', world.url + '/loop', {}, 2)).status, world.count('/loop'), world.requests[0].headers['user-agent']],
    [302, 3, 'Quorlin-Launcher/1.0']);
  await Promise.all(['http://127.0.0.1:9/x', world.url + '/down'].map((url) => assert.rejects(net.req('GET', url), { message: 'Güvenli olmayan adres: http://127.0.0.1:9/x' })));
});

test('downloadFile follows redirects, creates folders and replaces an old file, held by Windows for a moment or by another transfer', async (t) => {
  world.route('/a', { redirect: world.url + '/b', stall: true, body: 'moved' }).route('/b', { redirect: '/c' }).route('/c', { body: data });
  const dest = path.join(dir, 'x', 'y', 'f.jar');
  fs.mkdirSync(path.dirname(dest), { recursive: true });
  fs.writeFileSync(dest, 'old');
  const rename = fs.promises.rename;
  let refusals = 2;
  t.mock.method(fs.promises, 'rename', async (...a) => {
    if (refusals-- > 0) throw Object.assign(new Error('EBUSY: resource busy or locked'), { code: 'EBUSY' });
    return rename(...a);
  });
  await net.downloadFile(world.url + '/a', dest, sha1(data));
  assert.deepEqual([fs.readFileSync(dest).equals(data), fs.readdirSync(path.dirname(dest)), refusals], [true, ['f.jar'], -1]);
  // three transfers of one file at once all succeed with one whole copy
  world.route('/same', { body: big, chunked: true });
  await Promise.all([1, 2, 3].map(() => net.downloadFile(world.url + '/same', dest, sha1(big))));
  assert.deepEqual([fs.readFileSync(dest).equals(big), fs.readdirSync(path.dirname(dest))], [true, ['f.jar']]);
});

test('downloadFile: other content, a status but 200 or a seventh redirect fails, brief or not, and leaves the file untouched', async () => {
  const dest = path.join(dir, 'keep.jar');
  fs.writeFileSync(dest, 'previous');
  world.route('/partial', { status: 206, body: data });
  for (let i = 0; i < 8; i++) world.route(`/h${i}`, { redirect: `/h${i + 1}` });
  // [path, plan, expected SHA-1, message, worth another attempt]; a status names the address that gave it
  for (const [at, plan, hash, message, isBrief] of [['/small', { body: data }, sha1('other'), 'Bozuk dosya: keep.jar', true],
    ['/big', { body: big }, sha1('other'), 'Bozuk dosya: keep.jar', true], ['/r', { redirect: '/partial' }, null, `HTTP 206 — ${world.url}/partial`, false],
    ['/h0', { redirect: '/h1' }, null, `HTTP 302 — ${world.url}/h6`, false], ...[[503, true], [429, true], [404, false]].map(([status, brief]) =>
      [`/s${status}`, { status }, null, `HTTP ${status} — ${world.url}/s${status}`, brief])]) {
    world.route(at, plan);
    const err = await net.downloadFile(world.url + at, dest, hash).then(assert.fail, (e) => e);
    assert.deepEqual([err.message, net.isTransient(err)], [message, isBrief], at);
  }
  assert.equal(world.count('/h7'), 0);
  assert.deepEqual([fs.readFileSync(dest, 'utf8'), fs.readdirSync(dir)], ['previous', ['keep.jar']]);
});
