'use strict';
// The launcher page's behaviour. Everything outside the page is reached through
// window.quorlin; the server, the account and the settings live in the main process.

const bridge = window.quorlin;
const $ = (id) => document.getElementById(id);

// The preparation steps in play order; each fills one sixth of the overall bar.
const ORDER = ['java', 'fabric', 'mods', 'profile', 'server', 'launch'];
const LOG_LIMIT = 1500;        // entries kept in the console
const STICK_DISTANCE = 30;     // px from the bottom that still counts as "at the bottom"
const FLASH_MS = 2500;         // how long the application id card stays highlighted

let account = null;
let stepIndex = 0;

const LAUNCHER_READY = '<strong>Hazır.</strong> Minecraft Launcher açıldı — <b>Quorlin • Brimlox</b> profili seçili, sadece <b>Oyna</b>\'ya bas. Oyun doğrudan sunucuya bağlanır.';

function escapeHtml(text) {
  return String(text).replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' })[c]);
}

// Electron words a failed handler as "Error invoking remote method 'play': Error: <message>";
// only the message, written by the main process for the user, is shown.
const REMOTE_PREFIX = /^Error invoking remote method '[^']*': (?:\w*Error: )?/;

// Every rejected request ends here: one that should answer with { ok } (a failed handler,
// no handler, a broken channel) is shown like any other failure instead of leaving the
// page stuck.
function asFailure(err) {
  const message = (err && err.message) || String(err);
  return { ok: false, error: message.replace(REMOTE_PREFIX, '') };
}

function reportRejection(err) {
  alertLine(asFailure(err).error);
}

// ---- hero drawing ----

const HEIGHTS = [
  [3, 3, 3, 2, 3, 3],
  [3, 2, 3, 3, 2, 1],
  [2, 3, 3, 1, 0, 2],
  [3, 3, 2, 2, 1, 0],
  [2, 1, 2, 1, 0, 0],
  [1, 1, 0, 0, 0, 0],
];
const TINTS = ['#fe2c55', '#25f4ee', '#ffc23d', '#b48cff', '#7cff9b'];
const CYAN = '37,244,238';

function project(x, y, z) {
  return [280 + (x - y) * 26, 150 + (x + y) * 13 - z * 26];
}

function points(corners) {
  return corners.map((c) => project(...c).map((v) => +v.toFixed(2)).join(',')).join(' ');
}

function poly(corners, attrs) {
  return `<polygon points="${points(corners)}" ${attrs}/>`;
}

// The three visible faces of the unit cube at (x, y, z), or a horizontal band of its
// side faces between the heights lo and hi.
function sideY(x, y, z, lo = 0, hi = 1) {
  return [[x, y + 1, z + lo], [x + 1, y + 1, z + lo], [x + 1, y + 1, z + hi], [x, y + 1, z + hi]];
}
function sideX(x, y, z, lo = 0, hi = 1) {
  return [[x + 1, y, z + lo], [x + 1, y + 1, z + lo], [x + 1, y + 1, z + hi], [x + 1, y, z + hi]];
}
function topFace(x, y, z) {
  return [[x, y, z + 1], [x + 1, y, z + 1], [x + 1, y + 1, z + 1], [x, y + 1, z + 1]];
}

function wall(corners, fill, outline) {
  return poly(corners, `fill="rgba(${CYAN},${fill})" stroke="rgba(${CYAN},${outline})" stroke-width="1"`);
}

function buildArt() {
  const parts = [];
  parts.push(wall([[0, 0, 0], [6, 0, 0], [6, 6, 0], [0, 6, 0]], 0.06, 0.35));
  for (let i = 1; i <= 5; i++) {
    for (const [a, b] of [[[i, 0, 0], [i, 6, 0]], [[0, i, 0], [6, i, 0]]]) {
      const [x1, y1] = project(...a);
      const [x2, y2] = project(...b);
      parts.push(`<line x1="${x1}" y1="${y1}" x2="${x2}" y2="${y2}" stroke="rgba(${CYAN},0.12)" stroke-width="1"/>`);
    }
  }
  parts.push(wall([[0, 0, 0], [6, 0, 0], [6, 0, 3], [0, 0, 3]], 0.04, 0.28));
  parts.push(wall([[0, 0, 0], [0, 6, 0], [0, 6, 3], [0, 0, 3]], 0.04, 0.28));

  for (let x = 0; x < 6; x++) {
    for (let y = 0; y < 6; y++) {
      const h = HEIGHTS[x][y];
      for (let z = 0; z < h; z++) {
        parts.push(poly(sideY(x, y, z), 'fill="#2b2e3a"'));
        parts.push(poly(sideX(x, y, z), 'fill="#353948"'));
        parts.push(poly(topFace(x, y, z), 'fill="#3f4456"'));
      }
      if (h > 0) {
        // a viewer's picture: the column's top face, each corner 28 % of the way to its centre
        const tile = topFace(x, y, h - 1).map(([cx, cy, cz]) => [cx + (x + 0.5 - cx) * 0.28, cy + (y + 0.5 - cy) * 0.28, cz]);
        parts.push(poly(tile, `fill="${TINTS[(x * 7 + y * 3) % 5]}" fill-opacity="0.85"`));
      }
    }
  }

  parts.push(wall([[6, 0, 0], [6, 6, 0], [6, 6, 3], [6, 0, 3]], 0.05, 0.4));
  parts.push(wall([[0, 6, 0], [6, 6, 0], [6, 6, 3], [0, 6, 3]], 0.05, 0.4));

  const [tx, ty, tz] = [3.6, 4.2, 5.2];
  const [fx, fy] = project(tx + 0.5, ty + 0.5, tz + 1).map((v) => +v.toFixed(2));
  const tnt = [
    poly(sideY(tx, ty, tz), 'fill="#b8183a"'),
    poly(sideX(tx, ty, tz), 'fill="#d61f45"'),
    poly(topFace(tx, ty, tz), 'fill="#ff4d70"'),
    poly(sideY(tx, ty, tz, 0.38, 0.62), 'fill="#f3f3f6"'),
    poly(sideX(tx, ty, tz, 0.38, 0.62), 'fill="#dcdce2"'),
    `<path d="M${fx} ${fy} Q${fx + 6} ${fy - 16} ${fx + 14} ${fy - 22}" fill="none" stroke="#e9eaf0" stroke-width="2.5" stroke-linecap="round"/>`,
    `<circle cx="${fx + 14}" cy="${fy - 22}" r="4" fill="#25f4ee"/>`,
  ];
  parts.push(`<g class="tnt">${tnt.join('')}</g>`);

  const style = '<style>.tnt{animation:tnt-bob 2.8s ease-in-out infinite}'
    + '@keyframes tnt-bob{0%,100%{transform:translateY(-6px)}50%{transform:translateY(6px)}}</style>';
  return `<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 560 440" width="560" height="440">${style}${parts.join('')}</svg>`;
}

// ---- progress, server and game ----

function setProgress(label, fraction) {
  const percent = Math.round(fraction * 100);
  $('stText').textContent = label;
  $('stPct').textContent = percent + '%';
  $('bar').style.width = percent + '%';
}

function onProgress(report) {
  const { step, label, pct } = report || {};
  const index = ORDER.indexOf(step);
  if (index >= 0) stepIndex = index;
  const fraction = typeof pct === 'number' && !Number.isNaN(pct) ? Math.min(1, Math.max(0, pct)) : 0;
  setProgress(label, (stepIndex + fraction) / ORDER.length);
}

const SERVER_LOOKS = {
  running: { pill: 'Çalışıyor', cls: 'run', sub: 'Sunucu çalışıyor • localhost' },
  starting: { pill: 'Açılıyor…', cls: 'start', sub: 'Sunucu açılıyor…' },
};
const SERVER_STOPPED = { pill: 'Kapalı', cls: '', sub: 'Sunucu kapalı' };

function serverUi(state) {
  const look = Object.hasOwn(SERVER_LOOKS, state) ? SERVER_LOOKS[state] : SERVER_STOPPED;
  const pill = $('srvPill');
  pill.textContent = look.pill;
  pill.className = look.cls ? 'pill ' + look.cls : 'pill';
  $('railDot').className = look.cls ? 'dot ' + look.cls : 'dot';
  $('stSub').textContent = look.sub;
}

function onServer(event) {
  const { state, joined } = event || {};
  serverUi(state);
  if (joined) $('stSub').textContent = joined + ' sunucuya girdi • iyi yayınlar!';
}

function onGame(event) {
  $('stSub').textContent = event && event.running ? 'Oyun açık • sunucu çalışıyor' : 'Oyun kapandı';
}

// ---- console log ----
// Lines are collected and put into the console once per frame, so a flood of server output
// costs one layout per frame instead of one per line. Lines that would be trimmed before
// they are ever shown are dropped while they wait, which keeps the waiting list bounded.

const logQueue = [];           // { text, cls, follow } waiting for the next frame
let logDropShown = 0;          // shown entries the next frame removes from the top
let logFlushPending = false;
// Whether the console follows new lines. Only the reader's scrolling changes it: while the
// Server view is hidden the console has no layout, so its scroll position says nothing.
let logStuck = true;

function logClass(text) {
  if (/ERROR|HATA|Exception/.test(text)) return 'err';
  if (/Done \(|Quorlin/.test(text)) return 'ok';
  return '';
}

function queueLine(entry) {
  logQueue.push(entry);
  if (entry.follow) {
    const shown = $('log').childElementCount;
    let excess = shown - logDropShown + logQueue.length - LOG_LIMIT;
    if (excess > 0) {
      const fromShown = Math.min(excess, shown - logDropShown);
      logDropShown += fromShown;
      excess -= fromShown;
    }
    if (excess > 0) logQueue.splice(0, excess);
  }
  if (!logFlushPending) {
    logFlushPending = true;
    requestAnimationFrame(flushLog);
  }
}

function flushLog() {
  logFlushPending = false;
  const log = $('log');
  // trimmed lines are reused for the new ones: a flood then allocates almost nothing
  const spare = [];
  for (; logDropShown > 0; logDropShown--) spare.push(log.removeChild(log.firstElementChild));
  const lines = document.createDocumentFragment();
  let follow = false;
  for (const { text, cls, follow: f } of logQueue) {
    const line = spare.pop() || document.createElement('span');
    line.className = cls;
    line.textContent = text + '\n';
    lines.appendChild(line);
    follow = follow || f;
  }
  logQueue.length = 0;
  log.appendChild(lines);
  if (logStuck && follow) log.scrollTop = log.scrollHeight;
}

function onLogScroll() {
  const log = $('log');
  if (log.clientHeight === 0) return;
  logStuck = log.scrollTop + log.clientHeight >= log.scrollHeight - STICK_DISTANCE;
}

// The console gets its size when the Server view opens and whenever the window is resized;
// a console that follows its lines then shows the newest ones.
function onLogResize() {
  const log = $('log');
  if (logStuck && log.clientHeight > 0) log.scrollTop = log.scrollHeight;
}

function onLog(text) {
  const line = String(text);
  queueLine({ text: line, cls: logClass(line), follow: true });
}

// A failure of the page's own server start: kept without trimming and without scrolling.
function alertLine(text) {
  queueLine({ text: '[Quorlin] ' + text, cls: 'err', follow: false });
}

// ---- notice ----

function showNotice(html, isError) {
  const notice = $('notice');
  notice.className = isError ? 'notice err' : 'notice';
  notice.children[1].innerHTML = html;
}

function openLauncher() {
  bridge.open('launcher').catch(reportRejection);
}

let reopenAction = openLauncher;

function setReopen(text, action) {
  const reopen = $('reopen');
  reopen.textContent = text;
  reopen.classList.remove('hidden');
  reopenAction = action;
}

async function pickLauncherFile() {
  const picked = await bridge.pickLauncher().catch((err) => { reportRejection(err); return false; });
  if (picked === true) {
    showNotice('<strong>Hazır.</strong> Minecraft Launcher açıldı — <b>Quorlin • Brimlox</b> seçili, Oyna\'ya bas.', false);
  }
}

// ---- play ----

function showPlayResult(result) {
  const bar = $('bar');
  if (result.ok && result.how === 'direct') {
    setProgress('Oyun açılıyor — doğrudan sunucuya bağlanacaksın', 1);
    bar.classList.add('done');
    showNotice('<strong>Oyun açılıyor.</strong> Minecraft birkaç saniye içinde açılır ve Brimlox sunucusuna otomatik girer.', false);
    $('reopen').classList.add('hidden');
  } else if (result.ok && result.how) {
    setProgress('Hazır — Minecraft Launcher açıldı', 1);
    bar.classList.add('done');
    showNotice(LAUNCHER_READY, false);
    setReopen('Launcher\'ı tekrar aç', openLauncher);
  } else if (result.ok) {
    setProgress('Minecraft Launcher bulunamadı', 1);
    bar.classList.remove('done');
    showNotice('<strong>Minecraft Launcher otomatik kurulamadı.</strong> Diğer her şey hazır. Launcher kuruluysa konumunu seç (MinecraftLauncher.exe).', true);
    setReopen('Konumunu seç', pickLauncherFile);
  } else if (result.error) {
    setProgress('Bir sorun oluştu', 0);
    showNotice('<strong>Olmadı:</strong> ' + escapeHtml(result.error) + ' — ayrıntılar Sunucu sekmesinde.', true);
  }
}

async function play() {
  const button = $('playBtn');
  button.disabled = true;
  button.firstElementChild.textContent = 'HAZIRLANIYOR';
  $('notice').classList.add('hidden');
  stepIndex = 0;
  $('bar').classList.remove('done');
  const result = await bridge.play().catch(asFailure);
  button.disabled = false;
  button.firstElementChild.textContent = 'OYNA';
  showPlayResult(result || {});
}

// ---- account ----

function renderAccount() {
  const signedIn = !!account;
  const name = signedIn ? String(account.name || '') : '';
  $('acct').classList.toggle('on', signedIn);
  $('acctAv').textContent = signedIn && name ? name.charAt(0).toUpperCase() : '?';
  $('acctName').textContent = signedIn ? name : 'Giriş';
  $('loginBox').classList.toggle('hidden', signedIn);
  $('steps').querySelector('li span').textContent = signedIn
    ? name + ' olarak giriş yaptın.'
    : 'Microsoft hesabınla bir kez giriş yap.';
}

let flashTimer = null;

// Without an application id nobody can sign in, so the card where one is entered is shown
// and highlighted.
function goSettings() {
  document.querySelector('.nav[data-view="settings"]').click();
  const card = $('msCard');
  card.classList.remove('hidden');
  card.classList.add('flash');
  card.scrollIntoView({ behavior: 'smooth' });
  clearTimeout(flashTimer);
  flashTimer = setTimeout(() => card.classList.remove('flash'), FLASH_MS);
}

function loginFailed(error) {
  showNotice('<strong>Giriş olmadı:</strong> ' + escapeHtml(error), true);
}

async function doLogin() {
  const snapshot = (await bridge.state().catch(asFailure)) || {};
  if (snapshot.ok === false) return loginFailed(snapshot.error);
  if (!snapshot.hasClientId) return goSettings();
  const button = $('loginBtn');
  button.disabled = true;
  const result = (await bridge.login().catch(asFailure)) || {};
  button.disabled = false;
  if (result.ok) {
    account = result.account;
    renderAccount();
    showNotice('<strong>Hoş geldin, ' + escapeHtml(account.name) + '.</strong> Artık Oyna\'ya basman yeterli.', false);
    $('reopen').classList.add('hidden');
  } else if (result.error === 'NO_CLIENT_ID') {
    goSettings();
  } else if (result.error !== 'CANCELLED') {
    loginFailed(result.error);
  }
}

async function onAccountClick() {
  if (!account) return doLogin();
  if (!window.confirm(account.name + ' hesabından çıkış yapılsın mı?')) return;
  await bridge.logout().catch(reportRejection);
  account = null;
  renderAccount();
}

// ---- settings ----

function saveSettings(changes) {
  bridge.setSettings(changes).catch(reportRejection);
}

function bindRange(key, stored) {
  const range = $(key);
  const label = $(key + 'V');
  if (stored !== undefined && stored !== null) {
    range.value = stored;
    label.textContent = stored + ' GB';
  }
  range.addEventListener('input', () => { label.textContent = range.value + ' GB'; });
  range.addEventListener('change', () => saveSettings({ [key]: parseInt(range.value, 10) }));
}

function bindSettings(settings) {
  bindRange('gameRam', settings.gameRam);
  bindRange('serverRam', settings.serverRam);
  const stopOnExit = $('stopOnExit');
  stopOnExit.checked = settings.stopServerOnExit === true;
  stopOnExit.addEventListener('change', () => saveSettings({ stopServerOnExit: stopOnExit.checked }));
  const clientId = $('clientId');
  clientId.value = settings.clientId || '';
  clientId.addEventListener('change', () => saveSettings({ clientId: clientId.value.trim() }));
}

// ---- server controls ----

async function startServer() {
  const result = await bridge.startServer().catch(asFailure);
  if (result && result.ok === false) alertLine(result.error);
}

function sendCommand(event) {
  event.preventDefault();
  const input = $('cmd');
  const text = input.value.trim();
  if (!text) return;
  bridge.command(text.startsWith('/') ? text.slice(1) : text).catch(reportRejection);
  input.value = '';
}

// ---- start-up ----

function showView(button) {
  for (const nav of document.querySelectorAll('.nav')) nav.classList.toggle('on', nav === button);
  for (const view of document.querySelectorAll('.view')) {
    view.classList.toggle('on', view.id === 'view-' + button.dataset.view);
  }
}

function init() {
  bridge.state().then((snapshot) => {
    serverUi(snapshot.server);
    $('ver').textContent = 'v' + snapshot.version + ' • Minecraft ' + snapshot.mc;
    $('paths').textContent = 'Oyun klasörü: ' + snapshot.gameDir;
    bindSettings(snapshot.settings || {});
    account = snapshot.account || null;
    renderAccount();
  }, reportRejection);
}

for (const nav of document.querySelectorAll('.nav')) nav.addEventListener('click', () => showView(nav));
$('wMin').addEventListener('click', () => bridge.win('min').catch(reportRejection));
$('wClose').addEventListener('click', () => bridge.win('close').catch(reportRejection));

$('art').innerHTML = buildArt();

bridge.on('progress', onProgress);
bridge.on('server', onServer);
bridge.on('log', onLog);
$('log').addEventListener('scroll', onLogScroll);
new ResizeObserver(onLogResize).observe($('log'));
bridge.on('closing', () => $('closing').classList.remove('hidden'));

$('playBtn').addEventListener('click', play);
$('reopen').addEventListener('click', () => reopenAction());
$('srvStart').addEventListener('click', startServer);
$('srvStop').addEventListener('click', () => bridge.stopServer().catch(reportRejection));
$('cmdForm').addEventListener('submit', sendCommand);
$('loginBtn').addEventListener('click', doLogin);
$('acct').addEventListener('click', onAccountClick);
$('lnkAzure').addEventListener('click', () => bridge.link('azure').catch(reportRejection));
$('lnkReview').addEventListener('click', () => bridge.link('review').catch(reportRejection));
bridge.on('game', onGame);

for (const el of document.querySelectorAll('[data-open]')) {
  el.addEventListener('click', () => bridge.open(el.dataset.open).catch(reportRejection));
}

init();
