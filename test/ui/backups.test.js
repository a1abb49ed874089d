'use strict';
// The Server view's backups: the list, a restore offered only on a stopped server and only
// after a yes, and the folder button; with a picture kept in build/ui-shots.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');
const { shareBrowser, openPage, snapshot, SHOTS } = require('./harness');

const shared = shareBrowser();

const LEVEL = "Çağrı'nın <b>dünyası</b>";
const BACKUPS = [
  { name: `${LEVEL}-2025-03-04_21-06-07.zip`, level: LEVEL, date: new Date(2025, 2, 4, 21, 6, 7).toISOString(), bytes: 12.34 * 1024 * 1024 },
  { name: 'brimlox-2025-03-03_09-00-00.zip', level: 'brimlox', date: new Date(2025, 2, 3, 9, 0, 0).toISOString(), bytes: 2048 },
];

// [date, what, the restore button disabled] of each row
function rows(ui) {
  return ui.page.$$eval('#bkList li', (items) => items.map((li) => (li.querySelector('button')
    ? [li.querySelector('b').textContent, li.querySelector('span').textContent, li.querySelector('button').disabled]
    : [li.textContent])));
}

test('the list shows date, size and check; a restore waits for a stopped server and a yes; the folder opens', async () => {
  const ui = await openPage(shared.browser, { state: snapshot({ server: 'running' }) });
  await ui.answer('backup:list', { ok: true, busy: false, backups: BACKUPS });
  await ui.click('.nav[data-view="server"]');
  await ui.emit('log', '[Quorlin] Yedek alındı ve doğrulandı: brimlox-2025-03-03_09-00-00.zip (0.0 MB)');
  assert.deepEqual(await rows(ui), [
    ['4 Mart 2025 21:06', `${LEVEL} • 12,3 MB • doğrulandı`, true],
    ['3 Mart 2025 09:00', 'brimlox • 0,1 MB • doğrulandı', true],
  ]);
  assert.equal(await ui.text('#bkNote'), 'Geri yüklemek için önce sunucuyu durdur.');
  await ui.page.screenshot({ path: path.join(SHOTS, 'server-backups.png') });

  await ui.emit('server', { state: 'stopped', code: 0 });
  const asked = [];
  for (const yes of [false, true]) {
    ui.page.once('dialog', (d) => { asked.push(d.message()); return yes ? d.accept() : d.dismiss(); });
    await ui.click('#bkList li:first-child button');
  }
  assert.deepEqual(asked, Array(2).fill('4 Mart 2025 21:06 yedeği geri yüklensin mi? Şimdiki dünya silinmez, kenara alınır.'));
  assert.deepEqual((await ui.calls('backup:restore')).map((c) => c.args), [[BACKUPS[0].name]]);
  assert.deepEqual((await rows(ui)).map((r) => r[2]), [true, true], 'no second restore while one runs');
  await ui.answer('backup:restore', { ok: false, error: 'Yedek geri yüklenemedi, dünya eski haline getirildi.' });
  assert.equal(await ui.page.locator('#log > span').last().textContent(), '[Quorlin] Yedek geri yüklenemedi, dünya eski haline getirildi.\n');
  assert.deepEqual((await rows(ui)).map((r) => r[2]), [false, false]);
  await ui.page.screenshot({ path: path.join(SHOTS, 'server-backups-stopped.png') });

  await ui.emit('backups', { busy: true, backups: BACKUPS });
  assert.deepEqual([(await rows(ui)).map((r) => r[2]), await ui.text('#bkNote')], [[true, true], 'Yedek işlemi sürüyor…']);
  await ui.emit('backups', { busy: false, backups: [] });
  assert.deepEqual([await rows(ui), await ui.text('#bkNote')], [[['Henüz yedek yok.']], 'Dünya her kapanışta ve açıkken saatte bir yedeklenir.']);
  await ui.click('#bkOpen');
  assert.deepEqual((await ui.calls('open')).map((c) => c.args), [['backups']]);
  await ui.closeClean();
});
