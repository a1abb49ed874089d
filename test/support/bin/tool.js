#!/usr/bin/env node
// One stand-in for the Windows tools the launcher runs (tar, powershell.exe, tasklist, cmd.exe…),
// linked under each tool's name. It appends { name, args, cwd, env } to the file QUORLIN_TOOL_LOG,
// env holding the QUORLIN_UPDATE_* variables it was given, and answers as the JSON file
// QUORLIN_TOOL_PLAN says: { "<name>": plan or [plan1, plan2, …] }, successive calls taking
// successive plans, the last repeating; no plan answers 0 silently.
// plan: { code, stdout, stderr, delay (ms before answering), files ({ path: text } written first,
// executable as unpacked programs are), unpack (really unpacks the archive named by `tar -xf A -C D`
// or `Expand-Archive -LiteralPath 'A' -DestinationPath 'D'` with the host's unzip, every file
// executable as on Windows), oem (stdout in code page 857, as Windows PowerShell writes piped
// output, unless the command switched the console to UTF-8 first) }.
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');

const name = path.basename(process.argv[1]);
const args = process.argv.slice(2);
const { QUORLIN_TOOL_LOG: logFile, QUORLIN_TOOL_PLAN: planFile } = process.env;

// Turkish letters and a few others in code page 857; ASCII stays as it is.
const CP857 = { ç: 0x87, ü: 0x81, é: 0xe9, ö: 0x94, ğ: 0xa7, ı: 0x8d, ş: 0x9f, Ç: 0x80, Ü: 0x9a, Ö: 0x99, Ğ: 0xa6, İ: 0x98, Ş: 0x9e };
const oemBytes = (text) => Buffer.from([...text].map((c) => CP857[c] ?? (c.charCodeAt(0) < 0x80 ? c.charCodeAt(0) : 0x3f)));

const earlierCalls = () => (fs.existsSync(logFile) ? fs.readFileSync(logFile, 'utf8').split('\n')
  .filter((l) => l && JSON.parse(l).name === name).length : 0);
const plans = JSON.parse(fs.readFileSync(planFile, 'utf8'))[name] || {};
const plan = (Array.isArray(plans) ? plans[Math.min(earlierCalls(), plans.length - 1)] : plans) || {};

const env = Object.fromEntries(Object.entries(process.env).filter(([k]) => k.startsWith('QUORLIN_UPDATE_')));
fs.appendFileSync(logFile, `${JSON.stringify({ name, args, cwd: process.cwd(), env })}\n`);
for (const [file, text] of Object.entries(plan.files || {})) {
  fs.mkdirSync(path.dirname(path.resolve(file)), { recursive: true });
  fs.writeFileSync(file, text, { mode: 0o755 });
}
if (plan.unpack) {
  const x = args.indexOf('-xf');
  const quoted = "'((?:[^']|'')*)'";
  const [zip, dir] = x >= 0 ? [args[x + 1], args[args.indexOf('-C') + 1]]
    : new RegExp(`Expand-Archive -LiteralPath ${quoted} -DestinationPath ${quoted}`).exec(args.join(' ')).slice(1).map((p) => p.replace(/''/g, "'"));
  fs.mkdirSync(dir, { recursive: true });
  execFileSync('unzip', ['-qo', zip, '-d', dir]);
  for (const entry of execFileSync('unzip', ['-Z1', zip], { encoding: 'utf8' }).split('\n')) {
    if (entry && !entry.endsWith('/')) fs.chmodSync(path.join(dir, entry), 0o755);
  }
}
setTimeout(() => {
  const utf8 = args.some((a) => a.includes('[Console]::OutputEncoding=[Text.Encoding]::UTF8'));
  process.stdout.write(plan.oem && !utf8 ? oemBytes(plan.stdout || '') : plan.stdout || '');
  process.stderr.write(plan.stderr || '');
  process.exitCode = plan.code || 0;
}, plan.delay || 0);
