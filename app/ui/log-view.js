'use strict';
// The Server view's console. Lines are collected and put into it once per frame, so a flood
// of server output costs one layout per frame instead of one per line. Lines that would be
// trimmed before they are ever shown are dropped while they wait, which keeps the waiting
// list bounded.

/**
 * The console over the element `log`: `append(text)` shows one log event, `alertLine(text)`
 * a failure of the page's own.
 */
function createLogView(log) {
  const LOG_LIMIT = 1500;        // entries kept in the console
  const STICK_DISTANCE = 30;     // px from the bottom that still counts as "at the bottom"

  const queue = [];              // { text, cls, follow } waiting for the next frame
  let dropShown = 0;             // shown entries the next frame removes from the top
  let flushPending = false;
  // Whether the console follows new lines. Only the reader's scrolling changes it: while the
  // Server view is hidden the console has no layout, so its scroll position says nothing.
  let stuck = true;

  function lineClass(text) {
    if (/ERROR|HATA|Exception/.test(text)) return 'err';
    if (/Done \(|Quorlin/.test(text)) return 'ok';
    return '';
  }

  function queueLine(entry) {
    queue.push(entry);
    if (entry.follow) {
      const shown = log.childElementCount;
      let excess = shown - dropShown + queue.length - LOG_LIMIT;
      if (excess > 0) {
        const fromShown = Math.min(excess, shown - dropShown);
        dropShown += fromShown;
        excess -= fromShown;
      }
      if (excess > 0) queue.splice(0, excess);
    }
    if (!flushPending) {
      flushPending = true;
      requestAnimationFrame(flush);
    }
  }

  function flush() {
    flushPending = false;
    // trimmed lines are reused for the new ones: a flood then allocates almost nothing
    const spare = [];
    for (; dropShown > 0; dropShown--) spare.push(log.removeChild(log.firstElementChild));
    const lines = document.createDocumentFragment();
    let follow = false;
    for (const { text, cls, follow: f } of queue) {
      const line = spare.pop() || document.createElement('span');
      line.className = cls;
      line.textContent = text + '\n';
      lines.appendChild(line);
      follow = follow || f;
    }
    queue.length = 0;
    log.appendChild(lines);
    if (stuck && follow) log.scrollTop = log.scrollHeight;
  }

  function onScroll() {
    if (log.clientHeight === 0) return;
    stuck = log.scrollTop + log.clientHeight >= log.scrollHeight - STICK_DISTANCE;
  }

  // The console gets its size when the Server view opens and whenever the window is resized;
  // a console that follows its lines then shows the newest ones.
  function onResize() {
    if (stuck && log.clientHeight > 0) log.scrollTop = log.scrollHeight;
  }

  function append(text) {
    const line = String(text);
    queueLine({ text: line, cls: lineClass(line), follow: true });
  }

  // A failure of the page's own server start: kept without trimming and without scrolling.
  function alertLine(text) {
    queueLine({ text: '[Quorlin] ' + text, cls: 'err', follow: false });
  }

  log.addEventListener('scroll', onScroll);
  new ResizeObserver(onResize).observe(log);
  return { append, alertLine };
}
