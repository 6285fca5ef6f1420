// The in-page test's time line without a browser.
import test from 'node:test';
import assert from 'node:assert/strict';
import { passSchedule } from '../../web/src/test-schedule.js';

function presses(steps, loop, count, start = 1000) {
  const schedule = passSchedule(steps, { loop, start });
  const out = [];
  for (let i = 0; i < count; i += 1) {
    const press = schedule.next();
    if (!press) break;
    out.push([press.step.key, press.due - start, press.hold]);
  }
  return out;
}

test('a single pass presses each step hold + gap after the previous one was due, then ends', () => {
  const steps = [
    { key: 'a', hold: 30, gap: 50 },
    { key: 'b', hold: 20, gap: 40 },
    { key: 'c', hold: 25, gap: 10 },
  ];
  assert.deepEqual(presses(steps, false, 10), [
    ['a', 0, 30],
    ['b', 80, 20],
    ['c', 140, 25],
  ]);
});

test('a loop wraps on the same time line: 0, 80, 160 for two steps of 30 and 50', () => {
  const steps = [
    { key: 'a', hold: 30, gap: 50 },
    { key: 'b', hold: 30, gap: 50 },
  ];
  assert.deepEqual(presses(steps, true, 4).map(([, due]) => due), [0, 80, 160, 240]);
});

test('holds below 1 ms, negative gaps and values that are not numbers are clamped', () => {
  const steps = [
    { key: 'a', hold: 0, gap: -5 },
    { key: 'b', hold: 'x', gap: null },
    { key: 'c', hold: 2, gap: 0 },
  ];
  assert.deepEqual(presses(steps, false, 5), [
    ['a', 0, 1],
    ['b', 1, 1],
    ['c', 2, 2],
  ]);
  assert.deepEqual(presses([], true, 3), []);
});

test('jitter draws every hold and gap within set ± jitter from the random source, holds never below 1', () => {
  const steps = [
    { key: 'a', hold: 30, gap: 50 },
    { key: 'b', hold: 2, gap: 3 },
  ];
  const lowest = passSchedule(steps, { loop: false, start: 0, jitter: 10, random: () => 0 });
  assert.deepEqual([lowest.next(), lowest.next()].map((p) => [p.due, p.hold]), [[0, 20], [60, 1]]);
  const highest = passSchedule(steps, { loop: false, start: 0, jitter: 10, random: () => 0.999999 });
  assert.deepEqual([highest.next(), highest.next()].map((p) => [p.due, p.hold]), [[0, 40], [100, 12]]);
  // Over many draws every value of the range comes up, and none outside it.
  const seen = new Set();
  let seed = 1;
  const random = () => ((seed = (seed * 48271) % 2147483647) / 2147483647);
  const many = passSchedule([{ key: 'a', hold: 30, gap: 0 }], { loop: true, start: 0, jitter: 3, random });
  for (let i = 0; i < 500; i += 1) seen.add(many.next().hold);
  assert.deepEqual([...seen].sort((a, b) => a - b), [27, 28, 29, 30, 31, 32, 33]);
});

test('a step that only lets kept keys up takes no hold and keeps its gap', () => {
  const schedule = passSchedule(
    [
      { key: 'w', keep: 'w', hold: 100, gap: 0 },
      { key: '', release: 'w', hold: 1, gap: 30 },
      { key: 'a', hold: 10, gap: 0 },
    ],
    { loop: false, start: 0 },
  );
  assert.deepEqual([schedule.next(), schedule.next(), schedule.next()].map((p) => [p.due, p.hold]), [[0, 100], [100, 0], [130, 10]]);
});
