'use strict';
// Memory for the game and the server that fits the PC: the first start's sizes from the PC's
// total memory, and the warning before Play when too little of it is free.
const os = require('node:os');

const GIB = 1024 ** 3;
// [total memory up to, in GB; game's heap; server's heap], leaving the rest to Windows and the
// streaming software. A PC reports a little less than its nominal size (memory the hardware
// keeps), so a row counts up to half a gigabyte above its figure.
const RAM_TABLE = [
  [8, 2, 2],
  [12, 3, 2],
  [16, 4, 3],
  [24, 5, 3],
  [Infinity, 6, 4],
];
// Free memory under this share of what the game and the server may take is worth a warning.
const LOW_FREE_SHARE = 0.7;

/** { gameRam, serverRam } in whole GB for a PC with `totalBytes` of memory, within the sliders' ranges. */
function ramDefaults(totalBytes) {
  const totalGb = totalBytes / GIB;
  const [, gameRam, serverRam] = RAM_TABLE.find(([upTo]) => totalGb <= upTo + 0.5);
  return { gameRam, serverRam };
}

/**
 * The warning to show before Play, or null: when `freeBytes` is under 70 % of the memory the
 * game and the server (`gameRam`, `serverRam` in GB) may take. A server that already runs has
 * its memory already, so only the game's counts then. Never a reason to stop Play.
 */
function lowMemoryWarning({ gameRam, serverRam, serverRunning = false }, freeBytes = os.freemem()) {
  const wantedGb = gameRam + (serverRunning ? 0 : serverRam);
  if (freeBytes >= LOW_FREE_SHARE * wantedGb * GIB) return null;
  const freeGb = (Math.floor((freeBytes / GIB) * 10) / 10).toLocaleString('tr-TR');
  const who = serverRunning ? 'oyun' : 'oyun ve sunucu';
  return `Boş bellek az: ${freeGb} GB boş, ${who} ${wantedGb} GB isteyebilir. Takılma olursa açık programları kapat.`;
}

module.exports = { ramDefaults, lowMemoryWarning };
