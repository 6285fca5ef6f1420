// The one-line toast at the bottom of the page, and notices that stay until the user acts.
import { els } from './dom.js';

const TOAST_MS = 2800;

let toastTimer = null;
// A notice that must be read stays until the user acts (a key press or a click anywhere), then goes like
// a toast; no status report from the host replaces it meanwhile.
let noticeShown = false;

export function toast(text) {
  noticeShown = false;
  showToast(text);
  hideLater();
}

// A report of the host's (the engine switched on, and so on) that does not push a notice aside.
export function statusToast(text) {
  if (!noticeShown) toast(text);
}

export function noticeUntilUserActs(text) {
  clearTimeout(toastTimer);
  noticeShown = true;
  showToast(text);
}

export function onUserAction() {
  if (!noticeShown) return;
  noticeShown = false;
  hideLater();
}

function hideLater() {
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => {
    els.toast.hidden = true;
  }, TOAST_MS);
}

// The toast is raised when at its place it would cover the test field at the bottom of the editor.
function showToast(text) {
  els.toast.textContent = text;
  els.toast.classList.remove('raised');
  els.toast.hidden = false;
  if (els.editor.hidden) return;
  const field = els.testOutput.getBoundingClientRect();
  const box = els.toast.getBoundingClientRect();
  const covers = field.height > 0 && box.top < field.bottom && field.top < box.bottom;
  els.toast.classList.toggle('raised', covers);
}

export function refuseKey(label) {
  toast(`按键“${label}”无法用于宏，未记录。`);
}
