'use strict';
// Editing macros: adding, recording, capturing, behaviours, times, names, ids and deleting, checked
// against the messages to the host and the state file on disk.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const { withPage } = h.pageSuite(test);

async function waitFor(condition, timeoutMs = 5000) {
  const end = Date.now() + timeoutMs;
  while (!condition()) {
    if (Date.now() > end) throw new Error('condition not met in time');
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

function lastMacroState(messages) {
  return messages[messages.length - 1];
}

test('a macro is built end to end from the empty profile and reaches the host and the disk', async () => {
  await withPage({}, async (page, server) => {
    await page.click('#empty-add');
    assert.equal(await page.inputValue('#macro-list .macro-name'), '新建宏 1');
    assert.equal(await page.isVisible('#editor'), true);
    assert.equal(await page.textContent('#macro-count'), '1');
    let saved = await h.waitForState(server, (s) => s.profiles[0].macros.length === 1);
    assert.deepEqual(saved.profiles[0].macros[0], {
      id: 10,
      name: '新建宏 1',
      enabled: true,
      trigger: '',
      behavior: 'once',
      text: '',
      hold: 30,
      gap: 50,
      steps: [],
    });
    assert.equal(saved.selectedMacro, 10);

    // Trigger: real key presses with modifiers held.
    await page.click('#trigger');
    assert.equal(await page.getAttribute('#trigger', 'class'), 'recording');
    await page.keyboard.press('Control+Alt+KeyQ');
    assert.equal(await page.inputValue('#trigger'), 'Ctrl + Alt + Q');
    assert.equal(await page.getAttribute('#trigger', 'class'), '');

    // Sequence: physical keys into the capture box, then "添加".
    await page.click('#sequence');
    for (const key of ['KeyA', 'Enter', 'Digit4', 'F5']) await page.keyboard.press(key);
    assert.equal(await page.inputValue('#sequence'), 'a{Enter}4{F5}');
    await page.click('#add-sequence');
    assert.equal(await page.inputValue('#sequence'), '');
    assert.deepEqual(await page.locator('.sequence-key').allTextContents(), ['a', 'Enter', '4', 'F5']);
    assert.equal(await page.textContent('.macro-summary'), 'a Enter 4 F5');

    // Times overwrite every step; the behaviour switch.
    await page.fill('#hold', '40');
    await page.fill('#gap', '65');
    await page.click('[data-behavior="hold"]');
    assert.equal(await page.getAttribute('[data-behavior="hold"]', 'aria-pressed'), 'true');
    assert.equal(await page.getAttribute('[data-behavior="once"]', 'aria-pressed'), 'false');

    const expected = {
      id: 10,
      name: '新建宏 1',
      enabled: true,
      trigger: 'Ctrl + Alt + Q',
      behavior: 'hold',
      text: 'a{Enter}4{F5}',
      hold: 40,
      gap: 65,
      steps: ['a', 'Enter', '4', 'F5'].map((key) => ({ key, hold: 40, gap: 65 })),
    };
    saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].behavior === 'hold');
    assert.deepEqual(saved.profiles[0].macros[0], expected);
    const hostView = lastMacroState(await h.postedJson(page, 'macro-state'));
    assert.equal(hostView.enabled, true);
    assert.deepEqual(hostView.profile.macros[0], expected);
  });
});

test('quick changes are written once, 120 ms after the last of them', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]);
  await withPage({ server: { state }, page: { clock: true } }, async (page, server) => {
    // The installed clock runs with real time until paused: let the first render's save finish.
    await waitFor(() => h.saveRequests(page).length >= 1);
    await page.waitForTimeout(200);
    await page.clock.pauseAt((await page.evaluate(() => Date.now())) + 1000);
    const before = h.saveRequests(page).length;
    const field = page.locator('.macro-name');
    await field.click();
    await field.press('End');
    for (const text of ['一', '二', '三']) {
      await page.keyboard.insertText(text);
      await page.clock.runFor(100);
    }
    assert.equal(h.saveRequests(page).length, before, 'nothing is written while changes keep coming');
    await page.clock.runFor(30);
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].name === '宏 2一二三');
    await page.clock.runFor(500);
    await page.waitForTimeout(100);
    assert.equal(h.saveRequests(page).length - before, 1);
    assert.equal(saved.profiles[0].macros[0].name, '宏 2一二三');
  });
});

test('renaming inline: Enter leaves the field, an empty name becomes "未命名宏"', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2), h.macro(3)] }]);
  await withPage({ server: { state } }, async (page, server) => {
    const field = page.locator('.macro-item[data-macro-id="3"] .macro-name');
    await field.fill('  新名字  ');
    await field.press('Enter');
    assert.equal(await field.evaluate((input) => input === document.activeElement), false);
    assert.equal(await field.inputValue(), '新名字');
    // Clicking and typing in the field does not select its macro.
    assert.equal(await page.getAttribute('.macro-item[data-macro-id="2"]', 'aria-current'), 'true');
    await field.fill('   ');
    await page.click('#test-output');
    assert.equal(await field.inputValue(), '未命名宏');
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[1].name === '未命名宏');
    assert.equal(saved.selectedMacro, 2);
  });
});

test('ids continue after the largest stored id, and never below 11', async (t) => {
  const cases = [
    { name: 'ids 1, 3 and 42 give 43 and 44', macros: [3, 42], first: 43 },
    { name: 'only small ids give 11 and 12', macros: [2], first: 11 },
  ];
  for (const item of cases) {
    await t.test(item.name, async () => {
      const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: item.macros.map((id) => h.macro(id)) }]);
      await withPage({ server: { state } }, async (page, server) => {
        await page.click('#add-macro');
        await page.click('#profile-toggle');
        await page.click('text=＋ 添加配置');
        await page.click('.profile-add-form button[type="submit"]');
        const saved = await h.waitForState(server, (s) => s.profiles.length === 2);
        assert.equal(saved.profiles[0].macros.at(-1).id, item.first);
        assert.equal(saved.profiles[1].id, item.first + 1);
      });
    });
  }
});

test('a new macro takes the smallest free number', async () => {
  const macros = [h.macro(2, { name: '新建宏 1' }), h.macro(3, { name: '新建宏 3' })];
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros }]);
  await withPage({ server: { state } }, async (page) => {
    await page.click('#add-macro');
    await page.click('#add-macro');
    const names = await page.locator('.macro-name').evaluateAll((inputs) => inputs.map((input) => input.value));
    assert.deepEqual(names, ['新建宏 1', '新建宏 3', '新建宏 2', '新建宏 4']);
    assert.equal(await page.getAttribute('.macro-item:last-child', 'aria-current'), 'true');
  });
});

test('invalid times are refused with a message and never stored', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]);
  await withPage({ server: { state } }, async (page, server) => {
    await h.waitForState(server, () => true);
    const cases = [
      ['#hold', '0', '时间必须是 1～60000 的整数毫秒。'],
      ['#hold', '60001', '时间必须是 1～60000 的整数毫秒。'],
      ['#hold', '2.5', '时间必须是 1～60000 的整数毫秒。'],
      ['#hold', '', '时间必须是 1～60000 的整数毫秒。'],
      ['#gap', '-1', '时间必须是 0～60000 的整数毫秒。'],
      ['#gap', '70000', '时间必须是 0～60000 的整数毫秒。'],
    ];
    for (const [selector, value, message] of cases) {
      await page.fill(selector, value);
      assert.equal(await page.getAttribute(selector, 'aria-invalid'), 'true', `${selector} ${value}`);
      assert.equal(await page.textContent('#form-error'), message);
      assert.equal(await page.isVisible('#form-error'), true);
    }
    await page.waitForTimeout(300);
    const stored = server.readState().profiles[0].macros[0];
    assert.equal(stored.hold, 30);
    assert.equal(stored.gap, 50);
    assert.deepEqual(stored.steps.map((step) => [step.hold, step.gap]), [[30, 50], [30, 50]]);

    // Leaving the field shows the stored value again; a valid value clears the message.
    await page.click('#test-output');
    assert.equal(await page.inputValue('#gap'), '50');
    await page.fill('#hold', '60000');
    assert.equal(await page.getAttribute('#hold', 'aria-invalid'), null);
    assert.equal(await page.textContent('#form-error'), '');
    await page.fill('#gap', '0');
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].gap === 0);
    assert.deepEqual(saved.profiles[0].macros[0].steps.map((step) => [step.hold, step.gap]), [[60000, 0], [60000, 0]]);
  });
});

test('advanced editing changes one step and restores an invalid entry', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]);
  await withPage({ server: { state } }, async (page, server) => {
    const toggle = page.locator('.advanced-toggle');
    assert.equal(await toggle.textContent(), '高级编辑');
    assert.equal(await toggle.getAttribute('aria-label'), '打开高级编辑，将按键旁的按住和间隔数值改为输入框');
    await toggle.click();
    assert.equal(await toggle.textContent(), '完成编辑');
    assert.equal(await toggle.getAttribute('aria-label'), '完成逐键时间编辑');
    const holdInputs = page.locator('.sequence-keys input[aria-label$="按住毫秒"]');
    assert.equal(await holdInputs.count(), 2);
    await holdInputs.nth(1).fill('75');
    let saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].steps[1].hold === 75);
    assert.equal(saved.profiles[0].macros[0].steps[0].hold, 30);
    await holdInputs.nth(0).fill('0');
    assert.equal(await page.textContent('#form-error'), '时间必须是 1～60000 的整数毫秒。');
    await page.click('#test-output');
    assert.equal(await holdInputs.nth(0).inputValue(), '30');
    await page.waitForTimeout(300);
    saved = server.readState();
    assert.equal(saved.profiles[0].macros[0].steps[0].hold, 30);
  });
});

test('each behaviour shows its own key list and labels', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]);
  await withPage({ server: { state } }, async (page) => {
    const gaps = () => page.locator('.sequence-gap').allTextContents();
    assert.deepEqual(await gaps(), ['间隔 50']);

    await page.click('[data-behavior="hold"]');
    assert.deepEqual(await gaps(), ['间隔 50', '循环间隔 50']);

    await page.click('[data-behavior="latch"]');
    assert.deepEqual(await gaps(), ['间隔 50']);
    const held = page.locator('#sequence-hold-1');
    assert.equal(await held.textContent(), '保持');
    assert.equal(await held.getAttribute('aria-label'), '保持到松开触发键');
    assert.equal(await page.getAttribute('#sequence-key-1', 'aria-describedby'), 'sequence-hold-1');

    await page.click('[data-behavior="repeat"]');
    assert.deepEqual(await gaps(), []);
    assert.equal(await page.isHidden('#trigger'), true);
    assert.equal(await page.isVisible('#repeat-source'), true);
    assert.equal(await page.textContent('#trigger-label'), '连发方式');
    assert.equal(await page.textContent('#sequence-label'), '添加连发键');
    assert.equal(await page.getAttribute('#sequence', 'placeholder'), '按下要连发的按键');
    assert.equal(await page.textContent('.macro-trigger'), '连发');
    assert.equal(await page.getAttribute('.macro-trigger', 'title'), '单键连发');

    await page.click('[data-behavior="once"]');
    assert.equal(await page.textContent('#trigger-label'), '触发按键');
    assert.equal(await page.textContent('#sequence-label'), '添加按键');
    assert.equal(await page.getAttribute('#sequence', 'placeholder'), '按下要添加的按键');
    assert.equal(
      await page.getAttribute('#sequence-key-0', 'aria-label'),
      '修改第 1 个按键 a，按住 30 毫秒，连发间隔 50 毫秒',
    );
    assert.equal(await page.getAttribute('.sequence-remove', 'aria-label'), '删除第 1 个按键 a');
    assert.equal(
      await page.getAttribute('.macro-summary', 'aria-label'),
      '选择宏，已设置按键 a b，触发键 F6',
    );
  });
});

test('the behaviour switch follows arrow, Home and End keys, cyclically', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]);
  await withPage({ server: { state } }, async (page, server) => {
    const pressed = () => page.getAttribute('#behavior [aria-pressed="true"]', 'data-behavior');
    await page.focus('[data-behavior="once"]');
    const steps = [
      ['ArrowLeft', 'latch'],
      ['ArrowRight', 'once'],
      ['ArrowRight', 'hold'],
      ['End', 'latch'],
      ['Home', 'once'],
      ['ArrowRight', 'hold'],
    ];
    for (const [key, behavior] of steps) {
      await page.keyboard.press(key);
      assert.equal(await pressed(), behavior, key);
      assert.equal(await page.evaluate(() => document.activeElement.dataset.behavior), behavior);
      assert.equal(await page.getAttribute(`[data-behavior="${behavior}"]`, 'tabindex'), '0');
    }
    assert.equal(await page.locator('#behavior [tabindex="-1"]').count(), 3);
    await h.waitForState(server, (s) => s.profiles[0].macros[0].behavior === 'hold');
  });
});

test('switching one macro off and deleting macros', async () => {
  const macros = [h.macro(2), h.macro(3), h.macro(4)];
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros }], { selectedMacro: 3 });
  await withPage({ server: { state } }, async (page, server) => {
    await page.click('#macro-enabled-control');
    assert.equal(await h.toastText(page), '当前宏已停用，仍可在下方测试。');
    let saved = await h.waitForState(server, (s) => s.profiles[0].macros[1].enabled === false);
    await page.click('#macro-enabled-control');
    assert.equal(await h.toastText(page), '当前宏已启用。');

    await page.click('#delete-macro');
    assert.equal(await page.getAttribute('.macro-item[data-macro-id="4"]', 'aria-current'), 'true');
    await page.click('#delete-macro');
    assert.equal(await page.getAttribute('.macro-item[data-macro-id="2"]', 'aria-current'), 'true');
    await page.click('#delete-macro');
    assert.equal(await page.isVisible('#empty'), true);
    saved = await h.waitForState(server, (s) => s.profiles[0].macros.length === 0);
    assert.equal(saved.selectedMacro, undefined);
    const last = lastMacroState(await h.postedJson(page, 'macro-state'));
    assert.deepEqual(last.profile.macros, []);
  });
});

test('"显示名称" switches the list between names and compact items, and is saved', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]);
  await withPage({ server: { state } }, async (page, server) => {
    assert.equal(await page.locator('.macro-name').count(), 1);
    await page.click('.top-actions .switch:first-child');
    assert.equal(await page.locator('.macro-name').count(), 0);
    const box = await page.locator('.macro-item').boundingBox();
    assert.equal(Math.round(box.height), 26);
    await h.waitForState(server, (s) => s.showMacroNames === false);
  });
});
