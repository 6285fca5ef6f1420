'use strict';

// Kestrava editor page: profiles and macros in memory, rendered into the static markup, saved
// through the local API and, inside the desktop host, handed to the engine by web messages.

// ---------------------------------------------------------------------------------------------
// Elements

const $ = (id) => document.getElementById(id);

const els = {
  profilePicker: document.querySelector('.profile-picker'),
  profileCurrent: $('profile-current'),
  profile: $('profile'),
  profileLabel: $('profile-label'),
  profileToggle: $('profile-toggle'),
  profileRenameForm: $('profile-rename-form'),
  profileRenameInput: $('profile-rename-input'),
  profileMenu: $('profile-menu'),
  showMacroNames: $('show-macro-names'),
  enableMacros: $('enable-macros'),
  enableMacrosControl: $('enable-macros-control'),
  shortcutSettings: $('shortcut-settings'),
  windowMinimize: $('window-minimize'),
  windowClose: $('window-close'),
  topBar: document.querySelector('header.top'),
  profileProgram: $('profile-program'),
  addMacro: $('add-macro'),
  macroCount: $('macro-count'),
  macroList: $('macro-list'),
  editor: $('editor'),
  sequenceLabel: $('sequence-label'),
  sequence: $('sequence'),
  addSequence: $('add-sequence'),
  hold: $('hold'),
  gap: $('gap'),
  sequenceKeys: $('sequence-keys'),
  triggerLabel: $('trigger-label'),
  trigger: $('trigger'),
  repeatSource: $('repeat-source'),
  behavior: $('behavior'),
  macroEnabled: $('macro-enabled'),
  formError: $('form-error'),
  testOutput: $('test-output'),
  runTest: $('run-test'),
  deleteMacro: $('delete-macro'),
  empty: $('empty'),
  emptyAdd: $('empty-add'),
  shortcutDialog: $('shortcut-dialog'),
  shortcutForm: $('shortcut-form'),
  shortcutKey: $('shortcut-key'),
  shortcutError: $('shortcut-error'),
  shortcutCancel: $('shortcut-cancel'),
  shortcutSave: $('shortcut-save'),
  dialog: $('dialog'),
  dialogForm: $('dialog-form'),
  dialogTitle: $('dialog-title'),
  dialogClose: $('dialog-close'),
  dialogCancel: $('dialog-cancel'),
  dialogConfirm: $('dialog-confirm'),
  programDialog: $('program-dialog'),
  programClose: $('program-close'),
  programGlobal: $('program-global'),
  programRefresh: $('program-refresh'),
  programList: $('program-list'),
  toast: $('toast'),
};

// ---------------------------------------------------------------------------------------------
// Modes and page state

const query = new URLSearchParams(location.search);
const desktop = query.get('desktop') === '1';
const bridge = desktop && hasWebView();

const SAVE_DELAY_MS = 120;
const TOAST_MS = 2800;
const MAX_TIME_MS = 60000;
const CAPTURE_LIMIT = 120;
const PREVIEW_SHORTCUT_KEY = 'macro-toggle-preview';

let profiles = [{ id: 1, name: '默认配置', program: '', macros: [] }];
let selectedProfile = 1;
let selectedMacro = 1;
let nextId = 10;
let showMacroNames = true;
let macroEnabled = true;
let ready = false;
let recording = null; // { type: 'trigger' } or { type: 'sequence-edit', index }
let sequenceAdvanced = false;
let activeTest = null; // { id, timer, highlight }
let profileMenuAction = null; // 'add' while the menu shows its new-profile form
let dialogAction = null;
let saveTimer = null;
let toastTimer = null;
let previewShortcut = readPreviewShortcut();
let programRequest = 0;
let renderedMacro = null;
let capturedKeys = ''; // the capture box's keys, kept until "添加" or another macro is selected

function hasWebView() {
  return Boolean(window.chrome && window.chrome.webview);
}

function currentProfile() {
  return profiles.find((profile) => profile.id === selectedProfile) || profiles[0];
}

function currentMacro() {
  const profile = currentProfile();
  if (selectedMacro === undefined || selectedMacro === null) return null;
  return profile.macros.find((macro) => macro.id === selectedMacro) || null;
}

function takeNextId() {
  const id = nextId;
  nextId += 1;
  return id;
}

// ---------------------------------------------------------------------------------------------
// Key vocabulary: the names the host's key parser reads, and the physical key of an event in them

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

function mouseTriggerButton(event) {
  return Object.hasOwn(MOUSE_TRIGGER_BUTTONS, event.button) ? MOUSE_TRIGGER_BUTTONS[event.button] : null;
}

const ENGINE_PUNCTUATION = { ';': 186, '=': 187, ',': 188, '-': 189, '.': 190, '/': 191, '`': 192, '[': 219, '\\': 220, ']': 221, "'": 222 };

// One key name to its virtual-key code as the host reads it; 0 when the host names no key.
function engineKeyCode(text) {
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
function engineKeyList(text, unique) {
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
const MODIFIER_NAMES = ['Ctrl', 'Alt', 'Shift', 'Win'];

function isOneCharacter(text) {
  return [...text].length === 1;
}

// The physical key of a key event in the host's names: { name } (letters in lower case), { ignored } for
// input-method and dead keys, or { refused: label } for a key the host has no name for.
function physicalKey(event) {
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

function isModifierEvent(event) {
  const key = physicalKey(event);
  return Boolean(key.name) && MODIFIER_NAMES.includes(key.name);
}

// The modifiers held during `event`, in the fixed order Ctrl, Alt, Shift, Win.
function heldModifiers(event) {
  const held = [];
  if (event.ctrlKey) held.push('Ctrl');
  if (event.altKey) held.push('Alt');
  if (event.shiftKey) held.push('Shift');
  if (event.metaKey) held.push('Win');
  return held;
}

// Keys pressed together as the host reads them: modifiers first, a letter in upper case.
function chordText(modifiers, name) {
  const last = /^[a-z]$/.test(name) ? name.toUpperCase() : name;
  return [...modifiers, last].join(' + ');
}

// Modifiers pressed and released with no other key: in the fixed order.
function modifierChordText(names) {
  return MODIFIER_NAMES.filter((name) => names.has(name)).join(' + ');
}

// Plain Tab and Shift+Tab move the focus; they are never recorded or captured.
function isFocusMove(event) {
  return event.key === 'Tab' && !event.ctrlKey && !event.altKey && !event.metaKey;
}

function refuseKey(label) {
  toast(`按键“${label}”无法用于宏，未记录。`);
}

// What the keyboard hook reports for the key of `event`: the left or right code of a modifier, else the
// code of its name; 0 for a key without a name.
function hookKeyCode(event) {
  if (Object.hasOwn(HOOK_MODIFIER_CODES, event.code)) return HOOK_MODIFIER_CODES[event.code];
  const key = physicalKey(event);
  return key.name ? engineKeyCode(key.name) : 0;
}

function keyToken(name) {
  return isOneCharacter(name) ? name : `{${name}}`;
}

function splitTokens(text) {
  return text.match(/\{[^{}]+\}|[\s\S]/gu) || [];
}

function tokenKey(token) {
  return token.length > 2 && token.startsWith('{') && token.endsWith('}') ? token.slice(1, -1) : token;
}

function sequenceText(steps) {
  return steps.map((step) => keyToken(String(step.key))).join('');
}

function keyLabel(key) {
  return key === ' ' || key === 'Space' ? '空格' : String(key);
}

function keySummary(macro) {
  if (macro.steps.length === 0) return '未添加按键';
  return macro.steps.map((step) => keyLabel(step.key)).join(' ');
}

function triggerText(macro) {
  if (macro.behavior === 'repeat') return '连发';
  return macro.trigger || '未设置';
}

function triggerTitle(macro) {
  if (macro.behavior === 'repeat') return '单键连发';
  return macro.trigger || '未设置触发键';
}

// ---------------------------------------------------------------------------------------------
// Host messages out

function postToHost(text) {
  if (hasWebView()) window.chrome.webview.postMessage(text);
}

function sendMacroState() {
  if (!bridge) return;
  postToHost(JSON.stringify({ type: 'macro-state', enabled: macroEnabled, profile: currentProfile() }));
}

// ---------------------------------------------------------------------------------------------
// Loading and saving

const LOAD_FAILED_MESSAGE = '本地配置读取失败，已使用默认内容。';
const LOAD_REPAIRED_MESSAGE = '本地配置中有无效的内容，已修复后载入。';
const BEHAVIORS = ['once', 'hold', 'repeat', 'latch'];
const MAX_MACROS = 1000;
const MAX_STEPS = 10000;

// How loading went: 'none' (no stored document), 'loaded', 'repaired' or 'failed'. After a repair or a
// failure the stored file is left as it is until the user changes something.
let loadOutcome = 'none';

async function loadState() {
  try {
    const response = await fetch('/api/state', { cache: 'no-store' });
    if (!response.ok) throw new Error(`state request answered ${response.status}`);
    const answer = await response.json();
    adoptState(answer ? answer.state : null);
  } catch {
    loadOutcome = 'failed';
    noticeUntilUserActs(LOAD_FAILED_MESSAGE);
  }
}

function adoptState(state) {
  if (state === null || state === undefined) {
    loadOutcome = 'none';
    return;
  }
  if (!isPlainObject(state) || !Array.isArray(state.profiles) || state.profiles.length === 0) {
    throw new Error('the stored document is not a state document');
  }
  const repairs = { count: 0 };
  const loaded = state.profiles.map((profile) => repairProfile(profile, repairs));
  assignFreshIds(loaded, repairs);
  profiles = loaded;
  const savedProfile = profiles.find((profile) => profile.id === state.selectedProfile);
  selectedProfile = savedProfile ? savedProfile.id : profiles[0].id;
  const macros = currentProfile().macros;
  const savedMacro = macros.find((macro) => macro.id === state.selectedMacro);
  selectedMacro = savedMacro ? savedMacro.id : macros.length ? macros[0].id : undefined;
  showMacroNames = state.showMacroNames !== false;
  macroEnabled = state.macroEnabled !== false;
  loadOutcome = repairs.count > 0 ? 'repaired' : 'loaded';
  if (loadOutcome === 'repaired') toast(LOAD_REPAIRED_MESSAGE);
}

function isPlainObject(value) {
  return value !== null && typeof value === 'object' && !Array.isArray(value);
}

// Repairs what can be repaired without guessing: a value of the wrong type takes its default, a time out
// of range its nearest valid value, an unknown behaviour "once". A document whose structure is wrong (a
// profile, macro or step that is not an object, lists that are not lists) cannot be used and throws.
function repairProfile(profile, repairs) {
  if (!isPlainObject(profile)) throw new Error('a profile is not an object');
  const fix = (condition, apply) => {
    if (condition) {
      apply();
      repairs.count += 1;
    }
  };
  // A member that is missing takes its default silently, as the host does; one that is present but wrong
  // is repaired and counted.
  const member = (record, name, fallback, isValid, repair) => {
    if (record[name] === undefined) record[name] = fallback;
    else fix(!isValid(record[name]), () => (record[name] = repair(record[name])));
  };
  const isString = (value) => typeof value === 'string';
  const textOf = (value) => (typeof value === 'number' && Number.isFinite(value) ? String(value) : '');
  member(profile, 'name', '未命名配置', isString, () => '未命名配置');
  member(profile, 'program', '', isString, () => '');
  if (profile.macros === undefined) profile.macros = [];
  if (!Array.isArray(profile.macros) || profile.macros.length > MAX_MACROS) throw new Error('macros is not a list');
  for (const macro of profile.macros) {
    if (!isPlainObject(macro)) throw new Error('a macro is not an object');
    if (typeof macro.enabled !== 'boolean') macro.enabled = true;
    member(macro, 'name', '未命名宏', isString, () => '未命名宏');
    member(macro, 'trigger', '', isString, textOf);
    member(macro, 'behavior', 'once', (value) => BEHAVIORS.includes(value), () => 'once');
    member(macro, 'hold', 30, (value) => validTime(value, 1), (value) => repairedTime(value, 1, 30));
    member(macro, 'gap', 50, (value) => validTime(value, 0), (value) => repairedTime(value, 0, 50));
    if (macro.steps === undefined) macro.steps = [];
    if (!Array.isArray(macro.steps) || macro.steps.length > MAX_STEPS) throw new Error('steps is not a list');
    for (const step of macro.steps) {
      if (!isPlainObject(step)) throw new Error('a step is not an object');
      member(step, 'key', '', isString, textOf);
      member(step, 'hold', 30, (value) => validTime(value, 1), (value) => repairedTime(value, 1, 30));
      member(step, 'gap', 50, (value) => validTime(value, 0), (value) => repairedTime(value, 0, 50));
    }
    member(macro, 'text', sequenceText(macro.steps), isString, () => sequenceText(macro.steps));
  }
  return profile;
}

function validTime(value, minimum) {
  return Number.isInteger(value) && value >= minimum && value <= MAX_TIME_MS;
}

function repairedTime(value, minimum, fallback) {
  if (typeof value !== 'number' || !Number.isFinite(value)) return fallback;
  return Math.min(MAX_TIME_MS, Math.max(minimum, Math.trunc(value)));
}

// Profiles and macros without a usable id, or with one that an earlier macro of the profile (or an
// earlier profile) has, get fresh ids above every id in the document.
function assignFreshIds(list, repairs) {
  const usable = (id) => typeof id === 'number' && Number.isFinite(id);
  let fresh = 1 + Math.max(10, ...list.flatMap((profile) => [profile.id, ...profile.macros.map((macro) => macro.id)]).filter(usable));
  const profileIds = new Set();
  for (const profile of list) {
    if (!usable(profile.id) || profileIds.has(profile.id)) {
      profile.id = fresh++;
      repairs.count += 1;
    }
    profileIds.add(profile.id);
    const macroIds = new Set();
    for (const macro of profile.macros) {
      // The host reads ids as whole numbers: 2 and 2.5 are the same macro there.
      if (!usable(macro.id) || macroIds.has(Math.trunc(macro.id))) {
        macro.id = fresh++;
        repairs.count += 1;
      }
      macroIds.add(Math.trunc(macro.id));
    }
  }
  nextId = fresh;
}

function savedState() {
  return { profiles, selectedProfile, selectedMacro, showMacroNames, macroEnabled };
}

// Every change counts; `storedChange` is the last change the host has stored. Saves run one at a time.
let changeCount = 0;
let storedChange = 0;
let saving = null;
let saveError = '';

function hasUnsavedChanges() {
  return storedChange !== changeCount;
}

function queueSave(publish = true) {
  if (!ready) return;
  if (publish) sendMacroState();
  changeCount += 1;
  clearTimeout(saveTimer);
  saveTimer = setTimeout(writeState, SAVE_DELAY_MS);
}

// Writes the document until every change is stored; false when the host refused or could not be reached
// (the changes stay unsaved and the next change or closing tries again).
async function writeState() {
  clearTimeout(saveTimer);
  saveTimer = null;
  while (saving) await saving;
  if (!hasUnsavedChanges()) return true;
  const upTo = changeCount;
  saving = postState(JSON.stringify(savedState()));
  const error = await saving;
  saving = null;
  if (error !== null) {
    const first = saveError === '';
    saveError = error;
    if (first || !els.dialog.open) toast(`自动保存失败：${error}修改尚未保存，下次修改或关闭前会重试。`);
    return false;
  }
  storedChange = Math.max(storedChange, upTo);
  saveError = '';
  return hasUnsavedChanges() ? writeState() : true;
}

// Posts one document; null when it was stored, else the host's refusal text (with its reason) or a generic one.
async function postState(body, keepalive = false) {
  try {
    const response = await fetch('/api/state', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body,
      keepalive,
    });
    if (response.ok) return null;
    const answer = await response.json().catch(() => null);
    if (!answer || typeof answer.error !== 'string' || !answer.error) return '请检查本地服务。';
    return typeof answer.reason === 'string' && answer.reason ? `${answer.error}（${answer.reason}）` : answer.error;
  } catch {
    return '请检查本地服务。';
  }
}

// The page is going away (reload, hidden, the window losing focus to the tray or another program): a
// change still waiting for its timer is sent at once, in a request that outlives the page.
function flushOnLeave() {
  if (!ready || saveTimer === null) return;
  if (saving) {
    saving.then(() => Promise.resolve()).then(flushOnLeave);
    return;
  }
  clearTimeout(saveTimer);
  saveTimer = null;
  const body = JSON.stringify(savedState());
  const upTo = changeCount;
  // keepalive requests are limited to 64 KiB; a larger document goes as an ordinary request.
  saving = postState(body, body.length < 60000);
  saving.then((error) => {
    saving = null;
    if (error === null) storedChange = Math.max(storedChange, upTo);
    else saveError = error;
    if (hasUnsavedChanges() && saveTimer === null) saveTimer = setTimeout(writeState, SAVE_DELAY_MS);
  });
}

// ---------------------------------------------------------------------------------------------
// Rendering

function render({ save = true } = {}) {
  renderSidebar();
  const macro = currentMacro();
  if (macro !== renderedMacro) {
    // Another macro: the keys captured for the previous one and its test text are not carried over.
    renderedMacro = macro;
    capturedKeys = '';
    resetModifierWatch(captureWatch);
    els.testOutput.value = '';
  }
  if (!macro) {
    els.editor.hidden = true;
    els.empty.hidden = false;
    return;
  }
  els.editor.hidden = false;
  els.empty.hidden = true;
  renderEditor(macro);
  if (save) queueSave();
}

function renderSidebar() {
  const profile = currentProfile();
  els.profileLabel.textContent = profile.name;
  els.profile.title = '展开配置列表';
  renderProfileMenu();
  renderProgramScope(profile);
  els.macroCount.textContent = String(profile.macros.length);
  renderMacroList(profile);
}

function renderProfileMenu() {
  const menu = els.profileMenu;
  menu.replaceChildren();
  for (const profile of profiles) menu.append(profileMenuRow(profile));
  menu.append(element('div', { className: 'menu-separator', role: 'separator' }));
  if (profileMenuAction === 'add') {
    menu.append(profileAddForm());
  } else {
    menu.append(menuAction('＋ 添加配置', showProfileAddForm));
    menu.append(menuAction('重命名当前配置', openProfileRename));
  }
}

function profileMenuRow(profile) {
  const row = element('div', { className: 'profile-row', role: 'none' });
  const item = element('button', {
    type: 'button',
    className: 'profile-item',
    role: 'menuitemradio',
    'aria-checked': String(profile.id === selectedProfile),
  });
  item.dataset.profileId = String(profile.id);
  item.append(element('span', { className: 'profile-item-name', text: profile.name }));
  item.addEventListener('click', () => selectProfile(profile.id));
  const remove = element('button', {
    type: 'button',
    className: 'profile-remove',
    text: '×',
    'aria-label': '删除配置 ' + profile.name,
    title: '删除配置 ' + profile.name,
  });
  remove.addEventListener('click', () => askDeleteProfile(profile.id));
  row.append(item, remove);
  return row;
}

function menuAction(text, action) {
  const button = element('button', { type: 'button', className: 'menu-action', role: 'menuitem', text });
  button.addEventListener('click', action);
  return button;
}

function profileAddForm() {
  const form = element('form', { className: 'profile-add-form' });
  const input = element('input', { type: 'text', 'aria-label': '新配置名称', autocomplete: 'off', spellcheck: 'false' });
  input.value = '新配置';
  const submit = element('button', { type: 'submit', text: '确定' });
  form.append(input, submit);
  form.addEventListener('submit', (event) => {
    event.preventDefault();
    addProfile(input);
  });
  return form;
}

function renderProgramScope(profile) {
  const button = els.profileProgram;
  if (profile.program) {
    button.textContent = profile.programTitle ? `${profile.programTitle} · ${profile.program}` : profile.program;
    button.title = '点击更换当前配置的生效程序';
  } else {
    button.textContent = '未指定 · 全局生效';
    button.title = '点击为当前配置选择生效程序';
  }
}

function renderMacroList(profile) {
  const list = els.macroList;
  list.classList.toggle('compact', !showMacroNames);
  list.replaceChildren(...profile.macros.map(macroListItem));
}

function macroListItem(macro) {
  const item = element('div', { className: 'macro-item' });
  item.dataset.macroId = String(macro.id);
  if (macro.id === selectedMacro) item.setAttribute('aria-current', 'true');
  const label = element('div', { className: 'macro-label' });
  if (showMacroNames) label.append(macroNameField(macro));
  const summary = keySummary(macro);
  const trigger = triggerText(macro);
  label.append(
    element('button', {
      type: 'button',
      className: 'macro-summary',
      text: summary,
      'aria-label': `选择宏，已设置按键 ${summary}，触发键 ${trigger}`,
    }),
  );
  const triggerLabel = element('span', {
    className: 'macro-trigger',
    text: trigger,
    title: triggerTitle(macro),
    'aria-label': '触发键 ' + trigger,
  });
  item.append(label, triggerLabel);
  item.addEventListener('click', () => selectMacro(macro.id));
  return item;
}

function macroNameField(macro) {
  const input = element('input', { type: 'text', className: 'macro-name', 'aria-label': '宏名称', spellcheck: 'false', autocomplete: 'off' });
  input.value = macro.name;
  input.addEventListener('click', (event) => event.stopPropagation());
  input.addEventListener('keydown', (event) => {
    event.stopPropagation();
    if (event.key === 'Enter') input.blur();
  });
  input.addEventListener('input', () => {
    macro.name = input.value;
    queueSave();
  });
  input.addEventListener('blur', () => {
    const name = input.value.trim() || '未命名宏';
    if (name !== macro.name || input.value !== name) {
      macro.name = name;
      input.value = name;
      queueSave();
    }
  });
  return input;
}

function renderEditor(macro) {
  const repeat = macro.behavior === 'repeat';
  els.trigger.hidden = repeat;
  els.repeatSource.hidden = !repeat;
  els.triggerLabel.textContent = repeat ? '连发方式' : '触发按键';
  els.triggerLabel.htmlFor = repeat ? 'behavior' : 'trigger';
  if (repeat) els.triggerLabel.setAttribute('aria-controls', 'behavior');
  else els.triggerLabel.removeAttribute('aria-controls');
  els.sequenceLabel.textContent = repeat ? '添加连发键' : '添加按键';
  els.sequence.placeholder = repeat ? '按下要连发的按键' : '按下要添加的按键';
  els.sequence.value = capturedKeys;
  setTimeInput(els.hold, macro.hold, 30);
  setTimeInput(els.gap, macro.gap, 50);
  els.macroEnabled.checked = macro.enabled !== false;
  renderKeyList(macro);
  renderBehavior(macro);
  clearFormError();
  paintRecording();
  paintTestHighlight();
}

function setTimeInput(input, value, fallback) {
  input.value = String(Number.isFinite(value) ? value : fallback);
  input.removeAttribute('aria-invalid');
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

function renderKeyList(macro) {
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
  const label = keyLabel(step.key);
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
  } else {
    times.append(timeView(step, 'hold', index));
  }
  if (macro.behavior === 'repeat') times.append(timeView(step, 'gap', index, '间隔'));
  segment.append(key, remove, times);
  return segment;
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

function element(tag, attributes = {}) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === 'text') node.textContent = value;
    else if (name === 'className') node.className = value;
    else node.setAttribute(name, value);
  }
  return node;
}

// ---------------------------------------------------------------------------------------------
// Profiles

function selectProfile(id) {
  endRecording();
  stopTest();
  selectedProfile = id;
  const macros = currentProfile().macros;
  selectedMacro = macros.length ? macros[0].id : undefined;
  closeProfileMenu();
  render();
  queueSave();
}

function showProfileAddForm() {
  profileMenuAction = 'add';
  renderProfileMenu();
  const input = els.profileMenu.querySelector('.profile-add-form input');
  input.focus();
  input.select();
}

function addProfile(input) {
  const name = input.value.trim();
  if (!name) {
    input.focus();
    return;
  }
  endRecording();
  stopTest();
  const profile = { id: takeNextId(), name, program: '', macros: [] };
  profiles.push(profile);
  selectedProfile = profile.id;
  selectedMacro = undefined;
  closeProfileMenu();
  render();
  queueSave();
  els.profile.focus();
}

function openProfileRename() {
  closeProfileMenu();
  els.profileCurrent.hidden = true;
  els.profileRenameForm.hidden = false;
  els.profileRenameInput.value = currentProfile().name;
  els.profileRenameInput.focus();
  els.profileRenameInput.select();
}

function closeProfileRename() {
  els.profileRenameForm.hidden = true;
  els.profileCurrent.hidden = false;
}

function submitProfileRename(event) {
  event.preventDefault();
  const name = els.profileRenameInput.value.trim();
  if (!name) {
    els.profileRenameInput.focus();
    return;
  }
  currentProfile().name = name;
  closeProfileRename();
  render();
  queueSave();
  els.profile.focus();
}

function askDeleteProfile(id) {
  closeProfileMenu();
  if (profiles.length <= 1) {
    toast('至少保留一个配置。');
    return;
  }
  const profile = profiles.find((candidate) => candidate.id === id);
  if (!profile) return;
  openConfirm(`删除配置“${profile.name}”？`, '删除', () => deleteProfile(id));
}

function deleteProfile(id) {
  const index = profiles.findIndex((profile) => profile.id === id);
  if (index < 0 || profiles.length <= 1) return;
  endRecording();
  stopTest();
  profiles.splice(index, 1);
  if (selectedProfile === id) {
    selectedProfile = profiles[0].id;
    const macros = profiles[0].macros;
    selectedMacro = macros.length ? macros[0].id : undefined;
  }
  render();
  queueSave();
}

function toggleProfileMenu() {
  if (els.profileMenu.hidden) openProfileMenu();
  else closeProfileMenu();
}

function openProfileMenu() {
  endRecording();
  profileMenuAction = null;
  renderProfileMenu();
  els.profileMenu.hidden = false;
  els.profileToggle.setAttribute('aria-expanded', 'true');
  const current = els.profileMenu.querySelector('.profile-item[aria-checked="true"]');
  if (current) current.focus();
}

function closeProfileMenu() {
  if (els.profileMenu.hidden) return;
  els.profileMenu.hidden = true;
  els.profileToggle.setAttribute('aria-expanded', 'false');
  profileMenuAction = null;
}

// ---------------------------------------------------------------------------------------------
// Macros

function selectMacro(id) {
  if (id === selectedMacro && currentMacro()) return;
  endRecording();
  stopTest();
  selectedMacro = id;
  render();
}

function newMacroName(profile) {
  const names = new Set(profile.macros.map((macro) => macro.name));
  let n = 1;
  while (names.has('新建宏 ' + n)) n += 1;
  return '新建宏 ' + n;
}

function addMacro() {
  endRecording();
  stopTest();
  const profile = currentProfile();
  const macro = {
    id: takeNextId(),
    name: newMacroName(profile),
    enabled: true,
    trigger: '',
    behavior: 'once',
    text: '',
    hold: 30,
    gap: 50,
    steps: [],
  };
  profile.macros.push(macro);
  selectedMacro = macro.id;
  render();
}

function deleteMacro() {
  const profile = currentProfile();
  const index = profile.macros.findIndex((macro) => macro.id === selectedMacro);
  if (index < 0) return;
  endRecording();
  stopTest();
  profile.macros.splice(index, 1);
  const next = profile.macros[Math.min(index, profile.macros.length - 1)];
  selectedMacro = next ? next.id : undefined;
  render();
  queueSave();
}

function setBehavior(behavior) {
  const macro = currentMacro();
  if (!macro || macro.behavior === behavior) return;
  endRecording();
  stopTest();
  macro.behavior = behavior;
  render();
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
  render();
  toast(macro.enabled ? '当前宏已启用。' : '当前宏已停用，仍可在下方测试。');
}

function setShowMacroNames() {
  showMacroNames = els.showMacroNames.checked;
  render();
  queueSave();
}

// ---------------------------------------------------------------------------------------------
// Steps

function addCapturedSteps() {
  const macro = currentMacro();
  if (!macro) return;
  const tokens = splitTokens(els.sequence.value);
  if (tokens.length === 0) return;
  endRecording();
  for (const token of tokens) macro.steps.push({ key: tokenKey(token), hold: macro.hold, gap: macro.gap });
  macro.text = sequenceText(macro.steps);
  capturedKeys = '';
  els.sequence.value = '';
  render();
  queueSave();
}

function removeStep(index) {
  const macro = currentMacro();
  if (!macro || index >= macro.steps.length) return;
  endRecording();
  stopTest();
  macro.steps.splice(index, 1);
  macro.text = sequenceText(macro.steps);
  if (macro.steps.length === 0) sequenceAdvanced = false;
  render();
}

// ---------------------------------------------------------------------------------------------
// Times

function timeIsValid(input) {
  return input.value !== '' && input.validity.valid;
}

function showTimeError(input) {
  input.setAttribute('aria-invalid', 'true');
  if (input === els.hold || input === els.gap) els.hold.closest('.sequence-entry').append(els.formError);
  else els.sequenceKeys.after(els.formError);
  els.formError.textContent = `时间必须是 ${input.min}～60000 的整数毫秒。`;
}

function clearTimeError(input) {
  input.removeAttribute('aria-invalid');
  els.formError.textContent = '';
}

function clearFormError() {
  els.formError.textContent = '';
}

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
  renderKeyList(macro);
  paintTestHighlight();
  queueSave();
}

// Leaving a field that still holds an invalid time shows the stored value again.
function restoreMacroTime(field, input) {
  const macro = currentMacro();
  if (!macro || timeIsValid(input)) return;
  input.value = String(macro[field]);
  clearTimeError(input);
}

function editStepTime(step, field, input) {
  if (!timeIsValid(input)) {
    showTimeError(input);
    return;
  }
  clearTimeError(input);
  step[field] = Number(input.value);
  queueSave();
}

function restoreStepTime(step, field, input) {
  if (timeIsValid(input)) return;
  input.value = String(step[field]);
  clearTimeError(input);
}

// ---------------------------------------------------------------------------------------------
// Program picker

function openProgramPicker() {
  endRecording();
  closeProfileMenu();
  if (!els.programDialog.open) els.programDialog.showModal();
  loadPrograms();
}

async function loadPrograms() {
  const request = ++programRequest;
  const list = els.programList;
  list.setAttribute('aria-busy', 'true');
  try {
    const response = await fetch('/api/windows', { cache: 'no-store' });
    const answer = await response.json().catch(() => ({}));
    if (!response.ok) throw new Error((answer && answer.error) || '读取失败');
    if (request !== programRequest) return;
    showPrograms(Array.isArray(answer.windows) ? answer.windows : []);
  } catch (error) {
    if (request !== programRequest) return;
    const message = (error && error.message) || '无法读取已打开的程序';
    list.replaceChildren(element('p', { className: 'program-message error', text: message }));
  } finally {
    if (request === programRequest) list.removeAttribute('aria-busy');
  }
}

function showPrograms(windows) {
  const list = els.programList;
  if (windows.length === 0) {
    list.replaceChildren(element('p', { className: 'program-message', text: '没有可选择的程序' }));
    return;
  }
  list.replaceChildren(...windows.map(programButton));
}

function programButton(item) {
  const displayName = item.name || item.executable;
  const button = element('button', {
    type: 'button',
    className: 'program-item',
    'aria-label': `选择 ${displayName}，程序 ${item.executable}`,
    title: displayName,
  });
  button.append(
    element('span', { className: 'program-item-title', text: displayName }),
    element('span', { className: 'program-item-executable', text: item.executable }),
  );
  button.addEventListener('click', () => chooseProgram(item.executable, displayName));
  return button;
}

function chooseProgram(executable, title) {
  const profile = currentProfile();
  profile.program = executable;
  profile.programTitle = title;
  finishProgramChoice();
}

function chooseGlobal() {
  const profile = currentProfile();
  profile.program = '';
  profile.programTitle = '';
  finishProgramChoice();
}

function finishProgramChoice() {
  renderSidebar();
  queueSave();
  els.programDialog.close();
}

// ---------------------------------------------------------------------------------------------
// Master switch

function onMasterSwitch() {
  const box = els.enableMacros;
  if (!bridge) {
    box.checked = !box.checked;
    toast('全局宏只能在桌面软件中启用。');
    return;
  }
  macroEnabled = box.checked;
  queueSave();
  toast(macroEnabled ? '正在启用全局宏…' : '宏已关闭。');
}

function setMasterSwitch(enabled) {
  macroEnabled = enabled;
  els.enableMacros.checked = enabled;
}

// ---------------------------------------------------------------------------------------------
// Settings (master switch hotkey)

function readPreviewShortcut() {
  let stored = null;
  try {
    stored = localStorage.getItem(PREVIEW_SHORTCUT_KEY);
  } catch {
    stored = null;
  }
  const key = Number(stored);
  return Number.isInteger(key) && key >= 1 && key <= 12 ? key : 8;
}

function fillShortcutOptions() {
  const options = [];
  for (let key = 1; key <= 12; key += 1) options.push(new Option('F' + key, String(key)));
  els.shortcutKey.replaceChildren(...options);
}

function openSettings() {
  endRecording();
  closeProfileMenu();
  els.shortcutError.textContent = '';
  if (bridge) {
    els.shortcutKey.value = '8';
    els.shortcutSave.disabled = true;
    els.shortcutDialog.showModal();
    postToHost(JSON.stringify({ type: 'shortcut-get' }));
  } else {
    els.shortcutKey.value = String(previewShortcut);
    els.shortcutSave.disabled = false;
    els.shortcutDialog.showModal();
  }
}

function submitSettings(event) {
  event.preventDefault();
  const key = Number(els.shortcutKey.value);
  if (bridge) {
    els.shortcutSave.disabled = true;
    postToHost(JSON.stringify({ type: 'shortcut-set', key }));
    return;
  }
  previewShortcut = key;
  try {
    localStorage.setItem(PREVIEW_SHORTCUT_KEY, String(key));
  } catch {
    // Without storage the preview lasts for this page only.
  }
  els.shortcutDialog.close();
  toast(`预览快捷键已设为 F${key}，全局切换在桌面版生效。`);
}

function onShortcutResult(message) {
  if (!els.shortcutDialog.open) return;
  els.shortcutSave.disabled = false;
  if (message.error) {
    els.shortcutError.textContent = String(message.error);
    return;
  }
  els.shortcutError.textContent = '';
  els.shortcutKey.value = String(message.key);
  if (message.saved === true) {
    els.shortcutDialog.close();
    toast(`宏总开关快捷键已设为 F${message.key}。`);
  }
}

// ---------------------------------------------------------------------------------------------
// Window commands

// Closing waits for every change to be stored. While changes cannot be stored the window stays, and the
// user is told why and may close anyway.
async function closeWindow() {
  if (!hasWebView()) return;
  if (!ready || !hasUnsavedChanges() || (await writeState())) {
    postToHost('close');
    return;
  }
  openConfirm(`修改无法保存：${saveError}仍要关闭吗？未保存的修改会丢失。`, '仍然关闭', () => postToHost('close'));
}

function onTopBarMouseDown(event) {
  if (event.button !== 0) return;
  if (event.target.closest('button, input, select, textarea, label, .profile-picker')) return;
  postToHost('drag');
}

// ---------------------------------------------------------------------------------------------
// Host messages in

function onHostMessage(event) {
  let message = event.data;
  if (typeof message === 'string') {
    try {
      message = JSON.parse(message);
    } catch {
      return;
    }
  }
  if (!message || typeof message !== 'object') return;
  if (message.type === 'macro-status') onMacroStatus(message);
  else if (message.type === 'notice') noticeUntilUserActs(String(message.message || ''));
  else if (message.type === 'macro-toggle-result') onMacroToggleResult(message);
  else if (message.type === 'shortcut-result') onShortcutResult(message);
}

function onMacroStatus(message) {
  setMasterSwitch(message.enabled === true);
  if (message.message) statusToast(String(message.message));
}

function onMacroToggleResult(message) {
  if (!ready) return;
  setMasterSwitch(message.enabled === true);
  queueSave(false);
  if (!macroEnabled) toast('宏已关闭。');
}

// ---------------------------------------------------------------------------------------------
// Confirmation dialog and toast

function openConfirm(title, confirmText, action) {
  endRecording();
  dialogAction = action;
  els.dialogTitle.textContent = title;
  els.dialogConfirm.textContent = confirmText;
  els.dialog.showModal();
}

function submitConfirm(event) {
  event.preventDefault();
  const action = dialogAction;
  dialogAction = null;
  els.dialog.close();
  if (action) action();
}

// A notice that must be read stays until the user acts (a key press or a click anywhere), then goes like
// a toast; no status report from the host replaces it meanwhile.
let noticeShown = false;

function toast(text) {
  noticeShown = false;
  showToast(text);
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => {
    els.toast.hidden = true;
  }, TOAST_MS);
}

// A report of the host's (the engine switched on, and so on) that does not push a notice aside.
function statusToast(text) {
  if (!noticeShown) toast(text);
}

function noticeUntilUserActs(text) {
  clearTimeout(toastTimer);
  noticeShown = true;
  showToast(text);
}

function onUserAction() {
  if (!noticeShown) return;
  noticeShown = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => {
    els.toast.hidden = true;
  }, TOAST_MS);
}

// The toast is raised when at its place it would cover the test field at the bottom of the editor.
function showToast(text) {
  els.toast.textContent = text;
  els.toast.classList.remove('raised');
  els.toast.hidden = false;
  if (els.editor.hidden) return;
  const field = els.testOutput.getBoundingClientRect();
  const toast = els.toast.getBoundingClientRect();
  const covers = field.height > 0 && toast.top < field.bottom && field.top < toast.bottom;
  els.toast.classList.toggle('raised', covers);
}

// ---------------------------------------------------------------------------------------------
// Modifiers pressed on their own: a press of Ctrl, Alt, Shift or Win waits; released with no other key
// in between, the modifiers pressed make one key group ({Ctrl}, {Ctrl + Shift}).

function modifierWatch() {
  return { names: new Set(), usedByChord: false };
}

// Notes a key press; true when it was a modifier (which waits for its release).
function watchModifierDown(watch, event) {
  if (!isModifierEvent(event)) {
    watch.usedByChord = watch.names.size > 0 || heldModifiers(event).length > 0;
    return false;
  }
  watch.names.add(physicalKey(event).name);
  return true;
}

// Notes a key release; the modifier group when the last modifier came up with no other key pressed.
function watchModifierUp(watch, event) {
  if (!isModifierEvent(event) || watch.names.size === 0) return '';
  if (heldModifiers(event).length > 0) return '';
  const text = watch.usedByChord ? '' : modifierChordText(watch.names);
  watch.names.clear();
  watch.usedByChord = false;
  return text;
}

function resetModifierWatch(watch) {
  watch.names.clear();
  watch.usedByChord = false;
}

// ---------------------------------------------------------------------------------------------
// Key capture box

const captureWatch = modifierWatch();

function appendCaptureToken(token) {
  const box = els.sequence;
  if (box.value.length + token.length > CAPTURE_LIMIT) return;
  box.value += token;
  capturedKeys = box.value;
}

function onSequenceKeydown(event) {
  if (isFocusMove(event)) {
    resetModifierWatch(captureWatch);
    return;
  }
  event.preventDefault();
  event.stopPropagation();
  if (event.repeat || recording) return;
  if (watchModifierDown(captureWatch, event)) return;
  const box = els.sequence;
  const modifiers = heldModifiers(event);
  const key = physicalKey(event);
  // The keypad's decimal key is Delete with NumLock off: only the keys themselves edit the box.
  if (modifiers.length === 0 && key.name === 'Backspace') {
    box.value = splitTokens(box.value).slice(0, -1).join('');
    capturedKeys = box.value;
    return;
  }
  if (modifiers.length === 0 && key.name === 'Delete') {
    box.value = '';
    capturedKeys = '';
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
  if (recording) return;
  const group = watchModifierUp(captureWatch, event);
  if (group) appendCaptureToken(`{${group}}`);
}

// ---------------------------------------------------------------------------------------------
// Key recording (trigger or one step)

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
function keepMouseButtonHere(event) {
  if (mouseTriggerButton(event)) event.preventDefault();
}

function onTriggerKeydown(event) {
  if (recording || event.repeat) return;
  if (event.key === 'Enter' || event.key === ' ') {
    event.preventDefault();
    startTriggerRecording();
  }
}

function startStepRecording(index) {
  if (!currentMacro()) return;
  endRecording();
  stopTest();
  recording = { type: 'sequence-edit', index };
  paintRecording();
  const key = $('sequence-key-' + index);
  if (key) key.focus();
}

function endRecording() {
  if (!recording) return;
  recording = null;
  paintRecording();
}

function recordingElement() {
  if (!recording) return null;
  return recording.type === 'trigger' ? els.trigger : $('sequence-key-' + recording.index);
}

// Shows the recording state on the trigger field and the key caps.
function paintRecording() {
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
    key.textContent = editing ? '请按键…' : keyLabel(step.key);
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
  render();
  if (finished.type === 'sequence-edit') {
    const key = $('sequence-key-' + finished.index);
    if (key) key.focus();
  }
}

function onRecordingFocusOut(event) {
  if (recording && event.target === recordingElement()) endRecording();
}

// ---------------------------------------------------------------------------------------------
// In-page test runner

function testTextFor(key) {
  const name = String(key);
  if (name === 'Space') return ' ';
  if (name === 'Enter') return '↵';
  if (isOneCharacter(name) || name === '') return name;
  return `[${name}]`;
}

function insertTestText(text) {
  const field = els.testOutput;
  const start = field.selectionStart ?? field.value.length;
  const end = field.selectionEnd ?? start;
  field.setRangeText(text, start, end, 'end');
}

function testSteps(macro, indexes) {
  return indexes.map((index) => ({ index, key: macro.steps[index].key, hold: macro.steps[index].hold, gap: macro.steps[index].gap }));
}

function startTest(id, steps, mode, key = 0) {
  stopTest();
  const test = { id, mode, key, timer: null, highlight: null };
  activeTest = test;
  if (mode === 'latch') runHoldLast(test, steps);
  else runTimedPass(test, steps, mode === 'loop');
}

function stopTest() {
  if (!activeTest) return;
  clearTimeout(activeTest.timer);
  activeTest.highlight = null;
  activeTest = null;
  paintTestHighlight();
}

function finishTest(test) {
  if (activeTest === test) stopTest();
}

function setTestHighlight(test, index) {
  test.highlight = index;
  paintTestHighlight();
}

function paintTestHighlight() {
  const index = activeTest ? activeTest.highlight : null;
  for (const key of els.sequenceKeys.querySelectorAll('.sequence-key')) {
    key.classList.toggle('test-active', key.id === 'sequence-key-' + index);
  }
}

function durationOf(value, minimum) {
  const number = Number(value);
  return Math.max(minimum, Number.isFinite(number) ? number : minimum);
}

// Presses follow an absolute deadline: each is due hold + gap after the previous one was due,
// so a timer that fires late does not push the later presses back.
function runTimedPass(test, steps, loop) {
  if (steps.length === 0) {
    finishTest(test);
    return;
  }
  let index = 0;
  let deadline = performance.now();
  const press = () => {
    if (activeTest !== test) return;
    const step = steps[index];
    const hold = durationOf(step.hold, 1);
    const gap = durationOf(step.gap, 0);
    setTestHighlight(test, step.index);
    test.timer = setTimeout(() => {
      if (activeTest !== test) return;
      insertTestText(testTextFor(step.key));
      setTestHighlight(test, null);
      deadline += hold + gap;
      index += 1;
      if (index >= steps.length) {
        if (!loop) {
          finishTest(test);
          return;
        }
        index = 0;
      }
      test.timer = setTimeout(press, Math.max(0, deadline - performance.now()));
    }, hold);
  };
  press();
}

function runHoldLast(test, steps) {
  if (steps.length === 0) {
    finishTest(test);
    return;
  }
  let index = 0;
  const press = () => {
    if (activeTest !== test) return;
    const step = steps[index];
    setTestHighlight(test, step.index);
    if (index === steps.length - 1) {
      insertTestText(testTextFor(step.key));
      return;
    }
    test.timer = setTimeout(() => {
      if (activeTest !== test) return;
      insertTestText(testTextFor(step.key));
      setTestHighlight(test, null);
      index += 1;
      test.timer = setTimeout(press, durationOf(step.gap, 0));
    }, durationOf(step.hold, 1));
  };
  press();
}

// Keys held in the test field, by the code the keyboard hook would report.
const testPressed = new Set();

// The engine's modifier test: Shift, Ctrl, Alt and Win are held on either side.
function testModifierHeld(code, event) {
  if (code === 16) return event.shiftKey || testPressed.has(160) || testPressed.has(161);
  if (code === 17) return event.ctrlKey || testPressed.has(162) || testPressed.has(163);
  if (code === 18) return event.altKey || testPressed.has(164) || testPressed.has(165);
  if (code === 91) return event.metaKey || testPressed.has(91) || testPressed.has(92);
  return testPressed.has(code);
}

// Starts a test exactly when the engine would start the macro: the pressed key is the trigger's last key
// and every key before it is held (other keys may be held too); a held key's auto-repeat starts nothing.
function onTestKeydown(event) {
  if (event.isComposing || event.keyCode === 229 || recording) return;
  testPress(event, hookKeyCode(event), event.repeat);
}

// The middle and side buttons pressed in the test field, as the mouse hook reports them to the engine.
function onTestMouseDown(event) {
  const button = mouseTriggerButton(event);
  if (!button) return;
  event.preventDefault();
  if (recording) return;
  els.testOutput.focus();
  testPress(event, button.code, false);
}

function onTestMouseUp(event) {
  const button = mouseTriggerButton(event);
  if (!button) return;
  event.preventDefault();
  testRelease(button.code);
}

function testPress(event, code, repeat) {
  const fresh = code !== 0 && !testPressed.has(code) && !repeat;
  if (code !== 0) testPressed.add(code);
  const macro = currentMacro();
  if (!macro || code === 0) return;
  if (macro.behavior === 'repeat') {
    startRepeatTest(event, macro, code, fresh);
    return;
  }
  const keys = engineKeyList(macro.trigger || '', false);
  if (keys.length === 0 || keys[keys.length - 1] !== code) return;
  if (!keys.slice(0, -1).every((modifier) => testModifierHeld(modifier, event))) return;
  event.preventDefault();
  if (!fresh) return;
  const trigger = macro.trigger.toLowerCase();
  const all = macro.steps.map((step, index) => index);
  const id = `${macro.behavior}:${trigger}`;
  if (activeTest && activeTest.id === id) return;
  const mode = macro.behavior === 'hold' ? 'loop' : macro.behavior === 'latch' ? 'latch' : 'once';
  startTest(id, testSteps(macro, all), mode, code);
}

function startRepeatTest(event, macro, code, fresh) {
  const index = macro.steps.findIndex((step) => {
    const keys = engineKeyList(step.key, true);
    return keys.length === 1 && keys[0] === code;
  });
  if (index < 0) return;
  event.preventDefault();
  if (!fresh) return;
  const id = 'repeat:' + String(macro.steps[index].key).toLowerCase();
  if (activeTest && activeTest.id === id) return;
  startTest(id, testSteps(macro, [index]), 'loop', code);
}

function onTestKeyup(event) {
  testRelease(hookKeyCode(event));
}

function testRelease(code) {
  testPressed.delete(code);
  if (!activeTest) return;
  const kind = activeTest.id.slice(0, activeTest.id.indexOf(':'));
  if (kind === 'hold') stopTest();
  else if ((kind === 'repeat' || kind === 'latch') && code === activeTest.key) stopTest();
}

function runSinglePass() {
  const macro = currentMacro();
  if (!macro) return;
  endRecording();
  if (macro.steps.length === 0) {
    toast('这个宏还没有按键，没有可测试的内容。');
    return;
  }
  toast('正在按设定时间运行一次测试。');
  els.testOutput.focus();
  const all = macro.steps.map((step, index) => index);
  startTest('once:' + String(macro.trigger).toLowerCase(), testSteps(macro, all), 'once');
}

// ---------------------------------------------------------------------------------------------
// Events

function bindEvents() {
  els.profile.addEventListener('click', toggleProfileMenu);
  els.profileToggle.addEventListener('click', toggleProfileMenu);
  els.profileRenameForm.addEventListener('submit', submitProfileRename);
  els.profileRenameInput.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      event.preventDefault();
      closeProfileRename();
      els.profile.focus();
    }
  });
  document.addEventListener('pointerdown', (event) => {
    if (!els.profileMenu.hidden && !els.profilePicker.contains(event.target)) closeProfileMenu();
  });
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape' && !els.profileMenu.hidden) {
      closeProfileMenu();
      els.profile.focus();
    }
  });

  els.showMacroNames.addEventListener('change', setShowMacroNames);
  els.enableMacros.addEventListener('change', onMasterSwitch);
  els.shortcutSettings.addEventListener('click', openSettings);
  els.windowMinimize.addEventListener('click', () => postToHost('minimize'));
  els.windowClose.addEventListener('click', closeWindow);
  els.topBar.addEventListener('mousedown', onTopBarMouseDown);

  els.profileProgram.addEventListener('click', openProgramPicker);
  els.programRefresh.addEventListener('click', loadPrograms);
  els.programGlobal.addEventListener('click', chooseGlobal);
  els.programClose.addEventListener('click', () => els.programDialog.close());

  els.addMacro.addEventListener('click', addMacro);
  els.emptyAdd.addEventListener('click', addMacro);
  els.deleteMacro.addEventListener('click', deleteMacro);
  els.macroEnabled.addEventListener('change', setMacroEnabled);
  for (const button of behaviorButtons()) {
    button.addEventListener('click', () => setBehavior(button.dataset.behavior));
  }
  els.behavior.addEventListener('keydown', onBehaviorKeydown);

  els.sequence.addEventListener('keydown', onSequenceKeydown);
  els.sequence.addEventListener('keyup', onSequenceKeyup);
  els.sequence.addEventListener('blur', () => resetModifierWatch(captureWatch));
  els.sequence.addEventListener('paste', (event) => event.preventDefault());
  els.sequence.addEventListener('drop', (event) => event.preventDefault());
  els.addSequence.addEventListener('click', addCapturedSteps);
  els.hold.addEventListener('input', () => editMacroTime('hold', els.hold));
  els.gap.addEventListener('input', () => editMacroTime('gap', els.gap));
  els.hold.addEventListener('change', () => restoreMacroTime('hold', els.hold));
  els.gap.addEventListener('change', () => restoreMacroTime('gap', els.gap));
  els.hold.addEventListener('blur', () => restoreMacroTime('hold', els.hold));
  els.gap.addEventListener('blur', () => restoreMacroTime('gap', els.gap));

  els.trigger.addEventListener('click', startTriggerRecording);
  els.trigger.addEventListener('keydown', onTriggerKeydown);
  els.trigger.addEventListener('mousedown', onTriggerMouseDown);
  els.trigger.addEventListener('mouseup', keepMouseButtonHere);
  els.trigger.addEventListener('auxclick', keepMouseButtonHere);
  document.addEventListener('keydown', onRecordingKeydown, true);
  document.addEventListener('focusout', onRecordingFocusOut);
  window.addEventListener('blur', () => {
    endRecording();
    stopTest();
    testPressed.clear();
    flushOnLeave();
  });
  // Pending changes are written before the page goes: on a reload, when it is hidden, and when Alt goes
  // down (Alt+F4 closes the window without asking the page).
  window.addEventListener('pagehide', flushOnLeave);
  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'hidden') flushOnLeave();
  });
  document.addEventListener(
    'keydown',
    (event) => {
      if (event.key === 'Alt') flushOnLeave();
    },
    true,
  );
  document.addEventListener('pointerdown', onUserAction, true);
  document.addEventListener('keydown', onUserAction, true);

  els.testOutput.addEventListener('keydown', onTestKeydown);
  els.testOutput.addEventListener('keyup', onTestKeyup);
  els.testOutput.addEventListener('mousedown', onTestMouseDown);
  els.testOutput.addEventListener('mouseup', onTestMouseUp);
  els.testOutput.addEventListener('auxclick', keepMouseButtonHere);
  els.testOutput.addEventListener('blur', () => {
    stopTest();
    testPressed.clear();
  });
  els.runTest.addEventListener('click', runSinglePass);

  els.shortcutForm.addEventListener('submit', submitSettings);
  els.shortcutCancel.addEventListener('click', () => els.shortcutDialog.close());
  els.dialogForm.addEventListener('submit', submitConfirm);
  els.dialogCancel.addEventListener('click', () => els.dialog.close());
  els.dialogClose.addEventListener('click', () => els.dialog.close());
  els.dialog.addEventListener('close', () => {
    dialogAction = null;
  });

  if (bridge) window.chrome.webview.addEventListener('message', onHostMessage);
}

// ---------------------------------------------------------------------------------------------
// Start-up

async function start() {
  document.documentElement.classList.toggle('desktop-host', desktop);
  fillShortcutOptions();
  bindEvents();
  render();
  await loadState();
  ready = true;
  els.showMacroNames.checked = showMacroNames;
  els.enableMacros.checked = macroEnabled;
  els.enableMacros.disabled = false;
  els.enableMacrosControl.title = bridge ? '在设置中查看宏总开关快捷键' : '仅桌面软件可用；点击可查看说明';
  // A repaired or unusable stored file stays as it is until the user changes something.
  render({ save: loadOutcome === 'none' || loadOutcome === 'loaded' });
  sendMacroState();
}

start();
