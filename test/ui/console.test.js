'use strict';
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const { shareBrowser, openPage } = require('./harness');

const shared = shareBrowser();

const entries = (ui) => ui.page.locator('#log > *').evaluateAll((els) => els.map((el) => [el.className, el.textContent]));
const scrollState = (ui) => ui.page.locator('#log').evaluate((el) => ({ top: el.scrollTop, bottom: el.scrollHeight - el.clientHeight }));
const lines = (count, name = 'line') => Array.from({ length: count }, (_, i) => `${name} ${i + 1}`);

describe('the console of the Server view', () => {
  test('the 1501st entry removes the first, also when many arrive in one burst; a failed start\'s error line neither trims nor scrolls; stop is asked; commands lose one leading slash; blank input sends nothing and stays', async () => {
    const ui = await openPage(shared.browser);
    await ui.click('.nav[data-view="server"]');
    await ui.emit('log', ...lines(4000, 'burst'), ...lines(1500));
    const ends = async () => { const shown = await entries(ui); return [shown.length, shown[0], shown.at(-1)[1]]; };
    assert.deepEqual(await ends(), [1500, ['', 'line 1\n'], 'line 1500\n']);
    const bottom = (await scrollState(ui)).top;
    await ui.click('#srvStart');
    await ui.answer('server:start', { ok: false, error: 'Java <25> bulunamadı' });
    assert.deepEqual([...await ends(), (await scrollState(ui)).top], [1501, ['', 'line 1\n'], '[Quorlin] Java <25> bulunamadı\n', bottom]);
    assert.equal((await entries(ui))[1500][0], 'err');
    await ui.emit('log', 'line 1501');
    assert.deepEqual(await ends(), [1500, ['', 'line 3\n'], 'line 1501\n']);
    await ui.click('#srvStart');
    await ui.answer('server:start', { ok: true });
    assert.equal((await entries(ui)).length, 1500);
    await ui.click('#srvStop');
    assert.equal((await ui.calls('server:stop')).length, 1);
    await ui.page.evaluate(() => { window.notReloaded = true; });
    const typed = [['/time set day', ''], ['//wand', ''], ['  say merhaba  ', ''], ['   ', '   ']];
    for (const [text, left] of typed) {
      await ui.page.fill('#cmd', text);
      await ui.page.press('#cmd', 'Enter');
      await ui.settle();
      assert.equal(await ui.page.inputValue('#cmd'), left, JSON.stringify(text));
    }
    assert.deepEqual((await ui.calls('server:cmd')).map((c) => c.args), [['time set day'], ['/wand'], ['say merhaba']]);
    assert.equal(await ui.page.evaluate(() => window.notReloaded), true);
    await ui.closeClean();
  });

  test('lines are coloured by case-sensitive words, the error words winning; lines that came while the view was hidden open at the bottom; scrolled up by more than 30 px it stays put, within 30 px it follows', async () => {
    const ui = await openPage(shared.browser);
    const rows = [
      ['[Quorlin] HATA: Java indirilemedi', 'err'],
      ['[12:00:01] [Server thread/INFO]: Done (3.2s)! For help, type "help"', 'ok'],
      ['[Quorlin] Sunucu başlatılıyor', 'ok'],
      ['java.lang.IllegalStateException: boom\n\tat a.b(C.java:1)', 'err'],
      ['[Server thread/ERROR]: bad', 'err'],
      ['[Oyun] error hata exception quorlin done (', ''],
    ];
    await ui.emit('log', ...rows.map(([text]) => text));
    assert.deepEqual(await entries(ui), rows.map(([text, cls]) => [cls, text + '\n']));
    await ui.emit('log', ...lines(200));
    await ui.click('.nav[data-view="server"]');
    let s = await scrollState(ui);
    assert.ok(s.bottom > 0 && s.top === s.bottom, `opens at the newest lines: ${JSON.stringify(s)}`);
    await ui.emit('log', 'then one more');
    s = await scrollState(ui);
    assert.equal(s.top, s.bottom, 'and follows them');
    for (const [up, follows] of [[31, false], [29, true]]) {
      await ui.page.locator('#log').evaluate((el, by) => { el.scrollTop = el.scrollHeight - el.clientHeight - by; }, up);
      await ui.settle();
      const before = await scrollState(ui);
      await ui.emit('log', `scrolled up ${up} px`);
      s = await scrollState(ui);
      assert.equal(s.top, follows ? s.bottom : before.top, `${up} px up`);
    }
    await ui.closeClean();
  });
});
