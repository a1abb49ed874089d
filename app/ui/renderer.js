'use strict';
// The launcher page's behaviour. Everything outside the page is reached through
// window.quorlin; the server, the account and the settings live in the main process.
// Runs after art.js (the hero drawing) and log-view.js (the server console).

const bridge = window.quorlin;
const $ = (id) => document.getElementById(id);
const logView = createLogView($('log'));

// The preparation steps in play order; each fills one sixth of the overall bar.
const ORDER = ['java', 'fabric', 'mods', 'profile', 'server', 'launch'];
const FLASH_MS = 2500;         // how long the application id card stays highlighted

let account = null;
let stepIndex = 0;
let serverState = 'stopped';
let backupView = { busy: false, backups: [] };
let restoring = false;          // a restore asked for and not yet answered

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
  logView.alertLine(asFailure(err).error);
}

// ---- progress, server and game ----

function setProgress(label, fraction) {
  const percent = Math.round(fraction * 100);
  $('stText').textContent = label;
  $('stPct').textContent = percent + '%';
  $('bar').style.width = percent + '%';
  $('bar').parentElement.setAttribute('aria-valuenow', String(percent));
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
  serverState = Object.hasOwn(SERVER_LOOKS, state) ? state : 'stopped';
  renderBackups();
  const look = Object.hasOwn(SERVER_LOOKS, state) ? SERVER_LOOKS[state] : SERVER_STOPPED;
  const pill = $('srvPill');
  pill.textContent = look.pill;
  pill.className = look.cls ? 'pill ' + look.cls : 'pill';
  $('railDot').className = look.cls ? 'dot ' + look.cls : 'dot';
  $('stSub').textContent = look.sub;
}

// A server that crashed again right after coming back by itself stays stopped: the notice says so.
function onServer(event) {
  const { state, joined, crashed, text } = event || {};
  serverUi(state);
  if (joined) $('stSub').textContent = joined + ' sunucuya girdi • iyi yayınlar!';
  if (crashed) {
    showNotice('<strong>Sunucu tekrar çöktü ve durduruldu.</strong> ' + escapeHtml(text || 'Ayrıntılar Sunucu sekmesinde.'), true);
    $('reopen').classList.add('hidden');
  }
}

// A game that crashed is offered again, straight into the server, with the reason when known.
function onGame(event) {
  const { running, crashed, text } = event || {};
  $('stSub').textContent = running ? 'Oyun açık • sunucu çalışıyor' : 'Oyun kapandı';
  if (crashed) {
    showNotice('<strong>Oyun çöktü.</strong> ' + escapeHtml(text || '“Tekrar başlat” ile oyuna geri dönebilirsin.'), true);
    setReopen('Tekrar başlat', restartGame);
  }
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

// Play's result in the bar and the notice; a warning that came with it (too little free memory)
// goes under the notice's text.
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
  if (result.warning) {
    const line = document.createElement('span');
    line.className = 'nwarn';
    line.textContent = result.warning;
    $('notice').children[1].append(line);
  }
}

// Runs `request` (Play, or the game's restart) with the play button busy, then shows its result.
// Focus on the button, which is disabled meanwhile, or in the notice, which hides, comes back
// to the button.
async function runPlay(request) {
  const button = $('playBtn');
  const refocus = button === document.activeElement || $('notice').contains(document.activeElement);
  button.disabled = true;
  button.firstElementChild.textContent = 'HAZIRLANIYOR';
  $('notice').classList.add('hidden');
  stepIndex = 0;
  $('bar').classList.remove('done');
  const result = await request().catch(asFailure);
  button.disabled = false;
  button.firstElementChild.textContent = 'OYNA';
  showPlayResult(result || {});
  if (refocus) button.focus();
}

const play = () => runPlay(bridge.play);
const restartGame = () => runPlay(bridge.restartGame);

// ---- account ----

function renderAccount() {
  const signedIn = !!account;
  const name = signedIn ? String(account.name || '') : '';
  $('acct').classList.toggle('on', signedIn);
  $('acctAv').textContent = signedIn && name ? name.charAt(0).toUpperCase() : '?';
  $('acctName').textContent = signedIn ? name : 'Giriş';
  $('acct').setAttribute('aria-label', signedIn ? 'Hesap: ' + name + ' — çıkış yap' : 'Hesap: giriş yap');
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
  $('clientId').focus({ preventScroll: true });
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
  const hadFocus = button === document.activeElement;
  button.disabled = true;
  const result = (await bridge.login().catch(asFailure)) || {};
  button.disabled = false;
  // focus lost while the button was disabled comes back; once signed in the button is gone,
  // and focus goes on to the next step, OYNA
  if (hadFocus) (result.ok ? $('playBtn') : button).focus();
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

// The next Play checks every game file by its digest; the main process keeps the request.
async function repairFiles() {
  const result = await bridge.repairFiles().catch(asFailure);
  if (result && result.ok) $('repairNote').textContent = 'Tamam: sonraki OYNA her dosyayı denetleyip bozukları yeniden indirecek.';
  else if (result) logView.alertLine(result.error);
}

let bundling = false;

// The diagnostics bundle lands on the Desktop, shown in Explorer; the note never names its path,
// which holds the Windows user's name.
async function writeBundle() {
  if (bundling) return;
  bundling = true;
  const note = $('bundleNote');
  note.textContent = 'Tanılama paketi hazırlanıyor…';
  const result = (await bridge.diagnostics().catch(asFailure)) || {};
  bundling = false;
  note.textContent = result.ok ? 'Tanılama paketi hazır; Gezgin\'de seçili.' : result.error;
}

// ---- server controls ----

async function startServer() {
  const result = await bridge.startServer().catch(asFailure);
  if (result && result.ok === false) logView.alertLine(result.error);
}

function sendCommand(event) {
  event.preventDefault();
  const input = $('cmd');
  const text = input.value.trim();
  if (!text) return;
  bridge.command(text.startsWith('/') ? text.slice(1) : text).catch(reportRejection);
  input.value = '';
}

// ---- backups ----

const BACKUP_DATE = { day: 'numeric', month: 'long', year: 'numeric', hour: '2-digit', minute: '2-digit' };
const MB = 1024 * 1024;

function backupDate(iso) {
  return new Date(iso).toLocaleString('tr-TR', BACKUP_DATE);
}

function megabytes(bytes) {
  return Math.max(bytes / MB, 0.1).toLocaleString('tr-TR', { maximumFractionDigits: 1 }) + ' MB';
}

async function restoreBackup(backup) {
  if (!window.confirm(backupDate(backup.date) + ' yedeği geri yüklensin mi? Şimdiki dünya silinmez, kenara alınır.')) return;
  restoring = true;
  renderBackups();
  const result = await bridge.restoreBackup(backup.name).catch(asFailure);
  restoring = false;
  renderBackups();
  if (result && result.ok === false) logView.alertLine(result.error);
}

// One backup: its date, then its world, size and check; the names come from disk, so every
// text goes in as text.
function backupRow(backup, canRestore) {
  const row = document.createElement('li');
  const info = document.createElement('div');
  const when = document.createElement('b');
  when.textContent = backupDate(backup.date);
  const about = document.createElement('span');
  const level = document.createElement('span');
  const size = document.createElement('span');
  const verified = document.createElement('i');
  level.textContent = backup.level; // a long name is cut, the size and the check never
  size.textContent = ' • ' + megabytes(backup.bytes) + ' • ';
  verified.textContent = 'doğrulandı';
  about.append(level, size, verified);
  info.append(when, about);
  const button = document.createElement('button');
  button.className = 'btn ghost';
  button.textContent = 'Geri yükle';
  button.disabled = !canRestore;
  button.addEventListener('click', () => restoreBackup(backup));
  row.append(info, button);
  return row;
}

// A restore replaces the world, so it is offered only while no server runs and no other
// backup or restore is under way; the main process refuses it otherwise all the same.
function renderBackups() {
  const { busy, backups } = backupView;
  const canRestore = serverState === 'stopped' && !busy && !restoring;
  const rows = backups.map((backup) => backupRow(backup, canRestore));
  if (!rows.length) {
    const empty = document.createElement('li');
    empty.className = 'empty';
    empty.textContent = 'Henüz yedek yok.';
    rows.push(empty);
  }
  $('bkList').replaceChildren(...rows);
  $('bkNote').textContent = busy || restoring ? 'Yedek işlemi sürüyor…'
    : serverState !== 'stopped' ? 'Geri yüklemek için önce sunucuyu durdur.'
      : 'Dünya her kapanışta ve açıkken saatte bir yedeklenir.';
}

function onBackups(view) {
  backupView = { busy: Boolean(view && view.busy), backups: view && Array.isArray(view.backups) ? view.backups : [] };
  renderBackups();
}

// ---- start-up ----

function showView(button) {
  for (const nav of document.querySelectorAll('.nav')) {
    nav.classList.toggle('on', nav === button);
    if (nav === button) nav.setAttribute('aria-current', 'page');
    else nav.removeAttribute('aria-current');
  }
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
  bridge.backups().then((result) => {
    if (result && result.ok === false) logView.alertLine(result.error);
    else onBackups(result);
  }, reportRejection);
}

for (const nav of document.querySelectorAll('.nav')) nav.addEventListener('click', () => showView(nav));
$('wMin').addEventListener('click', () => bridge.win('min').catch(reportRejection));
$('wClose').addEventListener('click', () => bridge.win('close').catch(reportRejection));

$('art').innerHTML = buildArt();

bridge.on('progress', onProgress);
bridge.on('server', onServer);
bridge.on('log', logView.append);
bridge.on('closing', () => $('closing').classList.remove('hidden'));
bridge.on('backups', onBackups);

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
$('bkOpen').addEventListener('click', () => bridge.open('backups').catch(reportRejection));
$('repairBtn').addEventListener('click', repairFiles);
$('bundleBtn').addEventListener('click', writeBundle);

// Escape closes what is open: the notice. Focus inside it goes on to the play button.
document.addEventListener('keydown', (event) => {
  const notice = $('notice');
  if (event.key !== 'Escape' || notice.classList.contains('hidden')) return;
  const hadFocus = notice.contains(document.activeElement);
  notice.classList.add('hidden');
  if (hadFocus) $('playBtn').focus();
});

for (const el of document.querySelectorAll('[data-open]')) {
  el.addEventListener('click', () => bridge.open(el.dataset.open).catch(reportRejection));
}

init();
