'use strict';
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const { shareBrowser, openPage } = require('./harness');

const shared = shareBrowser();

async function status(ui) {
  return ui.page.evaluate(() => {
    const $ = (id) => document.getElementById(id);
    const notice = $('notice');
    return {
      text: $('stText').textContent,
      pct: $('stPct').textContent,
      width: $('bar').style.width,
      done: $('bar').classList.contains('done'),
      notice: notice.className,
      message: notice.children[1].textContent,
      reopen: $('reopen').classList.contains('hidden') ? null : $('reopen').textContent,
    };
  });
}

async function playWith(ui, result) {
  await ui.click('#playBtn');
  await ui.answer('play', result);
  return status(ui);
}

const LAUNCHER_READY = 'Hazır. Minecraft Launcher açıldı — Quorlin • Brimlox profili seçili, sadece Oyna\'ya bas. Oyun doğrudan sunucuya bağlanır.';
const DIRECT = {
  text: 'Oyun açılıyor — doğrudan sunucuya bağlanacaksın', pct: '100%', width: '100%', done: true, notice: 'notice',
  message: 'Oyun açılıyor. Minecraft birkaç saniye içinde açılır ve Brimlox sunucusuna otomatik girer.', reopen: null,
};

describe('overall progress', () => {
  test('step and fraction become one bar over six steps', async () => {
    const ui = await openPage(shared.browser);
    const rows = [
      [{ step: 'mods', label: 'Modlar hazırlanıyor', pct: 0.5 }, 'Modlar hazırlanıyor', '42%'],
      [{ step: 'java', label: 'Java kuruluyor', pct: 1.7 }, 'Java kuruluyor', '17%'],
      [{ step: 'fabric', label: 'Fabric hazırlanıyor', pct: -0.3 }, 'Fabric hazırlanıyor', '17%'],
      [{ step: 'profile', label: 'Oyun profili ayarlanıyor' }, 'Oyun profili ayarlanıyor', '50%'],
      [{ step: 'profile', label: 'yarım', pct: 'yarım' }, 'yarım', '50%'],
      [{ step: 'bilinmeyen', label: 'Sunucu açılıyor', pct: 1 }, 'Sunucu açılıyor', '67%'],
      [{ step: 'launch', label: 'Oyun hazır', pct: 1 }, 'Oyun hazır', '100%'],
    ];
    for (const [event, text, pct] of rows) {
      await ui.emit('progress', event);
      const s = await status(ui);
      assert.deepEqual([s.text, s.pct, s.width], [text, pct, pct], JSON.stringify(event));
    }
    assert.equal((await status(ui)).done, false, 'progress never marks the bar done');
    await ui.click('#playBtn');
    await ui.emit('progress', { step: 'unknown', label: 'x', pct: 0.6 });
    assert.equal((await status(ui)).pct, '10%', 'a press of play starts the count again at the first step');
    await ui.answer('play', { ok: false });
    await ui.closeClean();
  });
});

describe('play results', () => {
  test('a direct start, fresh or already running, and the game exit after it', async () => {
    const ui = await openPage(shared.browser);
    await ui.click('#playBtn');
    assert.deepEqual(await ui.page.evaluate(() => [playBtn.disabled, playBtn.textContent, notice.className]),
      [true, 'HAZIRLANIYOR', 'notice hidden']);
    await ui.answer('play', { ok: true, how: 'direct' });
    assert.deepEqual(await ui.page.evaluate(() => [playBtn.disabled, playBtn.textContent]), [false, 'OYNA']);
    assert.deepEqual(await status(ui), DIRECT);
    assert.deepEqual(await playWith(ui, { ok: true, how: 'direct', already: true }), DIRECT);
    await ui.emit('game', { running: true });
    assert.equal(await ui.text('#stSub'), 'Oyun açık • sunucu çalışıyor');
    await ui.emit('game', { running: false, code: 0 });
    assert.equal(await ui.text('#stSub'), 'Oyun kapandı');
    await ui.closeClean();
  });

  test('no official launcher: a full pink bar, then "Konumunu seç" picks the file', async () => {
    const ui = await openPage(shared.browser);
    await playWith(ui, { ok: true, how: 'direct' });
    const missing = await playWith(ui, { ok: true, how: null, wasOpen: false });
    assert.deepEqual(missing, {
      text: 'Minecraft Launcher bulunamadı', pct: '100%', width: '100%', done: false, notice: 'notice err',
      message: 'Minecraft Launcher otomatik kurulamadı. Diğer her şey hazır. Launcher kuruluysa konumunu seç (MinecraftLauncher.exe).',
      reopen: 'Konumunu seç',
    });
    await ui.click('#reopen');
    await ui.answer('launcher:pick', false);
    assert.deepEqual(await status(ui), missing, 'a cancelled pick changes nothing');
    await ui.click('#reopen');
    await ui.answer('launcher:pick', true);
    assert.deepEqual(await status(ui), {
      ...missing, notice: 'notice', message: 'Hazır. Minecraft Launcher açıldı — Quorlin • Brimlox seçili, Oyna\'ya bas.',
    });
    assert.equal((await ui.calls('launcher:pick')).length, 2);
    assert.equal((await ui.calls('open')).length, 0);
    await ui.closeClean();
  });

  test('the official launcher opened; a failure is shown literally and keeps the notice button, a busy answer shows nothing, a rejection shows only the main process\'s message', async () => {
    const ui = await openPage(shared.browser);
    assert.deepEqual(await playWith(ui, { ok: true, how: 'store', wasOpen: false }), {
      text: 'Hazır — Minecraft Launcher açıldı', pct: '100%', width: '100%', done: true, notice: 'notice',
      message: LAUNCHER_READY, reopen: 'Launcher\'ı tekrar aç',
    });
    await ui.click('#reopen');
    assert.deepEqual((await ui.calls('open')).map((c) => c.args), [['launcher']]);
    const error = '<img src=x> & "disk" dolu';
    assert.deepEqual(await playWith(ui, { ok: false, error }), {
      text: 'Bir sorun oluştu', pct: '0%', width: '0%', done: false, notice: 'notice err',
      message: `Olmadı: ${error} — ayrıntılar Sunucu sekmesinde.`, reopen: 'Launcher\'ı tekrar aç',
    });
    assert.equal(await ui.page.locator('#notice img').count(), 0);
    await ui.emit('progress', { step: 'java', label: 'Java kontrol ediliyor', pct: 0 });
    const before = await status(ui);
    const after = await playWith(ui, { ok: false });
    assert.deepEqual(after, { ...before, notice: 'notice err hidden' });
    await ui.click('#playBtn');
    await ui.rejectRequest('play', 'Oyun klasörü yazılamıyor');
    assert.equal((await status(ui)).message, 'Olmadı: Oyun klasörü yazılamıyor — ayrıntılar Sunucu sekmesinde.');
    assert.equal(await ui.page.evaluate(() => playBtn.disabled), false);
    await ui.closeClean();
  });
});

describe('server display', () => {
  test('state classes are replaced whole, a join overrides the sub-line, unknown states read as stopped', async () => {
    const ui = await openPage(shared.browser);
    const STOPPED = ['Kapalı', 'pill', 'dot', 'Sunucu kapalı'];
    const rows = [
      [{ state: 'starting' }, ['Açılıyor…', 'pill start', 'dot start', 'Sunucu açılıyor…']],
      [{ state: 'running' }, ['Çalışıyor', 'pill run', 'dot run', 'Sunucu çalışıyor • localhost']],
      [{ state: 'running', joined: '<Efe>' }, ['Çalışıyor', 'pill run', 'dot run', '<Efe> sunucuya girdi • iyi yayınlar!']],
      [{ state: 'stopped', code: 1 }, STOPPED],
      [{ state: 'running' }, ['Çalışıyor', 'pill run', 'dot run', 'Sunucu çalışıyor • localhost']],
      [{ state: 'constructor' }, STOPPED],
      [{ state: '__proto__' }, STOPPED],
      [{ state: 'toString' }, STOPPED],
    ];
    for (const [event, look] of rows) {
      await ui.emit('server', event);
      assert.deepEqual(await ui.page.evaluate(() => [srvPill.textContent, srvPill.className, railDot.className, stSub.textContent]),
        look, JSON.stringify(event));
    }
    await ui.closeClean();
  });
});
