// The master switch "启用宏": the page's wish, sent to the host, and the host's reports of the engine.
import { els } from './dom.js';
import { bridge } from './host.js';
import { commit, model } from './model.js';
import { statusToast, toast } from './toast.js';

function onMasterSwitch() {
  const box = els.enableMacros;
  if (!bridge) {
    box.checked = !box.checked;
    toast('全局宏只能在桌面软件中启用。');
    return;
  }
  model.macroEnabled = box.checked;
  commit({ view: 'none' });
  toast(model.macroEnabled ? '正在启用全局宏…' : '宏已关闭。');
}

function setMasterSwitch(enabled) {
  model.macroEnabled = enabled;
  els.enableMacros.checked = enabled;
}

export function onMacroStatus(message) {
  setMasterSwitch(message.enabled === true);
  if (message.message) statusToast(String(message.message));
}

// The hotkey switched the engine: stored, not sent back.
export function onMacroToggleResult(message) {
  if (!model.ready) return;
  setMasterSwitch(message.enabled === true);
  commit({ view: 'none', publish: false });
  if (!model.macroEnabled) toast('宏已关闭。');
}

export function bindMasterSwitch() {
  els.enableMacros.addEventListener('change', onMasterSwitch);
}
