'use strict';
// The launcher page's behaviour. Everything outside the page is reached through
// window.quorlin; the server, the account and the settings live in the main process.
// Runs last, after art.js (the hero drawing), log-view.js (the server console),
// server-view.js (the Server view) and settings-view.js (the Settings view): here are the
// helpers they use, the Play view, the notice, the account and the start-up, which binds
// every view to its controls and events.

const bridge = window.quorlin;
const $ = (id) => document.getElementById(id);
const logView = createLogView($('log'));

// The preparation steps in play order; each fills one sixth of the overall bar.
const ORDER = ['java', 'fabric', 'mods', 'profile', 'server', 'launch'];

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
  logView.alertLine(asFailure(err).error);
}

// ---- progress and game ----

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
