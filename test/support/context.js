'use strict';
// The launcher's context for a unit test: the real one over a temporary APPDATA, its messenger
// replaced by recorders.
const path = require('node:path');
const { createContext } = require('../../app/core/context');

const APP_DIR = path.resolve(__dirname, '..', '..', 'app');

// The PC a unit test runs on has 16 GB, whatever the machine has: the memory settings start as DEFAULTS.
const TOTAL_MEMORY = 16 * 1024 ** 3;

/**
 * `createContext` on a 16 GB PC with APPDATA and the home folder `dir`, `env` laid over,
 * `settings` laid over the loaded ones and any other field (`auth`, …) set as given. What is sent to the page lands
 * in `ctx.sent` as [channel, data] (progress as ['progress', { step, label, pct }]) and every
 * log line in `ctx.lines`.
 */
function testContext({ dir, env = {}, settings = {}, appDir = APP_DIR, ...fields }) {
  const ctx = createContext({ env: { APPDATA: dir, ...env }, home: dir, appDir, totalMemory: TOTAL_MEMORY });
  Object.assign(ctx.settings, settings);
  const sent = [];
  const lines = [];
  return Object.assign(ctx, {
    sent,
    lines,
    send: (channel, data) => { sent.push([channel, data]); },
    progress: (step, label, pct) => { sent.push(['progress', { step, label, pct }]); },
    log: (line) => { lines.push(line); },
  }, fields);
}

module.exports = { testContext, APP_DIR };
