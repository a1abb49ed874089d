'use strict';
// The product's pictures are drawn by tools/art; the committed files must be what it draws.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { pictures } = require('../../tools/art/make-art');
const { ROOT } = require('./harness');

const drawn = pictures();

test('the committed pictures are exactly what the drawing script makes', () => {
  for (const [name, data] of Object.entries(drawn)) {
    assert.ok(fs.readFileSync(path.join(ROOT, 'app', name)).equals(data), `app/${name} is stale: run node tools/art/make-art.js`);
  }
});

test('the logo is a 1024 × 1024 RGBA picture with transparent corners and an opaque middle', () => {
  const png = drawn['ui/logo.png'];
  assert.deepEqual([png.readUInt32BE(16), png.readUInt32BE(20), png[24], png[25]], [1024, 1024, 8, 6]);
  const idat = [];
  for (let at = 8; at < png.length;) {
    const length = png.readUInt32BE(at);
    if (png.toString('ascii', at + 4, at + 8) === 'IDAT') idat.push(png.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const rows = zlib.inflateSync(Buffer.concat(idat));
  const stride = 1 + 1024 * 4;
  const alpha = (x, y) => {
    assert.equal(rows[y * stride], 0, 'rows are stored unfiltered');
    return rows[y * stride + 1 + x * 4 + 3];
  };
  assert.deepEqual([alpha(0, 0), alpha(1023, 1023), alpha(512, 300)], [0, 0, 255]);
});
