// Loading the state document at start and saving it through the local API: one save 120 ms after the
// last change, one request at a time, retried at the next change after a refusal, and flushed when the
// page goes away.
import { readStateDocument } from './document.js';
import { els } from './dom.js';
import { model, savedState } from './model.js';
import { noticeUntilUserActs, toast } from './toast.js';

const SAVE_DELAY_MS = 120;
const LOAD_FAILED_MESSAGE = '本地配置读取失败，已使用默认内容。';
const LOAD_REPAIRED_MESSAGE = '本地配置中有无效的内容，已修复后载入。';

// How loading went: 'none' (no stored document), 'loaded', 'repaired' or 'failed'. After a repair or a
// failure the stored file is left as it is until the user changes something.
let loadOutcome = 'none';

export function loadedCleanly() {
  return loadOutcome === 'none' || loadOutcome === 'loaded';
}

export async function loadState() {
  try {
    const response = await fetch('/api/state', { cache: 'no-store' });
    if (!response.ok) throw new Error(`state request answered ${response.status}`);
    const answer = await response.json();
    adoptState(answer ? answer.state : null);
  } catch {
    loadOutcome = 'failed';
    noticeUntilUserActs(LOAD_FAILED_MESSAGE);
  }
}

function adoptState(state) {
  const loaded = readStateDocument(state);
  if (loaded === null) {
    loadOutcome = 'none';
    return;
  }
  model.profiles = loaded.profiles;
  model.selectedProfile = loaded.selectedProfile;
  model.selectedMacro = loaded.selectedMacro;
  model.showMacroNames = loaded.showMacroNames;
  model.macroEnabled = loaded.macroEnabled;
  model.nextId = loaded.nextId;
  loadOutcome = loaded.repairs > 0 ? 'repaired' : 'loaded';
  if (loadOutcome === 'repaired') toast(LOAD_REPAIRED_MESSAGE);
}

// Every change counts; `storedChange` is the last change the host has stored. Saves run one at a time.
let changeCount = 0;
let storedChange = 0;
let saving = null;
let saveTimer = null;
let saveError = '';

export function hasUnsavedChanges() {
  return storedChange !== changeCount;
}

export function lastSaveError() {
  return saveError;
}

export function queueSave() {
  if (!model.ready) return;
  changeCount += 1;
  clearTimeout(saveTimer);
  saveTimer = setTimeout(writeState, SAVE_DELAY_MS);
}

// Writes the document until every change is stored; false when the host refused or could not be reached
// (the changes stay unsaved and the next change or closing tries again).
export async function writeState() {
  clearTimeout(saveTimer);
  saveTimer = null;
  while (saving) await saving;
  if (!hasUnsavedChanges()) return true;
  const upTo = changeCount;
  saving = postState(JSON.stringify(savedState()));
  const error = await saving;
  saving = null;
  if (error !== null) {
    const first = saveError === '';
    saveError = error;
    if (first || !els.dialog.open) toast(`自动保存失败：${error}修改尚未保存，下次修改或关闭前会重试。`);
    return false;
  }
  storedChange = Math.max(storedChange, upTo);
  saveError = '';
  return hasUnsavedChanges() ? writeState() : true;
}

// Posts one document; null when it was stored, else the host's refusal text (with its reason) or a generic one.
async function postState(body, keepalive = false) {
  try {
    const response = await fetch('/api/state', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body,
      keepalive,
    });
    if (response.ok) return null;
    const answer = await response.json().catch(() => null);
    if (!answer || typeof answer.error !== 'string' || !answer.error) return '请检查本地服务。';
    return typeof answer.reason === 'string' && answer.reason ? `${answer.error}（${answer.reason}）` : answer.error;
  } catch {
    return '请检查本地服务。';
  }
}

// The page is going away (reload, hidden, the window losing focus to the tray or another program): a
// change still waiting for its timer is sent at once, in a request that outlives the page.
export function flushOnLeave() {
  if (!model.ready || saveTimer === null) return;
  if (saving) {
    saving.then(() => Promise.resolve()).then(flushOnLeave);
    return;
  }
  clearTimeout(saveTimer);
  saveTimer = null;
  const body = JSON.stringify(savedState());
  const upTo = changeCount;
  // keepalive requests are limited to 64 KiB; a larger document goes as an ordinary request.
  saving = postState(body, body.length < 60000);
  saving.then((error) => {
    saving = null;
    if (error === null) storedChange = Math.max(storedChange, upTo);
    else saveError = error;
    if (hasUnsavedChanges() && saveTimer === null) saveTimer = setTimeout(writeState, SAVE_DELAY_MS);
  });
}

// What the page tests wait for before reading the stored file: no save pending, none running.
export function exposeSaveProgress(target) {
  Object.defineProperty(target, 'saveTimer', { get: () => saveTimer, configurable: true });
  Object.defineProperty(target, 'saving', { get: () => saving, configurable: true });
  target.hasUnsavedChanges = hasUnsavedChanges;
}
