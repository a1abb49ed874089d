'use strict';
// Why the game or the server ended: what its Java run left in its working folder (the crash
// report written during the run, the end of logs\latest.log, a JVM's hs_err file) and its last
// console lines, matched against the known causes and told in one Turkish sentence with what
// to do.
const path = require('node:path');
const { readBounded, filesSince } = require('./read');

const REPORT_BYTES = 256 * 1024; // a crash report's cause is at its top
const HS_ERR_BYTES = 64 * 1024; // so is a JVM's: the reason and the problematic frame
const LOG_TAIL_BYTES = 64 * 1024; // the end of latest.log, where a run that died stopped
const CLOCK_SLACK_MS = 2000; // some drives keep file times to two seconds only
const CRASH_REPORT = /^crash-.*\.txt$/;
const HS_ERR = /^hs_err_pid\d+\.log$/;

const SIDES = {
  game: { who: 'Oyun', memory: 'oyun belleği' },
  server: { who: 'Sunucu', memory: 'sunucu belleği' },
};

const RESTART = "Quorlin'i yeniden başlatıp tekrar dene";
const ASK = "sürerse Ayarlar'daki Tanılama paketini bize gönder";
const DOTLESS = /ı|İ|\\u0131|\\u0130/;
// The libraries of the graphics drivers, of OpenGL and of the game's window, as a JVM names the frame it died in
const GRAPHICS_FRAME = /Problematic frame:\s*#\s*C\s+\[((?:atio|atig|amdx|nvogl|nvwgf|ig\w*icd|igxel|opengl32|lwjgl|glfw)\w*\.dll)/i;
const GRAPHICS_LINE = /Failed to create the GLFW window|WGL: The driver does not appear to support OpenGL|Pixel format not accelerated|GLFW error 6554[23]/;
const DAMAGED = /Invalid or corrupt jarfile|ZipException|zip END header not found|invalid LOC header|error in opening zip file|zip file is empty|Unexpected end of ZLIB input stream|Could not find or load main class|Truncated class file|Incompatible magic value/;
const UNMET = /Mod '([^']+)' \([^)]*\) \S+ (?:requires|is incompatible with|conflicts with) .*? of (?:mod )?(?:'([^']+)'|([\w.-]+))/;

const fileName = (text) => path.win32.basename(text.trim());

// The last jar named on the line of `match` or on the two lines before it, where the file that
// failed to open is named before the exception.
function jarNear(text, match) {
  let start = match.index;
  for (let n = 0; n < 3 && start > 0; n++) start = text.lastIndexOf('\n', start - 1);
  const end = text.indexOf('\n', match.index);
  const near = text.slice(start + 1, end < 0 ? text.length : end);
  return [...near.matchAll(/([^\s'"()[\]]+\.jar)\b/g)].at(-1)?.[1];
}

/**
 * The known causes, the most telling first. `test` gets the evidence as one text and answers an
 * array of details (empty when there are none), or null; `say(details, words)` is the sentence,
 * `words` naming the side. `sides` limits a cause to the game's or the server's runs.
 */
const RULES = [
  {
    kind: 'missing-file',
    test: (t) => /Unable to access jarfile (.+)/.exec(t) || /spawn (.+?) ENOENT/.exec(t),
    say: ([, file]) => `${fileName(file)} bulunamadı; virüs programı silmiş olabilir. Quorlin klasörüne virüs programında izin verip tekrar dene.`,
  },
  {
    kind: 'port-taken',
    sides: ['server'],
    test: (t) => /FAILED TO BIND TO PORT|BindException|Address already in use/.exec(t),
    say: () => '25565 portunu başka bir program kullanıyor. Açık kalan başka bir Minecraft sunucusunu kapatıp tekrar dene.',
  },
  {
    kind: 'world-locked',
    sides: ['server'],
    test: (t) => /already locked \(possibly by other Minecraft instance\?\)|DirectoryLock\$LockException|Failed to acquire directory lock/.exec(t),
    say: () => 'Dünya başka bir sunucuda açık. Açık kalan Minecraft sunucusunu kapatıp tekrar dene.',
  },
  {
    kind: 'java-too-old',
    // class file version 69 is Java 25: the version less 44
    test: (t) => (/UnsupportedClassVersionError/.test(t) ? [null, /class file version (\d+)/.exec(t)?.[1]] : null),
    say: ([, version]) => `Java sürümü eski${version ? `: bu dosyalar Java ${Number(version) - 44} istiyor` : ''}. ${RESTART}.`,
  },
  {
    kind: 'turkish-locale',
    test: (t) => {
      const line = t.split('\n').find((l) => DOTLESS.test(l) && /character in (?:path|namespace) of location|No enum constant|IllegalArgumentException/.test(l));
      return line === undefined ? null : [null, /of location: ([^\s:]*):/.exec(line)?.[1]];
    },
    say: ([, mod]) => `Türkçe "ı" harfi ${mod ? `${mod} modunu` : 'bir modu'} bozdu. ${RESTART}; ${ASK}.`,
  },
  {
    kind: 'damaged-file',
    test: (t) => {
      const m = DAMAGED.exec(t);
      return m && [null, jarNear(t, m)];
    },
    say: ([, jar]) => `Bozuk bir dosya var${jar ? ` (${fileName(jar)})` : ''}. Ayarlar'dan "Dosyaları onar" ile onarıp tekrar dene.`,
  },
  {
    kind: 'mod-resolution',
    test: (t) => (/incompatible mod set|Some of your mods are incompatible/.test(t) ? UNMET.exec(t) || [] : null),
    say: ([, mod, dep, depId]) => (mod
      ? `Mod uyumsuzluğu: ${mod} için ${dep || depId} eksik ya da uyumsuz. ${RESTART}.`
      : `Mod uyumsuzluğu: Fabric modları birlikte yükleyemedi. ${RESTART}.`),
  },
  {
    kind: 'system-memory',
    test: (t) => /insufficient memory for the Java Runtime Environment|Could not reserve enough space for|Native memory allocation \(\w+\) failed|unable to create native thread/.exec(t),
    say: (_, side) => `Bilgisayarda yeterli boş bellek yok. Açık programları kapat ya da Ayarlar'dan ${side.memory}ni azaltıp tekrar dene.`,
  },
  {
    kind: 'out-of-memory',
    test: (t) => /OutOfMemoryError/.exec(t),
    say: (_, side) => `${side.who} belleği yetmedi. Ayarlar'dan ${side.memory}ni artırıp tekrar dene.`,
  },
  {
    kind: 'graphics',
    sides: ['game'],
    test: (t) => GRAPHICS_FRAME.exec(t) || GRAPHICS_LINE.exec(t),
    say: () => 'Ekran kartı sürücüsü oyunu açamadı. Ekran kartı sürücüsünü güncelleyip tekrar dene.',
  },
  {
    kind: 'mod-failed',
    test: (t) => /Could not execute entrypoint stage '\w+' due to errors, provided by '([^']+)'/.exec(t) || /Mixin apply for mod (\S+) failed/.exec(t),
    say: ([, mod]) => `${mod} modu açılırken hata verdi. ${RESTART}; ${ASK}.`,
  },
];

// What the run left in `dir` since `since`: [the crash report, the hs_err file, latest.log], each
// { file, text } or null.
async function leftBehind(dir, since) {
  const [report] = await filesSince(path.join(dir, 'crash-reports'), CRASH_REPORT, since);
  const [hsErr] = await filesSince(dir, HS_ERR, since);
  const [log] = await filesSince(path.join(dir, 'logs'), /^latest\.log$/, since);
  const read = async (found, max, options) => {
    if (!found) return null;
    const text = await readBounded(found.file, max, options);
    return text === null ? null : { file: found.file, text };
  };
  return Promise.all([read(report, REPORT_BYTES), read(hsErr, HS_ERR_BYTES), read(log, LOG_TAIL_BYTES, { fromEnd: true })]);
}

/**
 * Why a run of the game (`side` 'game') or the server ('server') ended, told for the log and
 * the page. `dir` is its working folder, `since` the run's start (ms since 1970), `code` its
 * exit code (null when there is none), `output` its last console lines and `error` the error
 * of a program that could not be started. Resolves to { kind, text, report }: `kind` names the
 * cause ('unknown' when none fits), `text` is the Turkish sentence with the report's path, and
 * `report` the file that tells most (the crash report, the JVM's hs_err file or latest.log of
 * this run), or null. Never rejects.
 */
async function explainCrash({ dir, since, code = null, side = 'game', output = [], error = null }) {
  const [crashReport, hsErr, log] = await leftBehind(dir, since - CLOCK_SLACK_MS);
  const reports = [crashReport, hsErr].filter(Boolean).map((f) => f.text).join('\n');
  const everything = [reports, log?.text ?? '', ...output, error ? String(error.message || error) : ''].join('\n');
  const report = (crashReport || hsErr || log)?.file ?? null;
  const words = SIDES[side] || SIDES.game;
  // what a crash report or the JVM states wins over a warning earlier in the log
  for (const evidence of [reports, everything]) {
    for (const rule of RULES) {
      if (rule.sides && !rule.sides.includes(side)) continue;
      const details = evidence && rule.test(evidence);
      if (details) return { kind: rule.kind, text: `${rule.say(details, words)}${report ? ` Rapor: ${report}` : ''}`, report };
    }
  }
  const where = report ? `Ayrıntılar: ${report}` : 'Ayrıntılar kayıtlarda.';
  return { kind: 'unknown', text: `${words.who} beklenmedik şekilde kapandı (çıkış kodu ${code ?? 'yok'}). ${where}`, report };
}

/** Keeps the last `max` lines given to `push`; `lines()` lists them, oldest first. */
function lineTail(max = 100) {
  const kept = [];
  return {
    push(line) {
      kept.push(line);
      if (kept.length > max) kept.shift();
    },
    lines: () => [...kept],
  };
}

module.exports = { explainCrash, lineTail };
