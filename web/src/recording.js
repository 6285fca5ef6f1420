// A live recording turned into steps. Pure: key events with their time stamps in, steps out.
//
// Presses are paired from the events. A modifier held across other keys becomes part of their chords
// ("Ctrl + C") when every key it overlaps lies within it and those keys do not overlap one another; any
// other overlap is kept as played: a step's `keep` names the keys that stay down after its hold, and a
// later step's `release` lets them up. Times are rounded to whole milliseconds from the first event, so no
// rounding adds up along the recording.
import { MODIFIER_NAMES, chordText } from './keys.js';

const isModifier = (name) => MODIFIER_NAMES.includes(name);

// `events`: { name, down (bool), time (ms) } in the order they happened; a key still down at `stopTime` is
// released then. Repeated presses of a key that is already down are the keyboard's auto-repeat and count
// once. A press lasts at least 1 ms, the shortest hold there is.
export function pairPresses(events, stopTime) {
  const open = new Map();
  const presses = [];
  for (const event of events) {
    if (event.down) {
      if (open.has(event.name)) continue;
      const press = { name: event.name, down: event.time, up: null };
      open.set(event.name, press);
      presses.push(press);
    } else if (open.has(event.name)) {
      const press = open.get(event.name);
      press.up = Math.max(event.time, press.down + 1);
      open.delete(event.name);
    }
  }
  for (const press of open.values()) press.up = Math.max(press.down + 1, stopTime);
  return presses;
}

const overlaps = (a, b) => a.down < b.up && b.down < a.up;
const within = (inner, outer) => outer.down <= inner.down && inner.up <= outer.up;

// Presses of one key or one chord: { keys (text), down, up }.
export function pressGroups(presses) {
  const keys = presses.filter((press) => !isModifier(press.name));
  const absorbed = new Set();
  for (const modifier of presses.filter((press) => isModifier(press.name))) {
    const covered = keys.filter((key) => overlaps(key, modifier));
    const chords = covered.length > 0 && covered.every((key) => within(key, modifier)) && covered.every((key, i) => covered.every((other, j) => i === j || !overlaps(key, other)));
    if (chords) absorbed.add(modifier);
  }
  const groups = [];
  for (const press of presses) {
    if (absorbed.has(press)) continue;
    if (isModifier(press.name)) {
      groups.push({ keys: press.name, down: press.down, up: press.up });
      continue;
    }
    const held = new Set([...absorbed].filter((modifier) => within(press, modifier)).map((modifier) => modifier.name));
    const modifiers = MODIFIER_NAMES.filter((name) => held.has(name));
    groups.push({ keys: modifiers.length ? chordText(modifiers, press.name) : press.name, down: press.down, up: press.up });
  }
  return groups;
}

// The steps that play `groups` back at their times. Each instant at which something goes down, or a kept
// key comes up, starts a step; its hold lasts to the next instant.
export function stepsOfGroups(groups) {
  if (groups.length === 0) return [];
  const instants = [...new Set(groups.flatMap((group) => [group.down, group.up]))].sort((a, b) => a - b);
  const steps = [];
  const kept = new Set();
  let i = 0;
  while (i < instants.length) {
    const now = instants[i];
    const next = i + 1 < instants.length ? instants[i + 1] : now;
    const releases = groups.filter((group) => kept.has(group) && group.up === now);
    const presses = groups.filter((group) => group.down === now);
    for (const group of releases) kept.delete(group);
    if (presses.length === 0 && releases.length === 0) {
      i += 1;
      continue;
    }
    const step = { key: presses.map((group) => group.keys).join(' + '), hold: Math.max(1, next - now), gap: 0 };
    if (releases.length) step.release = releases.map((group) => group.keys).join(' + ');
    if (presses.length === 0) {
      // Nothing pressed: the step only lets keys up and waits until the next instant.
      step.hold = 1;
      step.gap = next - now;
      steps.push(step);
      i += 1;
      continue;
    }
    const staying = presses.filter((group) => group.up !== next);
    for (const group of staying) kept.add(group);
    if (staying.length) step.keep = staying.map((group) => group.keys).join(' + ');
    // The hold ends at the next instant. When nothing but this step's own releases happens there, the
    // step's gap runs on to the instant after it.
    const nextStarts = groups.some((group) => group.down === next || (kept.has(group) && group.up === next));
    if (!nextStarts && i + 2 < instants.length) {
      step.gap = instants[i + 2] - next;
      i += 2;
    } else {
      i += 1;
    }
    steps.push(step);
  }
  return steps;
}

// A recording's steps: the events rounded to whole milliseconds from the first one.
export function recordedSteps(events, stopTime) {
  if (events.length === 0) return [];
  const origin = events[0].time;
  const round = (time) => Math.round(time - origin);
  const rounded = events.map((event) => ({ ...event, time: round(event.time) }));
  return stepsOfGroups(pressGroups(pairPresses(rounded, round(stopTime))));
}
