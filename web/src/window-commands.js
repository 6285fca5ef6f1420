// The borderless window's own controls: minimise, close (after every change is stored) and moving it by
// the top bar.
import { openConfirm } from './confirm-dialog.js';
import { els } from './dom.js';
import { hasWebView, postToHost } from './host.js';
import { model } from './model.js';
import { hasUnsavedChanges, lastSaveError, writeState } from './persistence.js';

// Closing waits for every change to be stored. While changes cannot be stored the window stays, and the
// user is told why and may close anyway.
async function closeWindow() {
  if (!hasWebView()) return;
  if (!model.ready || !hasUnsavedChanges() || (await writeState())) {
    postToHost('close');
    return;
  }
  openConfirm(`修改无法保存：${lastSaveError()}仍要关闭吗？未保存的修改会丢失。`, '仍然关闭', () => postToHost('close'));
}

function onTopBarMouseDown(event) {
  if (event.button !== 0) return;
  if (event.target.closest('button, input, select, textarea, label, .profile-picker')) return;
  postToHost('drag');
}

export function bindWindowCommands() {
  els.windowMinimize.addEventListener('click', () => postToHost('minimize'));
  els.windowClose.addEventListener('click', closeWindow);
  els.topBar.addEventListener('mousedown', onTopBarMouseDown);
}
