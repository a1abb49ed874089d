'use strict';
// Draws the product's pictures from shapes, so they can be made again byte for byte:
//   node tools/art/make-art.js        writes them into app/
//   node tools/art/make-art.js --check  fails when a written picture differs from a fresh one
// The mark (logo and window icon) is a white Q on a pink rounded square; the game profile
// icon is the falling TNT block of the Play view's arena drawing.

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const APP = path.join(__dirname, '..', '..', 'app');

function hex(color, alpha = 1) {
  const n = parseInt(color.slice(1), 16);
  return [(n >> 16) & 255, (n >> 8) & 255, n & 255, alpha];
}

// ---- shapes in a unit square (0..1 on both axes) ----

function roundedSquare(inset, radius) {
  return (x, y) => {
    const dx = Math.max(Math.abs(x - 0.5) - (0.5 - inset - radius), 0);
    const dy = Math.max(Math.abs(y - 0.5) - (0.5 - inset - radius), 0);
    return dx * dx + dy * dy <= radius * radius;
  };
}

function ring(cx, cy, outer, inner) {
  return (x, y) => {
    const d = (x - cx) ** 2 + (y - cy) ** 2;
    return d <= outer * outer && d >= inner * inner;
  };
}

function disc(cx, cy, r) {
  return (x, y) => (x - cx) ** 2 + (y - cy) ** 2 <= r * r;
}

function capsule(ax, ay, bx, by, r) {
  const lx = bx - ax;
  const ly = by - ay;
  const len2 = lx * lx + ly * ly;
  return (x, y) => {
    const t = Math.min(1, Math.max(0, ((x - ax) * lx + (y - ay) * ly) / len2));
    return (x - ax - t * lx) ** 2 + (y - ay - t * ly) ** 2 <= r * r;
  };
}

function polygon(corners) {
  return (x, y) => {
    let inside = false;
    for (let i = 0, j = corners.length - 1; i < corners.length; j = i++) {
      const [xi, yi] = corners[i];
      const [xj, yj] = corners[j];
      if ((yi > y) !== (yj > y) && x < ((xj - xi) * (y - yi)) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
  };
}

// Paints layers ({ shape, paint: [r,g,b,a] or (x,y) => [r,g,b,a] }) in order, each sample
// blended over the ones below, `grid` × `grid` samples per pixel.
function render(size, layers, grid) {
  const pixels = Buffer.alloc(size * size * 4);
  const samples = grid * grid;
  for (let py = 0; py < size; py++) {
    for (let px = 0; px < size; px++) {
      let r = 0; let g = 0; let b = 0; let a = 0;
      for (let sy = 0; sy < grid; sy++) {
        for (let sx = 0; sx < grid; sx++) {
          const x = (px + (sx + 0.5) / grid) / size;
          const y = (py + (sy + 0.5) / grid) / size;
          let cr = 0; let cg = 0; let cb = 0; let ca = 0;
          for (const { shape, paint } of layers) {
            if (!shape(x, y)) continue;
            const [lr, lg, lb, la] = typeof paint === 'function' ? paint(x, y) : paint;
            const out = la + ca * (1 - la);
            cr = (lr * la + cr * ca * (1 - la)) / out;
            cg = (lg * la + cg * ca * (1 - la)) / out;
            cb = (lb * la + cb * ca * (1 - la)) / out;
            ca = out;
          }
          r += cr * ca; g += cg * ca; b += cb * ca; a += ca;
        }
      }
      const o = (py * size + px) * 4;
      pixels[o] = a ? Math.round(r / a) : 0;
      pixels[o + 1] = a ? Math.round(g / a) : 0;
      pixels[o + 2] = a ? Math.round(b / a) : 0;
      pixels[o + 3] = Math.round((a / samples) * 255);
    }
  }
  return pixels;
}

function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, 'ascii');
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(zlib.crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, crc]);
}

function encodePng(size, rgba) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header.set([8, 6, 0, 0, 0], 8); // 8 bits per channel, RGBA, no interlace
  const rows = Buffer.alloc(size * (size * 4 + 1));
  for (let y = 0; y < size; y++) rgba.copy(rows, y * (size * 4 + 1) + 1, y * size * 4, (y + 1) * size * 4);
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(rows, { level: 9 })),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

// An icon file whose every image is a PNG, largest last.
function encodeIco(pngs) {
  const dir = Buffer.alloc(6 + 16 * pngs.length);
  dir.writeUInt16LE(1, 2);
  dir.writeUInt16LE(pngs.length, 4);
  let offset = dir.length;
  pngs.forEach(({ size, png }, i) => {
    const e = 6 + 16 * i;
    dir[e] = size >= 256 ? 0 : size;
    dir[e + 1] = size >= 256 ? 0 : size;
    dir.writeUInt16LE(1, e + 4);
    dir.writeUInt16LE(32, e + 6);
    dir.writeUInt32LE(png.length, e + 8);
    dir.writeUInt32LE(offset, e + 12);
    offset += png.length;
  });
  return Buffer.concat([dir, ...pngs.map((p) => p.png)]);
}

// The images of a PNG or icon file written by this script, as { size, rgba }: what a picture
// shows, whatever bytes another build of zlib chose for it.
function decodeArt(file) {
  if (file.readUInt16LE(0) === 0 && file.readUInt16LE(2) === 1) {
    const images = [];
    for (let i = 0; i < file.readUInt16LE(4); i++) {
      const e = 6 + 16 * i;
      const at = file.readUInt32LE(e + 12);
      images.push(...decodeArt(file.subarray(at, at + file.readUInt32LE(e + 8))));
    }
    return images;
  }
  const size = file.readUInt32BE(16);
  const idat = [];
  for (let at = 8; at < file.length;) {
    const length = file.readUInt32BE(at);
    if (file.toString('ascii', at + 4, at + 8) === 'IDAT') idat.push(file.subarray(at + 8, at + 8 + length));
    at += 12 + length;
  }
  const rows = zlib.inflateSync(Buffer.concat(idat));
  const rgba = Buffer.alloc(size * size * 4);
  for (let y = 0; y < size; y++) {
    if (rows[y * (size * 4 + 1)] !== 0) throw new Error('a filtered row: not drawn by this script');
    rows.copy(rgba, y * size * 4, y * (size * 4 + 1) + 1, (y + 1) * (size * 4 + 1));
  }
  return [{ size, rgba }];
}

/** True when two picture files show the same images at the same sizes. */
function sameArt(a, b) {
  const x = decodeArt(a);
  const y = decodeArt(b);
  return x.length === y.length && x.every((img, i) => img.size === y[i].size && img.rgba.equals(y[i].rgba));
}

// ---- the pictures ----

const PINK = hex('#fe2c55');
const PINK2 = hex('#ff4d70');
const WHITE = hex('#ffffff');

function markLayers() {
  const gradient = (x, y) => {
    const t = Math.min(1, Math.max(0, (x + y) / 2));
    return PINK2.map((c, i) => (i < 3 ? c + (PINK[i] - c) * t : 1));
  };
  return [
    { shape: roundedSquare(0.03, 0.22), paint: gradient },
    { shape: ring(0.48, 0.47, 0.27, 0.17), paint: WHITE },
    { shape: capsule(0.62, 0.62, 0.75, 0.75, 0.055), paint: WHITE },
    { shape: disc(0.76, 0.24, 0.05), paint: hex('#25f4ee') },
  ];
}

// The TNT block seen from the same 2:1 angle as the arena drawing, centred on the icon.
function tntLayers() {
  const p = (x, y, z) => [0.5 + (x - y) * 0.3, 0.5 + (x + y) * 0.15 - z * 0.3 - 0.05];
  const face = (corners) => polygon(corners.map(([x, y, z]) => p(x - 0.5, y - 0.5, z - 0.5)));
  return [
    { shape: roundedSquare(0, 0.18), paint: hex('#0b0c10') },
    { shape: face([[0, 1, 0], [1, 1, 0], [1, 1, 1], [0, 1, 1]]), paint: hex('#b8183a') },
    { shape: face([[1, 0, 0], [1, 1, 0], [1, 1, 1], [1, 0, 1]]), paint: hex('#d61f45') },
    { shape: face([[0, 0, 1], [1, 0, 1], [1, 1, 1], [0, 1, 1]]), paint: hex('#ff4d70') },
    { shape: face([[0, 1, 0.38], [1, 1, 0.38], [1, 1, 0.62], [0, 1, 0.62]]), paint: hex('#f3f3f6') },
    { shape: face([[1, 0, 0.38], [1, 1, 0.38], [1, 1, 0.62], [1, 0, 0.62]]), paint: hex('#dcdce2') },
  ];
}

function pictures() {
  const mark = (size) => encodePng(size, render(size, markLayers(), size >= 512 ? 2 : 4));
  const logo = mark(1024);
  return {
    'ui/logo.png': logo,
    'assets/quorlin.png': logo,
    'assets/quorlin.ico': encodeIco([16, 24, 32, 48, 64, 256].map((size) => ({ size, png: mark(size) }))),
    'assets/brimlox.png': encodePng(128, render(128, tntLayers(), 4)),
  };
}

function main() {
  const check = process.argv.includes('--check');
  let stale = 0;
  for (const [name, data] of Object.entries(pictures())) {
    const file = path.join(APP, name);
    if (check) {
      const same = fs.existsSync(file) && sameArt(fs.readFileSync(file), data);
      if (!same) { stale++; console.error(`differs from a fresh drawing: app/${name}`); }
    } else {
      fs.mkdirSync(path.dirname(file), { recursive: true });
      fs.writeFileSync(file, data);
      console.log(`app/${name}: ${data.length} bytes`);
    }
  }
  process.exitCode = stale ? 1 : 0;
}

if (require.main === module) main();

module.exports = { pictures, decodeArt, sameArt };
