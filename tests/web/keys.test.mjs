// The page's key vocabulary without a browser: key names to the host's codes, and events to names.
import test from 'node:test';
import assert from 'node:assert/strict';
import { chordText, engineKeyCode, engineKeyList, hookKeyCode, physicalKey } from '../../web/src/keys.js';
import { sequenceText, splitTokens, testTextFor, tokenKey } from '../../web/src/key-text.js';
import { modifierWatch, watchModifierDown, watchModifierUp } from '../../web/src/modifier-watch.js';

test('key names give the codes the host reads, unknown names 0', () => {
  const cases = [
    ['a', 65], ['Z', 90], ['7', 55], ['F1', 112], ['f24', 135], ['F25', 0], ['F 5', 116], ['F+3', 114],
    ['Num0', 96], ['Num9', 105], ['Space', 32], ['ESC', 27], ['Ctrl', 17], ['control', 17], ['Win', 91],
    [';', 186], ["'", 222], ['\\', 220], ['MButton', 4], ['XButton2', 6], ['CapsLock', 20], ['+', 0],
    ['*', 0], ['', 0], ['Enterx', 0], ['hasOwnProperty', 0],
  ];
  for (const [name, code] of cases) assert.equal(engineKeyCode(name), code, name);
});

test('a plus-joined text is split and trimmed as the host does, duplicates dropped only when unique', () => {
  assert.deepEqual(engineKeyList('Ctrl + Alt + Q', false), [17, 18, 81]);
  assert.deepEqual(engineKeyList('Ctrl + Ctrl + Q', false), [17, 17, 81]);
  assert.deepEqual(engineKeyList('Ctrl + C + C', true), [17, 67]);
  assert.deepEqual(engineKeyList(' a +nothing+ b', true), [65, 66]);
  assert.deepEqual(engineKeyList('', true), []);
});

test('events name their physical key whatever the layout types', () => {
  const cases = [
    [{ code: 'KeyA', key: 'A' }, { name: 'a' }],
    [{ code: 'KeyQ', key: 'a' }, { name: 'q' }],
    [{ code: 'Digit1', key: '!' }, { name: '1' }],
    [{ code: 'Numpad4', key: 'ArrowLeft' }, { name: 'Num4' }],
    [{ code: 'F12', key: 'F12' }, { name: 'F12' }],
    [{ code: 'NumpadEnter', key: 'Enter' }, { name: 'Enter' }],
    [{ code: 'ShiftRight', key: 'Shift' }, { name: 'Shift' }],
    [{ code: 'Semicolon', key: 'ö' }, { name: ';' }],
    [{ code: '', key: 'Process' }, { ignored: true }],
    [{ code: '', key: ' ' }, { name: 'Space' }],
    [{ code: '', key: 'B' }, { name: 'b' }],
    [{ code: 'IntlBackslash', key: '<' }, { refused: 'IntlBackslash' }],
    [{ code: 'AudioVolumeUp', key: 'AudioVolumeUp' }, { refused: 'AudioVolumeUp' }],
  ];
  for (const [event, expected] of cases) assert.deepEqual(physicalKey(event), expected, JSON.stringify(event));
});

test('the hook codes of modifiers tell left from right', () => {
  assert.equal(hookKeyCode({ code: 'ShiftLeft', key: 'Shift' }), 160);
  assert.equal(hookKeyCode({ code: 'ControlRight', key: 'Control' }), 163);
  assert.equal(hookKeyCode({ code: 'MetaRight', key: 'Meta' }), 92);
  assert.equal(hookKeyCode({ code: 'KeyF', key: 'f' }), 70);
  assert.equal(hookKeyCode({ code: 'IntlRo', key: 'ro' }), 0);
});

test('chords, tokens and test texts', () => {
  assert.equal(chordText(['Ctrl', 'Shift'], 'a'), 'Ctrl + Shift + A');
  assert.equal(chordText([], 'F5'), 'F5');
  assert.deepEqual(splitTokens('a{Enter}{Ctrl + C}😀'), ['a', '{Enter}', '{Ctrl + C}', '😀']);
  assert.equal(tokenKey('{Enter}'), 'Enter');
  assert.equal(tokenKey('{}'), '{}');
  assert.equal(sequenceText([{ key: 'a' }, { key: 'Enter' }, { key: '4' }]), 'a{Enter}4');
  assert.deepEqual(['Space', 'Enter', 'a', 'F5', ''].map(testTextFor), [' ', '↵', 'a', '[F5]', '']);
});

test('modifiers released on their own make one group; used with a key they make none', () => {
  const down = (code, key, held = {}) => ({ code, key, ...held });
  const watch = modifierWatch();
  assert.equal(watchModifierDown(watch, down('ControlLeft', 'Control', { ctrlKey: true })), true);
  assert.equal(watchModifierDown(watch, down('ShiftLeft', 'Shift', { ctrlKey: true, shiftKey: true })), true);
  assert.equal(watchModifierUp(watch, down('ShiftLeft', 'Shift', { ctrlKey: true })), '', 'Ctrl still held');
  assert.equal(watchModifierUp(watch, down('ControlLeft', 'Control')), 'Ctrl + Shift');

  watchModifierDown(watch, down('ControlLeft', 'Control', { ctrlKey: true }));
  assert.equal(watchModifierDown(watch, down('KeyC', 'c', { ctrlKey: true })), false);
  assert.equal(watchModifierUp(watch, down('ControlLeft', 'Control')), '');
});
