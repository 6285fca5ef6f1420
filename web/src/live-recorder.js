// "录制": the keys played after it are taken with their real timing (the events' own time stamps) until
// "停止录制" or Escape, then offered as steps to keep ("保留") or drop ("放弃").
import { els } from './dom.js';
import { sequenceText } from './key-text.js';
import { isFocusMove, physicalKey } from './keys.js';
import { commit, currentMacro } from './model.js';
import { recordedSteps } from './recording.js';
import { endRecording } from './recorder.js';
import { stopTest } from './test-runner.js';

let session = null; // { macro, events } while recording
let offer = null; // { macro, steps } after a recording, until kept or dropped

export function isLiveRecording() {
  return session !== null;
}

function start() {
  const macro = currentMacro();
  if (!macro) return;
  endRecording();
  stopTest();
  offer = null;
  session = { macro, events: [] };
  paint();
}

function stop(stopTime) {
  if (!session) return;
  const { macro, events } = session;
  session = null;
  const steps = recordedSteps(events, stopTime);
  offer = steps.length ? { macro, steps } : null;
  paint(steps.length ? null : '没有录到按键。');
}

// Ends a recording or an offer without keeping anything (another macro, a dialog, the page losing focus).
export function cancelLiveRecording() {
  if (!session && !offer) return;
  session = null;
  offer = null;
  paint();
}

function keep() {
  if (!offer) return;
  const { macro, steps } = offer;
  offer = null;
  macro.steps.push(...steps);
  macro.text = sequenceText(macro.steps);
  commit();
  paint();
}

function paint(message = null) {
  const recordingNow = session !== null;
  els.recordSequence.textContent = recordingNow ? '停止录制' : '录制';
  els.recordSequence.setAttribute('aria-pressed', String(recordingNow));
  els.recordingActions.hidden = offer === null;
  if (recordingNow) els.recordingStatus.textContent = '正在录制：按下要录制的按键，按 Esc 或“停止录制”结束。';
  else if (offer) els.recordingStatus.textContent = `录到 ${offer.steps.length} 步，共 ${totalMs(offer.steps)} 毫秒。`;
  else els.recordingStatus.textContent = message || '';
}

function totalMs(steps) {
  return steps.reduce((sum, step, index) => sum + (step.key ? step.hold : 0) + (index + 1 < steps.length ? step.gap : 0), 0);
}

// While recording every key goes to the recording: nothing else on the page sees it.
function onKey(event) {
  if (!session) return;
  if (event.type === 'keydown' && event.key === 'Escape') {
    event.preventDefault();
    event.stopImmediatePropagation();
    stop(event.timeStamp);
    return;
  }
  if (isFocusMove(event)) return;
  event.preventDefault();
  event.stopImmediatePropagation();
  const key = physicalKey(event);
  if (!key.name) return;
  session.events.push({ name: key.name, down: event.type === 'keydown', time: event.timeStamp });
}

export function bindLiveRecorder() {
  els.recordSequence.addEventListener('click', (event) => {
    if (session) stop(event.timeStamp);
    else start();
  });
  els.recordingKeep.addEventListener('click', keep);
  els.recordingDiscard.addEventListener('click', cancelLiveRecording);
  // Registered before the other key listeners of the document, so a recording sees its keys first.
  window.addEventListener('keydown', onKey, true);
  window.addEventListener('keyup', onKey, true);
}
