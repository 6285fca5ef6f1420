// Kestrava editor page: profiles and macros in memory, rendered into the static markup, saved through
// the local API and, inside the desktop host, handed to the engine by web messages. This module starts
// the page: it binds every panel, loads the stored document and draws it.
import { bindCapture } from './capture.js';
import { bindConfirmDialog } from './confirm-dialog.js';
import { els } from './dom.js';
import { bindEditor } from './editor.js';
import { bridge, desktop, listenToHost, sendMacroState } from './host.js';
import { bindLiveRecorder, cancelLiveRecording } from './live-recorder.js';
import { bindMacroList } from './macro-list.js';
import { bindMasterSwitch, onMacroStatus, onMacroToggleResult } from './master-switch.js';
import { bindPlaybackOptions } from './playback-options.js';
import { currentMacro, model, setCommitHandler } from './model.js';
import { exposeSaveProgress, flushOnLeave, loadState, loadedCleanly, queueSave } from './persistence.js';
import { bindProfilePicker } from './profile-picker.js';
import { bindProgramPicker } from './program-picker.js';
import { bindRecorder, endRecording } from './recorder.js';
import { draw, render } from './render.js';
import { bindSettings, fillShortcutOptions, onShortcutResult } from './settings.js';
import { bindTestRunner, forgetTestKeys, stopTest } from './test-runner.js';
import { redrawOnResize } from './timeline-view.js';
import { bindTimes } from './times.js';
import { noticeUntilUserActs, onUserAction } from './toast.js';
import { bindWindowCommands } from './window-commands.js';

// One change: drawn, sent to the host once, saved once.
function onCommit({ view, publish }) {
  draw(view);
  if (!model.ready) return;
  if (publish) sendMacroState();
  queueSave();
}

function bindPageEvents() {
  window.addEventListener('blur', () => {
    cancelLiveRecording();
    endRecording();
    stopTest();
    forgetTestKeys();
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
}

function bindEvents() {
  bindLiveRecorder();
  bindProfilePicker();
  bindMasterSwitch();
  bindSettings();
  bindWindowCommands();
  bindProgramPicker();
  bindMacroList();
  bindEditor();
  bindCapture();
  bindTimes();
  bindPlaybackOptions();
  bindRecorder();
  bindPageEvents();
  bindTestRunner();
  bindConfirmDialog();
  redrawOnResize(currentMacro);
  listenToHost({
    'macro-status': onMacroStatus,
    notice: (message) => noticeUntilUserActs(String(message.message || '')),
    'macro-toggle-result': onMacroToggleResult,
    'shortcut-result': onShortcutResult,
  });
}

async function start() {
  document.documentElement.classList.toggle('desktop-host', desktop);
  setCommitHandler(onCommit);
  exposeSaveProgress(window);
  fillShortcutOptions();
  bindEvents();
  render();
  await loadState();
  model.ready = true;
  els.showMacroNames.checked = model.showMacroNames;
  els.enableMacros.checked = model.macroEnabled;
  els.enableMacros.disabled = false;
  els.enableMacrosControl.title = bridge ? '在设置中查看宏总开关快捷键' : '仅桌面软件可用；点击可查看说明';
  render();
  // A repaired or unusable stored file stays as it is until the user changes something.
  if (loadedCleanly() && currentMacro()) {
    sendMacroState();
    queueSave();
  }
  sendMacroState();
}

start();
