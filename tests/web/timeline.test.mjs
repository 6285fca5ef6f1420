// The time line's arithmetic without a browser.
import test from 'node:test';
import assert from 'node:assert/strict';
import { scaleTicks, timelineOf } from '../../web/src/timeline.js';

const bars = (line) => Object.fromEntries(line.lanes.map((lane) => [lane.key, lane.bars.map((bar) => [bar.start, bar.end])]));

test('one lane per key in the order they first go down, a bar per hold, no gap after a single pass', () => {
  const line = timelineOf({ behavior: 'once', steps: [{ key: 'a', hold: 30, gap: 50 }, { key: 'Ctrl + C', hold: 20, gap: 40 }, { key: 'a', hold: 10, gap: 5 }] });
  assert.deepEqual(line.lanes.map((lane) => lane.key), ['a', 'Ctrl', 'C']);
  assert.deepEqual(bars(line), { a: [[0, 30], [140, 150]], Ctrl: [[80, 100]], C: [[80, 100]] });
  assert.equal(line.end, 150);
  assert.equal(line.loopGap, null);
});

test('a loop ends with its loop gap; a play count repeats the pass with the last gap between rounds', () => {
  const steps = [{ key: 'a', hold: 30, gap: 50 }, { key: 'b', hold: 20, gap: 40 }];
  const loop = timelineOf({ behavior: 'hold', steps });
  assert.equal(loop.end, 140);
  assert.deepEqual(loop.loopGap, { start: 100, end: 140 });
  const counted = timelineOf({ behavior: 'once', playCount: 3, steps });
  assert.deepEqual(bars(counted), { a: [[0, 30], [140, 170], [280, 310]], b: [[80, 100], [220, 240], [360, 380]] });
  assert.equal(counted.end, 380);
});

test('kept keys last until their release or the end of the pass; keyless steps add time only with a release', () => {
  const line = timelineOf({
    behavior: 'once',
    steps: [
      { key: 'w + a', keep: 'w', hold: 100, gap: 0 },
      { key: '', hold: 500, gap: 500 },
      { key: 'Space', hold: 50, gap: 150 },
      { key: '', release: 'W', hold: 1, gap: 30 },
      { key: 'd', keep: 'd', hold: 10, gap: 0 },
    ],
  });
  assert.deepEqual(bars(line), { w: [[0, 300]], a: [[0, 100]], Space: [[100, 150]], d: [[330, 340]] });
});

test('latch marks its last keys as held; repeat draws one round of each key from the start', () => {
  const latch = timelineOf({ behavior: 'latch', steps: [{ key: 'a', hold: 30, gap: 20 }, { key: 'b', hold: 40, gap: 9 }] });
  assert.deepEqual(latch.held, ['b']);
  assert.deepEqual(bars(latch), { a: [[0, 30]], b: [[50, 90]] });
  const repeat = timelineOf({ behavior: 'repeat', steps: [{ key: 'a', hold: 30, gap: 20 }, { key: 'b', hold: 10, gap: 10 }] });
  assert.deepEqual(bars(repeat), { a: [[0, 30]], b: [[0, 10]] });
  assert.equal(repeat.end, 50);
});

test('scale ticks are round numbers at least the given distance apart', () => {
  assert.deepEqual(scaleTicks(330, 600), [0, 50, 100, 150, 200, 250, 300]);
  assert.deepEqual(scaleTicks(1, 600).slice(0, 3), [0, 0.1, 0.2]);
  const long = scaleTicks(60000, 800);
  assert.equal(long[1], 5000);
  assert.deepEqual(scaleTicks(0, 600), [0]);
});
