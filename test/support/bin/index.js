// Puts the tool stand-in (tool.js, which says how plans work) on a PATH of its own under each
// Windows tool's name: run('tasklist', [], { env: tools.env }) reaches it.
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const NAMES = ['tar', 'powershell.exe', 'cmd.exe', 'tasklist', 'taskkill', 'winget', 'msiexec.exe', 'explorer.exe'];

function standInTools() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'quorlin-tools-'));
  const [bin, planFile, logFile] = ['bin', 'plan.json', 'calls.log'].map((name) => path.join(dir, name));
  const tools = {
    bin,
    env: { PATH: [bin, path.dirname(process.execPath)].join(path.delimiter), QUORLIN_TOOL_PLAN: planFile, QUORLIN_TOOL_LOG: logFile },
    /** Scripts the next calls ({ name: plan or [plans] }); `missing` tools are not on the PATH. Forgets earlier calls. */
    plan(plans = {}, { missing = [] } = {}) {
      fs.rmSync(bin, { recursive: true, force: true });
      fs.mkdirSync(bin);
      for (const name of NAMES.filter((n) => !missing.includes(n))) fs.symlinkSync(path.join(__dirname, 'tool.js'), path.join(bin, name));
      fs.writeFileSync(planFile, JSON.stringify(plans));
      fs.rmSync(logFile, { force: true });
    },
    /** The recorded calls [{ name, args, cwd, env }], of one tool when `name` is given. */
    calls: (name) => (fs.existsSync(logFile) ? fs.readFileSync(logFile, 'utf8').split('\n').filter(Boolean) : [])
      .map((l) => JSON.parse(l)).filter((c) => !name || c.name === name),
    remove: () => fs.rmSync(dir, { recursive: true, force: true }),
  };
  tools.plan();
  return tools;
}

module.exports = { standInTools };
