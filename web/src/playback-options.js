// "播放次数" (how many times "once" plays its sequence) and "随机延迟" (the random spread of every hold and
// gap): two optional members of the macro, written only once they differ from their defaults.
import { MAX_JITTER_MS, MAX_PLAY_COUNT } from './document.js';
import { els } from './dom.js';
import { commit, currentMacro } from './model.js';

const OPTIONS = [
  { input: () => els.playCount, member: 'playCount', fallback: 1, low: 1, high: MAX_PLAY_COUNT, text: `播放次数必须是 1～${MAX_PLAY_COUNT} 的整数。` },
  { input: () => els.jitter, member: 'jitter', fallback: 0, low: 0, high: MAX_JITTER_MS, text: `随机延迟必须是 0～${MAX_JITTER_MS} 的整数毫秒。` },
];

export function renderPlaybackOptions(macro) {
  els.playCountControl.hidden = macro.behavior !== 'once';
  for (const option of OPTIONS) {
    const input = option.input();
    input.value = String(Number.isInteger(macro[option.member]) ? macro[option.member] : option.fallback);
    input.removeAttribute('aria-invalid');
  }
}

function valid(input) {
  return input.value !== '' && input.validity.valid;
}

function edit(option) {
  const macro = currentMacro();
  const input = option.input();
  if (!macro) return;
  if (!valid(input)) {
    input.setAttribute('aria-invalid', 'true');
    els.formError.textContent = option.text;
    input.closest('.sequence-tools').append(els.formError);
    return;
  }
  input.removeAttribute('aria-invalid');
  els.formError.textContent = '';
  const value = Number(input.value);
  if (value === option.fallback) delete macro[option.member];
  else macro[option.member] = value;
  commit({ view: 'keys' });
}

function restore(option) {
  const macro = currentMacro();
  const input = option.input();
  if (!macro || valid(input)) return;
  input.value = String(macro[option.member] ?? option.fallback);
  input.removeAttribute('aria-invalid');
  els.formError.textContent = '';
}

export function bindPlaybackOptions() {
  for (const option of OPTIONS) {
    const input = option.input();
    input.addEventListener('input', () => edit(option));
    input.addEventListener('change', () => restore(option));
    input.addEventListener('blur', () => restore(option));
  }
}
