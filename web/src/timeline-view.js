// The time line under the key list: the current macro drawn to scale with the page's own SVG, and after
// "运行测试" the press and release times the test measured, drawn over the ideal ones.
import { els, svgElement } from './dom.js';
import { scaleTicks, timelineOf } from './timeline.js';

const LANE_HEIGHT = 18;
const LABEL_WIDTH = 64;
const SCALE_HEIGHT = 18;
const RIGHT_PAD = 12;

// Measured presses of the last test of the macro: { macro, bars: [{ key, start, end }] }.
let measured = null;

export function showMeasured(macro, bars) {
  measured = { macro, bars };
}

export function renderTimeline(macro) {
  const box = els.timeline;
  if (measured && measured.macro !== macro) measured = null;
  const line = timelineOf(macro);
  if (line.lanes.length === 0) {
    box.replaceChildren();
    box.hidden = true;
    return;
  }
  box.hidden = false;
  const width = Math.max(320, Math.floor(box.clientWidth || box.parentElement.clientWidth || 600));
  const plot = width - LABEL_WIDTH - RIGHT_PAD;
  const measuredEnd = measured ? Math.max(0, ...measured.bars.map((bar) => bar.end)) : 0;
  const end = Math.max(line.end, measuredEnd, 1);
  const x = (ms) => LABEL_WIDTH + (ms / end) * plot;
  const height = line.lanes.length * LANE_HEIGHT + SCALE_HEIGHT + 4;
  const svg = svgElement('svg', { width, height, viewBox: `0 0 ${width} ${height}`, 'data-end': end });
  if (line.loopGap) {
    svg.append(
      svgElement('rect', { class: 'loop-gap', x: x(line.loopGap.start), y: 0, width: Math.max(1, x(line.loopGap.end) - x(line.loopGap.start)), height: line.lanes.length * LANE_HEIGHT }),
      svgElement('text', { class: 'loop-gap-label', x: x(line.loopGap.start) + 2, y: 10, text: '循环间隔' }),
    );
  }
  line.lanes.forEach((lane, index) => {
    const top = index * LANE_HEIGHT;
    const group = svgElement('g', { class: 'lane', 'data-key': lane.key });
    group.append(
      svgElement('text', { class: 'lane-label', x: 4, y: top + 13, text: lane.key === ' ' ? '空格' : lane.key }),
      svgElement('line', { class: 'lane-line', x1: LABEL_WIDTH, x2: width - RIGHT_PAD, y1: top + LANE_HEIGHT - 0.5, y2: top + LANE_HEIGHT - 0.5 }),
    );
    const held = line.held.some((key) => key.toLowerCase() === lane.key.toLowerCase());
    lane.bars.forEach((bar, barIndex) => {
      const last = barIndex === lane.bars.length - 1;
      group.append(
        svgElement('rect', {
          class: held && last ? 'held-bar' : 'hold-bar',
          x: x(bar.start),
          y: top + 3,
          width: Math.max(1, x(bar.end) - x(bar.start)),
          height: LANE_HEIGHT - 8,
          rx: 2,
          'data-start': bar.start,
          'data-end': bar.end,
        }),
      );
    });
    if (measured) {
      for (const bar of measured.bars.filter((candidate) => candidate.key.toLowerCase() === lane.key.toLowerCase())) {
        group.append(
          svgElement('rect', {
            class: 'measured-bar',
            x: x(bar.start),
            y: top + LANE_HEIGHT - 5,
            width: Math.max(1, x(bar.end) - x(bar.start)),
            height: 3,
            'data-start': Math.round(bar.start * 10) / 10,
            'data-end': Math.round(bar.end * 10) / 10,
          }),
        );
      }
    }
    svg.append(group);
  });
  const scaleTop = line.lanes.length * LANE_HEIGHT;
  const scale = svgElement('g', { class: 'scale' });
  const ticks = scaleTicks(end, plot);
  ticks.forEach((tick, index) => {
    const at = x(tick);
    scale.append(svgElement('line', { class: 'tick', x1: at, x2: at, y1: scaleTop, y2: scaleTop + 4 }));
    const label = index === ticks.length - 1 ? `${tick} 毫秒` : String(tick);
    scale.append(svgElement('text', { class: 'tick-label', x: at, y: scaleTop + 14, 'text-anchor': index === 0 ? 'start' : index === ticks.length - 1 ? 'end' : 'middle', text: label }));
  });
  svg.append(scale);
  box.replaceChildren(svg);
}

// Draws the time line again when its width changes (the window is resized).
export function redrawOnResize(currentMacro) {
  let width = 0;
  new ResizeObserver(() => {
    const now = els.timeline.clientWidth;
    if (now === width) return;
    width = now;
    const macro = currentMacro();
    if (macro) renderTimeline(macro);
  }).observe(els.timeline);
}
