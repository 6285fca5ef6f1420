// Key texts as the page writes and shows them: capture-box tokens, a macro's "text", labels and summaries,
// and what the in-page test types for a key.
import { isOneCharacter } from './keys.js';

export function keyToken(name) {
  return isOneCharacter(name) ? name : `{${name}}`;
}

export function splitTokens(text) {
  return text.match(/\{[^{}]+\}|[\s\S]/gu) || [];
}

export function tokenKey(token) {
  return token.length > 2 && token.startsWith('{') && token.endsWith('}') ? token.slice(1, -1) : token;
}

export function sequenceText(steps) {
  return steps.map((step) => keyToken(String(step.key))).join('');
}

export function keyLabel(key) {
  return key === ' ' || key === 'Space' ? '空格' : String(key);
}

// A step's key cap: its keys, or for a step that only lets kept keys up, what it releases.
export function stepLabel(step) {
  if (String(step.key) === '' && typeof step.release === 'string' && step.release) return `松开 ${step.release}`;
  return keyLabel(step.key);
}

export function keySummary(macro) {
  if (macro.steps.length === 0) return '未添加按键';
  return macro.steps.map((step) => keyLabel(step.key)).join(' ');
}

export function triggerText(macro) {
  if (macro.behavior === 'repeat') return '连发';
  return macro.trigger || '未设置';
}

export function triggerTitle(macro) {
  if (macro.behavior === 'repeat') return '单键连发';
  return macro.trigger || '未设置触发键';
}

export function testTextFor(key) {
  const name = String(key);
  if (name === 'Space') return ' ';
  if (name === 'Enter') return '↵';
  if (isOneCharacter(name) || name === '') return name;
  return `[${name}]`;
}
