'use strict';
// The macro as a time line (drawn to scale at three widths, the test's measured presses over it), the play
// count and the random delay.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness');

const { withPage } = h.pageSuite(test);
const SCREENSHOTS = process.env.KES_PAGE_SCREENSHOTS || path.join(__dirname, '..', '..', 'build', 'page-screenshots');

const overlapping = (fields = {}) =>
  h.macro(2, {
    trigger: 'F6',
    behavior: 'hold',
    steps: [
      { key: 'w', keep: 'w', hold: 100, gap: 0 },
      { key: 'Space', hold: 50, gap: 150 },
      { key: '', release: 'w', hold: 1, gap: 40 },
      { key: 'Ctrl + C', hold: 40, gap: 60 },
    ],
    ...fields,
  });

const withMacro = (macro) => ({ server: { state: h.stateWith([{ id: 1, name: '甲', program: '', macros: [macro] }]) } });

// The drawing as numbers: each lane's key and bars ([x, width] in px and their times), the plot's scale.
async function drawing(page) {
  return page.evaluate(() => {
    const svg = document.querySelector('#timeline svg');
    const lanes = [...svg.querySelectorAll('g.lane')].map((lane) => ({
      key: lane.dataset.key,
      bars: [...lane.querySelectorAll('.hold-bar, .held-bar')].map((bar) => ({
        x: Number(bar.getAttribute('x')),
        width: Number(bar.getAttribute('width')),
        start: Number(bar.dataset.start),
        end: Number(bar.dataset.end),
      })),
      measured: [...lane.querySelectorAll('.measured-bar')].map((bar) => ({ start: Number(bar.dataset.start), end: Number(bar.dataset.end) })),
    }));
    return {
      width: Number(svg.getAttribute('width')),
      end: Number(svg.dataset.end),
      loopGap: Boolean(svg.querySelector('.loop-gap')),
      ticks: [...svg.querySelectorAll('.tick-label')].map((label) => label.textContent),
      box: document.getElementById('timeline').getBoundingClientRect().width,
      lanes,
    };
  });
}

test('the time line draws one lane per key and every hold to scale at 800, 1200 and 1920 px', async (t) => {
  fs.mkdirSync(SCREENSHOTS, { recursive: true });
  for (const width of [800, 1200, 1920]) {
    await t.test(`${width} px`, async () => {
      await withPage({ ...withMacro(overlapping()), page: { viewport: { width, height: 860 } } }, async (page) => {
        const line = await drawing(page);
        assert.deepEqual(line.lanes.map((lane) => lane.key), ['w', 'Space', 'Ctrl', 'C']);
        assert.deepEqual(line.lanes.map((lane) => lane.bars.map((bar) => [bar.start, bar.end])), [[[0, 300]], [[100, 150]], [[340, 380]], [[340, 380]]]);
        assert.equal(line.end, 440, 'the loop gap is part of the round');
        assert.equal(line.loopGap, true);
        assert.ok(Math.abs(line.width - line.box) <= 1, 'the drawing fills its row');
        // Every bar's place and length are its times on one scale.
        const bars = line.lanes.flatMap((lane) => lane.bars);
        const scale = (bars[1].x - bars[0].x) / (bars[1].start - bars[0].start);
        for (const bar of bars) {
          assert.ok(Math.abs(bar.x - bars[0].x - (bar.start - bars[0].start) * scale) < 0.01, JSON.stringify(bar));
          assert.ok(Math.abs(bar.width - (bar.end - bar.start) * scale) < 0.01, JSON.stringify(bar));
        }
        assert.equal(line.ticks[0], '0');
        assert.match(line.ticks.at(-1), / 毫秒$/);
        await page.screenshot({ path: path.join(SCREENSHOTS, `timeline-${width}.png`) });
      });
    });
  }
});

test('after "运行测试" the measured presses are drawn over the ideal ones', async () => {
  const macro = overlapping({ behavior: 'once', playCount: 2 });
  await withPage(withMacro(macro), async (page) => {
    await page.click('#run-test');
    await page.waitForFunction(() => document.querySelectorAll('#timeline .measured-bar').length === 8, null, { timeout: 5000 });
    const line = await drawing(page);
    assert.deepEqual(line.lanes.map((lane) => lane.bars.length), [2, 2, 2, 2], 'two rounds');
    for (const lane of line.lanes) {
      lane.bars.forEach((bar, i) => {
        const measured = lane.measured[i];
        // Never early; late only by the machine's timer slack.
        assert.ok(measured.start >= bar.start - 1, `${lane.key} ${JSON.stringify(measured)} ${JSON.stringify(bar)}`);
        assert.ok(measured.start < bar.start + 250, `${lane.key} ${JSON.stringify(measured)}`);
        assert.ok(measured.end - measured.start >= bar.end - bar.start - 1, `${lane.key} held ${measured.end - measured.start}`);
      });
    }
    assert.equal(await page.inputValue('#test-output'), 'w [Ctrl + C]w [Ctrl + C]');
  });
});

test('the play count and the random delay are stored only when set, and refused out of range', async () => {
  await withPage(withMacro(h.macro(2)), async (page, server) => {
    assert.equal(await page.isVisible('#play-count'), true);
    await page.fill('#play-count', '3');
    await page.fill('#jitter', '20');
    let saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].jitter === 20);
    assert.equal(saved.profiles[0].macros[0].playCount, 3);
    const hostView = (await h.postedJson(page, 'macro-state')).at(-1);
    assert.equal(hostView.profile.macros[0].playCount, 3);

    await page.fill('#play-count', '1001');
    assert.equal(await page.getAttribute('#play-count', 'aria-invalid'), 'true');
    assert.equal(await page.textContent('#form-error'), '播放次数必须是 1～1000 的整数。');
    await page.fill('#play-count', '1');
    await page.fill('#jitter', '0');
    saved = await h.waitForState(server, (s) => !('jitter' in s.profiles[0].macros[0]));
    assert.equal('playCount' in saved.profiles[0].macros[0], false, 'defaults leave the member out');

    await page.click('[data-behavior="hold"]');
    assert.equal(await page.isHidden('#play-count'), true, 'only "once" counts its plays');
  });
});

test('with a random delay every measured hold and gap stays within its set time ± the delay', async () => {
  const steps = Array.from({ length: 6 }, (_, i) => ({ key: 'abcdef'[i], hold: 40, gap: 60 }));
  await withPage(withMacro(h.macro(2, { steps, text: 'abcdef', jitter: 25 })), async (page) => {
    await page.click('#run-test');
    await page.waitForFunction(() => document.querySelectorAll('#timeline .measured-bar').length === 6, null, { timeout: 5000 });
    const measured = (await drawing(page)).lanes.map((lane) => lane.measured[0]);
    const holds = measured.map((bar) => bar.end - bar.start);
    for (const hold of holds) assert.ok(hold >= 15 - 1 && hold < 65 + 250, `hold ${hold}`);
    for (let i = 1; i < measured.length; i += 1) {
      const period = measured[i].start - measured[i - 1].start;
      // Each press is due hold + gap after the one before: at least 40 + 60 − 2 × 25.
      assert.ok(period >= 50 - 1, `press ${i} came ${period} ms after the one before`);
    }
    // The last press is due at most 5 × (65 + 85) ms after the first on the absolute time line.
    assert.ok(measured[5].start - measured[0].start <= 750 + 250, JSON.stringify(measured));
  });
});
