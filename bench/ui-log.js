'use strict';
// Floods the launcher page's console with `log` events, each delivered as its own task the
// way the bridge delivers them, while the view sticks to the bottom. Prints, per flood size,
// the time until the last line is on screen, the entries held, whether the view is still at
// the bottom, and the gaps between frames (how long the page stood still).
//   node bench/ui-log.js [count ...]     default: 10000 100000

const { launchBrowser, openPage } = require('../test/ui/harness');

function flood(count) {
  const listeners = window.__ipc.listeners.log;
  const log = document.getElementById('log');
  const line = (i) => `[12:00:00] [Server thread/INFO]: Brimlox tur ${i}: oyuncu platformda`;
  const frames = [];
  let measuring = true;
  const tick = (t) => { frames.push(t); if (measuring) requestAnimationFrame(tick); };
  requestAnimationFrame(tick);
  const start = performance.now();
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    let sent = 0;
    channel.port1.onmessage = () => {
      sent++;
      for (const fn of listeners) fn({ sender: 'main' }, line(sent));
      if (sent < count) channel.port2.postMessage(0); else waitShown();
    };
    const pushedAt = () => performance.now() - start;
    let pushed = 0;
    function waitShown() {
      pushed = pushedAt();
      const last = line(count) + '\n';
      (function check() {
        if (log.lastElementChild && log.lastElementChild.textContent === last) return finish();
        requestAnimationFrame(check);
      })();
    }
    function finish() {
      const settled = performance.now() - start;
      measuring = false;
      const gaps = frames.slice(1).map((t, i) => t - frames[i]).sort((a, b) => a - b);
      resolve({
        pushed, settled, frames: frames.length,
        longest: gaps[gaps.length - 1], p95: gaps[Math.floor(gaps.length * 0.95)],
        entries: log.childElementCount,
        atBottom: log.scrollTop + log.clientHeight >= log.scrollHeight - 30,
        heapMB: performance.memory ? performance.memory.usedJSHeapSize / 1048576 : NaN,
      });
    }
    channel.port2.postMessage(0);
  });
}

async function main() {
  const counts = process.argv.slice(2).map(Number).filter((n) => n > 0);
  const browser = await launchBrowser();
  try {
    for (const count of counts.length ? counts : [10000, 100000]) {
      const ui = await openPage(browser);
      await ui.click('.nav[data-view="server"]');
      const r = await ui.page.evaluate(flood, count);
      await ui.close();
      console.log(`${String(count).padStart(7)} log events: all pushed after ${r.pushed.toFixed(0)} ms, `
        + `settled after ${r.settled.toFixed(0)} ms, ${r.entries} entries held, `
        + `${r.atBottom ? 'at the bottom' : 'NOT at the bottom'}, frames: longest ${r.longest.toFixed(0)} ms, `
        + `95 % within ${r.p95.toFixed(0)} ms, ${r.frames} in all, JS heap ${r.heapMB.toFixed(1)} MB`);
    }
  } finally {
    await browser.close();
  }
}

main().catch((err) => { console.error(err); process.exitCode = 1; });
