#!/usr/bin/env node
// One stand-in for the console tools the launcher runs (tar, powershell.exe, tasklist…), linked
// under each tool's name. It appends { name, args, cwd } to the file QUORLIN_TOOL_LOG and answers
// as the JSON file QUORLIN_TOOL_PLAN says: { "<name>": plan or [plan1, plan2, …] }, successive
// calls taking successive plans, the last repeating; no plan answers 0 silently.
// plan: { code, stdout, stderr, delay (ms before answering), files ({ path: text } written first,
// executable as unpacked programs are), oem (stdout in code page 857, as Windows PowerShell writes
// piped output, unless the command switched the console to UTF-8 first) }.
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

fs.appendFileSync(logFile, `${JSON.stringify({ name, args, cwd: process.cwd() })}\n`);
for (const [file, text] of Object.entries(plan.files || {})) {
  fs.mkdirSync(path.dirname(path.resolve(file)), { recursive: true });
  fs.writeFileSync(file, text, { mode: 0o755 });
}
setTimeout(() => {
  const utf8 = args.some((a) => a.includes('[Console]::OutputEncoding=[Text.Encoding]::UTF8'));
  process.stdout.write(plan.oem && !utf8 ? oemBytes(plan.stdout || '') : plan.stdout || '');
  process.stderr.write(plan.stderr || '');
  process.exitCode = plan.code || 0;
}, plan.delay || 0);
