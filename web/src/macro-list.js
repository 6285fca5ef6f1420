// The sidebar: the profile's program row, the macro count and the macro list, and the macro actions
// started from it (add, select, rename, the "显示名称" switch).
import { element, els } from './dom.js';
import { keySummary, triggerText, triggerTitle } from './key-text.js';
import { commit, currentMacro, currentProfile, model, takeNextId } from './model.js';
import { renderProfilePicker } from './profile-picker.js';
import { endRecording } from './recorder.js';
import { stopTest } from './test-runner.js';

export function renderSidebar() {
  const profile = currentProfile();
  renderProfilePicker();
  renderProgramScope(profile);
  els.macroCount.textContent = String(profile.macros.length);
  renderMacroList(profile);
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
  list.classList.toggle('compact', !model.showMacroNames);
  list.replaceChildren(...profile.macros.map(macroListItem));
}

function macroListItem(macro) {
  const item = element('div', { className: 'macro-item' });
  item.dataset.macroId = String(macro.id);
  if (macro.id === model.selectedMacro) item.setAttribute('aria-current', 'true');
  const label = element('div', { className: 'macro-label' });
  if (model.showMacroNames) label.append(macroNameField(macro));
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

// The name field shows every change itself: it is never drawn again while it is being edited.
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
    commit({ view: 'none' });
  });
  input.addEventListener('blur', () => {
    const name = input.value.trim() || '未命名宏';
    if (name !== macro.name || input.value !== name) {
      macro.name = name;
      input.value = name;
      commit({ view: 'none' });
    }
  });
  return input;
}

function selectMacro(id) {
  if (id === model.selectedMacro && currentMacro()) return;
  endRecording();
  stopTest();
  model.selectedMacro = id;
  commit();
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
  model.selectedMacro = macro.id;
  commit();
}

function setShowMacroNames() {
  model.showMacroNames = els.showMacroNames.checked;
  commit();
}

export function bindMacroList() {
  els.addMacro.addEventListener('click', addMacro);
  els.emptyAdd.addEventListener('click', addMacro);
  els.showMacroNames.addEventListener('change', setShowMacroNames);
}
