'use strict';
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const { shareBrowser, openPage } = require('./harness');

const shared = shareBrowser();

function status(ui) {
  return ui.page.evaluate(() => ({ text: stText.textContent, pct: stPct.textContent, width: bar.style.width, done: bar.classList.contains('done'),
    notice: notice.className, message: notice.children[1].textContent, reopen: reopen.classList.contains('hidden') ? null : reopen.textContent }));
}

async function playWith(ui, result) {
  await ui.click('#playBtn');
  await ui.answer('play', result);
  return status(ui);
}

describe('overall progress and the server display', () => {
  test('step and fraction become one bar over six steps; server state classes are replaced whole, a join overrides the sub-line, unknown states read as stopped', async () => {
    const ui = await openPage(shared.browser);
    // [step, fraction, the bar]
    const rows = [['mods', 0.5, '42%'], ['java', 1.7, '17%'], ['fabric', -0.3, '17%'], ['profile', undefined, '50%'],
      ['profile', 'yarım', '50%'], ['bilinmeyen', 1, '67%'], ['launch', 1, '100%']];
    for (const [step, pct, bar] of rows) {
      await ui.emit('progress', { step, label: `${step} ${pct}`, pct });
      const s = await status(ui);
      assert.deepEqual([s.text, s.pct, s.width], [`${step} ${pct}`, bar, bar], step);
    }
    assert.equal((await status(ui)).done, false, 'progress never marks the bar done');
    const button = () => ui.page.evaluate(() => [playBtn.disabled, playBtn.textContent]);
    await ui.click('#playBtn');
    await ui.emit('progress', { step: 'unknown', label: 'x', pct: 0.6 });
    assert.equal((await status(ui)).pct, '10%', 'a press of play starts the count again at the first step');
    assert.deepEqual(await button(), [true, 'HAZIRLANIYOR']);
    await ui.answer('play', { ok: false });
    assert.deepEqual(await button(), [false, 'OYNA']);
    const STOPPED = ['Kapalı', 'pill', 'dot', 'Sunucu kapalı'];
    const RUNNING = ['Çalışıyor', 'pill run', 'dot run', 'Sunucu çalışıyor • localhost'];
    const states = [[{ state: 'starting' }, ['Açılıyor…', 'pill start', 'dot start', 'Sunucu açılıyor…']], [{ state: 'running' }, RUNNING],
      [{ state: 'running', joined: '<Efe>' }, ['Çalışıyor', 'pill run', 'dot run', '<Efe> sunucuya girdi • iyi yayınlar!']],
      [{ state: 'stopped', code: 1 }, STOPPED], [{ state: 'running' }, RUNNING],
      ...['constructor', '__proto__', 'toString'].map((state) => [{ state }, STOPPED])];
    for (const [event, look] of states) {
      await ui.emit('server', event);
      assert.deepEqual(await ui.page.evaluate(() => [srvPill.textContent, srvPill.className, railDot.className, stSub.textContent]),
        look, JSON.stringify(event));
    }
    await ui.closeClean();
  });
});

describe('play results', () => {
  test('a direct start; no official launcher: a full pink bar, "Konumunu seç" picks the file; the launcher opened, with a memory warning under it; a failure shown literally, a busy answer not at all, a rejection by its message', async () => {
    const ui = await openPage(shared.browser);
    const { done, reopen } = await playWith(ui, { ok: true, how: 'direct', already: true });
    assert.deepEqual([done, reopen], [true, null], 'a game already running reads as a direct start');
    await ui.emit('game', { running: true });
    assert.equal(await ui.text('#stSub'), 'Oyun açık • sunucu çalışıyor');
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
    assert.deepEqual([(await ui.calls('launcher:pick')).length, (await ui.calls('open')).length], [2, 0]);
    const warning = 'Boş bellek az: 3,1 GB boş, oyun ve sunucu 7 GB isteyebilir. Takılma olursa açık programları kapat.';
    assert.deepEqual(await playWith(ui, { ok: true, how: 'store', wasOpen: false, warning }), {
      text: 'Hazır — Minecraft Launcher açıldı', pct: '100%', width: '100%', done: true, notice: 'notice',
      message: `Hazır. Minecraft Launcher açıldı — Quorlin • Brimlox profili seçili, sadece Oyna'ya bas. Oyun doğrudan sunucuya bağlanır.${warning}`,
      reopen: 'Launcher\'ı tekrar aç',
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
    assert.deepEqual(await playWith(ui, { ok: false }), { ...before, notice: 'notice err hidden' });
    await ui.click('#playBtn');
    await ui.rejectRequest('play', 'Oyun klasörü yazılamıyor');
    assert.deepEqual([(await status(ui)).message, await ui.page.evaluate(() => playBtn.disabled)],
      ['Olmadı: Oyun klasörü yazılamıyor — ayrıntılar Sunucu sekmesinde.', false]);
    await ui.closeClean();
  });
});
