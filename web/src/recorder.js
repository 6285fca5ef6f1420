// Recording one key: the trigger (keys or a middle or side mouse button, with the modifiers held) or the
// key of one existing step.
import { $, els } from './dom.js';
import { sequenceText, stepLabel } from './key-text.js';
import { chordText, heldModifiers, isFocusMove, isModifierEvent, mouseTriggerButton, physicalKey } from './keys.js';
import { commit, currentMacro } from './model.js';
import { stopTest } from './test-runner.js';
import { refuseKey } from './toast.js';

let recording = null; // { type: 'trigger' } or { type: 'sequence-edit', index }

export function isRecording() {
  return recording !== null;
}

function startTriggerRecording() {
  if (!currentMacro() || (recording && recording.type === 'trigger')) return;
  endRecording();
  recording = { type: 'trigger' };
  paintRecording();
}

// The middle or a side button pressed on the trigger field records it, with the modifiers held.
function onTriggerMouseDown(event) {
  const button = mouseTriggerButton(event);
  if (!button || !currentMacro()) return;
  event.preventDefault();
  if (recording && recording.type !== 'trigger') endRecording();
  recording = { type: 'trigger' };
  finishRecording(chordText(heldModifiers(event), button.name));
}

// The side buttons would take the page back or forward, and the middle one start scrolling.
export function keepMouseButtonHere(event) {
  if (mouseTriggerButton(event)) event.preventDefault();
}

function onTriggerKeydown(event) {
  if (recording || event.repeat) return;
  if (event.key === 'Enter' || event.key === ' ') {
    event.preventDefault();
    startTriggerRecording();
  }
}

export function startStepRecording(index) {
  if (!currentMacro()) return;
  endRecording();
  stopTest();
  recording = { type: 'sequence-edit', index };
  paintRecording();
  const key = $('sequence-key-' + index);
  if (key) key.focus();
}

export function endRecording() {
  if (!recording) return;
  recording = null;
  paintRecording();
}

function recordingElement() {
  if (!recording) return null;
  return recording.type === 'trigger' ? els.trigger : $('sequence-key-' + recording.index);
}

// Shows the recording state on the trigger field and the key caps.
export function paintRecording() {
  const macro = currentMacro();
  if (!macro) return;
  const triggerRecording = Boolean(recording && recording.type === 'trigger');
  els.trigger.classList.toggle('recording', triggerRecording);
  els.trigger.value = triggerRecording ? '' : macro.trigger || '';
  macro.steps.forEach((step, index) => {
    const key = $('sequence-key-' + index);
    if (!key) return;
    const editing = Boolean(recording && recording.type === 'sequence-edit' && recording.index === index);
    key.classList.toggle('recording', editing);
    key.textContent = editing ? '请按键…' : stepLabel(step);
  });
}

function onRecordingKeydown(event) {
  if (!recording) return;
  if (isFocusMove(event)) {
    endRecording(); // the focus moves on
    return;
  }
  event.preventDefault();
  event.stopPropagation();
  if (event.key === 'Escape') {
    endRecording();
    return;
  }
  // A modifier on its own is waited through: the key pressed with it ends the recording.
  if (event.repeat || isModifierEvent(event)) return;
  const key = physicalKey(event);
  if (key.ignored) return;
  if (key.refused) {
    refuseKey(key.refused);
    return;
  }
  const modifiers = heldModifiers(event);
  if (recording.type === 'trigger') finishRecording(chordText(modifiers, key.name));
  else finishRecording(modifiers.length ? chordText(modifiers, key.name) : key.name);
}

function finishRecording(text) {
  const macro = currentMacro();
  const finished = recording;
  recording = null;
  if (!macro) return;
  if (finished.type === 'trigger') {
    macro.trigger = text;
  } else if (finished.index < macro.steps.length) {
    macro.steps[finished.index].key = text;
    macro.text = sequenceText(macro.steps);
  }
  commit();
  if (finished.type === 'sequence-edit') {
    const key = $('sequence-key-' + finished.index);
    if (key) key.focus();
  }
}

function onRecordingFocusOut(event) {
  if (recording && event.target === recordingElement()) endRecording();
}

export function bindRecorder() {
  els.trigger.addEventListener('click', startTriggerRecording);
  els.trigger.addEventListener('keydown', onTriggerKeydown);
  els.trigger.addEventListener('mousedown', onTriggerMouseDown);
  els.trigger.addEventListener('mouseup', keepMouseButtonHere);
  els.trigger.addEventListener('auxclick', keepMouseButtonHere);
  document.addEventListener('keydown', onRecordingKeydown, true);
  document.addEventListener('focusout', onRecordingFocusOut);
}
