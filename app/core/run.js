'use strict';
// Console tools of the launcher (tar, PowerShell, tasklist, winget…): started hidden, their output
// collected as text, and a program that is missing or hangs is an answer, never an exception.
const { spawn } = require('node:child_process');

// PowerShell ends single-quoted text at the ASCII quote and at the typographic ones
// (U+2018 to U+201B) alike; a doubled quote of any of them stands for itself.
const PS_QUOTES = /['\u2018-\u201B]/g;

/** `text` made safe to stand between single quotes in a PowerShell command. */
function psQuoted(text) {
  return String(text).replace(PS_QUOTES, '$&$&');
}

/**
 * Runs `file` with `args` in a hidden window and resolves, never rejects, to
 * `{ code, stdout, stderr, error }`. `code` is null when the program could not start or was
 * stopped after `timeout` ms; `error` then says why. `input`, when given, is written to its
 * standard input.
 */
function run(file, args = [], { timeout = 0, cwd, env, input } = {}) {
  return new Promise((resolve) => {
    const out = [];
    const err = [];
    let timer = null;
    let settled = false;
    const finish = (code, error) => {
      if (settled) return;
      settled = true;
      clearTimeout(timer);
      resolve({
        code,
        stdout: Buffer.concat(out).toString('utf8'),
        stderr: Buffer.concat(err).toString('utf8'),
        error,
      });
    };
    let child;
    try {
      child = spawn(file, args, {
        cwd,
        env,
        windowsHide: true,
        stdio: [input === undefined ? 'ignore' : 'pipe', 'pipe', 'pipe'],
      });
    } catch (error) {
      finish(null, error);
      return;
    }
    child.stdout.on('data', (chunk) => out.push(chunk));
    child.stderr.on('data', (chunk) => err.push(chunk));
    child.on('error', (error) => finish(null, error));
    // A grandchild may hold the pipes open after the program itself has ended: its exit settles.
    child.on('exit', (code) => setImmediate(() => finish(code, null)));
    if (timeout > 0) {
      timer = setTimeout(() => {
        child.kill();
        finish(null, new Error(`${file}: ${timeout} ms içinde bitmedi`));
      }, timeout);
    }
    if (input !== undefined) {
      child.stdin.on('error', () => {}); // a program that ignores its input may close it early
      child.stdin.end(input);
    }
  });
}

module.exports = { run, psQuoted };
