// A macro drawn to scale: the arithmetic behind the time line. Pure: a macro in, lanes of bars out.
//
// One lane per key, in the order the keys first go down; a bar from each press to its release. Keys a step
// keeps stay down until a later step's release or the end of the pass. Times in milliseconds from the
// start of the first pass.

export function keysOfText(text) {
  return String(text)
    .split('+')
    .map((piece) => piece.trim())
    .filter((piece) => piece !== '');
}

const sameKey = (a, b) => a.toLowerCase() === b.toLowerCase();

function durationOf(value, minimum) {
  const number = Number(value);
  return Math.max(minimum, Number.isFinite(number) ? number : minimum);
}

// One pass over `steps` from `start`: pushes bars into `lanes`; returns the time the pass ends, the last
// step's gap included when `gapAfterLast`.
function addPass(lanes, steps, start, gapAfterLast, pass) {
  let time = start;
  const kept = [];
  const lane = (key) => {
    let found = lanes.find((candidate) => sameKey(candidate.key, key));
    if (!found) {
      found = { key, bars: [] };
      lanes.push(found);
    }
    return found;
  };
  const releaseKept = (names) => {
    for (const name of names) {
      const index = kept.findIndex((entry) => sameKey(entry.key, name));
      if (index < 0) continue;
      lane(kept[index].key).bars.push({ start: kept[index].start, end: time, step: kept[index].step, pass });
      kept.splice(index, 1);
    }
  };
  steps.forEach((step, index) => {
    const withGap = gapAfterLast || index + 1 < steps.length;
    const releases = keysOfText(step.release || '');
    releaseKept(releases);
    const keys = keysOfText(step.key);
    if (keys.length === 0) {
      if (releases.length && withGap) time += durationOf(step.gap, 0);
      return;
    }
    const down = time;
    time += durationOf(step.hold, 1);
    const keep = keysOfText(step.keep || '');
    for (const key of keys) {
      const keyLane = lane(key);
      if (keep.some((name) => sameKey(name, key))) kept.push({ key: keyLane.key, start: down, step: index });
      else keyLane.bars.push({ start: down, end: time, step: index, pass });
    }
    if (withGap) time += durationOf(step.gap, 0);
  });
  releaseKept(kept.map((entry) => entry.key));
  return time;
}

// The time line of `macro`: { lanes: [{ key, bars: [{ start, end, step, pass }] }], end, loopGap, held }.
// `end` is where the drawing stops; `loopGap` ({ start, end }) is the rest before a loop's next round;
// `held` names the lanes whose last bar lasts until the trigger is released (latch).
export function timelineOf(macro) {
  const steps = Array.isArray(macro.steps) ? macro.steps : [];
  const lanes = [];
  const behavior = macro.behavior;
  const result = { lanes, end: 0, loopGap: null, held: [] };
  if (steps.length === 0) return result;
  if (behavior === 'repeat') {
    // Every single key repeats on its own: one round of each, side by side from the start.
    steps.forEach((step, index) => {
      result.end = Math.max(result.end, addPass(lanes, [step], 0, true, index));
    });
    return result;
  }
  if (behavior === 'latch') {
    const end = addPass(lanes, steps.slice(0, -1), 0, true, 0);
    // The last step stays down until the trigger comes up: drawn as long as its hold, marked as held.
    const last = steps[steps.length - 1];
    const hold = durationOf(last.hold, 1);
    const keys = keysOfText(last.key);
    addPass(lanes, [{ ...last, keep: '', release: last.release }], end, false, 0);
    result.held = keys;
    result.end = end + (keys.length ? hold : 0);
    return result;
  }
  const loops = behavior === 'hold' || behavior === 'toggle';
  const rounds = behavior === 'once' ? Math.min(Math.max(1, Math.trunc(Number(macro.playCount)) || 1), 1000) : 1;
  let time = 0;
  for (let round = 0; round < rounds; round += 1) {
    time = addPass(lanes, steps, time, loops || round + 1 < rounds, round);
  }
  result.end = time;
  if (loops) {
    const lastGap = durationOf(steps[steps.length - 1].gap, 0);
    result.loopGap = { start: time - lastGap, end: time };
  }
  return result;
}

// Tick marks for a scale from 0 to `end` ms across `width` pixels: steps of 1, 2 or 5 times a power of
// ten, at least `minimumGap` pixels apart.
export function scaleTicks(end, width, minimumGap = 60) {
  if (!(end > 0) || !(width > 0)) return [0];
  const rough = (end * minimumGap) / width;
  const power = 10 ** Math.floor(Math.log10(rough));
  const step = [1, 2, 5, 10].map((factor) => factor * power).find((candidate) => candidate >= rough);
  const ticks = [];
  for (let tick = 0; tick <= end + 1e-9; tick += step) ticks.push(Math.round(tick * 1000) / 1000);
  return ticks;
}
