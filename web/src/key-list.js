// The editor's key list: one key cap per step with its hold, the gap after it, and the advanced mode in
// which every time is an input.
import { MAX_TIME_MS } from './document.js';
import { element, els } from './dom.js';
import { sequenceText, stepLabel } from './key-text.js';
import { commit, currentMacro } from './model.js';
import { endRecording, startStepRecording } from './recorder.js';
import { paintTestHighlight, stopTest } from './test-runner.js';
import { editStepTime, restoreStepTime } from './times.js';

let sequenceAdvanced = false; // per-step times shown as inputs

export function renderKeyList(macro) {
  const list = els.sequenceKeys;
  const parts = [];
  if (macro.steps.length === 0) {
    parts.push(element('span', { className: 'sequence-empty', text: '还没有按键：在上方按下按键后点击“添加”。' }));
  }
  macro.steps.forEach((step, index) => {
    // A key and the gap after it wrap together.
    const segment = element('div', { className: 'sequence-segment' });
    segment.append(stepSegment(macro, step, index));
    const gap = gapSegment(macro, step, index);
    if (gap) segment.append(gap);
    parts.push(segment);
  });
  parts.push(advancedToggle(macro));
  list.replaceChildren(...parts);
}

function stepSegment(macro, step, index) {
  const label = stepLabel(step);
  const last = index === macro.steps.length - 1;
  const holdsToRelease = macro.behavior === 'latch' && last;
  const segment = element('div', { className: 'sequence-step' });
  const key = element('button', {
    type: 'button',
    className: 'sequence-key',
    id: 'sequence-key-' + index,
    text: label,
    'aria-label': `修改第 ${index + 1} 个按键 ${label}，按住 ${step.hold} 毫秒，连发间隔 ${step.gap} 毫秒`,
  });
  key.addEventListener('click', () => startStepRecording(index));
  const remove = element('button', {
    type: 'button',
    className: 'sequence-remove',
    text: '×',
    'aria-label': `删除第 ${index + 1} 个按键 ${label}`,
  });
  remove.addEventListener('click', () => removeStep(index));
  const times = element('div', { className: 'step-times' });
  if (holdsToRelease) {
    const held = element('span', { className: 'step-time', id: 'sequence-hold-' + index, text: '保持', 'aria-label': '保持到松开触发键' });
    key.setAttribute('aria-describedby', held.id);
    times.append(held);
  } else if (!releasesOnly(step)) {
    times.append(timeView(step, 'hold', index));
  }
  if (macro.behavior === 'repeat') times.append(timeView(step, 'gap', index, '间隔'));
  if (typeof step.keep === 'string' && step.keep) times.append(element('span', { className: 'step-time', text: `保持 ${step.keep}` }));
  segment.append(key, remove, times);
  return segment;
}

// A step that only lets kept keys up: it has no hold of its own.
function releasesOnly(step) {
  return String(step.key) === '' && typeof step.release === 'string' && step.release !== '';
}

function gapSegment(macro, step, index) {
  if (macro.behavior === 'repeat') return null;
  const last = index === macro.steps.length - 1;
  if (last && macro.behavior !== 'hold') return null;
  const gap = element('div', { className: 'sequence-gap' });
  gap.append(timeView(step, 'gap', index, last ? '循环间隔' : '间隔'));
  return gap;
}

function timeView(step, field, index, caption) {
  const value = step[field];
  if (!sequenceAdvanced) {
    const text = caption ? `${caption} ${value}` : `${value} 毫秒`;
    return element('span', { className: 'step-time', text });
  }
  const wrap = element('label', { className: 'step-time' });
  const input = element('input', {
    type: 'number',
    min: field === 'hold' ? '1' : '0',
    max: String(MAX_TIME_MS),
    step: '1',
    'aria-label': `第 ${index + 1} 个按键${field === 'hold' ? '按住' : '间隔'}毫秒`,
  });
  input.value = String(value);
  input.addEventListener('input', () => editStepTime(step, field, input));
  input.addEventListener('change', () => restoreStepTime(step, field, input));
  input.addEventListener('blur', () => restoreStepTime(step, field, input));
  if (caption) wrap.append(caption + ' ');
  wrap.append(input);
  return wrap;
}

function advancedToggle(macro) {
  const button = element('button', {
    type: 'button',
    className: 'text-button advanced-toggle',
    text: sequenceAdvanced ? '完成编辑' : '高级编辑',
    'aria-label': sequenceAdvanced ? '完成逐键时间编辑' : '打开高级编辑，将按键旁的按住和间隔数值改为输入框',
  });
  button.disabled = macro.steps.length === 0;
  button.addEventListener('click', () => {
    sequenceAdvanced = !sequenceAdvanced;
    renderKeyList(macro);
    paintTestHighlight();
  });
  return button;
}

function removeStep(index) {
  const macro = currentMacro();
  if (!macro || index >= macro.steps.length) return;
  endRecording();
  stopTest();
  macro.steps.splice(index, 1);
  macro.text = sequenceText(macro.steps);
  if (macro.steps.length === 0) sequenceAdvanced = false;
  commit();
}
