'use strict';
// Screenshots of the three views and the closing overlay, kept in build/ui-shots for a person
// to look at, with the colours of the bar's and the notice's states read back; and the layout
// at the other allowed window sizes.
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const path = require('path');
const { shareBrowser, openPage, snapshot, pixels, SHOTS } = require('./harness');

const shared = shareBrowser();

const PINK = [0xfe, 0x2c, 0x55];
const OK = [0x3d, 0xdc, 0x84];
const BG = [0x0b, 0x0c, 0x10];
// `color` at `alpha` laid over `base`
const over = (color, alpha, base = BG) => color.map((c, i) => c * alpha + base[i] * (1 - alpha));

function assertColour(actual, expected, what) {
  const off = Math.max(...actual.map((c, i) => Math.abs(c - expected[i])));
  assert.ok(off <= 3, `${what}: got rgb(${actual}), want rgb(${expected.map(Math.round)})`);
}

// Keeps a picture of the page and reads the colours at `points` from it.
async function shoot(ui, name, points) {
  await ui.page.waitForTimeout(400); // the bar's width animation
  return pixels(shared.browser, await ui.page.screenshot({ path: path.join(SHOTS, name + '.png') }), points);
}

async function centre(ui, selector) {
  const box = await ui.page.locator(selector).boundingBox();
  return [Math.round(box.x + 4), Math.round(box.y + box.height / 2)];
}

describe('screens at 1120 × 690', () => {
  test('the Play view\'s bar and notice looks, the Settings view, the Server view with a busy console, and the closing overlay over it for good', async () => {
    const ui = await openPage(shared.browser, { state: snapshot({ server: 'running' }) });
    await ui.emit('progress', { step: 'mods', label: 'Fabric API indiriliyor', pct: 0.5 });
    const bar = await centre(ui, '#bar');
    assertColour((await shoot(ui, 'play-progress', [bar]))[0], PINK, 'bar fill during progress');
    // [answer, picture, the bar's fill or null, the notice's background]
    const looks = [[{ ok: true, how: 'direct' }, 'play', OK, over(OK, 0.07)], [{ ok: false, error: 'Java indirilemedi' }, 'play-error', null, over(PINK, 0.08)]];
    for (const [answer, name, fill, background] of looks) {
      await ui.click('#playBtn');
      await ui.answer('play', answer);
      await ui.page.mouse.move(0, 600);
      const [f, b] = await shoot(ui, name, [bar, await centre(ui, '#notice')]);
      if (fill) assertColour(f, fill, `${name}: bar fill`);
      assertColour(b, background, `${name}: notice background`);
    }
    await ui.click('.nav[data-view="settings"]');
    await shoot(ui, 'settings', []);
    await ui.click('.nav[data-view="server"]');
    await ui.emit('log', '[Quorlin] Sunucu başlatılıyor', '[12:00:04] [Server thread/INFO]: Done (4.021s)! For help, type "help"',
      '[Quorlin] HATA: Mod güncellemesi alınamadı', '[Oyun] [Render thread/INFO]: Setting user: Efe');
    await shoot(ui, 'server', []);
    await ui.emit('closing', true);
    await shoot(ui, 'closing', []);
    await ui.emit('server', { state: 'stopped', code: 0 });
    assert.deepEqual(await ui.page.evaluate(() => [document.elementFromPoint(560, 345).id, closing.textContent]),
      ['closing', 'Sunucu güvenle kapatılıyor…']);
    await ui.closeClean();
  });
});

// Buttons of `root` that the window or a scrolling or clipping box around them cuts.
function cutControls(root) {
  const cut = [];
  for (const el of document.querySelectorAll(`${root} button`)) {
    if (!el.checkVisibility()) continue;
    const r = el.getBoundingClientRect();
    for (let box = el.parentElement; box; box = box.parentElement) {
      const style = getComputedStyle(box);
      if (box !== document.documentElement && style.overflowX === 'visible' && style.overflowY === 'visible') continue;
      const c = box === document.documentElement ? { top: 0, left: 0, bottom: innerHeight, right: innerWidth } : box.getBoundingClientRect();
      if (r.top < c.top || r.bottom > c.bottom || r.left < c.left || r.right > c.right) { cut.push(el.id || el.textContent); break; }
    }
  }
  return cut;
}

describe('other allowed window sizes', () => {
  test('the Play view shows every control whole, OYNA included, with a notice up; the Settings cards sit 14 px under the heading and the folder buttons are equal halves', async () => {
    const ui = await openPage(shared.browser);
    await ui.click('#playBtn');
    await ui.answer('play', { ok: true, how: 'store', wasOpen: false });
    for (const [width, height] of [[940, 600], [1120, 600], [940, 690], [1600, 600], [1920, 1080]]) {
      const size = `${width} × ${height}`;
      await ui.page.setViewportSize({ width, height });
      await ui.click('.nav[data-view="play"]');
      await ui.page.mouse.move(0, height - 1);
      await shoot(ui, `play-${width}x${height}`, []);
      assert.deepEqual(await ui.page.evaluate(cutControls, '#view-play'), [], size);
      await ui.click('.nav[data-view="settings"]');
      const { gap, folders } = await ui.page.evaluate(() => ({
        gap: document.querySelector('#view-settings .card').getBoundingClientRect().top
          - document.querySelector('#view-settings h2').getBoundingClientRect().bottom,
        folders: [...document.querySelectorAll('[data-open]')].map((el) => [el.getBoundingClientRect().width, el.scrollWidth > el.clientWidth]),
      }));
      assert.ok(gap === 14 && folders.every(([w]) => Math.abs(w - folders[0][0]) < 0.5), `${size}: ${gap} ${JSON.stringify(folders)}`);
      // the test machine's fallback font is wider than the Windows ones: at the narrowest
      // columns (wide windows) it needs the ellipsis, so whole labels are checked up to 1120 px
      if (width <= 1120) assert.ok(folders.every(([, cut]) => !cut), `${size}: ${JSON.stringify(folders)}`);
    }
    await ui.closeClean();
  });
});
