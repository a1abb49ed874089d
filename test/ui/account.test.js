'use strict';
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const { shareBrowser, openPage, snapshot } = require('./harness');

const shared = shareBrowser();

function accountView(ui) {
  return ui.page.evaluate(() => ({ on: acct.classList.contains('on'), avatar: acctAv.textContent, name: acctName.textContent,
    loginBox: !loginBox.classList.contains('hidden'), step: steps.querySelector('li').textContent }));
}

const notice = (ui) => ui.page.evaluate(() => [notice.className, notice.children[1].textContent]);

const NOBODY = { on: false, avatar: '?', name: 'Giriş', loginBox: true, step: '1Microsoft hesabınla bir kez giriş yap.' };

describe('sign-in', () => {
  test('a cancelled sign-in shows nothing and frees the button; an error and the greeting show the text literally', async () => {
    const ui = await openPage(shared.browser);
    await ui.click('#acct');
    assert.equal(await ui.page.isDisabled('#loginBtn'), true);
    await ui.answer('auth:login', { ok: false, error: 'CANCELLED' });
    assert.deepEqual([await ui.isHidden('#notice'), await ui.page.isEnabled('#loginBtn')], [true, true]);
    await ui.click('#loginBtn');
    await ui.answer('auth:login', { ok: false, error: 'Xbox hesabı yok <script>' });
    assert.deepEqual(await notice(ui), ['notice err', 'Giriş olmadı: Xbox hesabı yok <script>']);
    assert.deepEqual(await accountView(ui), NOBODY);
    await ui.click('#loginBtn');
    await ui.answer('auth:login', { ok: true, account: { name: '<efe>&co', uuid: 'u1' } });
    assert.deepEqual(await accountView(ui), { on: true, avatar: '<', name: '<efe>&co', loginBox: false, step: '1<efe>&co olarak giriş yaptın.' });
    assert.deepEqual([...await notice(ui), await ui.page.isEnabled('#loginBtn')], ['notice', 'Hoş geldin, <efe>&co. Artık Oyna\'ya basman yeterli.', true]);
    assert.deepEqual((await ui.calls()).map((c) => c.channel), ['state', 'backup:list', ...Array(3).fill(['state', 'auth:login']).flat()]);
    await ui.closeClean();
  });

  test('without an application id, in the snapshot or in the answer, the card is shown, scrolled to and highlighted for 2.5 s', async () => {
    for (const missing of ['snapshot', 'answer']) {
      const ui = await openPage(shared.browser, { state: snapshot({ hasClientId: missing === 'answer' }), viewport: { width: 940, height: 360 } });
      await ui.click('#loginBtn');
      if (missing === 'answer') await ui.answer('auth:login', { ok: false, error: 'NO_CLIENT_ID' });
      assert.deepEqual([(await ui.calls('auth:login')).length, await ui.classes('#view-settings'), await ui.classes('#msCard')],
        [missing === 'answer' ? 1 : 0, 'view on', 'card wide flash'], missing);
      await ui.page.waitForFunction(() => {
        const card = msCard.getBoundingClientRect();
        return document.getElementById('view-settings').scrollTop > 0 && card.top >= 0 && card.top < innerHeight;
      }, null, { timeout: 3000 });
      await ui.page.waitForFunction(() => !msCard.classList.contains('flash'), null, { timeout: 4000 });
      assert.deepEqual([await ui.classes('#msCard'), await ui.isHidden('#notice')], ['card wide', true], 'the card stays after the highlight');
      await ui.closeClean();
    }
  });
});

describe('settings form and sign-out', () => {
  test('stored memory outside the range is labelled as stored; dragging and committing; sign-out asks first, declining changes nothing, confirming forgets the account', async () => {
    const ui = await openPage(shared.browser, { state: snapshot({ account: { name: 'ayşe', uuid: 'u2' },
      settings: { gameRam: 24, serverRam: 1, stopServerOnExit: true, clientId: 'abc' } }) });
    const read = () => ui.page.evaluate(() => [gameRam.value, gameRamV.textContent, serverRam.value, serverRamV.textContent, clientId.value]);
    assert.deepEqual(await read(), ['16', '24 GB', '2', '1 GB', 'abc']);
    await ui.page.locator('#gameRam').evaluate((el) => { el.value = '9'; el.dispatchEvent(new Event('input')); });
    assert.deepEqual([...(await read()).slice(0, 2), (await ui.calls('settings:set')).length], ['9', '9 GB', 0], 'dragging saves nothing');
    await ui.page.locator('#gameRam').evaluate((el) => el.dispatchEvent(new Event('change')));
    await ui.click('.nav[data-view="settings"]');
    await ui.page.evaluate(() => msCard.classList.remove('hidden'));
    await ui.page.fill('#clientId', '  11111111-2222-3333-4444-555555555555 ');
    await ui.page.press('#clientId', 'Tab');
    await ui.settle();
    assert.deepEqual((await ui.calls('settings:set')).map((c) => c.args[0]), [
      { gameRam: 9 }, { clientId: '11111111-2222-3333-4444-555555555555' },
    ]);

    const signedIn = await accountView(ui);
    assert.deepEqual(signedIn, { on: true, avatar: 'A', name: 'ayşe', loginBox: false, step: '1ayşe olarak giriş yaptın.' });
    const asked = [];
    for (const [confirm, view, logouts] of [[false, signedIn, 0], [true, NOBODY, 1]]) {
      ui.page.once('dialog', (d) => { asked.push(d.message()); return confirm ? d.accept() : d.dismiss(); });
      await ui.click('#acct');
      assert.deepEqual([await accountView(ui), (await ui.calls('auth:logout')).length], [view, logouts]);
    }
    assert.deepEqual(asked, ['ayşe hesabından çıkış yapılsın mı?', 'ayşe hesabından çıkış yapılsın mı?']);
    assert.equal(await ui.isHidden('#notice'), true);
    await ui.closeClean();
  });
});
