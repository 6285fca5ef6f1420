// Key vocabulary: the names the host's key parser reads, and the physical key of a keyboard event in
// those names. No page state and no document: usable wherever a key event or a key text is at hand.

// Named keys of the host's parser (lower case) and their Windows virtual-key codes.
const ENGINE_NAMED_KEYS = {
  space: 32, enter: 13, tab: 9, esc: 27, escape: 27, backspace: 8, delete: 46, insert: 45, home: 36, end: 35,
  pageup: 33, pagedown: 34, up: 38, down: 40, left: 37, right: 39, ctrl: 17, control: 17, shift: 16, alt: 18,
  win: 91, meta: 91, numadd: 107, numsubtract: 109, nummultiply: 106, numdivide: 111, numdecimal: 110,
  capslock: 20, scrolllock: 145, numlock: 144, pause: 19, printscreen: 44, menu: 93,
  mbutton: 4, xbutton1: 5, xbutton2: 6,
};

// Mouse buttons that may trigger a macro, by the event's button number: their names and the codes the
// mouse hook reports. They are triggers only; a step never sends them.
const MOUSE_TRIGGER_BUTTONS = { 1: { name: 'MButton', code: 4 }, 3: { name: 'XButton1', code: 5 }, 4: { name: 'XButton2', code: 6 } };

export function mouseTriggerButton(event) {
  return Object.hasOwn(MOUSE_TRIGGER_BUTTONS, event.button) ? MOUSE_TRIGGER_BUTTONS[event.button] : null;
}

const ENGINE_PUNCTUATION = { ';': 186, '=': 187, ',': 188, '-': 189, '.': 190, '/': 191, '`': 192, '[': 219, '\\': 220, ']': 221, "'": 222 };

// One key name to its virtual-key code as the host reads it; 0 when the host names no key.
export function engineKeyCode(text) {
  const name = String(text).replace(/[A-Z]/g, (c) => c.toLowerCase());
  if (name.length === 1) {
    if (/^[a-z]$/.test(name)) return name.toUpperCase().charCodeAt(0);
    if (/^[0-9]$/.test(name)) return name.charCodeAt(0);
    return ENGINE_PUNCTUATION[name] || 0;
  }
  if (name.length >= 2 && name[0] === 'f') {
    const match = /^[ \t\n\v\f\r]*([+-]?)([0-9]+)$/.exec(name.slice(1));
    if (match) {
      const value = Number(match[1] + match[2]);
      if (value >= 1 && value <= 24) return 111 + value;
    }
  }
  if (/^num[0-9]$/.test(name)) return 96 + Number(name[3]);
  return Object.hasOwn(ENGINE_NAMED_KEYS, name) ? ENGINE_NAMED_KEYS[name] : 0;
}

// A plus-joined key text to its codes, the host's way: unknown pieces dropped, duplicates too when `unique`.
export function engineKeyList(text, unique) {
  const keys = [];
  for (const piece of String(text).split('+')) {
    const code = engineKeyCode(piece.replace(/^[ \t\r\n]+|[ \t\r\n]+$/g, ''));
    if (code === 0 || (unique && keys.includes(code))) continue;
    keys.push(code);
  }
  return keys;
}

// Physical keys (event codes) other than letters, digits, keypad digits and F-keys, in the host's names.
const CODE_NAMES = {
  Space: 'Space', Enter: 'Enter', NumpadEnter: 'Enter', Tab: 'Tab', Escape: 'Esc', Backspace: 'Backspace',
  Delete: 'Delete', Insert: 'Insert', Home: 'Home', End: 'End', PageUp: 'PageUp', PageDown: 'PageDown',
  ArrowUp: 'Up', ArrowDown: 'Down', ArrowLeft: 'Left', ArrowRight: 'Right',
  ControlLeft: 'Ctrl', ControlRight: 'Ctrl', AltLeft: 'Alt', AltRight: 'Alt', ShiftLeft: 'Shift', ShiftRight: 'Shift',
  MetaLeft: 'Win', MetaRight: 'Win', OSLeft: 'Win', OSRight: 'Win',
  NumpadAdd: 'NumAdd', NumpadSubtract: 'NumSubtract', NumpadMultiply: 'NumMultiply', NumpadDivide: 'NumDivide',
  NumpadDecimal: 'NumDecimal', CapsLock: 'CapsLock', ScrollLock: 'ScrollLock', NumLock: 'NumLock', Pause: 'Pause',
  PrintScreen: 'PrintScreen', ContextMenu: 'Menu',
  Semicolon: ';', Equal: '=', Comma: ',', Minus: '-', Period: '.', Slash: '/', Backquote: '`',
  BracketLeft: '[', Backslash: '\\', BracketRight: ']', Quote: "'",
};

// What the keyboard hook reports for the modifier keys: their left and right codes.
const HOOK_MODIFIER_CODES = {
  ShiftLeft: 160, ShiftRight: 161, ControlLeft: 162, ControlRight: 163, AltLeft: 164, AltRight: 165,
  MetaLeft: 91, MetaRight: 92, OSLeft: 91, OSRight: 92,
};

// Event keys for events without a code (virtual keyboards, some input paths).
const EVENT_KEY_NAMES = {
  ' ': 'Space',
  ArrowUp: 'Up',
  ArrowDown: 'Down',
  ArrowLeft: 'Left',
  ArrowRight: 'Right',
  Control: 'Ctrl',
  Meta: 'Win',
  Escape: 'Esc',
  ContextMenu: 'Menu',
};

const IGNORED_KEYS = new Set(['Process', 'Unidentified', 'Dead']);
export const MODIFIER_NAMES = ['Ctrl', 'Alt', 'Shift', 'Win'];

export function isOneCharacter(text) {
  return [...text].length === 1;
}

// The physical key of a key event in the host's names: { name } (letters in lower case), { ignored } for
// input-method and dead keys, or { refused: label } for a key the host has no name for.
export function physicalKey(event) {
  const code = event.code || '';
  let match = /^Key([A-Z])$/.exec(code);
  if (match) return { name: match[1].toLowerCase() };
  match = /^Digit([0-9])$/.exec(code);
  if (match) return { name: match[1] };
  match = /^Numpad([0-9])$/.exec(code);
  if (match) return { name: 'Num' + match[1] };
  match = /^F([1-9][0-9]?)$/.exec(code);
  if (match && Number(match[1]) <= 24) return { name: code };
  if (Object.hasOwn(CODE_NAMES, code)) return { name: CODE_NAMES[code] };
  if (IGNORED_KEYS.has(event.key)) return { ignored: true };
  if (!code) {
    const key = event.key || '';
    const name = Object.hasOwn(EVENT_KEY_NAMES, key) ? EVENT_KEY_NAMES[key] : isOneCharacter(key) ? key.toLowerCase() : key;
    if (name && engineKeyCode(name) !== 0) return { name };
  }
  return { refused: event.key && event.key.length > 1 ? event.key : code || event.key || '?' };
}

export function isModifierEvent(event) {
  const key = physicalKey(event);
  return Boolean(key.name) && MODIFIER_NAMES.includes(key.name);
}

// The modifiers held during `event`, in the fixed order Ctrl, Alt, Shift, Win.
export function heldModifiers(event) {
  const held = [];
  if (event.ctrlKey) held.push('Ctrl');
  if (event.altKey) held.push('Alt');
  if (event.shiftKey) held.push('Shift');
  if (event.metaKey) held.push('Win');
  return held;
}

// Keys pressed together as the host reads them: modifiers first, a letter in upper case.
export function chordText(modifiers, name) {
  const last = /^[a-z]$/.test(name) ? name.toUpperCase() : name;
  return [...modifiers, last].join(' + ');
}

// Modifiers pressed and released with no other key: in the fixed order.
export function modifierChordText(names) {
  return MODIFIER_NAMES.filter((name) => names.has(name)).join(' + ');
}

// Plain Tab and Shift+Tab move the focus; they are never recorded or captured.
export function isFocusMove(event) {
  return event.key === 'Tab' && !event.ctrlKey && !event.altKey && !event.metaKey;
}

// What the keyboard hook reports for the key of `event`: the left or right code of a modifier, else the
// code of its name; 0 for a key without a name.
export function hookKeyCode(event) {
  if (Object.hasOwn(HOOK_MODIFIER_CODES, event.code)) return HOOK_MODIFIER_CODES[event.code];
  const key = physicalKey(event);
  return key.name ? engineKeyCode(key.name) : 0;
}
