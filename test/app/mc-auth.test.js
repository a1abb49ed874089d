'use strict';
const { describe, test, before, after, beforeEach } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const electron = require('electron');
const endpoints = require('../../app/endpoints');
const { Auth } = require('../../app/mc/auth');
const { startSigninWorld } = require('../support/signin-world');

const t = electron.testing;
const NOW = 1_800_000_000_000;
const FIVE_MIN = 300000;
const REAL = path.join(__dirname, '..', '..', '..', 'shared', 'realdata', 'auth', 'real-response-excerpts.md');
let sw;
let restore;
let dir;

before(async () => {
  sw = await startSigninWorld();
  restore = sw.useAsEndpoints(endpoints);
});
after(async () => {
  restore();
  await sw.close();
});
beforeEach(() => {
  t.reset({ ready: true, encryption: true });
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-auth-'));
  sw.reset();
});

function newAuth(safe = electron.safeStorage) {
  return new Auth(path.join(dir, 'sub', 'account.dat'), safe, { now: () => NOW });
}

// Starts a sign-in and plays the user's part in the window: `answer` turns the authorize
// address into the address the window is sent to.
async function signIn(auth, { answer = (url) => sw.authorize(url), event = 'will-redirect', parent = null } = {}) {
  const result = auth.login(sw.clientId, electron.BrowserWindow, parent);
  const win = t.windows.at(-1);
  const target = answer(win.loaded[0].url);
  const prevented = event === 'did-navigate' ? (t.didNavigate(win, target), false) : t.navigate(win, event, target);
  return { result, win, prevented };
}

async function signedIn(safe) {
  const auth = newAuth(safe);
  await (await signIn(auth)).result;
  return auth;
}

const accountFile = () => path.join(dir, 'sub', 'account.dat');

describe('account file', () => {
  test('is encrypted when possible, compact JSON otherwise, and reads back the same record', async () => {
    const enc = await signedIn();
    assert.ok(!fs.readFileSync(accountFile()).includes(enc.account.mcToken));
    assert.deepEqual(newAuth().account, enc.account);
    t.encryptionAvailable = false;
    for (const safe of [electron.safeStorage, null]) {
      const plain = await signedIn(safe);
      assert.equal(fs.readFileSync(accountFile(), 'utf8'), JSON.stringify(plain.account));
      assert.deepEqual(newAuth(safe).account, plain.account);
    }
  });

  test('written in one mode and read in the other reads as signed out and stays on disk', async () => {
    for (const [written, read] of [[false, true], [true, false]]) {
      t.encryptionAvailable = written;
      await signedIn();
      const bytes = fs.readFileSync(accountFile());
      t.encryptionAvailable = read;
      assert.equal(newAuth().account, null);
      assert.deepEqual(fs.readFileSync(accountFile()), bytes);
    }
  });

  test('garbage or a JSON value that is no account reads as signed out', () => {
    fs.mkdirSync(path.dirname(accountFile()), { recursive: true });
    for (const content of ['{"name":', 'null', '[1]', '42', '{"name":"x"}']) {
      fs.writeFileSync(accountFile(), content);
      assert.equal(newAuth(null).publicInfo(), null, content);
    }
  });

  test('logout deletes the file and succeeds without one', async () => {
    const auth = await signedIn();
    auth.logout();
    assert.equal(fs.existsSync(accountFile()), false);
    auth.logout();
    assert.equal(auth.publicInfo(), null);
  });

  test('a write that fails keeps the previous account file and leaves no side file', async () => {
    const auth = await signedIn();
    const bytes = fs.readFileSync(accountFile());
    fs.mkdirSync(accountFile() + '.tmp');
    auth.account = { ...auth.account, name: 'Other' };
    assert.throws(() => auth.save(), { message: /^Hesap dosyası yazılamadı: / });
    assert.deepEqual(fs.readFileSync(accountFile()), bytes);
    fs.rmdirSync(accountFile() + '.tmp');
    auth.save();
    assert.deepEqual(fs.readdirSync(path.dirname(accountFile())), ['account.dat']);
  });
});

describe('sign-in window', () => {
  test('an empty client id fails before any window opens', async () => {
    await assert.rejects(newAuth().login('', electron.BrowserWindow, null), { message: 'NO_CLIENT_ID' });
    assert.equal(t.windows.length, 0);
  });

  test('opens a modal sandboxed window of its own session on the authorize address', async () => {
    const parent = new electron.BrowserWindow({});
    const { result, win } = await signIn(newAuth(), { parent });
    await result;
    const o = win.options;
    assert.deepEqual([o.width, o.height, o.parent, o.modal, o.title], [520, 680, parent, true, 'Microsoft ile giriş']);
    assert.deepEqual([o.webPreferences.partition, o.webPreferences.sandbox, o.webPreferences.contextIsolation],
      ['persist:quorlin-login', true, true]);
    const q = new URL(win.loaded[0].url).searchParams;
    assert.match(q.get('state'), /^[0-9a-f]{24}$/);
    assert.equal(q.get('redirect_uri'), sw.url + '/common/oauth2/nativeclient');
  });

  for (const event of ['will-redirect', 'will-navigate', 'did-navigate']) {
    test(`a redirect seen on ${event} finishes the sign-in and closes the window`, async () => {
      const auth = newAuth();
      const { result, win, prevented } = await signIn(auth, { event });
      assert.equal(prevented, event !== 'did-navigate');
      const info = await result;
      assert.deepEqual(info, { name: 'Example', uuid: 'e7d501015f383003a85959995366a06a' });
      assert.equal(win.isDestroyed(), true);
      assert.equal(sw.world.count('/consumers/oauth2/v2.0/token'), 1);
    });
  }

  test('navigations elsewhere are left alone; closing first is CANCELLED', async () => {
    const result = newAuth().login(sw.clientId, electron.BrowserWindow, null);
    const win = t.windows.at(-1);
    assert.equal(t.navigate(win, 'will-navigate', sw.url + '/consumers/oauth2/v2.0/authorize?x=1'), false);
    win.close();
    await assert.rejects(result, { message: 'CANCELLED' });
  });

  test('closing the window after the redirect is not CANCELLED', async () => {
    const { result, win } = await signIn(newAuth());
    win.close();
    assert.equal((await result).name, 'Example');
  });

  const redirects = [
    ['error with its description', () => sw.redirectUri + '?error=access_denied&error_description=the+user+canceled', 'the user canceled'],
    ['error without description', () => sw.redirectUri + '?error=access_denied', 'access_denied'],
    ['a code under another state', (url) => sw.authorize(url).replace(/state=\w+/, 'state=' + '0'.repeat(24)), 'Geçersiz yanıt'],
    ['no code', (url) => sw.redirectUri + '?state=' + new URL(url).searchParams.get('state'), 'Geçersiz yanıt'],
  ];
  for (const [name, answer, message] of redirects) {
    test(`a redirect with ${name} fails with "${message}" and redeems nothing`, async () => {
      sw.world.requests.length = 0;
      await assert.rejects((await signIn(newAuth(), { answer })).result, { message });
      assert.equal(sw.world.requests.length, 0);
    });
  }
});

describe('refreshIfNeeded', () => {
  test('fails when signed out', async () => {
    await assert.rejects(newAuth().refreshIfNeeded(sw.clientId), { message: 'Giriş yapılmamış' });
  });

  test('uses a token with more than five minutes left without a request, renews the rest', async () => {
    const auth = await signedIn();
    for (const [mcToken, left, renewed] of [['tok', FIVE_MIN + 1, false], ['tok', FIVE_MIN, true], ['', 10 * FIVE_MIN, true]]) {
      Object.assign(auth.account, { mcToken, mcExpires: NOW + left });
      const before = { ...auth.account };
      sw.world.requests.length = 0;
      const record = await auth.refreshIfNeeded(sw.clientId);
      assert.equal(sw.world.requests.length > 0, renewed, `${mcToken} ${left}`);
      if (renewed) {
        assert.equal(record.mcToken, sw.issued.mc.at(-1));
        assert.equal(record.refresh, sw.issued.refresh.at(-1));
        assert.notEqual(record.refresh, before.refresh);
        assert.deepEqual(newAuth().account, record);
      } else assert.deepEqual(record, before);
    }
  });

  test('a due token without client id fails with NO_CLIENT_ID', async () => {
    const auth = await signedIn();
    auth.account.mcExpires = NOW;
    await assert.rejects(auth.refreshIfNeeded(''), { message: 'NO_CLIENT_ID' });
  });

  test('a refused renewal signs out and deletes the file', async () => {
    const auth = await signedIn();
    auth.account.mcExpires = NOW;
    sw.revokeRefreshTokens();
    await assert.rejects(auth.refreshIfNeeded(sw.clientId), { message: 'Oturum süresi doldu, tekrar giriş yap.' });
    assert.equal(auth.account, null);
    assert.equal(fs.existsSync(accountFile()), false);
  });

  const outages = [
    ['a service outage', { status: 503, body: '' }, { message: 'Microsoft girişi başarısız: 503' }],
    ['a cut connection', { status: 200, body: '{"access_token":"x"}', cut: 3 }, Error],
  ];
  for (const [name, spec, expected] of outages) {
    test(`${name} during renewal keeps the account signed in`, async () => {
      const auth = await signedIn();
      auth.account.mcExpires = NOW;
      const bytes = fs.readFileSync(accountFile());
      sw.world.route('/consumers/oauth2/v2.0/token', spec);
      await assert.rejects(auth.refreshIfNeeded(sw.clientId), expected);
      assert.notEqual(auth.account, null);
      assert.deepEqual(fs.readFileSync(accountFile()), bytes);
    });
  }
});

describe('chain', () => {
  test('builds the record from the profile, the Minecraft token and its life', async () => {
    for (const [expiresIn, xid, life] of [[3600, '2535405290', 3600], [0, undefined, 86400], [undefined, undefined, 86400]]) {
      Object.assign(sw.account, { mcExpiresIn: expiresIn, xid });
      const auth = await signedIn();
      assert.deepEqual(auth.account, {
        name: 'Example', uuid: sw.account.id, mcToken: sw.issued.mc.at(-1), mcExpires: NOW + life * 1000,
        refresh: sw.issued.refresh.at(-1), xuid: xid || '',
      });
    }
  });

  const route = (p, spec) => () => sw.world.route(p, spec);
  const failures = [
    [route('/consumers/oauth2/v2.0/token', { status: 500, body: '<html>' }), 'Microsoft girişi başarısız: 500'],
    [route('/user/authenticate', { status: 400, body: '' }), 'Xbox Live girişi başarısız (400)'],
    [() => { sw.account.xerr = 2148916233; }, "Bu Microsoft hesabının Xbox profili yok. xbox.com'a bir kez giriş yapıp profil oluştur."],
    [() => { sw.account.xerr = 2148916235; }, 'Xbox Live bu bölgede kullanılamıyor.'],
    [() => { sw.account.xerr = 2148916238; }, 'Çocuk hesabı: bir aileye eklenmesi gerekiyor.'],
    [() => { sw.account.xerr = 2148916236; }, 'Xbox doğrulaması başarısız (2148916236)'],
    [route('/xsts/authorize', { status: 401, body: '' }), 'Xbox doğrulaması başarısız (401)'],
    [() => { sw.account.mcRefusal = { status: 401, body: '{}' }; }, /^Minecraft girişi reddedildi: Quorlin uygulama kimliği/],
    [() => { sw.account.mcRefusal = { status: 403, body: '{}' }; }, /^Minecraft girişi reddedildi: /],
    [() => { sw.account.mcRefusal = { status: 429, body: '' }; }, 'Minecraft girişi başarısız (429)'],
    [() => { sw.account.hasProfile = false; }, "Minecraft profilin yok — minecraft.net'te bir kez kullanıcı adı oluştur."],
    [() => { sw.account.hasProfile = false; sw.account.entitled = false; }, 'Bu hesapta Minecraft: Java Edition yok.'],
    [() => { sw.account.hasProfile = false; sw.world.route('/entitlements/mcstore', { status: 500, body: '' }); }, 'Bu hesapta Minecraft: Java Edition yok.'],
  ];
  for (const [setup, message] of failures) {
    test(`fails with ${message} and keeps the previous account`, async () => {
      const auth = await signedIn();
      const [record, bytes] = [{ ...auth.account }, fs.readFileSync(accountFile())];
      setup();
      await assert.rejects((await signIn(auth)).result, { message });
      assert.deepEqual(auth.account, record);
      assert.deepEqual(fs.readFileSync(accountFile()), bytes);
    });
  }

  test('a failed entitlement request does not fail the sign-in', async () => {
    for (const spec of [{ status: 500, body: '' }, { status: 200, body: '{"items":', cut: 3 }]) {
      sw.world.route('/entitlements/mcstore', spec);
      assert.equal((await signedIn()).publicInfo().name, 'Example');
    }
  });

  test('real error answers of the services give their messages', async (ctx) => {
    if (!fs.existsSync(REAL)) return ctx.skip('real sign-in samples not found at ' + REAL);
    const blocks = {};
    for (const part of fs.readFileSync(REAL, 'utf8').split(/^## /m)) blocks[part.split('.')[0]] = /```\w*\n([\s\S]*?)```/.exec(part)?.[1];
    const cases = [
      [route('/xsts/authorize', { status: 401, body: blocks[1] }), /^Bu Microsoft hesabının Xbox profili yok\./],
      [route('/xsts/authorize', { status: 401, body: blocks[2] }), /^Çocuk hesabı/],
      [route('/authentication/login_with_xbox', { status: 403, body: blocks[4] }), /^Minecraft girişi reddedildi/],
      [route('/consumers/oauth2/v2.0/token', { status: 400, body: blocks[5] }), /^Microsoft girişi başarısız: The client does not exist /],
    ];
    for (const [setup, message] of cases) {
      sw.reset();
      setup();
      await assert.rejects((await signIn(newAuth())).result, { message });
    }
    const query = blocks[6].trim().split('?')[1];
    await assert.rejects((await signIn(newAuth(), { answer: () => sw.redirectUri + '?' + query })).result,
      { message: /^The client does not have a secret configured\. .*linkid=2083908\.$/ });
  });
});
