'use strict';
// "录制": keys played with their real timing become steps; overlaps are kept (chords for a modifier held
// across a key, kept keys for the rest), and the recording is kept or dropped as the user says.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const { withPage } = h.pageSuite(test);

const oneMacro = () => ({ server: { state: h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]) } });

const KEYS = {
  w: { code: 'KeyW', key: 'w', windowsVirtualKeyCode: 87 },
  c: { code: 'KeyC', key: 'c', windowsVirtualKeyCode: 67 },
  Space: { code: 'Space', key: ' ', windowsVirtualKeyCode: 32 },
  Ctrl: { code: 'ControlLeft', key: 'Control', windowsVirtualKeyCode: 17 },
  Escape: { code: 'Escape', key: 'Escape', windowsVirtualKeyCode: 27 },
};

// Key events through the browser's input pipeline with time stamps of our choosing: `script` holds
// [name, 'down' | 'up', ms after the first event, modifier bits (2: Ctrl held)].
async function play(page, script) {
  const cdp = await page.context().newCDPSession(page);
  const base = Date.now() / 1000;
  for (const [name, direction, at, modifiers = 0] of script) {
    await cdp.send('Input.dispatchKeyEvent', { type: direction === 'down' ? 'keyDown' : 'keyUp', modifiers, timestamp: base + at / 1000, ...KEYS[name] });
  }
  await cdp.detach();
}

test('a recording with set time stamps becomes steps with its holds and gaps, overlaps kept', async () => {
  await withPage(oneMacro(), async (page, server) => {
    await h.waitForSaved(page);
    await page.click('#record-sequence');
    assert.equal(await page.getAttribute('#record-sequence', 'aria-pressed'), 'true');
    assert.equal(await page.textContent('#record-sequence'), '停止录制');
    await h.clearPosted(page);
    // W held while Space is tapped; then Ctrl held across C.
    await play(page, [
      ['w', 'down', 0],
      ['Space', 'down', 100.3],
      ['Space', 'up', 150.6],
      ['w', 'up', 300.2],
      ['Ctrl', 'down', 400, 2],
      ['c', 'down', 420, 2],
      ['c', 'up', 460.4, 2],
      ['Ctrl', 'up', 480],
      ['Escape', 'down', 600],
    ]);
    assert.equal(await page.textContent('#record-sequence'), '录制');
    assert.equal(await page.isVisible('#recording-actions'), true);
    // The last release is 460.4 ms after the first press; the browser's time stamps are rounded finer
    // than a millisecond, so the total is 460 or 461.
    const [, count, total] = /^录到 (\d+) 步，共 (\d+) 毫秒。$/.exec(await page.textContent('#recording-status'));
    assert.equal(Number(count), 4);
    assert.ok(Math.abs(Number(total) - 460.4) <= 1, `total ${total}`);
    assert.equal(await page.inputValue('#sequence'), '', 'the recorded keys reach nothing else on the page');
    assert.deepEqual(await h.postedJson(page, 'macro-state'), [], 'nothing changes before "保留"');

    await page.click('#recording-keep');
    const expected = [
      { key: 'w', keep: 'w', hold: 100, gap: 0 },
      { key: 'Space', hold: 50, gap: 150 },
      { key: '', release: 'w', hold: 1, gap: 120 },
      { key: 'Ctrl + C', hold: 40, gap: 0 },
    ];
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].steps.length === 6);
    const steps = saved.profiles[0].macros[0].steps;
    assert.deepEqual(steps.slice(0, 2).map((step) => step.key), ['a', 'b'], 'appended to the steps there were');
    // Within 1 ms of every recorded event (the rounding of the time stamps).
    const recorded = steps.slice(2);
    assert.deepEqual(recorded.map(({ hold, gap, ...rest }) => rest), expected.map(({ hold, gap, ...rest }) => rest));
    recorded.forEach((step, i) => {
      assert.ok(Math.abs(step.hold - expected[i].hold) <= 1, `hold of step ${i}: ${step.hold}`);
      assert.ok(Math.abs(step.gap - expected[i].gap) <= 1, `gap of step ${i}: ${step.gap}`);
    });
    assert.equal(saved.profiles[0].macros[0].text, 'abw{Space}{}{Ctrl + C}');
    assert.equal((await h.postedJson(page, 'macro-state')).length, 1);
    assert.equal(await page.textContent('#sequence-key-4'), '松开 w');
  });
});

test('"放弃" drops a recording; Escape ends one; nothing recorded says so', async () => {
  await withPage(oneMacro(), async (page, server) => {
    await h.waitForSaved(page);
    const before = server.stateText();
    await page.click('#record-sequence');
    await play(page, [
      ['w', 'down', 0],
      ['w', 'up', 30],
    ]);
    await page.click('#record-sequence');
    assert.equal(await page.isVisible('#recording-actions'), true);
    await page.click('#recording-discard');
    assert.equal(await page.isHidden('#recording-actions'), true);
    assert.equal(await page.locator('.sequence-key').count(), 2);

    await page.click('#record-sequence');
    await page.keyboard.press('Escape');
    assert.equal(await page.textContent('#recording-status'), '没有录到按键。');
    await page.waitForTimeout(300);
    assert.equal(server.stateText(), before);
  });
});
