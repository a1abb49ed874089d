'use strict';
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const { shareBrowser, openPage, snapshot } = require('./harness');

const shared = shareBrowser();

describe('the page at load', () => {
  test('shows the document defaults and early events until the snapshot arrives, which then overwrites the server state', async () => {
    const ui = await openPage(shared.browser, { state: null });
    assert.equal(await ui.page.locator('meta[http-equiv="Content-Security-Policy"]').getAttribute('content'),
      "default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; script-src 'self'");
    assert.deepEqual(await ui.page.evaluate(() => [bar.getBoundingClientRect().width, document.querySelectorAll('#art svg .tnt').length,
      ...['notice', 'closing', 'msCard'].map((id) => document.getElementById(id).classList.contains('hidden'))]), [0, 1, true, true, true]);
    await ui.click('.nav[data-view="settings"]');
    assert.equal(await ui.page.locator('#view-settings .card:visible').count(), 3, 'three cards while the id card is hidden');

    await ui.emit('server', { state: 'starting' });
    await ui.emit('log', '[Quorlin] erken');
    assert.equal(await ui.text('#srvPill'), 'Açılıyor…');
    await ui.answer('state', snapshot());
    const after = await ui.page.evaluate(() => [ver.textContent, paths.textContent, srvPill.textContent, gameRamV.textContent, log.textContent]);
    assert.deepEqual(after, ['v1.0.26 • Minecraft 26.3', 'Oyun klasörü: C:\\Users\\Ayşe\\AppData\\Roaming\\.quorlin\\brimlox', 'Kapalı', '6 GB', '[Quorlin] erken\n']);
    await ui.closeClean();
  });

  test('a rejected snapshot leaves the defaults and says why in the console', async () => {
    const ui = await openPage(shared.browser, { state: null });
    await ui.rejectRequest('state', 'kanal yok');
    assert.deepEqual([await ui.text('#gameRamV'), await ui.text('#log')], ['4 GB', '[Quorlin] kanal yok\n']);
    await ui.closeClean();
  });
});

describe('navigation and plain buttons', () => {
  test('only the drag region moves the window; a long account name is cut with an ellipsis within 64 px; a rail button shows its view alone and asks nothing; window, folder and link buttons ask with their values', async () => {
    const ui = await openPage(shared.browser, { state: snapshot({ account: { name: 'PekUzunBirOyuncuAdi_123', uuid: 'u' } }) });
    const regions = await ui.page.evaluate(() => ['.drag', '.brand', '#wMin', '#wClose']
      .map((s) => getComputedStyle(document.querySelector(s)).getPropertyValue('app-region')));
    assert.deepEqual(regions, ['drag', 'none', 'none', 'none']);
    const name = await ui.page.locator('#acctName').evaluate((el) => ({ width: el.getBoundingClientRect().width,
      cut: el.scrollWidth > el.clientWidth, overflow: getComputedStyle(el).textOverflow }));
    assert.ok(name.width <= 64 && name.cut && name.overflow === 'ellipsis', JSON.stringify(name));
    for (const view of ['server', 'play', 'settings']) {
      await ui.click(`.nav[data-view="${view}"]`);
      const on = await ui.page.evaluate(() => [...document.querySelectorAll('.nav.on, .view.on')].map((el) => el.dataset.view || el.id));
      assert.deepEqual(on, [view, 'view-' + view]);
    }
    assert.deepEqual((await ui.calls()).map((c) => c.channel), ['state', 'backup:list']);
    await ui.page.evaluate(() => { document.getElementById('msCard').classList.remove('hidden'); });
    const buttons = ['#wMin', '#wClose', ...['game', 'mods', 'server', 'launcher'].map((what) => `[data-open="${what}"]`), '#lnkAzure', '#lnkReview'];
    for (const button of buttons) await ui.click(button);
    assert.deepEqual((await ui.calls()).slice(2).map((c) => [c.channel, ...c.args]), [
      ['win', 'min'], ['win', 'close'],
      ['open', 'game'], ['open', 'mods'], ['open', 'server'], ['open', 'launcher'],
      ['link', 'azure'], ['link', 'review'],
    ]);
    await ui.closeClean();
  });
});
