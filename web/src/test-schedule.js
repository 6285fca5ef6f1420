// When the in-page test presses each step: on an absolute time line, each press due hold + gap after the
// previous one was due, so that a timer that fires late does not push the later presses back. Pure.

export function durationOf(value, minimum) {
  const number = Number(value);
  return Math.max(minimum, Number.isFinite(number) ? number : minimum);
}

// A hold or gap as it is waited: the set time, or with `jitter` a whole number drawn evenly from
// [set − jitter, set + jitter] by `random` (values in [0, 1)), never below `minimum`.
export function drawnDuration(set, minimum, jitter, random) {
  const base = durationOf(set, minimum);
  if (!(jitter > 0)) return base;
  const low = base - jitter;
  const drawn = low + Math.floor(random() * (2 * jitter + 1));
  return Math.max(minimum, drawn);
}

const onlyReleases = (step) => String(step.key) === '' && typeof step.release === 'string' && step.release !== '';

// The presses of one pass over `steps` starting at `start` (a looping pass wraps to the first step):
// `next()` gives { step, due, hold } for the next press, or null after the last one of a single pass. A step
// that only lets kept keys up has hold 0 and keeps its gap. `jitter` and `random` draw every hold and gap.
export function passSchedule(steps, { loop, start, jitter = 0, random = Math.random }) {
  let index = 0;
  let deadline = start;
  return {
    next() {
      if (index >= steps.length) return null;
      const step = steps[index];
      const hold = onlyReleases(step) ? 0 : drawnDuration(step.hold, 1, jitter, random);
      const press = { step, due: deadline, hold };
      deadline += hold + drawnDuration(step.gap, 0, jitter, random);
      index += 1;
      if (loop && index >= steps.length) index = 0;
      return press;
    },
  };
}
