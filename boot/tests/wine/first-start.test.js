'use strict';
// A first start on a clean machine: the card, the runtime download in its variants (resumed,
// checked by its digest), the install, the hand-over, and the fast second start.

const { describe, test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { openTestBed, sleep, TEST_EXE } = require('./lib/testbed');
const { assertRanFrom, assertStartedFrom } = require('./lib/expect');
const { RUNTIME_PATH } = require('./lib/fixtures');
const { REPO } = require('./lib/wine');

const DOWNLOAD_ERROR = "İndirme başarısız oldu. İnternet bağlantını kontrol edip Quorlin'i tekrar aç.";
const DIGEST_ERROR = "İndirilen dosya doğrulanamadı (dosya özeti uyuşmadı). Quorlin'i tekrar aç.";
// The test program built with QUORLIN_RUNTIME_SHA256 set to the stand-in runtime archive's digest.
const DIGEST_EXE = path.join(REPO, 'build', 'boot-test', 'runtime-sha256', 'Quorlin.exe');
const DIGEST_FILE = path.join(REPO, 'build', 'boot-test', 'runtime.sha256');

// The card at 96 DPI on the 1024 × 768 screen: 460 × 190, centred.
const CARD = { left: 282, top: 289, width: 460, height: 190 };
const COLOURS = { background: '#0B0C10', accent: '#FE2C55', markInner: '#16171D', markBars: '#FFFFFF', track: '#1C1E27' };
// Held back from the body until the picture is taken: a whole number of 64 KiB reads.
const HELD_AT = 20 * 65536;

let bed;
before(async () => {
  bed = await openTestBed();
  await bed.setSystemDpi(96);
});
after(async () => { if (bed) await bed.close(); });

// Starts on a clean machine with the download held after HELD_AT bytes, takes a picture once the
// card's bar shows them, then lets the download finish. at(x, y) reads the picture relative to
// the card's corner; fill is the bar's expected filled width.
async function startWithDownloadHeld(name, card, bar) {
  bed.reset();
  const zip = bed.runtimeZip;
  const held = Promise.withResolvers();
  const released = Promise.withResolvers();
  bed.world.route(RUNTIME_PATH, (req, res) => {
    res.writeHead(200, { 'Content-Length': zip.length });
    res.write(zip.subarray(0, HELD_AT), () => held.resolve());
    released.promise.then(() => res.end(zip.subarray(HELD_AT)));
  });
  // Filled to the permille of bytes received.
  const permille = Math.floor((HELD_AT * 800) / zip.length);
  const fill = Math.floor((bar.width * permille) / 1000);

  const running = bed.start();
  await held.promise;
  // The repaint follows the chunk; on a busy machine it may take a moment.
  let shot, at;
  for (let tries = 0; tries < 20; tries++) {
    await sleep(500);
    shot = await bed.screenshot(name);
    at = (x, y) => shot.pixel(card.left + x, card.top + y);
    if (at(bar.x + fill - 1, bar.y + 1) === COLOURS.accent) break;
  }
  released.resolve();
  return { result: await running, at, png: shot.png, fill };
}

describe('first start', () => {
  test('shows the card during the download, installs, and starts the runtime', async () => {
    // The bar: 404 pixels from x 28, y 124, 6 high.
    const { result, at, png: shot, fill } = await startWithDownloadHeld('card-downloading', CARD, { x: 28, y: 124, width: 404 });

    assert.deepEqual({
      background: [at(5, 12), at(20, 80), at(455, 185), at(70, 40)],
      strip: [at(0, 0), at(459, 2)],
      belowStrip: at(200, 3),
      frame: [at(28, 30), at(61, 63), at(30, 45)],
      inner: [at(31, 33), at(58, 60), at(55, 55)],
      bars: [at(39, 38), at(50, 41), at(42, 55), at(48, 49)],
      besideBars: at(51, 38),
    }, {
      background: Array(4).fill(COLOURS.background),
      strip: Array(2).fill(COLOURS.accent),
      belowStrip: COLOURS.background,
      frame: Array(3).fill(COLOURS.accent),
      inner: Array(3).fill(COLOURS.markInner),
      bars: Array(4).fill(COLOURS.markBars),
      besideBars: COLOURS.markInner,
    }, `see ${shot}`);

    assert.deepEqual(
      [at(28, 124), at(28 + fill - 1, 129), at(28 + fill, 124), at(431, 129), at(431, 130), at(432, 124)],
      [COLOURS.accent, COLOURS.accent, COLOURS.track, COLOURS.track, COLOURS.background, COLOURS.background],
      `bar filled to ${fill} pixels; see ${shot}`);

    const { card } = result;
    const WS_POPUP = 0x80000000; const FRAME = 0x00cf0000; // caption, borders, system menu, sizing
    // A popup without caption, border or system menu, with a taskbar button, dragged from any point.
    assert.deepEqual([card.title, card.left, card.top, card.width, card.height, (card.style & WS_POPUP) !== 0,
      card.style & FRAME, card.exStyle & 0x40000, card.hitTest],
    ['Quorlin', CARD.left, CARD.top, CARD.width, CARD.height, true, 0, 0x40000, 2]);
    await assertRanFrom(bed, result);
    assert.deepEqual(bed.world.requests.map((r) => r.headers['user-agent']), ['Quorlin-Launcher/1.0']);
  });

  test('a second start launches at once, with no window and no download', async () => {
    const result = await bed.start();
    assert.deepEqual([result.code, result.card, result.boxes, bed.world.requests.length], [0, null, [], 1]);
    const starts = await bed.waitForRecords('electron', 2);
    assert.equal(starts.length, 2);
    assertStartedFrom(starts[1], bed.layout);
  });
});

describe('runtime download', () => {
  const zip = () => bed.runtimeZip;
  const at80 = () => Math.floor(zip().length * 0.8);
  // [name, answers of the release host in order (the last repeats), the Range header of each
  // request, { exe }]
  const accepted = [
    ['without a content length', () => [{ body: zip(), chunked: true }], () => [undefined]],
    ['behind a redirect', () => [{ redirect: '/assets/runtime.zip' }], () => [undefined, undefined]],
    // The host sends the whole archive again: the part starts over.
    ['after a 503 and a short body, from a host that ignores ranges',
      () => [{ status: 503 }, { body: zip(), cut: 1000 }, { body: zip() }], () => [undefined, undefined, 'bytes=1000-']],
    ['cut at 80 %, with the rest, checked by the digest the build was given',
      () => [{ body: zip(), cut: at80() }, { body: zip(), ranges: true }], () => [undefined, `bytes=${at80()}-`],
      { exe: DIGEST_EXE }],
  ];
  for (const [name, answers, ranges, { exe = TEST_EXE } = {}] of accepted) {
    test(`succeeds ${name}`, async () => {
      bed.reset();
      bed.world.route(RUNTIME_PATH, answers());
      bed.world.route('/assets/runtime.zip', { body: zip() });
      const result = await bed.start({ exe });
      assert.deepEqual(bed.world.requests.map((r) => r.headers.range), ranges());
      await assertRanFrom(bed, result, bed.layout, exe);
    });
  }

  test('gives up after exactly three attempts', async () => {
    bed.reset();
    bed.world.route(RUNTIME_PATH, { status: 404, body: 'not found' });
    const result = await bed.start();
    assert.deepEqual([result.code, bed.world.count(RUNTIME_PATH), result.boxes.map((b) => [b.text, b.ownerClass])],
      [0, 3, [[DOWNLOAD_ERROR, 'QuorlinBoot']]]);
    assert.deepEqual([bed.layout.runtime, bed.layout.version].filter(fs.existsSync), []);
    assert.deepEqual(bed.records('electron'), []);
  });

  test('an archive that differs from the digest is deleted at each of three attempts and never unpacked', async () => {
    assert.equal(fs.readFileSync(DIGEST_FILE, 'utf8').trim(), crypto.createHash('sha256').update(zip()).digest('hex'),
      `${DIGEST_EXE} was built for another runtime archive`);
    bed.reset();
    const spoiled = Buffer.from(zip());
    spoiled[spoiled.length >> 1] ^= 1;
    // A part kept for later would be continued with a range.
    bed.world.route(RUNTIME_PATH, { body: spoiled, ranges: true });
    const result = await bed.start({ exe: DIGEST_EXE });
    const l = bed.layout;
    assert.deepEqual([result.code, bed.world.requests.map((r) => r.headers.range), result.boxes.map((b) => b.text)],
      [0, [undefined, undefined, undefined], [DIGEST_ERROR]]);
    assert.deepEqual([l.part, l.download, l.runtime].filter(fs.existsSync), []);
    assert.deepEqual([bed.records('tar'), bed.records('electron')], [[], []]);
  });
});

describe('card at 144 DPI', () => {
  after(() => bed.setSystemDpi(96));

  // The card's own layout at each DPI is the unit tests'; here, that the system DPI is the one read.
  test('the window takes the size the system DPI gives it', async () => {
    await bed.setSystemDpi(144);
    const card = { left: 167, top: 241, width: 690, height: 285 };
    const { result } = await startWithDownloadHeld('card-144-dpi', card, { x: 42, y: 186, width: 606 });
    assert.deepEqual([result.code, result.card.left, result.card.top, result.card.width, result.card.height],
      [0, card.left, card.top, card.width, card.height]);
  });
});
