'use strict';
// Lays out a release's update files and writes their signed manifest (`make release` runs it):
//   node tools/release/manifest.js --key PRIVATE.pem --url BASE --app-dir APP --package APP.zip \
//     --mod MOD.jar OUT_DIR
// OUT_DIR receives app-<launcher version>.zip, brimlox-<mod version>.jar (the versions the
// application's core/layout.js gives) and manifest.json: both entries with the files' address
// under BASE and their SHA-256, and `sig`, the Ed25519 signature in base64 of the text that the
// application's update/signature.js makes of them and checks, so the signature never depends
// on how JSON is written.
const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');
const { parseArgs } = require('node:util');

function fail(message) {
  console.error(`manifest.js: ${message}`);
  process.exit(1);
}

function main() {
  const { values, positionals } = parseArgs({
    options: {
      key: { type: 'string' }, url: { type: 'string' }, 'app-dir': { type: 'string' },
      package: { type: 'string' }, mod: { type: 'string' },
    },
    allowPositionals: true,
  });
  const missing = ['key', 'url', 'app-dir', 'package', 'mod'].filter((name) => !values[name]);
  if (missing.length || positionals.length !== 1) fail(`usage: see the top of ${__filename}; missing: ${missing.join(', ') || 'OUT_DIR'}`);
  const [outDir] = positionals;

  let key;
  try {
    key = crypto.createPrivateKey(fs.readFileSync(values.key));
  } catch (err) {
    fail(`cannot read the private key ${values.key}: ${err.message}`);
  }
  if (key.asymmetricKeyType !== 'ed25519') fail(`${values.key} is not an Ed25519 private key (openssl genpkey -algorithm ed25519)`);
  const base = values.url.replace(/\/+$/, '');
  if (!/^https:\/\/[^/]/.test(base)) fail(`the release address must be an https address: ${values.url}`);

  const appDir = path.resolve(values['app-dir']);
  const { APP_VERSION, MOD_VERSION } = require(path.join(appDir, 'core', 'layout.js'));
  const { signedText } = require(path.join(appDir, 'update', 'signature.js'));
  fs.mkdirSync(outDir, { recursive: true });
  const publish = (from, name, version) => {
    const data = fs.readFileSync(from);
    fs.writeFileSync(path.join(outDir, name), data);
    return { version, url: `${base}/${encodeURIComponent(name)}`, sha256: crypto.createHash('sha256').update(data).digest('hex') };
  };
  const man = {
    launcher: publish(values.package, `app-${APP_VERSION}.zip`, APP_VERSION),
    mod: publish(values.mod, `brimlox-${MOD_VERSION}.jar`, MOD_VERSION),
  };
  const text = signedText(man);
  if (text === null) fail(`a value holds a line break and cannot be signed: ${JSON.stringify(man)}`);
  man.sig = crypto.sign(null, Buffer.from(text, 'utf8'), key).toString('base64');
  fs.writeFileSync(path.join(outDir, 'manifest.json'), `${JSON.stringify(man, null, 2)}\n`);
}

main();
