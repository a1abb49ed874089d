// Puts the tool stand-in (tool.js) on a PATH of its own under each Windows tool's name.
//
//   const tools = standInTools();
//   tools.plan({ tasklist: { stdout: '…' } }, { missing: ['winget'] })   scripts the next calls
//   run('tasklist', [], { env: tools.env })                              PATH: the stand-ins, node
//   tools.calls('tasklist')                                              [{ name, args, cwd }, …]
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const TOOL = path.join(__dirname, 'tool.js');
const NAMES = ['tar', 'powershell.exe', 'tasklist', 'taskkill', 'winget', 'msiexec.exe', 'explorer.exe'];

function standInTools() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-tools-'));
  const bin = path.join(dir, 'bin');
  const planFile = path.join(dir, 'plan.json');
  const logFile = path.join(dir, 'calls.log');
  const env = {
    PATH: [bin, path.dirname(process.execPath)].join(path.delimiter),
    QUORLIN_TOOL_PLAN: planFile,
    QUORLIN_TOOL_LOG: logFile,
  };
  const tools = {
    bin,
    env,
    /** Plans per tool name (see tool.js); the names in `missing` are not on the PATH. Forgets earlier calls. */
    plan(plans = {}, { missing = [] } = {}) {
      fs.rmSync(bin, { recursive: true, force: true });
      fs.mkdirSync(bin);
      for (const name of NAMES.filter((n) => !missing.includes(n))) fs.symlinkSync(TOOL, path.join(bin, name));
      fs.writeFileSync(planFile, JSON.stringify(plans));
      fs.rmSync(logFile, { force: true });
    },
    /** The recorded calls, of one tool when `name` is given. */
    calls(name) {
      if (!fs.existsSync(logFile)) return [];
      const calls = fs.readFileSync(logFile, 'utf8').split('\n').filter(Boolean).map((l) => JSON.parse(l));
      return name ? calls.filter((c) => c.name === name) : calls;
    },
    remove() {
      fs.rmSync(dir, { recursive: true, force: true });
    },
  };
  tools.plan();
  return tools;
}

module.exports = { standInTools };
