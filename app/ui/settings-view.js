'use strict';
// The Settings view: the memory sliders, the stop-on-exit box, the application id card, the
// repair request and the diagnostics bundle. Only declarations: renderer.js, loaded last, holds
// the helpers used here ($, bridge, asFailure, reportRejection, logView), fills the view from
// the start-up snapshot with bindSettings and binds the buttons.

const FLASH_MS = 2500;         // how long the application id card stays highlighted

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
