// Hold and gap inputs: the macro's two defaults and, in advanced mode, each step's own; an invalid
// value is shown as an error and never stored.
import { MAX_TIME_MS } from './document.js';
import { els } from './dom.js';
import { commit, currentMacro } from './model.js';

function timeIsValid(input) {
  return input.value !== '' && input.validity.valid;
}

function showTimeError(input) {
  input.setAttribute('aria-invalid', 'true');
  if (input === els.hold || input === els.gap) els.hold.closest('.sequence-entry').append(els.formError);
  else els.sequenceKeys.after(els.formError);
  els.formError.textContent = `时间必须是 ${input.min}～${MAX_TIME_MS} 的整数毫秒。`;
}

function clearTimeError(input) {
  input.removeAttribute('aria-invalid');
  els.formError.textContent = '';
}

export function clearFormError() {
  els.formError.textContent = '';
}

export function setTimeInput(input, value, fallback) {
  input.value = String(Number.isFinite(value) ? value : fallback);
  input.removeAttribute('aria-invalid');
}

// The macro's hold or gap: stored in the macro and in every step.
function editMacroTime(field, input) {
  const macro = currentMacro();
  if (!macro) return;
  if (!timeIsValid(input)) {
    showTimeError(input);
    return;
  }
  clearTimeError(input);
  const value = Number(input.value);
  macro[field] = value;
  for (const step of macro.steps) step[field] = value;
  commit({ view: 'keys' });
}

// Leaving a field that still holds an invalid time shows the stored value again.
function restoreMacroTime(field, input) {
  const macro = currentMacro();
  if (!macro || timeIsValid(input)) return;
  input.value = String(macro[field]);
  clearTimeError(input);
}

export function editStepTime(step, field, input) {
  if (!timeIsValid(input)) {
    showTimeError(input);
    return;
  }
  clearTimeError(input);
  step[field] = Number(input.value);
  commit({ view: 'none' });
}

export function restoreStepTime(step, field, input) {
  if (timeIsValid(input)) return;
  input.value = String(step[field]);
  clearTimeError(input);
}

export function bindTimes() {
  for (const [field, input] of [
    ['hold', els.hold],
    ['gap', els.gap],
  ]) {
    input.addEventListener('input', () => editMacroTime(field, input));
    input.addEventListener('change', () => restoreMacroTime(field, input));
    input.addEventListener('blur', () => restoreMacroTime(field, input));
  }
}
