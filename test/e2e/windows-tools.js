#!/usr/bin/env node
'use strict';
// The Windows tools that unpack and start things for the launcher (tar, powershell.exe,
// cmd.exe), linked under their names on the search path of the end-to-end run. Every call is
// recorded in QUORLIN_TOOL_LOG as the shared tool stand-in records it ({ name, args, cwd }),
// with the QUORLIN_UPDATE_* variables it was given. An archive named by `tar -xf A -C D` or by
// `Expand-Archive -LiteralPath 'A' -DestinationPath 'D'` is really unpacked, its files
// executable as every file is on Windows; any other command does nothing and answers 0.
const fs = require('node:fs');
const path = require('node:path');
const { readZip } = require('../../boot/tests/wine/lib/zip');

const name = path.basename(process.argv[1]);
const args = process.argv.slice(2);

function unpackTarget() {
  const x = args.indexOf('-xf');
  if (x >= 0) return [args[x + 1], args[args.indexOf('-C') + 1]];
  const quoted = "'((?:[^']|'')*)'";
  const m = new RegExp(`Expand-Archive -LiteralPath ${quoted} -DestinationPath ${quoted}`).exec(args.join(' '));
  return m && [m[1], m[2]].map((p) => p.replace(/''/g, "'"));
}

const env = Object.fromEntries(Object.entries(process.env).filter(([k]) => k.startsWith('QUORLIN_UPDATE_')));
fs.appendFileSync(process.env.QUORLIN_TOOL_LOG, `${JSON.stringify({ name, args, cwd: process.cwd(), env })}\n`);
const [zip, dir] = unpackTarget() || [];
if (zip) {
  for (const { name: entry, data } of readZip(fs.readFileSync(zip))) {
    const out = path.join(dir, entry);
    fs.mkdirSync(entry.endsWith('/') ? out : path.dirname(out), { recursive: true });
    if (!entry.endsWith('/')) fs.writeFileSync(out, data, { mode: 0o755 });
  }
}
