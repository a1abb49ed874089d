'use strict';
// The one retry loop: an asynchronous step tried again after a pause while its caller's policy
// says another attempt may succeed.
const timers = require('node:timers/promises');

// A pause that ends early, rejecting, when `signal` aborts; looked up at each call, so a test's
// mocked timers apply.
const pause = (ms, signal) => timers.setTimeout(ms, undefined, { signal });

/**
 * Calls async `fn` until it succeeds and resolves to its result; at most `tries` calls (at
 * least one). After failed call i (from 0) it waits `pauses(i)` milliseconds through
 * `sleep(ms, signal)`; it stops at once, rejecting with that failure, when `isRetryable(err)`
 * says no or `signal` has aborted, also during a pause. Otherwise rejects with the last failure.
 */
async function retry(fn, { tries, pauses, isRetryable = () => true, sleep = pause, signal } = {}) {
  const attempts = Math.max(1, tries);
  for (let i = 0; ; i += 1) {
    try {
      return await fn();
    } catch (err) {
      if (i >= attempts - 1 || !isRetryable(err) || (signal && signal.aborted)) throw err;
      await sleep(pauses(i), signal).catch(() => { throw err; });
    }
  }
}

module.exports = { retry };
