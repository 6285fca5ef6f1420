// The profile picker in the top bar: the current profile's name, its menu (select, add, rename, delete).
import { openConfirm } from './confirm-dialog.js';
import { element, els } from './dom.js';
import { commit, currentProfile, model, takeNextId } from './model.js';
import { endRecording } from './recorder.js';
import { stopTest } from './test-runner.js';
import { toast } from './toast.js';

let profileMenuAction = null; // 'add' while the menu shows its new-profile form

export function renderProfilePicker() {
  els.profileLabel.textContent = currentProfile().name;
  els.profile.title = '展开配置列表';
  renderProfileMenu();
}

function renderProfileMenu() {
  const menu = els.profileMenu;
  menu.replaceChildren();
  for (const profile of model.profiles) menu.append(profileMenuRow(profile));
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
    'aria-checked': String(profile.id === model.selectedProfile),
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

function selectProfile(id) {
  endRecording();
  stopTest();
  model.selectedProfile = id;
  const macros = currentProfile().macros;
  model.selectedMacro = macros.length ? macros[0].id : undefined;
  closeProfileMenu();
  commit();
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
  model.profiles.push(profile);
  model.selectedProfile = profile.id;
  model.selectedMacro = undefined;
  closeProfileMenu();
  commit();
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
  commit();
  els.profile.focus();
}

function askDeleteProfile(id) {
  closeProfileMenu();
  if (model.profiles.length <= 1) {
    toast('至少保留一个配置。');
    return;
  }
  const profile = model.profiles.find((candidate) => candidate.id === id);
  if (!profile) return;
  openConfirm(`删除配置“${profile.name}”？`, '删除', () => deleteProfile(id));
}

function deleteProfile(id) {
  const index = model.profiles.findIndex((profile) => profile.id === id);
  if (index < 0 || model.profiles.length <= 1) return;
  endRecording();
  stopTest();
  model.profiles.splice(index, 1);
  if (model.selectedProfile === id) {
    model.selectedProfile = model.profiles[0].id;
    const macros = model.profiles[0].macros;
    model.selectedMacro = macros.length ? macros[0].id : undefined;
  }
  commit();
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

export function closeProfileMenu() {
  if (els.profileMenu.hidden) return;
  els.profileMenu.hidden = true;
  els.profileToggle.setAttribute('aria-expanded', 'false');
  profileMenuAction = null;
}

export function bindProfilePicker() {
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
}
