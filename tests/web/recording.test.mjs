// A live recording turned into steps, without a browser.
import test from 'node:test';
import assert from 'node:assert/strict';
import { recordedSteps } from '../../web/src/recording.js';
import { timelineOf } from '../../web/src/timeline.js';

const down = (name, time) => ({ name, down: true, time });
const up = (name, time) => ({ name, down: false, time });

// Each recording, the steps it must become, and the presses those steps play ([key, down, up] in ms from
// the first step's press), which must be the recorded ones within 1 ms.
const cases = [
  {
    name: 'separate taps keep their holds and gaps, rounded from the first event',
    events: [down('a', 1000.4), up('a', 1030.9), down('b', 1080.2), up('b', 1100.0)],
    steps: [
      { key: 'a', hold: 31, gap: 49 },
      { key: 'b', hold: 20, gap: 0 },
    ],
    presses: [['a', 0, 30.5], ['b', 79.8, 99.6]],
  },
  {
    name: 'W held while Space is tapped stays down across the tap',
    events: [down('w', 0), down('Space', 100), up('Space', 150), up('w', 300)],
    steps: [
      { key: 'w', keep: 'w', hold: 100, gap: 0 },
      { key: 'Space', hold: 50, gap: 150 },
      { key: '', release: 'w', hold: 1, gap: 0 },
    ],
    presses: [['w', 0, 300], ['Space', 100, 150]],
  },
  {
    name: 'a modifier held across keys becomes their chords',
    events: [down('Ctrl', 0), down('c', 20), up('c', 60), down('v', 100), up('v', 130), up('Ctrl', 150), down('a', 200), up('a', 230)],
    steps: [
      { key: 'Ctrl + C', hold: 40, gap: 40 },
      { key: 'Ctrl + V', hold: 30, gap: 70 },
      { key: 'a', hold: 30, gap: 0 },
    ],
    // The chord starts where its key went down: the modifier's lead before it is not kept.
    presses: [['Ctrl', 0, 40], ['C', 0, 40], ['Ctrl', 80, 110], ['V', 80, 110], ['a', 180, 210]],
  },
  {
    name: 'a modifier tapped alone is a step of its own',
    events: [down('Shift', 0), up('Shift', 40), down('a', 50), down('a', 80), up('a', 90)],
    steps: [
      { key: 'Shift', hold: 40, gap: 10 },
      { key: 'a', hold: 40, gap: 0 },
    ],
    presses: [['Shift', 0, 40], ['a', 50, 90]],
  },
  {
    name: 'overlapping keys released in another order than pressed',
    events: [down('a', 0), down('b', 30), up('a', 50), up('b', 80), down('c', 100), up('c', 120)],
    steps: [
      { key: 'a', keep: 'a', hold: 30, gap: 0 },
      { key: 'b', keep: 'b', hold: 20, gap: 0 },
      { key: '', release: 'a', hold: 1, gap: 30 },
      { key: '', release: 'b', hold: 1, gap: 20 },
      { key: 'c', hold: 20, gap: 0 },
    ],
    presses: [['a', 0, 50], ['b', 30, 80], ['c', 100, 120]],
  },
  {
    name: 'keys pressed together and let go apart',
    events: [down('a', 0), down('b', 0), up('a', 50), up('b', 80)],
    steps: [
      { key: 'a + b', keep: 'b', hold: 50, gap: 30 },
      { key: '', release: 'b', hold: 1, gap: 0 },
    ],
    presses: [['a', 0, 50], ['b', 0, 80]],
  },
];

test('recordings become steps that play back the recorded presses', () => {
  for (const item of cases) {
    const steps = recordedSteps(item.events, 10000);
    assert.deepEqual(steps, item.steps, item.name);
    const played = timelineOf({ behavior: 'once', steps }).lanes.flatMap((lane) => lane.bars.map((bar) => [lane.key, bar.start, bar.end]));
    assert.equal(played.length, item.presses.length, item.name);
    for (const [key, from, to] of item.presses) {
      const bar = played.find(([name, start]) => name.toLowerCase() === key.toLowerCase() && Math.abs(start - from) <= 1);
      assert.ok(bar, `${item.name}: ${key} down at ${from}`);
      assert.ok(Math.abs(bar[2] - to) <= 1, `${item.name}: ${key} up at ${to}, played ${bar[2]}`);
    }
  }
});

test('a partial overlap with a modifier plays as recorded', () => {
  const events = [down('a', 0), down('Shift', 20), up('a', 40), up('Shift', 70)];
  const lanes = timelineOf({ behavior: 'once', steps: recordedSteps(events, 100) }).lanes;
  const bars = Object.fromEntries(lanes.map((lane) => [lane.key, lane.bars.map((bar) => [bar.start, bar.end])]));
  assert.deepEqual(bars, { a: [[0, 40]], Shift: [[20, 70]] });
});

test('keys still down when the recording stops come up at the stop; stray releases are ignored', () => {
  const steps = recordedSteps([up('x', 0), down('a', 10), down('b', 20)], 60);
  const bars = timelineOf({ behavior: 'once', steps }).lanes.map((lane) => [lane.key, lane.bars.map((bar) => [bar.start, bar.end])]);
  assert.deepEqual(bars, [
    ['a', [[0, 50]]],
    ['b', [[10, 50]]],
  ]);
  assert.deepEqual(recordedSteps([], 10), []);
});

test('a press shorter than a millisecond still lasts the shortest hold', () => {
  assert.deepEqual(recordedSteps([down('a', 0), up('a', 0.2), down('b', 10), up('b', 20)], 30), [
    { key: 'a', hold: 1, gap: 9 },
    { key: 'b', hold: 10, gap: 0 },
  ]);
});
