'use strict';
// The product's pictures are drawn by tools/art; the committed files must show what it draws.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('fs');
const path = require('path');
const { pictures, decodeArt, sameArt } = require('../../tools/art/make-art');
const { ROOT } = require('./harness');

const drawn = pictures();

test('the committed pictures show exactly what the drawing script draws', () => {
  for (const [name, data] of Object.entries(drawn)) {
    assert.ok(sameArt(fs.readFileSync(path.join(ROOT, 'app', name)), data), `app/${name} is stale: run node tools/art/make-art.js`);
  }
  assert.deepEqual(decodeArt(drawn['assets/quorlin.ico']).map((img) => img.size), [16, 24, 32, 48, 64, 256]);
});

test('the logo is a 1024 × 1024 RGBA picture with transparent corners and an opaque middle', () => {
  const [{ size, rgba }] = decodeArt(drawn['ui/logo.png']);
  const alpha = (x, y) => rgba[(y * size + x) * 4 + 3];
  assert.deepEqual([size, alpha(0, 0), alpha(1023, 1023), alpha(512, 300)], [1024, 0, 0, 255]);
});
