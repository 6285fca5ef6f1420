// The capture box: physical keys typed into it become tokens ({F5}, a, {Ctrl + C}); "添加" turns them into
// steps of the current macro. Its keys are kept until "添加" or another macro is selected.
import { els } from './dom.js';
import { keyToken, sequenceText, splitTokens, tokenKey } from './key-text.js';
import { chordText, heldModifiers, isFocusMove, physicalKey } from './keys.js';
import { commit, currentMacro } from './model.js';
import { modifierWatch, resetModifierWatch, watchModifierDown, watchModifierUp } from './modifier-watch.js';
import { endRecording, isRecording } from './recorder.js';
import { refuseKey } from './toast.js';

const CAPTURE_LIMIT = 120;

const captureWatch = modifierWatch();
let captured = '';

export function capturedKeys() {
  return captured;
}

export function clearCapture() {
  captured = '';
  resetModifierWatch(captureWatch);
}

function appendCaptureToken(token) {
  const box = els.sequence;
  if (box.value.length + token.length > CAPTURE_LIMIT) return;
  box.value += token;
  captured = box.value;
}

function onSequenceKeydown(event) {
  if (isFocusMove(event)) {
    resetModifierWatch(captureWatch);
    return;
  }
  event.preventDefault();
  event.stopPropagation();
  if (event.repeat || isRecording()) return;
  if (watchModifierDown(captureWatch, event)) return;
  const box = els.sequence;
  const modifiers = heldModifiers(event);
  const key = physicalKey(event);
  // The keypad's decimal key is Delete with NumLock off: only the keys themselves edit the box.
  if (modifiers.length === 0 && key.name === 'Backspace') {
    box.value = splitTokens(box.value).slice(0, -1).join('');
    captured = box.value;
    return;
  }
  if (modifiers.length === 0 && key.name === 'Delete') {
    box.value = '';
    captured = '';
    return;
  }
  if (key.ignored) return;
  if (key.refused) {
    refuseKey(key.refused);
    return;
  }
  appendCaptureToken(modifiers.length ? `{${chordText(modifiers, key.name)}}` : keyToken(key.name));
}

function onSequenceKeyup(event) {
  if (isRecording()) return;
  const group = watchModifierUp(captureWatch, event);
  if (group) appendCaptureToken(`{${group}}`);
}

function addCapturedSteps() {
  const macro = currentMacro();
  if (!macro) return;
  const tokens = splitTokens(els.sequence.value);
  if (tokens.length === 0) return;
  endRecording();
  for (const token of tokens) macro.steps.push({ key: tokenKey(token), hold: macro.hold, gap: macro.gap });
  macro.text = sequenceText(macro.steps);
  captured = '';
  els.sequence.value = '';
  commit();
}

export function bindCapture() {
  els.sequence.addEventListener('keydown', onSequenceKeydown);
  els.sequence.addEventListener('keyup', onSequenceKeyup);
  els.sequence.addEventListener('blur', () => resetModifierWatch(captureWatch));
  els.sequence.addEventListener('paste', (event) => event.preventDefault());
  els.sequence.addEventListener('drop', (event) => event.preventDefault());
  els.addSequence.addEventListener('click', addCapturedSteps);
}
