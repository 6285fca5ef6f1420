// The in-page test: types the macro's keys into the test field with the macro's own timing, started the
// way the engine would start the macro, so that a macro can be tried without the keyboard hook.
import { els } from './dom.js';
import { testTextFor } from './key-text.js';
import { engineKeyList, hookKeyCode, mouseTriggerButton } from './keys.js';
import { currentMacro } from './model.js';
import { endRecording, isRecording, keepMouseButtonHere } from './recorder.js';
import { durationOf, passSchedule } from './test-schedule.js';
import { keysOfText } from './timeline.js';
import { renderTimeline, showMeasured } from './timeline-view.js';
import { toast } from './toast.js';

let activeTest = null; // { id, mode, key, timer, highlight }

function insertTestText(text) {
  const field = els.testOutput;
  const start = field.selectionStart ?? field.value.length;
  const end = field.selectionEnd ?? start;
  field.setRangeText(text, start, end, 'end');
}

function testSteps(macro, indexes) {
  return indexes.map((index) => ({ index, ...macro.steps[index] }));
}

// All steps, played as often as the macro's play count says ("once").
function allSteps(macro) {
  const all = testSteps(
    macro,
    macro.steps.map((step, index) => index),
  );
  const rounds = macro.behavior === 'once' && Number.isInteger(macro.playCount) ? macro.playCount : 1;
  return Array.from({ length: rounds }, () => all).flat();
}

function startTest(id, steps, mode, key = 0) {
  stopTest();
  const macro = currentMacro();
  const test = { id, mode, key, timer: null, highlight: null, macro, measured: [] };
  activeTest = test;
  if (mode === 'latch') runHoldLast(test, steps);
  else runTimedPass(test, steps, mode === 'loop');
}

export function stopTest() {
  if (!activeTest) return;
  const test = activeTest;
  clearTimeout(test.timer);
  test.highlight = null;
  activeTest = null;
  paintTestHighlight();
  if (test.measured.length && test.macro === currentMacro()) {
    showMeasured(test.macro, test.measured);
    renderTimeline(test.macro);
  }
}

function finishTest(test) {
  if (activeTest === test) stopTest();
}

function setTestHighlight(test, index) {
  test.highlight = index;
  paintTestHighlight();
}

export function paintTestHighlight() {
  const index = activeTest ? activeTest.highlight : null;
  for (const key of els.sequenceKeys.querySelectorAll('.sequence-key')) {
    key.classList.toggle('test-active', key.id === 'sequence-key-' + index);
  }
}

// Plays the steps on the schedule's time line and notes when each key went down and up, from the start
// of the test: keys a step keeps stay down until a later step's release or the end of a round.
function runTimedPass(test, steps, loop) {
  const origin = performance.now();
  const schedule = passSchedule(steps, { loop, start: origin, jitter: test.macro ? Number(test.macro.jitter) || 0 : 0 });
  const kept = [];
  const now = () => performance.now() - origin;
  const letUp = (names, at) => {
    for (const name of names) {
      const index = kept.findIndex((entry) => entry.key.toLowerCase() === name.toLowerCase());
      if (index < 0) continue;
      test.measured.push({ key: kept[index].key, start: kept[index].start, end: at });
      kept.splice(index, 1);
    }
  };
  let lastIndex = -1;
  const press = () => {
    if (activeTest !== test) return;
    const due = schedule.next();
    if (!due) {
      letUp(kept.map((entry) => entry.key), now());
      finishTest(test);
      return;
    }
    const begin = () => {
      if (activeTest !== test) return;
      const step = due.step;
      const pressedAt = now();
      if (step.index <= lastIndex) letUp(kept.map((entry) => entry.key), pressedAt); // a new round
      lastIndex = step.index;
      letUp(keysOfText(step.release || ''), pressedAt);
      if (due.hold === 0) {
        press();
        return;
      }
      setTestHighlight(test, step.index);
      test.timer = setTimeout(() => {
        if (activeTest !== test) return;
        const releasedAt = now();
        const keep = keysOfText(step.keep || '').map((name) => name.toLowerCase());
        for (const key of keysOfText(step.key)) {
          if (keep.includes(key.toLowerCase())) kept.push({ key, start: pressedAt });
          else test.measured.push({ key, start: pressedAt, end: releasedAt });
        }
        insertTestText(testTextFor(step.key));
        setTestHighlight(test, null);
        press();
      }, due.hold);
    };
    // The first press happens at once; every later one in a task of its own, when it is due.
    if (lastIndex < 0) begin();
    else test.timer = setTimeout(begin, Math.max(0, due.due - performance.now()));
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

export function forgetTestKeys() {
  testPressed.clear();
}

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
  if (event.isComposing || event.keyCode === 229 || isRecording()) return;
  testPress(event, hookKeyCode(event), event.repeat);
}

// The middle and side buttons pressed in the test field, as the mouse hook reports them to the engine.
function onTestMouseDown(event) {
  const button = mouseTriggerButton(event);
  if (!button) return;
  event.preventDefault();
  if (isRecording()) return;
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
  const id = `${macro.behavior}:${trigger}`;
  if (activeTest && activeTest.id === id) return;
  const mode = macro.behavior === 'hold' ? 'loop' : macro.behavior === 'latch' ? 'latch' : 'once';
  startTest(id, mode === 'once' ? allSteps(macro) : testSteps(macro, macro.steps.map((step, index) => index)), mode, code);
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
  startTest('once:' + String(macro.trigger).toLowerCase(), allSteps(macro), 'once');
}

export function bindTestRunner() {
  els.testOutput.addEventListener('keydown', onTestKeydown);
  els.testOutput.addEventListener('keyup', onTestKeyup);
  els.testOutput.addEventListener('mousedown', onTestMouseDown);
  els.testOutput.addEventListener('mouseup', onTestMouseUp);
  els.testOutput.addEventListener('auxclick', keepMouseButtonHere);
  els.testOutput.addEventListener('blur', () => {
    stopTest();
    forgetTestKeys();
  });
  els.runTest.addEventListener('click', runSinglePass);
}
