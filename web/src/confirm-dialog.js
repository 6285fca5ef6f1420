// The confirmation dialog: a question, a confirm button and the action it runs.
import { els } from './dom.js';
import { endRecording } from './recorder.js';

let dialogAction = null;

export function openConfirm(title, confirmText, action) {
  endRecording();
  dialogAction = action;
  els.dialogTitle.textContent = title;
  els.dialogConfirm.textContent = confirmText;
  els.dialog.showModal();
}

function submitConfirm(event) {
  event.preventDefault();
  const action = dialogAction;
  dialogAction = null;
  els.dialog.close();
  if (action) action();
}

export function bindConfirmDialog() {
  els.dialogForm.addEventListener('submit', submitConfirm);
  els.dialogCancel.addEventListener('click', () => els.dialog.close());
  els.dialogClose.addEventListener('click', () => els.dialog.close());
  els.dialog.addEventListener('close', () => {
    dialogAction = null;
  });
}
