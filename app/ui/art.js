'use strict';
// The hero drawing of the Play view: the arena seen from above at an angle, one vector
// drawing built as markup once at start. The page script puts it into `art`.

const buildArt = (() => {
  const HEIGHTS = [
    [3, 3, 3, 2, 3, 3],
    [3, 2, 3, 3, 2, 1],
    [2, 3, 3, 1, 0, 2],
    [3, 3, 2, 2, 1, 0],
    [2, 1, 2, 1, 0, 0],
    [1, 1, 0, 0, 0, 0],
  ];
  const TINTS = ['#fe2c55', '#25f4ee', '#ffc23d', '#b48cff', '#7cff9b'];
  const CYAN = '37,244,238';

  function project(x, y, z) {
    return [280 + (x - y) * 26, 150 + (x + y) * 13 - z * 26];
  }

  function points(corners) {
    return corners.map((c) => project(...c).map((v) => +v.toFixed(2)).join(',')).join(' ');
  }

  function poly(corners, attrs) {
    return `<polygon points="${points(corners)}" ${attrs}/>`;
  }

  // The three visible faces of the unit cube at (x, y, z), or a horizontal band of its
  // side faces between the heights lo and hi.
  function sideY(x, y, z, lo = 0, hi = 1) {
    return [[x, y + 1, z + lo], [x + 1, y + 1, z + lo], [x + 1, y + 1, z + hi], [x, y + 1, z + hi]];
  }
  function sideX(x, y, z, lo = 0, hi = 1) {
    return [[x + 1, y, z + lo], [x + 1, y + 1, z + lo], [x + 1, y + 1, z + hi], [x + 1, y, z + hi]];
  }
  function topFace(x, y, z) {
    return [[x, y, z + 1], [x + 1, y, z + 1], [x + 1, y + 1, z + 1], [x, y + 1, z + 1]];
  }

  function wall(corners, fill, outline) {
    return poly(corners, `fill="rgba(${CYAN},${fill})" stroke="rgba(${CYAN},${outline})" stroke-width="1"`);
  }

  return function buildArt() {
    const parts = [];
    parts.push(wall([[0, 0, 0], [6, 0, 0], [6, 6, 0], [0, 6, 0]], 0.06, 0.35));
    for (let i = 1; i <= 5; i++) {
      for (const [a, b] of [[[i, 0, 0], [i, 6, 0]], [[0, i, 0], [6, i, 0]]]) {
        const [x1, y1] = project(...a);
        const [x2, y2] = project(...b);
        parts.push(`<line x1="${x1}" y1="${y1}" x2="${x2}" y2="${y2}" stroke="rgba(${CYAN},0.12)" stroke-width="1"/>`);
      }
    }
    parts.push(wall([[0, 0, 0], [6, 0, 0], [6, 0, 3], [0, 0, 3]], 0.04, 0.28));
    parts.push(wall([[0, 0, 0], [0, 6, 0], [0, 6, 3], [0, 0, 3]], 0.04, 0.28));

    for (let x = 0; x < 6; x++) {
      for (let y = 0; y < 6; y++) {
        const h = HEIGHTS[x][y];
        for (let z = 0; z < h; z++) {
          parts.push(poly(sideY(x, y, z), 'fill="#2b2e3a"'));
          parts.push(poly(sideX(x, y, z), 'fill="#353948"'));
          parts.push(poly(topFace(x, y, z), 'fill="#3f4456"'));
        }
        if (h > 0) {
          // a viewer's picture: the column's top face, each corner 28 % of the way to its centre
          const tile = topFace(x, y, h - 1).map(([cx, cy, cz]) => [cx + (x + 0.5 - cx) * 0.28, cy + (y + 0.5 - cy) * 0.28, cz]);
          parts.push(poly(tile, `fill="${TINTS[(x * 7 + y * 3) % 5]}" fill-opacity="0.85"`));
        }
      }
    }

    parts.push(wall([[6, 0, 0], [6, 6, 0], [6, 6, 3], [6, 0, 3]], 0.05, 0.4));
    parts.push(wall([[0, 6, 0], [6, 6, 0], [6, 6, 3], [0, 6, 3]], 0.05, 0.4));

    const [tx, ty, tz] = [3.6, 4.2, 5.2];
    const [fx, fy] = project(tx + 0.5, ty + 0.5, tz + 1).map((v) => +v.toFixed(2));
    const tnt = [
      poly(sideY(tx, ty, tz), 'fill="#b8183a"'),
      poly(sideX(tx, ty, tz), 'fill="#d61f45"'),
      poly(topFace(tx, ty, tz), 'fill="#ff4d70"'),
      poly(sideY(tx, ty, tz, 0.38, 0.62), 'fill="#f3f3f6"'),
      poly(sideX(tx, ty, tz, 0.38, 0.62), 'fill="#dcdce2"'),
      `<path d="M${fx} ${fy} Q${fx + 6} ${fy - 16} ${fx + 14} ${fy - 22}" fill="none" stroke="#e9eaf0" stroke-width="2.5" stroke-linecap="round"/>`,
      `<circle cx="${fx + 14}" cy="${fy - 22}" r="4" fill="#25f4ee"/>`,
    ];
    parts.push(`<g class="tnt">${tnt.join('')}</g>`);

    const style = '<style>.tnt{animation:tnt-bob 2.8s ease-in-out infinite}'
      + '@keyframes tnt-bob{0%,100%{transform:translateY(-6px)}50%{transform:translateY(6px)}}</style>';
    return `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 560 440" width="560" height="440">${style}${parts.join('')}</svg>`;
  };
})();
