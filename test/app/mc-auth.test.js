'use strict';
const { describe, test, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const electron = require('electron');
const endpoints = require('../../app/core/endpoints');
const { Auth } = require('../../app/mc/auth');
const { startSigninWorld } = require('../support/signin-world');

const t = electron.testing;
const NOW = 1_800_000_000_000;
const FIVE_MIN = 300000;
const TOKEN_PATH = '/consumers/oauth2/v2.0/token';
const REAL = path.join(__dirname, '..', '..', '..', 'shared', 'realdata', 'auth', 'real-response-excerpts.md');
let sw, restore, base, file;

before(async () => {
  sw = await startSigninWorld();
  restore = sw.useAsEndpoints(endpoints);
  base = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-auth-'));
});
after(() => Promise.all([restore(), sw.close(), fs.promises.rm(base, { recursive: true, force: true })]));
beforeEach(() => {
  t.reset({ ready: true, encryption: true });
  sw.reset();
  file = path.join(fs.mkdtempSync(path.join(base, 'case-')), 'sub', 'account.dat');
});

const newAuth = (safe = electron.safeStorage) => new Auth(file, safe, { now: () => NOW });
const route = (p, plan) => () => sw.world.route(p, plan);

// Starts a sign-in and plays the user's part in the window: `answer` turns the authorize
// address into the address the window is then sent to.
function signIn(auth, { answer = (url) => sw.authorize(url), event = 'will-redirect', parent = null } = {}) {
  const result = auth.login(sw.clientId, electron.BrowserWindow, parent);
  const win = t.windows.at(-1);
  const target = answer(win.loaded[0].url);
  const prevented = event === 'did-navigate' ? (t.didNavigate(win, target), false) : t.navigate(win, event, target);
  return { result, win, prevented };
}

const signedIn = (safe, auth = newAuth(safe)) => signIn(auth).result.then(() => auth);

describe('account file', () => {
  test('is encrypted when possible, compact JSON otherwise, and reads back the same record; a write that fails says so', async () => {
    const enc = await signedIn();
    assert.deepEqual([fs.readFileSync(file).includes(enc.account.mcToken), newAuth().account], [false, enc.account]);
    t.encryptionAvailable = false;
    for (const safe of [electron.safeStorage, null]) {
      const plain = await signedIn(safe);
      assert.deepEqual([fs.readFileSync(file, 'utf8'), newAuth(safe).account], [JSON.stringify(plain.account), plain.account]);
    }
    fs.mkdirSync(`${file}.${process.pid}.tmp`); // a folder in the side file's place makes the write fail
    assert.throws(() => newAuth(null).save(), { message: /^Hesap dosyası yazılamadı: / });
  });

  test('a file written in the other mode, garbage or a JSON value that is no account reads as signed out and stays', async () => {
    for (const [written, read] of [[false, true], [true, false]]) {
      t.encryptionAvailable = written;
      await signedIn();
      const bytes = fs.readFileSync(file);
      t.encryptionAvailable = read;
      assert.deepEqual([newAuth().account, fs.readFileSync(file)], [null, bytes]);
    }
    for (const content of ['{"name":', 'null', '[1]', '42', '{"name":"x"}']) {
      fs.writeFileSync(file, content);
      assert.equal(newAuth(null).publicInfo(), null, content);
    }
  });
});

describe('sign-in window', () => {
  for (const event of ['will-redirect', 'will-navigate', 'did-navigate']) {
    test(`a modal sandboxed window of its own session, hidden from screen capture; a redirect seen on ${event} gives only the public account`, async () => {
      const parent = new electron.BrowserWindow({});
      const { result, win, prevented } = signIn(newAuth(), { event, parent });
      assert.equal(prevented, event !== 'did-navigate');
      win.close(); // after the redirect a close is no cancel
      assert.deepEqual(await result, { name: 'Example', uuid: 'e7d501015f383003a85959995366a06a' });
      const { modal, webPreferences: w } = win.options;
      assert.deepEqual([win.getParentWindow(), modal, w.partition, w.sandbox, w.contextIsolation, win.isContentProtected(), sw.world.count(TOKEN_PATH)],
        [parent, true, 'persist:quorlin-login', true, true, true, 1]);
      assert.match(new URL(win.loaded[0].url).searchParams.get('state'), /^[0-9a-f]{24}$/);
    });
  }

  test("its page goes to Microsoft's sign-in pages only and opens no window; closing before the redirect is CANCELLED", async (ctx) => {
    ctx.mock.method(console, 'log', () => {});
    const { result, win, prevented } = signIn(newAuth(), { answer: () => sw.url + '/consumers/oauth2/v2.0/authorize?x=1', event: 'will-navigate' });
    const tries = [['will-redirect', 'https://login.live.com/oauth20_authorize.srf'], ['will-navigate', 'https://example.com/'],
      ['will-redirect', 'http://' + new URL(sw.url).host + '/'], ['will-navigate', 'file:///C:/x.html'], ['will-navigate', 'https://example.com/', { isMainFrame: false }]];
    assert.deepEqual([prevented, ...tries.map(([event, url, options]) => t.navigate(win, event, url, options)), t.openWindow(win, 'https://example.com/')],
      [false, false, true, true, true, false, null]);
    win.close();
    await assert.rejects(result, { message: 'CANCELLED' });
  });

  test('a sign-in page that cannot load fails with a message; an aborted load does not', async (ctx) => {
    const loadURL = ctx.mock.method(electron.BrowserWindow.prototype, 'loadURL');
    for (const [code, errno] of [['ERR_NAME_NOT_RESOLVED', -105], ['ERR_ABORTED', -3]]) {
      loadURL.mock.mockImplementation((url) => Promise.reject(Object.assign(new Error(`${code} (${errno}) loading '${url}'`), { code, errno })));
      const result = assert.rejects(newAuth().login(sw.clientId, electron.BrowserWindow, null),
        { message: errno === -3 ? 'CANCELLED' : /^Microsoft giriş sayfası açılamadı \(ERR_NAME_NOT_RESOLVED\)/ });
      for (let turn = 0; turn < 2; turn++) await new Promise(setImmediate);
      assert.equal(t.windows.at(-1).isDestroyed(), errno !== -3);
      t.windows.at(-1).close();
      await result;
    }
  });

  const redirects = [
    ['error with its description', () => sw.redirectUri + '?error=access_denied&error_description=the+user+canceled', 'the user canceled'],
    ['error without description', () => sw.redirectUri + '?error=access_denied', 'access_denied'],
    ['a code under another state', (url) => sw.authorize(url).replace(/state=\w+/, 'state=' + '0'.repeat(24)), 'Geçersiz yanıt'],
    ['no code', (url) => sw.redirectUri + '?state=' + new URL(url).searchParams.get('state'), 'Geçersiz yanıt'],
  ];
  for (const [name, answer, message] of redirects) {
    test(`a redirect with ${name} fails with "${message}", redeems nothing and closes the window`, async () => {
      const { result, win } = signIn(newAuth(), { answer });
      await assert.rejects(result, { message });
      await new Promise(setImmediate);
      assert.deepEqual([sw.world.requests.length, win.isDestroyed()], [0, true]);
    });
  }
});

describe('refreshIfNeeded', () => {
  test('fails when signed out; without a client id a due renewal or a sign-in does nothing; uses a token with more than five minutes left without a request, renews the rest', async () => {
    await assert.rejects(newAuth().refreshIfNeeded(sw.clientId), { message: 'Giriş yapılmamış' });
    const auth = await signedIn();
    auth.account.mcExpires = NOW;
    const before = [t.windows.length, sw.world.requests.length];
    await assert.rejects(auth.refreshIfNeeded(''), { message: 'NO_CLIENT_ID' });
    await assert.rejects(auth.login('', electron.BrowserWindow, null), { message: 'NO_CLIENT_ID' });
    assert.deepEqual([t.windows.length, sw.world.requests.length], before);
    for (const [mcToken, left, renewed] of [['tok', FIVE_MIN + 1, false], ['tok', FIVE_MIN, true], ['', 10 * FIVE_MIN, true]]) {
      Object.assign(auth.account, { mcToken, mcExpires: NOW + left });
      const before = { ...auth.account };
      sw.world.requests.length = 0;
      const record = await auth.refreshIfNeeded(sw.clientId);
      assert.equal(sw.world.requests.length > 0, renewed, `${mcToken} ${left}`);
      assert.deepEqual(renewed ? [record.mcToken, record.refresh, newAuth().account] : record,
        renewed ? [sw.issued.mc.at(-1), sw.issued.refresh.at(-1), record] : before);
    }
  });

  test('a sign-out (which deletes the file, and succeeds without one) or a newer account during the renewal is kept', async () => {
    const auth = await signedIn();
    auth.account.mcExpires = NOW;
    const renewal = auth.refreshIfNeeded(sw.clientId);
    auth.logout();
    await assert.rejects(renewal, { message: 'Giriş yapılmamış' });
    auth.logout();
    assert.deepEqual([fs.existsSync(file), auth.publicInfo()], [false, null]);
    await signIn(auth).result;
    auth.account.mcExpires = NOW;
    const renewed = auth.refreshIfNeeded(sw.clientId);
    const newer = { ...auth.account, name: 'Newer' };
    auth.account = newer; // as a sign-in that finishes first leaves it
    assert.equal(await renewed, newer);
  });

  test('a refused renewal signs out and deletes the file; an outage or a cut connection keeps the account', async () => {
    for (const [setup, expected, kept] of [
      [() => sw.revokeRefreshTokens(), { message: 'Oturum süresi doldu, tekrar giriş yap.' }, false],
      [route(TOKEN_PATH, { status: 503, body: '' }), { message: 'Microsoft girişi başarısız: 503' }, true],
      [route(TOKEN_PATH, { body: '{"access_token":"x"}', cut: 3 }), Error, true],
    ]) {
      sw.reset();
      const auth = await signedIn();
      auth.account.mcExpires = NOW;
      const bytes = fs.readFileSync(file);
      setup();
      await assert.rejects(auth.refreshIfNeeded(sw.clientId), expected);
      assert.deepEqual([auth.account !== null, fs.existsSync(file) && fs.readFileSync(file).equals(bytes)], [kept, kept]);
    }
  });
});

describe('chain', () => {
  test('builds the record from the profile, the Minecraft token and its life', async () => {
    for (const [expiresIn, xid, life] of [[3600, '2535405290', 3600], [0, undefined, 86400], [undefined, undefined, 86400]]) {
      Object.assign(sw.account, { mcExpiresIn: expiresIn, xid });
      assert.deepEqual((await signedIn()).account, { name: 'Example', uuid: sw.account.id, mcToken: sw.issued.mc.at(-1),
        mcExpires: NOW + life * 1000, refresh: sw.issued.refresh.at(-1), xuid: xid || '' });
    }
  });

  const set = (fields) => () => Object.assign(sw.account, fields);
  const failures = [
    [route(TOKEN_PATH, { status: 500, body: '<html>' }), 'Microsoft girişi başarısız: 500'],
    [route('/user/authenticate', { status: 400, body: '' }), 'Xbox Live girişi başarısız (400)'],
    [set({ xerr: 2148916233 }), "Bu Microsoft hesabının Xbox profili yok. xbox.com'a bir kez giriş yapıp profil oluştur."],
    [set({ xerr: 2148916236 }), 'Xbox doğrulaması başarısız (2148916236)'],
    [route('/xsts/authorize', { status: 401, body: '' }), 'Xbox doğrulaması başarısız (401)'],
    [set({ mcRefusal: { status: 401, body: '{}' } }), /^Minecraft girişi reddedildi: Quorlin uygulama kimliği/],
    [set({ mcRefusal: { status: 403, body: '{}' } }), /^Minecraft girişi reddedildi: /],
    [set({ mcRefusal: { status: 429, body: '' } }), 'Minecraft girişi başarısız (429)'],
    [set({ hasProfile: false }), "Minecraft profilin yok — minecraft.net'te bir kez kullanıcı adı oluştur."],
    [set({ hasProfile: false, entitled: false }), 'Bu hesapta Minecraft: Java Edition yok.'],
  ];
  for (const [setup, message] of failures) {
    test(`fails with ${message} and keeps the previous account`, async () => {
      const auth = await signedIn();
      const [record, bytes] = [{ ...auth.account }, fs.readFileSync(file)];
      setup();
      await assert.rejects(signIn(auth).result, { message });
      assert.deepEqual([auth.account, fs.readFileSync(file)], [record, bytes]);
    });
  }

  // An outage of a read is no verdict on the account: sign-in and renewal say the services are
  // down and keep the account; with the profile there, the entitlements do not matter.
  const DOWN = 'Minecraft hizmetlerine şu an ulaşılamıyor, biraz sonra tekrar dene.';
  const outages = [{ status: 503, body: '<html>' }, { status: 429, body: '' }, { body: '{"items":', cut: 3 }];
  for (const read of ['/minecraft/profile', '/entitlements/mcstore']) {
    test(`an outage of ${read} fails sign-in and renewal with the outage message and keeps the account`, async () => {
      for (const plan of outages) {
        sw.reset();
        const auth = await signedIn();
        sw.world.route(read, plan);
        if (read === '/entitlements/mcstore') {
          assert.equal((await signIn(auth).result).name, 'Example');
          sw.account.hasProfile = false;
        }
        const [record, bytes] = [auth.account, fs.readFileSync(file)];
        await assert.rejects(signIn(auth).result, { message: DOWN });
        record.mcExpires = NOW;
        await assert.rejects(auth.refreshIfNeeded(sw.clientId), { message: DOWN });
        assert.deepEqual([auth.account === record, fs.readFileSync(file)], [true, bytes], JSON.stringify(plan));
      }
    });
  }

  test('real error answers of the services give their messages', async (ctx) => {
    if (!fs.existsSync(REAL)) return ctx.skip('real sign-in samples not found at ' + REAL);
    const blocks = Object.fromEntries(fs.readFileSync(REAL, 'utf8').split(/^## /m)
      .map((part) => [part.split('.')[0], /```\w*\n([\s\S]*?)```/.exec(part)?.[1]]));
    for (const [setup, message] of [
      [route('/xsts/authorize', { status: 401, body: blocks[2] }), /^Çocuk hesabı/],
      [route(TOKEN_PATH, { status: 400, body: blocks[5] }), /^Microsoft girişi başarısız: The client does not exist /],
    ]) {
      sw.reset();
      setup();
      await assert.rejects(signIn(newAuth()).result, { message });
    }
  });
});
