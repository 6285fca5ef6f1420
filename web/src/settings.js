// The settings dialog: the master switch hotkey, set by the host, or only previewed outside it.
import { els } from './dom.js';
import { bridge, postToHost } from './host.js';
import { closeProfileMenu } from './profile-picker.js';
import { endRecording } from './recorder.js';
import { toast } from './toast.js';

const PREVIEW_SHORTCUT_KEY = 'macro-toggle-preview';

let previewShortcut = readPreviewShortcut();

function readPreviewShortcut() {
  let stored = null;
  try {
    stored = localStorage.getItem(PREVIEW_SHORTCUT_KEY);
  } catch {
    stored = null;
  }
  const key = Number(stored);
  return Number.isInteger(key) && key >= 1 && key <= 12 ? key : 8;
}

export function fillShortcutOptions() {
  const options = [];
  for (let key = 1; key <= 12; key += 1) options.push(new Option('F' + key, String(key)));
  els.shortcutKey.replaceChildren(...options);
}

function openSettings() {
  endRecording();
  closeProfileMenu();
  els.shortcutError.textContent = '';
  if (bridge) {
    els.shortcutKey.value = '8';
    els.shortcutSave.disabled = true;
    els.shortcutDialog.showModal();
    postToHost(JSON.stringify({ type: 'shortcut-get' }));
  } else {
    els.shortcutKey.value = String(previewShortcut);
    els.shortcutSave.disabled = false;
    els.shortcutDialog.showModal();
  }
}

function submitSettings(event) {
  event.preventDefault();
  const key = Number(els.shortcutKey.value);
  if (bridge) {
    els.shortcutSave.disabled = true;
    postToHost(JSON.stringify({ type: 'shortcut-set', key }));
    return;
  }
  previewShortcut = key;
  try {
    localStorage.setItem(PREVIEW_SHORTCUT_KEY, String(key));
  } catch {
    // Without storage the preview lasts for this page only.
  }
  els.shortcutDialog.close();
  toast(`预览快捷键已设为 F${key}，全局切换在桌面版生效。`);
}

export function onShortcutResult(message) {
  if (!els.shortcutDialog.open) return;
  els.shortcutSave.disabled = false;
  if (message.error) {
    els.shortcutError.textContent = String(message.error);
    return;
  }
  els.shortcutError.textContent = '';
  els.shortcutKey.value = String(message.key);
  if (message.saved === true) {
    els.shortcutDialog.close();
    toast(`宏总开关快捷键已设为 F${message.key}。`);
  }
}

export function bindSettings() {
  els.shortcutSettings.addEventListener('click', openSettings);
  els.shortcutForm.addEventListener('submit', submitSettings);
  els.shortcutCancel.addEventListener('click', () => els.shortcutDialog.close());
}
