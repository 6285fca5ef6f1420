'use strict';
// Mouse buttons as triggers: the trigger field records the middle and side buttons, the browser's own use
// of them stays out of the page, the in-page test starts on them, and the host's notices are shown.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const { withPage } = h.pageSuite(test);

const withMacro = (fields) => ({ server: { state: h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2, fields)] }]) } });

// Real button presses through the browser's input pipeline (Playwright's mouse knows no side buttons).
const CDP_BUTTONS = { middle: 4, back: 8, forward: 16 };
const CDP_MODIFIERS = { Alt: 1, Control: 2, Meta: 4, Shift: 8 };

async function mouseAt(page, selector) {
  const box = await page.locator(selector).boundingBox();
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

async function buttonEvent(page, session, selector, button, type, modifiers = []) {
  const { x, y } = await mouseAt(page, selector);
  await session.send('Input.dispatchMouseEvent', {
    type,
    x,
    y,
    button,
    buttons: type === 'mousePressed' ? CDP_BUTTONS[button] : 0,
    clickCount: 1,
    modifiers: modifiers.reduce((bits, name) => bits | CDP_MODIFIERS[name], 0),
  });
}

async function click(page, session, selector, button, modifiers = []) {
  await buttonEvent(page, session, selector, button, 'mousePressed', modifiers);
  await buttonEvent(page, session, selector, button, 'mouseReleased', modifiers);
}

async function hostKeys(server, text, kind) {
  const response = await fetch(`${server.url}/test/${kind}-keys`, { method: 'POST', body: text });
  assert.equal(response.status, 200);
  return response.json();
}

test('the trigger field records the middle and side buttons with the modifiers held, as the host reads them', async () => {
  await withPage(withMacro({ trigger: 'F6' }), async (page, server) => {
    const session = await page.context().newCDPSession(page);
    const cases = [
      { button: 'middle', modifiers: [], trigger: 'MButton', codes: [4] },
      { button: 'back', modifiers: [], trigger: 'XButton1', codes: [5] },
      { button: 'forward', modifiers: [], trigger: 'XButton2', codes: [6] },
      { button: 'back', modifiers: ['Control', 'Shift'], trigger: 'Ctrl + Shift + XButton1', codes: [17, 16, 5] },
      { button: 'middle', modifiers: ['Alt'], trigger: 'Alt + MButton', codes: [18, 4] },
    ];
    for (const item of cases) {
      await click(page, session, '#trigger', item.button, item.modifiers);
      assert.equal(await page.inputValue('#trigger'), item.trigger, item.trigger);
      const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].trigger === item.trigger);
      assert.deepEqual(await hostKeys(server, saved.profiles[0].macros[0].trigger, 'trigger'), item.codes);
    }
    assert.equal(await page.locator('#macro-list .macro-trigger').first().textContent(), 'Alt + MButton');

    // While a key recording runs, a side button ends it with the button.
    await page.click('#trigger');
    assert.match(await page.getAttribute('#trigger', 'class'), /recording/);
    await click(page, session, '#trigger', 'forward');
    assert.equal(await page.inputValue('#trigger'), 'XButton2');
    assert.doesNotMatch(await page.getAttribute('#trigger', 'class'), /recording/);
    await h.waitForState(server, (s) => s.profiles[0].macros[0].trigger === 'XButton2');
  });
});

test('the browser\'s own use of the middle and side buttons is held back in the trigger and test fields', async () => {
  await withPage(withMacro({ trigger: 'F6' }), async (page) => {
    const session = await page.context().newCDPSession(page);
    // Registered after the page's own listeners, so each event arrives here with the page's decision.
    await page.evaluate(() => {
      window.__mouse = [];
      for (const type of ['mousedown', 'mouseup', 'auxclick']) {
        window.addEventListener(type, (event) => window.__mouse.push(`${event.target.id}:${type}:${event.button}:${event.defaultPrevented}`));
      }
    });
    const buttons = { middle: 1, back: 3, forward: 4 };
    // Elsewhere the browser keeps its meaning (a side button there would leave the page, so the middle one).
    const cases = [
      ...['#trigger', '#test-output'].flatMap((selector) => Object.keys(buttons).map((button) => [selector, button])),
      ['#trigger-label', 'middle'],
    ];
    for (const [selector, button] of cases) {
      const number = buttons[button];
      await page.evaluate(() => {
        window.__mouse.length = 0;
      });
      await click(page, session, selector, button);
      const id = selector.slice(1);
      const held = selector !== '#trigger-label';
      const expected = ['mousedown', 'mouseup', 'auxclick'].map((type) => `${id}:${type}:${number}:${held}`);
      assert.deepEqual(await page.evaluate(() => window.__mouse), expected, `${button} on ${selector}`);
    }
  });
});

test('the in-page test starts and stops on the trigger buttons as the engine would', async (t) => {
  const steps = [
    { key: 'a', hold: 5, gap: 5 },
    { key: 'b', hold: 5, gap: 5 },
  ];
  await t.test('once on XButton1: one pass per press', async () => {
    await withPage(withMacro({ behavior: 'once', trigger: 'XButton1', steps }), async (page) => {
      const session = await page.context().newCDPSession(page);
      await click(page, session, '#test-output', 'forward'); // another button: nothing
      await click(page, session, '#test-output', 'back');
      await page.waitForFunction(() => document.getElementById('test-output').value === 'ab');
      await page.waitForTimeout(150);
      assert.equal(await page.inputValue('#test-output'), 'ab');
    });
  });

  await t.test('hold on Ctrl + MButton: loops while held, only with Ctrl', async () => {
    await withPage(withMacro({ behavior: 'hold', trigger: 'Ctrl + MButton', steps: [{ key: 'z', hold: 5, gap: 5 }] }), async (page) => {
      const session = await page.context().newCDPSession(page);
      await click(page, session, '#test-output', 'middle');
      await page.waitForTimeout(150);
      assert.equal(await page.inputValue('#test-output'), '');
      await buttonEvent(page, session, '#test-output', 'middle', 'mousePressed', ['Control']);
      await page.waitForFunction(() => document.getElementById('test-output').value.length >= 3);
      await buttonEvent(page, session, '#test-output', 'middle', 'mouseReleased', ['Control']);
      const stopped = await page.inputValue('#test-output');
      await page.waitForTimeout(150);
      assert.equal(await page.inputValue('#test-output'), stopped);
      assert.match(stopped, /^z+$/);
    });
  });

  await t.test('latch on XButton2: the last step stays until the button comes up', async () => {
    await withPage(withMacro({ behavior: 'latch', trigger: 'XButton2', steps }), async (page) => {
      const session = await page.context().newCDPSession(page);
      await buttonEvent(page, session, '#test-output', 'forward', 'mousePressed');
      await page.waitForFunction(() => document.getElementById('test-output').value === 'ab');
      assert.equal(await page.locator('.test-active').count(), 1);
      await buttonEvent(page, session, '#test-output', 'forward', 'mouseReleased');
      await page.waitForFunction(() => document.querySelectorAll('.test-active').length === 0);
    });
  });
});

test('a notice from the host stays until the user acts', async () => {
  await withPage(withMacro(), async (page) => {
    const text = '目标程序以管理员身份运行，宏无法向它发送按键。请以管理员身份运行 Kestrava。';
    await h.deliver(page, { type: 'notice', message: text });
    assert.equal(await h.toastText(page), text);
    await h.deliver(page, { type: 'macro-status', enabled: true, message: '宏已启用。' });
    assert.equal(await page.textContent('#toast'), text, 'a status report does not push the notice aside');
  });
});
