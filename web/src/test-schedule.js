// When the in-page test presses each step: on an absolute time line, each press due hold + gap after the
// previous one was due, so that a timer that fires late does not push the later presses back. Pure.

export function durationOf(value, minimum) {
  const number = Number(value);
  return Math.max(minimum, Number.isFinite(number) ? number : minimum);
}

// The presses of one pass over `steps` starting at `start` (a looping pass wraps to the first step):
// `next()` gives { step, due, hold } for the next press, or null after the last one of a single pass.
export function passSchedule(steps, { loop, start }) {
  let index = 0;
  let deadline = start;
  return {
    next() {
      if (index >= steps.length) return null;
      const step = steps[index];
      const hold = durationOf(step.hold, 1);
      const press = { step, due: deadline, hold };
      deadline += hold + durationOf(step.gap, 0);
      index += 1;
      if (loop && index >= steps.length) index = 0;
      return press;
    },
  };
}
