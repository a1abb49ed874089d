'use strict';
// The Server view: the server's state in the view, the rail and the status line, its Start
// button and command line, and the world's backups with their restore. Only declarations:
// renderer.js, loaded last, holds the helpers used here ($, bridge, asFailure, reportRejection,
// escapeHtml, logView, showNotice) and binds these to their buttons and events at start-up.

let serverState = 'stopped';
let backupView = { busy: false, backups: [] };
let restoring = false;          // a restore asked for and not yet answered

// ---- server state ----

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
