'use strict';
// Key capture, key recording and the in-page test runner, driven by real key presses.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const { withPage } = h.pageSuite(test);

const withMacro = (fields) => ({ server: { state: h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2, fields)] }]) } });

test('the capture box names physical keys and keeps its own editing rules', async () => {
  await withPage(withMacro(), async (page) => {
    const box = page.locator('#sequence');
    await box.click();
    const presses = ['Shift+KeyA', 'Digit1', 'Numpad7', 'Space', 'Semicolon', 'Shift+Slash', 'ArrowLeft', 'Escape', 'Control', 'Meta'];
    for (const key of presses) await page.keyboard.press(key);
    assert.equal(await box.inputValue(), '{Shift + A}1{Num7}{Space};{Shift + /}{Left}{Esc}{Ctrl}{Win}');
    await page.keyboard.press('Backspace');
    await page.keyboard.press('Backspace');
    assert.equal(await box.inputValue(), '{Shift + A}1{Num7}{Space};{Shift + /}{Left}{Esc}');
    await page.keyboard.press('Delete');
    assert.equal(await box.inputValue(), '');

    // Typing, pasting and auto-repeat add nothing.
    await page.keyboard.down('KeyB');
    await page.keyboard.down('KeyB');
    await page.keyboard.up('KeyB');
    await page.keyboard.insertText('粘贴');
    assert.equal(await box.inputValue(), 'b');

    // 120 characters at most: a token that would pass the limit is refused whole.
    await page.keyboard.press('Delete');
    for (let i = 0; i < 115; i += 1) await page.keyboard.press('KeyX');
    await page.keyboard.press('Enter'); // {Enter} would make 122
    await page.keyboard.press('F5'); // {F5} makes 119
    await page.keyboard.press('KeyY'); // 120
    await page.keyboard.press('KeyZ'); // 121: refused
    const value = await box.inputValue();
    assert.equal(value.length, 120);
    assert.ok(value.endsWith('x{F5}y'));
    await page.keyboard.press('Backspace');
    await page.keyboard.press('Backspace');
    assert.ok((await box.inputValue()).endsWith('xx'), 'Backspace removes the whole {F5} group');
  });
});

test('"添加" turns the box into steps with the macro times and rebuilds the text', async () => {
  await withPage(withMacro({ steps: [], text: '', hold: 45, gap: 15 }), async (page, server) => {
    await page.click('#sequence');
    for (const key of ['KeyA', 'Enter', 'Digit4', 'Space']) await page.keyboard.press(key);
    await page.click('#add-sequence');
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].steps.length === 4);
    const stored = saved.profiles[0].macros[0];
    assert.equal(stored.text, 'a{Enter}4{Space}');
    assert.deepEqual(stored.steps, ['a', 'Enter', '4', 'Space'].map((key) => ({ key, hold: 45, gap: 15 })));
    assert.deepEqual(await page.locator('.sequence-key').allTextContents(), ['a', 'Enter', '4', '空格']);
    assert.equal(await page.textContent('.macro-summary'), 'a Enter 4 空格');
  });
});

test('re-recording a step stores the physical key, with the modifiers held as one chord', async (t) => {
  const cases = [
    { press: 'KeyA', key: 'a', text: 'ab' },
    { press: 'Shift+KeyA', key: 'Shift + A', text: '{Shift + A}b' },
    { press: 'F7', key: 'F7', text: '{F7}b' },
    { press: 'Space', key: 'Space', text: '{Space}b' },
    { press: 'Shift+Digit1', key: 'Shift + 1', text: '{Shift + 1}b' },
    { press: 'Control+Alt+KeyC', key: 'Ctrl + Alt + C', text: '{Ctrl + Alt + C}b' },
    { press: 'ArrowUp', key: 'Up', text: '{Up}b' },
  ];
  for (const item of cases) {
    await t.test(item.press, async () => {
      await withPage(withMacro(), async (page, server) => {
        await page.click('#sequence-key-0');
        assert.equal(await page.textContent('#sequence-key-0'), '请按键…');
        assert.match(await page.getAttribute('#sequence-key-0', 'class'), /recording/);
        await page.keyboard.press('Shift'); // a modifier alone is waited through
        assert.equal(await page.textContent('#sequence-key-0'), '请按键…');
        await page.keyboard.press(item.press);
        const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].steps[0].key === item.key);
        assert.equal(saved.profiles[0].macros[0].text, item.text);
        assert.doesNotMatch(await page.getAttribute('#sequence-key-0', 'class'), /recording/);
      });
    });
  }
});

test('recording ends without change on Escape, on leaving the field and on opening a dialog', async () => {
  await withPage(withMacro({ trigger: 'F6' }), async (page) => {
    await page.click('#trigger');
    assert.equal(await page.inputValue('#trigger'), '');
    assert.equal(await page.getAttribute('#trigger', 'placeholder'), '按下触发键');
    await page.keyboard.press('Escape');
    assert.equal(await page.inputValue('#trigger'), 'F6');

    await page.click('#sequence-key-1');
    await page.click('#shortcut-settings');
    assert.equal(await page.textContent('#sequence-key-1'), 'b');
    await page.click('#shortcut-cancel');

    // A trigger recording ends when the field loses focus: keys typed elsewhere are not recorded.
    await page.click('#trigger');
    await page.click('#test-output');
    await page.keyboard.press('KeyK');
    assert.equal(await page.inputValue('#trigger'), 'F6');
    assert.equal(await page.inputValue('#test-output'), 'k');

    await page.click('#trigger');
    await page.keyboard.press('Control+Shift+Meta+F9');
    assert.equal(await page.inputValue('#trigger'), 'Ctrl + Shift + Win + F9');
  });
});

// Records when each key cap gains and loses the test highlight, on the page's own clock.
async function recordHighlights(page) {
  await page.evaluate(() => {
    window.__presses = [];
    window.__releases = [];
    const observer = new MutationObserver((records) => {
      for (const record of records) {
        const active = record.target.classList.contains('test-active');
        const was = (record.oldValue || '').split(' ').includes('test-active');
        if (active && !was) window.__presses.push([record.target.id, performance.now()]);
        if (!active && was) window.__releases.push([record.target.id, performance.now()]);
      }
    });
    observer.observe(document.getElementById('sequence-keys'), {
      subtree: true,
      attributes: true,
      attributeFilter: ['class'],
      attributeOldValue: true,
    });
    window.__startedAt = performance.now();
  });
}

test('"运行测试" types one pass into the test field with the macro timing', async () => {
  const steps = [
    { key: 'a', hold: 30, gap: 50 },
    { key: 'Space', hold: 20, gap: 40 },
    { key: 'Enter', hold: 25, gap: 10 },
    { key: 'F5', hold: 10, gap: 0 },
  ];
  await withPage(withMacro({ steps, text: 'a{Space}{Enter}{F5}' }), async (page) => {
    await page.fill('#test-output', '>');
    await recordHighlights(page);
    await page.click('#run-test');
    assert.equal(await h.toastText(page), '正在按设定时间运行一次测试。');
    await page.waitForFunction(() => document.getElementById('test-output').value === '>a ↵[F5]');
    await page.waitForFunction(() => window.__releases.length === 4);
    const { presses, releases, startedAt } = await page.evaluate(() => ({
      presses: window.__presses,
      releases: window.__releases,
      startedAt: window.__startedAt,
    }));
    assert.deepEqual(presses.map(([id]) => id), ['sequence-key-0', 'sequence-key-1', 'sequence-key-2', 'sequence-key-3']);
    const start = presses[0][1];
    assert.ok(start >= startedAt);
    const due = [0, 80, 140, 175];
    presses.forEach(([, at], index) => {
      assert.ok(at - start >= due[index] - 2, `press ${index} at ${at - start} ms, due ${due[index]}`);
    });
    releases.forEach(([, at], index) => {
      assert.ok(at - presses[index][1] >= steps[index].hold - 2, `release ${index} after its hold`);
    });
    assert.ok(releases[3][1] - start < 5000, 'the pass ends');
    assert.equal(await page.locator('.test-active').count(), 0);
  });
});

test('a looping test stays on its deadline timeline when a timer fires late', async () => {
  const steps = [
    { key: 'a', hold: 30, gap: 50 },
    { key: 'b', hold: 30, gap: 50 },
  ];
  await withPage({ ...withMacro({ steps, behavior: 'hold', trigger: 'F6' }), page: { clock: true } }, async (page) => {
    await page.clock.pauseAt((await page.evaluate(() => Date.now())) + 1000);
    await recordHighlights(page);
    await page.focus('#test-output');
    await page.keyboard.down('F6');
    await page.clock.runFor(100); // presses at 0 and 80
    await page.clock.fastForward(100); // the release due at 110 fires late, at 200
    await page.clock.runFor(250);
    await page.keyboard.up('F6');
    const presses = await page.evaluate(() => window.__presses);
    const start = presses[0][1];
    const times = presses.map(([, at]) => Math.round(at - start));
    // 160 was missed and pressed as soon as possible (200); the following ones are on the grid again.
    assert.deepEqual([times[0], times[1], times[3], times[4]], [0, 80, 240, 320]);
    assert.ok(times[2] >= 200 && times[2] <= 202, `late press at ${times[2]}`);
    assert.deepEqual(presses.slice(0, 5).map(([id]) => id), ['sequence-key-0', 'sequence-key-1', 'sequence-key-0', 'sequence-key-1', 'sequence-key-0']);
    assert.equal(await page.locator('.test-active').count(), 0, 'releasing the key stops the test');
    const text = await page.inputValue('#test-output');
    assert.match(text, /^(ab)+a?$/);
  });
});

test('how each behaviour starts and stops its test from the test field', async (t) => {
  await t.test('once: one pass per fresh press, not for auto-repeat, not stopped by release', async () => {
    await withPage(withMacro({ behavior: 'once', trigger: 'Ctrl + Q' }), async (page) => {
      await page.focus('#test-output');
      await page.keyboard.press('KeyQ'); // not the trigger: typed normally
      await page.keyboard.down('Control');
      await page.keyboard.down('KeyQ');
      await page.keyboard.up('KeyQ');
      await page.keyboard.up('Control');
      await page.waitForFunction(() => document.getElementById('test-output').value === 'qab');
      await page.waitForTimeout(200);
      assert.equal(await page.inputValue('#test-output'), 'qab');
    });
  });

  await t.test('hold: loops while held, stops on any release', async () => {
    await withPage(withMacro({ behavior: 'hold', trigger: 'F6', steps: [{ key: 'z', hold: 5, gap: 5 }] }), async (page) => {
      await page.focus('#test-output');
      await page.keyboard.down('F6');
      await page.waitForFunction(() => document.getElementById('test-output').value.length >= 3);
      await page.keyboard.down('F6'); // auto-repeat does not restart
      await page.keyboard.up('F6');
      const stopped = await page.inputValue('#test-output');
      await page.waitForTimeout(150);
      assert.equal(await page.inputValue('#test-output'), stopped);
      assert.match(stopped, /^z+$/);
    });
  });

  await t.test('repeat: the held step key repeats itself until released', async () => {
    const steps = [
      { key: 'j', hold: 5, gap: 5 },
      { key: 'k', hold: 5, gap: 5 },
    ];
    await withPage(withMacro({ behavior: 'repeat', trigger: '', steps }), async (page) => {
      await page.focus('#test-output');
      await page.keyboard.down('Shift');
      await page.keyboard.down('KeyK');
      await page.waitForFunction(() => document.getElementById('test-output').value.length >= 3);
      assert.match(await page.getAttribute('#sequence-key-1', 'class'), /test-active|sequence-key/);
      await page.keyboard.up('Shift'); // another key's release does not stop it
      const before = (await page.inputValue('#test-output')).length;
      await page.waitForFunction((n) => document.getElementById('test-output').value.length > n + 1, before);
      await page.keyboard.up('KeyK');
      const stopped = await page.inputValue('#test-output');
      await page.waitForTimeout(150);
      assert.equal(await page.inputValue('#test-output'), stopped);
      assert.match(stopped, /^k+$/);
    });
  });

  await t.test('latch: earlier keys pass, the last one stays pressed until the trigger key is released', async () => {
    const steps = [
      { key: 'a', hold: 10, gap: 10 },
      { key: 'b', hold: 10, gap: 10 },
    ];
    await withPage(withMacro({ behavior: 'latch', trigger: 'Alt + W', steps }), async (page) => {
      await page.focus('#test-output');
      await page.keyboard.down('Alt');
      await page.keyboard.down('KeyW');
      await page.waitForFunction(() => document.getElementById('test-output').value === 'ab');
      assert.match(await page.getAttribute('#sequence-key-1', 'class'), /test-active/);
      await page.waitForTimeout(100);
      assert.match(await page.getAttribute('#sequence-key-1', 'class'), /test-active/, 'the last key stays down');
      await page.keyboard.up('Alt');
      assert.match(await page.getAttribute('#sequence-key-1', 'class'), /test-active/);
      await page.keyboard.up('KeyW');
      assert.doesNotMatch(await page.getAttribute('#sequence-key-1', 'class'), /test-active/);
      assert.equal(await page.inputValue('#test-output'), 'ab');
    });
  });

  await t.test('leaving the field stops a running test', async () => {
    await withPage(withMacro({ behavior: 'hold', trigger: 'F6', steps: [{ key: 'z', hold: 5, gap: 5 }] }), async (page) => {
      await page.focus('#test-output');
      await page.keyboard.down('F6');
      await page.waitForFunction(() => document.getElementById('test-output').value.length >= 2);
      await page.click('#sequence-keys');
      const stopped = await page.inputValue('#test-output');
      await page.waitForTimeout(150);
      assert.equal(await page.inputValue('#test-output'), stopped);
      await page.keyboard.up('F6');
    });
  });
});
