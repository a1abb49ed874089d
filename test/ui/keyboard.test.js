'use strict';
// The page driven with the keyboard alone: Tab order, the focus ring, Enter, Space and Escape,
// through sign-in, OYNA with a crash and "Tekrar başlat", the Server view and Settings; the
// labels and live regions a screen reader reads; pictures of the crash notices and of Settings
// with the diagnostics bundle written.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');
const { shareBrowser, openPage, SHOTS } = require('./harness');

const shared = shareBrowser();

// The focused control by its id, else its label.
const focused = (ui) => ui.page.evaluate(() => document.activeElement.id || document.activeElement.getAttribute('aria-label'));

async function press(ui, key) {
  await ui.page.keyboard.press(key);
  await ui.settle();
}

// Presses `key` (Tab or Shift+Tab) until `name` has the focus; a control Tab never reaches fails.
async function tabTo(ui, name, key = 'Tab') {
  for (let i = 0; i < 30; i++) {
    if (await focused(ui) === name) return;
    await press(ui, key);
  }
  assert.fail(`${key} never reached ${name}`);
}

// Keeps a picture of the page once the bar's width animation has ended.
async function shoot(ui, name) {
  await ui.page.waitForTimeout(400);
  await ui.page.screenshot({ path: path.join(SHOTS, name + '.png') });
}

const noticeText = (ui) => ui.page.evaluate(() => (notice.classList.contains('hidden') ? null : notice.children[1].textContent));

test('keyboard alone: sign-in, OYNA, a crash and "Tekrar başlat", the server\'s second crash, the Server view and Settings', async () => {
  const ui = await openPage(shared.browser);
  // the rail, the view, then the window buttons; each with a ring in the accent colour
  const order = [];
  for (let i = 0; i < 8; i++) {
    await press(ui, 'Tab');
    order.push([await focused(ui), await ui.page.evaluate(() => {
      const style = getComputedStyle(document.activeElement);
      return `${style.outlineStyle} ${style.outlineWidth} ${style.outlineColor}`;
    })]);
  }
  const ring = 'solid 2px rgb(254, 44, 85)';
  assert.deepEqual(order, ['Oyna', 'Sunucu', 'Ayarlar', 'acct', 'loginBtn', 'playBtn', 'wMin', 'wClose'].map((name) => [name, ring]));
  assert.deepEqual(await ui.page.evaluate(() => ['.nav', '.wbtn', '#acct'].flatMap((s) => [...document.querySelectorAll(s)].map((el) => el.getAttribute('aria-label')))),
    ['Oyna', 'Sunucu', 'Ayarlar', 'Küçült', 'Kapat', 'Hesap: giriş yap']);

  await tabTo(ui, 'loginBtn', 'Shift+Tab');
  await press(ui, 'Enter');
  await ui.answer('auth:login', { ok: true, account: { name: 'Efe', uuid: 'u1' } });
  assert.deepEqual([await noticeText(ui), await focused(ui)], ['Hoş geldin, Efe. Artık Oyna\'ya basman yeterli.', 'playBtn']);

  await press(ui, 'Space');
  await ui.emit('progress', { step: 'server', label: 'Sunucu açılıyor', pct: 0.5 });
  assert.equal(await ui.page.getAttribute('.track', 'aria-valuenow'), '75');
  await ui.answer('play', { ok: true, how: 'direct' });
  await ui.emit('game', { running: true }, { running: false, code: 1, crashed: true, text: 'Oyun belleği yetmedi. Ayarlar\'dan oyun belleğini artırıp tekrar dene.' });
  assert.equal(await noticeText(ui), 'Oyun çöktü. Oyun belleği yetmedi. Ayarlar\'dan oyun belleğini artırıp tekrar dene.');
  await shoot(ui, 'play-crashed');
  await tabTo(ui, 'reopen', 'Shift+Tab');
  assert.equal(await ui.text('#reopen'), 'Tekrar başlat');
  await press(ui, 'Enter');
  await ui.answer('game:restart', { ok: true, how: 'direct' });
  assert.deepEqual([await noticeText(ui), await focused(ui)], ['Oyun açılıyor. Minecraft birkaç saniye içinde açılır ve Brimlox sunucusuna otomatik girer.', 'playBtn']);

  await ui.emit('server', { state: 'stopped', code: 1 }, { state: 'starting' }, { state: 'stopped', code: 1 }, { state: 'stopped', crashed: true });
  assert.equal(await noticeText(ui), 'Sunucu tekrar çöktü ve durduruldu. Ayrıntılar Sunucu sekmesinde.');
  await shoot(ui, 'play-server-crashed');
  await press(ui, 'Escape');
  assert.equal(await noticeText(ui), null, 'Escape closes the notice');

  await tabTo(ui, 'Sunucu', 'Shift+Tab');
  await press(ui, 'Enter');
  assert.equal(await ui.classes('#view-server'), 'view on');
  await tabTo(ui, 'srvStart');
  await press(ui, 'Enter');
  await ui.answer('server:start', { ok: true });
  await tabTo(ui, 'cmd');
  await ui.page.keyboard.type('/say merhaba');
  await press(ui, 'Enter');
  await tabTo(ui, 'bkOpen');
  await press(ui, 'Space');

  await tabTo(ui, 'Ayarlar', 'Shift+Tab');
  await press(ui, 'Enter');
  await tabTo(ui, 'gameRam');
  await press(ui, 'ArrowRight');
  await tabTo(ui, 'stopOnExit');
  await press(ui, 'Space');
  await tabTo(ui, 'repairBtn');
  await press(ui, 'Enter');
  await ui.answer('game:repair', { ok: true });
  assert.equal(await ui.text('#repairNote'), 'Tamam: sonraki OYNA her dosyayı denetleyip bozukları yeniden indirecek.');
  await press(ui, 'Tab');
  await press(ui, 'Enter');
  await tabTo(ui, 'bundleBtn');
  await press(ui, 'Enter');
  assert.equal(await ui.text('#bundleNote'), 'Tanılama paketi hazırlanıyor…');
  await ui.answer('diagnostics:bundle', { ok: true });
  assert.equal(await ui.text('#bundleNote'), 'Tanılama paketi hazır; Gezgin\'de seçili.');
  await shoot(ui, 'settings-bundle');
  await tabTo(ui, 'wMin');
  await press(ui, 'Enter');

  const asked = (await ui.calls()).filter((c) => !['state', 'backup:list'].includes(c.channel)).map((c) => [c.channel, ...c.args]);
  assert.deepEqual(asked, [['auth:login'], ['play'], ['game:restart'], ['server:start'], ['server:cmd', 'say merhaba'], ['open', 'backups'],
    ['settings:set', { gameRam: 7 }], ['settings:set', { stopServerOnExit: false }], ['game:repair'], ['open', 'game'], ['diagnostics:bundle'], ['win', 'min']]);
  await ui.closeClean();
});
