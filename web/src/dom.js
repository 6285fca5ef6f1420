// The page's static elements by id, and a small element builder for the parts the script draws.

export const $ = (id) => document.getElementById(id);

export const els = {
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
  recordSequence: $('record-sequence'),
  recordingStatus: $('recording-status'),
  recordingActions: $('recording-actions'),
  recordingKeep: $('recording-keep'),
  recordingDiscard: $('recording-discard'),
  playCountControl: $('play-count-control'),
  playCount: $('play-count'),
  jitter: $('jitter'),
  timeline: $('timeline'),
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

const SVG_NAMESPACE = 'http://www.w3.org/2000/svg';

export function svgElement(tag, attributes = {}) {
  const node = document.createElementNS(SVG_NAMESPACE, tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === 'text') node.textContent = value;
    else node.setAttribute(name, String(value));
  }
  return node;
}

export function element(tag, attributes = {}) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === 'text') node.textContent = value;
    else if (name === 'className') node.className = value;
    else node.setAttribute(name, value);
  }
  return node;
}
