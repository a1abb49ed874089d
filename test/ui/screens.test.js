'use strict';
// Screenshots of the three views and the closing overlay at the window's size, kept in
// build/ui-shots for a person to look at, with colours read back against the palette.
const { describe, test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { shareBrowser, openPage, snapshot, pixels, SHOTS } = require('./harness');

const shared = shareBrowser();
fs.mkdirSync(SHOTS, { recursive: true });

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

async function centre(ui, selector, dx = 0) {
  const box = await ui.page.locator(selector).boundingBox();
  return [Math.round(box.x + dx), Math.round(box.y + box.height / 2)];
}

describe('screens at 1120 × 690', () => {
  test('the Play view: play button, rail marker, bar after progress and after success', async () => {
    const ui = await openPage(shared.browser, { state: snapshot({ server: 'running' }) });
    await ui.emit('progress', { step: 'mods', label: 'Fabric API indiriliyor', pct: 0.5 });
    const button = await centre(ui, '#playBtn', 12);
    const marker = await centre(ui, '.nav.on');
    marker[0] = 1;
    const bar = await centre(ui, '#bar', 4);
    let [b, m, f] = await shoot(ui, 'play-progress', [button, marker, bar]);
    assertColour(b, PINK, 'play button');
    assertColour(m, PINK, 'rail marker');
    assertColour(f, PINK, 'bar fill during progress');

    await ui.click('#playBtn');
    await ui.answer('play', { ok: true, how: 'direct' });
    await ui.page.mouse.move(0, 600);
    const icon = await centre(ui, '.nicon', 3);
    const inside = await centre(ui, '#notice', 4);
    [f, m, b] = await shoot(ui, 'play', [bar, icon, inside]);
    assertColour(f, OK, 'bar fill when done');
    assertColour(b, over(OK, 0.07), 'success notice background');
    assertColour(m, over(OK, 0.16, over(OK, 0.07)), 'success notice icon box');

    await ui.click('#playBtn');
    await ui.answer('play', { ok: false, error: 'Java indirilemedi' });
    await ui.page.mouse.move(0, 600);
    [b] = await shoot(ui, 'play-error', [inside]);
    assertColour(b, over(PINK, 0.08), 'error notice background');
    await ui.closeClean();
  });

  test('the Server view with a busy console, and the closing overlay over it', async () => {
    const ui = await openPage(shared.browser, { state: snapshot({ server: 'running' }) });
    await ui.click('.nav[data-view="server"]');
    await ui.emit('log',
      '[Quorlin] Sunucu başlatılıyor',
      '[12:00:00] [Server thread/INFO]: Starting minecraft server version 26.3',
      '[12:00:04] [Server thread/INFO]: Done (4.021s)! For help, type "help"',
      '[Quorlin] HATA: Mod güncellemesi alınamadı',
      '[Oyun] [Render thread/INFO]: Setting user: Efe');
    const pill = await centre(ui, '#srvPill', 3);
    const [p] = await shoot(ui, 'server', [pill]);
    assertColour(p, over(OK, 0.08), 'running pill background');
    await ui.emit('closing', true);
    const [o] = await shoot(ui, 'closing', [[560, 100]]);
    assertColour(o, over([6, 6, 9], 0.85), 'overlay over the page');
    await ui.emit('server', { state: 'stopped', code: 0 });
    assert.deepEqual(await ui.page.evaluate(() => [document.elementFromPoint(560, 345).id, closing.textContent]),
      ['closing', 'Sunucu güvenle kapatılıyor…'], 'the overlay stays for good');
    await ui.closeClean();
  });

  test('the Settings view, and its application id card when sign-in needs one', async () => {
    const ui = await openPage(shared.browser, { state: snapshot({ hasClientId: false }) });
    await ui.click('.nav[data-view="settings"]');
    const marker = await centre(ui, '.nav.on');
    const [m] = await shoot(ui, 'settings', [[1, marker[1]]]);
    assertColour(m, PINK, 'rail marker on Settings');
    await ui.click('#acct');
    await ui.page.waitForTimeout(800); // the smooth scroll to the card
    const box = await ui.page.locator('#msCard').boundingBox();
    const [edge] = await shoot(ui, 'settings-card', [[Math.round(box.x + box.width / 2), Math.ceil(box.y)]]);
    assertColour(edge, PINK, 'highlighted card border');
    await ui.closeClean();
  });
});
