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
// Key text helpers

const EVENT_KEY_NAMES = {
  ' ': 'Space',
  ArrowUp: 'Up',
  ArrowDown: 'Down',
  ArrowLeft: 'Left',
  ArrowRight: 'Right',
  Control: 'Ctrl',
  Meta: 'Win',
  Escape: 'Esc',
};

const CODE_NAMES = {
  Space: 'Space',
  Semicolon: ';',
  Period: '.',
  Comma: ',',
  Quote: "'",
  Slash: '/',
  Backslash: '\\',
  BracketLeft: '[',
  BracketRight: ']',
  Minus: '-',
  Equal: '=',
  Backquote: '`',
};

const IGNORED_KEYS = new Set(['Process', 'Unidentified', 'Dead']);
const MODIFIER_KEYS = new Set(['Control', 'Alt', 'Shift', 'Meta']);
// Single characters that the host's key parser reads as a key (letters in either case).
const HOST_SINGLE_KEYS = /^[A-Za-z0-9;=,\-./`[\\\]']$/;

function isOneCharacter(text) {
  return [...text].length === 1;
}

function keyName(event) {
  const key = event.key;
  if (Object.hasOwn(EVENT_KEY_NAMES, key)) return EVENT_KEY_NAMES[key];
  return isOneCharacter(key) ? key.toUpperCase() : key;
}

function physicalKeyName(event) {
  const code = event.code || '';
  let match = /^Key([A-Z])$/.exec(code);
  if (match) return match[1].toLowerCase();
  match = /^Digit([0-9])$/.exec(code);
  if (match) return match[1];
  match = /^Numpad([0-9])$/.exec(code);
  if (match) return 'Num' + match[1];
  if (Object.hasOwn(CODE_NAMES, code)) return CODE_NAMES[code];
  if (IGNORED_KEYS.has(event.key)) return '';
  return keyName(event);
}

function shortcutText(event) {
  const parts = [];
  if (event.ctrlKey) parts.push('Ctrl');
  if (event.altKey) parts.push('Alt');
  if (event.shiftKey) parts.push('Shift');
  if (event.metaKey) parts.push('Win');
  parts.push(keyName(event));
  return parts.join(' + ');
}

// A re-recorded step keeps the typed character (Shift+A gives A) as long as the host can play
// it; a space or a shifted symbol the host cannot name is stored by its physical key instead.
function recordedStepKey(event) {
  const key = event.key;
  if (isOneCharacter(key)) {
    if (HOST_SINGLE_KEYS.test(key)) return key;
    return physicalKeyName(event) || keyName(event);
  }
  return keyName(event);
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

async function loadState() {
  try {
    const response = await fetch('/api/state', { cache: 'no-store' });
    if (!response.ok) throw new Error(`state request answered ${response.status}`);
    const answer = await response.json();
    adoptState(answer ? answer.state : null);
  } catch {
    toast('本地配置读取失败，已使用默认内容。');
  }
}

function adoptState(state) {
  if (!state || typeof state !== 'object' || !Array.isArray(state.profiles) || state.profiles.length === 0) return;
  const loaded = state.profiles.map(normaliseProfile);
  profiles = loaded;
  const savedProfile = profiles.find((profile) => profile.id === state.selectedProfile);
  selectedProfile = savedProfile ? savedProfile.id : profiles[0].id;
  const macros = currentProfile().macros;
  const savedMacro = macros.find((macro) => macro.id === state.selectedMacro);
  selectedMacro = savedMacro ? savedMacro.id : macros.length ? macros[0].id : undefined;
  showMacroNames = state.showMacroNames !== false;
  macroEnabled = state.macroEnabled !== false;
  nextId = 1 + Math.max(10, ...allIds());
}

function normaliseProfile(profile) {
  if (!profile || typeof profile !== 'object' || Array.isArray(profile)) throw new Error('profile is not an object');
  if (!Array.isArray(profile.macros)) profile.macros = [];
  for (const macro of profile.macros) {
    if (typeof macro.enabled !== 'boolean') macro.enabled = true;
    if (!Array.isArray(macro.steps)) macro.steps = [];
  }
  return profile;
}

function allIds() {
  const ids = [];
  for (const profile of profiles) {
    ids.push(profile.id);
    for (const macro of profile.macros) ids.push(macro.id);
  }
  return ids.filter((id) => typeof id === 'number' && Number.isFinite(id));
}

function savedState() {
  return { profiles, selectedProfile, selectedMacro, showMacroNames, macroEnabled };
}

function queueSave(publish = true) {
  if (!ready) return;
  if (publish) sendMacroState();
  clearTimeout(saveTimer);
  saveTimer = setTimeout(writeState, SAVE_DELAY_MS);
}

async function writeState() {
  clearTimeout(saveTimer);
  saveTimer = null;
  try {
    const response = await fetch('/api/state', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify(savedState()),
    });
    if (!response.ok) throw new Error(`save answered ${response.status}`);
  } catch {
    toast('自动保存失败，请检查本地服务。');
  }
}

// A change still waiting for its timer is written now, so that closing never loses it.
async function flushPendingSave() {
  if (saveTimer !== null) await writeState();
}

// ---------------------------------------------------------------------------------------------
// Rendering

function render() {
  renderSidebar();
  const macro = currentMacro();
  if (!macro) {
    els.editor.hidden = true;
    els.empty.hidden = false;
    return;
  }
  els.editor.hidden = false;
  els.empty.hidden = true;
  renderEditor(macro);
  queueSave();
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
  els.sequence.value = '';
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

async function closeWindow() {
  if (!hasWebView()) return;
  await flushPendingSave();
  postToHost('close');
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
  else if (message.type === 'macro-toggle-result') onMacroToggleResult(message);
  else if (message.type === 'shortcut-result') onShortcutResult(message);
}

function onMacroStatus(message) {
  setMasterSwitch(message.enabled === true);
  if (message.message) toast(String(message.message));
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

function toast(text) {
  els.toast.textContent = text;
  els.toast.hidden = false;
  clearTimeout(toastTimer);
  toastTimer = setTimeout(() => {
    els.toast.hidden = true;
  }, TOAST_MS);
}

// ---------------------------------------------------------------------------------------------
// Key capture box

function onSequenceKeydown(event) {
  event.preventDefault();
  event.stopPropagation();
  if (event.repeat || recording) return;
  const box = els.sequence;
  if (event.key === 'Backspace') {
    box.value = splitTokens(box.value).slice(0, -1).join('');
    return;
  }
  if (event.key === 'Delete') {
    box.value = '';
    return;
  }
  const name = physicalKeyName(event);
  if (!name) return;
  const token = keyToken(name);
  if (box.value.length + token.length > CAPTURE_LIMIT) return;
  box.value += token;
}

// ---------------------------------------------------------------------------------------------
// Key recording (trigger or one step)

function startTriggerRecording() {
  if (!currentMacro() || (recording && recording.type === 'trigger')) return;
  endRecording();
  recording = { type: 'trigger' };
  paintRecording();
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
  event.preventDefault();
  event.stopPropagation();
  if (event.key === 'Escape') {
    endRecording();
    return;
  }
  if (MODIFIER_KEYS.has(event.key)) return;
  const macro = currentMacro();
  const finished = recording;
  recording = null;
  if (!macro) return;
  if (finished.type === 'trigger') {
    macro.trigger = shortcutText(event);
  } else if (finished.index < macro.steps.length) {
    macro.steps[finished.index].key = recordedStepKey(event);
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

function startTest(id, steps, mode) {
  stopTest();
  const test = { id, mode, timer: null, highlight: null };
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

function onTestKeydown(event) {
  if (event.isComposing || event.keyCode === 229 || recording) return;
  const macro = currentMacro();
  if (!macro) return;
  if (macro.behavior === 'repeat') {
    startRepeatTest(event, macro);
    return;
  }
  if (!macro.trigger || shortcutText(event).toLowerCase() !== macro.trigger.toLowerCase()) return;
  event.preventDefault();
  const trigger = macro.trigger.toLowerCase();
  const all = macro.steps.map((step, index) => index);
  const id = `${macro.behavior}:${trigger}`;
  if (activeTest && activeTest.id === id) return;
  if (macro.behavior === 'hold') startTest(id, testSteps(macro, all), 'loop');
  else if (macro.behavior === 'latch') startTest(id, testSteps(macro, all), 'latch');
  else if (!event.repeat) startTest(id, testSteps(macro, all), 'once');
}

function startRepeatTest(event, macro) {
  const name = physicalKeyName(event).toLowerCase();
  if (!name) return;
  const index = macro.steps.findIndex((step) => String(step.key).toLowerCase() === name);
  if (index < 0) return;
  event.preventDefault();
  const id = 'repeat:' + name;
  if (activeTest && activeTest.id === id) return;
  startTest(id, testSteps(macro, [index]), 'loop');
}

function onTestKeyup(event) {
  if (!activeTest) return;
  const [kind, key] = splitTestId(activeTest.id);
  const released = [keyName(event).toLowerCase(), physicalKeyName(event).toLowerCase()];
  if (kind === 'hold') stopTest();
  else if (kind === 'repeat' && released.includes(key)) stopTest();
  else if (kind === 'latch' && released.includes(lastTriggerKey(key))) stopTest();
}

function splitTestId(id) {
  const colon = id.indexOf(':');
  return [id.slice(0, colon), id.slice(colon + 1)];
}

function lastTriggerKey(trigger) {
  const parts = trigger.split('+').map((part) => part.trim()).filter(Boolean);
  return parts.length ? parts[parts.length - 1] : '';
}

function runSinglePass() {
  const macro = currentMacro();
  if (!macro) return;
  endRecording();
  els.testOutput.focus();
  const all = macro.steps.map((step, index) => index);
  startTest('once:' + String(macro.trigger).toLowerCase(), testSteps(macro, all), 'once');
  toast('正在按设定时间运行一次测试。');
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
  els.sequence.addEventListener('paste', (event) => event.preventDefault());
  els.sequence.addEventListener('drop', (event) => event.preventDefault());
  els.addSequence.addEventListener('click', addCapturedSteps);
  els.hold.addEventListener('input', () => editMacroTime('hold', els.hold));
  els.gap.addEventListener('input', () => editMacroTime('gap', els.gap));
  els.hold.addEventListener('change', () => restoreMacroTime('hold', els.hold));
  els.gap.addEventListener('change', () => restoreMacroTime('gap', els.gap));
  els.hold.addEventListener('blur', () => restoreMacroTime('hold', els.hold));
  els.gap.addEventListener('blur', () => restoreMacroTime('gap', els.gap));

  els.trigger.addEventListener('focus', startTriggerRecording);
  els.trigger.addEventListener('click', startTriggerRecording);
  document.addEventListener('keydown', onRecordingKeydown, true);
  document.addEventListener('focusout', onRecordingFocusOut);
  window.addEventListener('blur', () => {
    endRecording();
    stopTest();
  });

  els.testOutput.addEventListener('keydown', onTestKeydown);
  els.testOutput.addEventListener('keyup', onTestKeyup);
  els.testOutput.addEventListener('blur', stopTest);
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
  render();
  sendMacroState();
}

start();
