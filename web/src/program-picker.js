// The program picker: the open programs from "/api/windows", one of which binds the current profile.
import { element, els } from './dom.js';
import { commit, currentProfile } from './model.js';
import { closeProfileMenu } from './profile-picker.js';
import { endRecording } from './recorder.js';

let programRequest = 0;

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
  commit({ view: 'sidebar' });
  els.programDialog.close();
}

function chooseGlobal() {
  chooseProgram('', '');
}

export function bindProgramPicker() {
  els.profileProgram.addEventListener('click', openProgramPicker);
  els.programRefresh.addEventListener('click', loadPrograms);
  els.programGlobal.addEventListener('click', chooseGlobal);
  els.programClose.addEventListener('click', () => els.programDialog.close());
}
