// The sequence editor of the current macro: labels by behaviour, the behaviour switch, "启用此宏" and
// "删除宏"; the key list and the times have modules of their own.
import { capturedKeys } from './capture.js';
import { els } from './dom.js';
import { renderKeyList } from './key-list.js';
import { renderPlaybackOptions } from './playback-options.js';
import { renderTimeline } from './timeline-view.js';
import { commit, currentMacro, currentProfile, model } from './model.js';
import { endRecording, paintRecording } from './recorder.js';
import { paintTestHighlight, stopTest } from './test-runner.js';
import { clearFormError, setTimeInput } from './times.js';
import { toast } from './toast.js';

export function renderEditor(macro) {
  const repeat = macro.behavior === 'repeat';
  els.trigger.hidden = repeat;
  els.repeatSource.hidden = !repeat;
  els.triggerLabel.textContent = repeat ? '连发方式' : '触发按键';
  els.triggerLabel.htmlFor = repeat ? 'behavior' : 'trigger';
  if (repeat) els.triggerLabel.setAttribute('aria-controls', 'behavior');
  else els.triggerLabel.removeAttribute('aria-controls');
  els.sequenceLabel.textContent = repeat ? '添加连发键' : '添加按键';
  els.sequence.placeholder = repeat ? '按下要连发的按键' : '按下要添加的按键';
  els.sequence.value = capturedKeys();
  setTimeInput(els.hold, macro.hold, 30);
  setTimeInput(els.gap, macro.gap, 50);
  els.macroEnabled.checked = macro.enabled !== false;
  renderKeyList(macro);
  renderPlaybackOptions(macro);
  renderTimeline(macro);
  renderBehavior(macro);
  clearFormError();
  paintRecording();
  paintTestHighlight();
}

function renderBehavior(macro) {
  for (const button of behaviorButtons()) {
    const pressed = button.dataset.behavior === macro.behavior;
    button.setAttribute('aria-pressed', String(pressed));
    button.tabIndex = pressed ? 0 : -1;
  }
}

function behaviorButtons() {
  return [...els.behavior.querySelectorAll('button[data-behavior]')];
}

function setBehavior(behavior) {
  const macro = currentMacro();
  if (!macro || macro.behavior === behavior) return;
  endRecording();
  stopTest();
  macro.behavior = behavior;
  commit();
}

function onBehaviorKeydown(event) {
  const buttons = behaviorButtons();
  const index = buttons.indexOf(document.activeElement);
  if (index < 0) return;
  let target = null;
  if (event.key === 'ArrowLeft') target = (index + buttons.length - 1) % buttons.length;
  else if (event.key === 'ArrowRight') target = (index + 1) % buttons.length;
  else if (event.key === 'Home') target = 0;
  else if (event.key === 'End') target = buttons.length - 1;
  if (target === null) return;
  event.preventDefault();
  setBehavior(buttons[target].dataset.behavior);
  buttons[target].focus();
}

function setMacroEnabled() {
  const macro = currentMacro();
  if (!macro) return;
  macro.enabled = els.macroEnabled.checked;
  commit();
  toast(macro.enabled ? '当前宏已启用。' : '当前宏已停用，仍可在下方测试。');
}

function deleteMacro() {
  const profile = currentProfile();
  const index = profile.macros.findIndex((macro) => macro.id === model.selectedMacro);
  if (index < 0) return;
  endRecording();
  stopTest();
  profile.macros.splice(index, 1);
  const next = profile.macros[Math.min(index, profile.macros.length - 1)];
  model.selectedMacro = next ? next.id : undefined;
  commit();
}

export function bindEditor() {
  els.deleteMacro.addEventListener('click', deleteMacro);
  els.macroEnabled.addEventListener('change', setMacroEnabled);
  for (const button of behaviorButtons()) {
    button.addEventListener('click', () => setBehavior(button.dataset.behavior));
  }
  els.behavior.addEventListener('keydown', onBehaviorKeydown);
}
