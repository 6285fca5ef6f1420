'use strict';
// One key vocabulary: what the page stores for a key press is what the host's own parser reads as that
// key, chords are made in the capture box and by re-recording, the in-page test starts exactly when the
// engine would, and Tab moves through the editor without being recorded.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const { withPage } = h.pageSuite(test);

const withMacro = (fields) => ({ server: { state: h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2, fields)] }]) } });

// The key codes the host's parser gives for `text`, read as a trigger or as a step.
async function hostKeys(server, text, kind) {
  const response = await fetch(`${server.url}/test/${kind}-keys`, { method: 'POST', body: text });
  assert.equal(response.status, 200);
  return response.json();
}

// Key presses (Playwright names give the event's code, key and modifiers), what the page stores, and
// the virtual-key codes the host reads from it.
const keyTable = [
  { press: 'KeyQ', trigger: 'Q', step: 'q', codes: [81] },
  { press: 'Shift+KeyQ', trigger: 'Shift + Q', step: 'Shift + Q', codes: [16, 81] },
  { press: 'Shift+Digit1', trigger: 'Shift + 1', step: 'Shift + 1', codes: [16, 49] },
  { press: 'Shift+Slash', trigger: 'Shift + /', step: 'Shift + /', codes: [16, 191] },
  { press: 'Quote', trigger: "'", step: "'", codes: [222] },
  { press: 'Shift+Equal', trigger: 'Shift + =', step: 'Shift + =', codes: [16, 187] },
  { press: 'Control+Alt+BracketLeft', trigger: 'Ctrl + Alt + [', step: 'Ctrl + Alt + [', codes: [17, 18, 219] },
  { press: 'Numpad0', trigger: 'Num0', step: 'Num0', codes: [96] },
  { press: 'Numpad7', trigger: 'Num7', step: 'Num7', codes: [103] },
  { press: 'NumpadAdd', trigger: 'NumAdd', step: 'NumAdd', codes: [107] },
  { press: 'NumpadSubtract', trigger: 'NumSubtract', step: 'NumSubtract', codes: [109] },
  { press: 'NumpadMultiply', trigger: 'NumMultiply', step: 'NumMultiply', codes: [106] },
  { press: 'NumpadDivide', trigger: 'NumDivide', step: 'NumDivide', codes: [111] },
  { press: 'NumpadDecimal', trigger: 'NumDecimal', step: 'NumDecimal', codes: [110] },
  { press: 'NumpadEnter', trigger: 'Enter', step: 'Enter', codes: [13] },
  { press: 'CapsLock', trigger: 'CapsLock', step: 'CapsLock', codes: [20] },
  { press: 'ScrollLock', trigger: 'ScrollLock', step: 'ScrollLock', codes: [145] },
  { press: 'NumLock', trigger: 'NumLock', step: 'NumLock', codes: [144] },
  { press: 'Pause', trigger: 'Pause', step: 'Pause', codes: [19] },
  { press: 'PrintScreen', trigger: 'PrintScreen', step: 'PrintScreen', codes: [44] },
  { press: 'ContextMenu', trigger: 'Menu', step: 'Menu', codes: [93] },
  { press: 'Alt+F12', trigger: 'Alt + F12', step: 'Alt + F12', codes: [18, 123] },
  { press: 'Meta+ArrowLeft', trigger: 'Win + Left', step: 'Win + Left', codes: [91, 37] },
];

const refusedKeys = ['AudioVolumeUp', 'MediaTrackNext', 'AudioVolumeMute'];

test('a recorded trigger names the physical key in the host parser\'s names; a key without a name is refused', async () => {
  await withPage(withMacro({ trigger: 'F6' }), async (page, server) => {
    for (const item of keyTable) {
      await page.click('#trigger');
      await page.keyboard.press(item.press);
      assert.equal(await page.inputValue('#trigger'), item.trigger, item.press);
      const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].trigger === item.trigger);
      assert.deepEqual(await hostKeys(server, saved.profiles[0].macros[0].trigger, 'trigger'), item.codes, item.press);
      await page.click('#sequence-keys');
    }
    for (const press of refusedKeys) {
      await page.click('#trigger');
      await page.keyboard.press(press);
      assert.match(await h.toastText(page), /^按键“.+”无法用于宏，未记录。$/, press);
      assert.match(await page.getAttribute('#trigger', 'class'), /recording/, 'the recording goes on after a refused key');
      await page.keyboard.press('Escape');
      assert.equal(await page.inputValue('#trigger'), 'Win + Left', press);
    }
    assert.equal(server.readState().profiles[0].macros[0].trigger, 'Win + Left');
  });
});

test('captured keys and keys pressed together become steps the host reads as those keys', async () => {
  await withPage(withMacro({ steps: [], text: '' }), async (page, server) => {
    // The box holds 120 characters: the table goes in through it in parts.
    const expected = [...keyTable.map((item) => item.step), 'Ctrl', 'Ctrl + Shift'];
    const token = (key) => (key.length === 1 ? key : `{${key}}`);
    for (let start = 0; start < keyTable.length; start += 8) {
      const part = keyTable.slice(start, start + 8);
      await page.click('#sequence');
      for (const item of part) await page.keyboard.press(item.press);
      for (const press of refusedKeys) await page.keyboard.press(press);
      assert.equal(await page.inputValue('#sequence'), part.map((item) => token(item.step)).join(''));
      await page.click('#add-sequence');
    }
    // Modifiers pressed and released with no other key are a group of their own.
    await page.click('#sequence');
    await page.keyboard.press('Control');
    await page.keyboard.down('Control');
    await page.keyboard.down('Shift');
    await page.keyboard.up('Shift');
    await page.keyboard.up('Control');
    assert.equal(await page.inputValue('#sequence'), '{Ctrl}{Ctrl + Shift}');
    await page.click('#add-sequence');
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].steps.length === expected.length);
    const steps = saved.profiles[0].macros[0].steps;
    assert.deepEqual(steps.map((step) => step.key), expected);
    const codes = [...keyTable.map((item) => item.codes), [17], [17, 16]];
    for (let i = 0; i < steps.length; i += 1) {
      assert.deepEqual(await hostKeys(server, steps[i].key, 'step'), codes[i], steps[i].key);
    }
    assert.equal(await page.textContent('#sequence-key-1'), 'Shift + Q', 'a chord reads as its keys on the cap');
  });
});

test('re-recording a step refuses a key without a name and keeps the step', async () => {
  await withPage(withMacro(), async (page, server) => {
    await page.click('#sequence-key-0');
    await page.keyboard.press('MediaPlayPause');
    assert.match(await h.toastText(page), /无法用于宏/);
    await page.keyboard.press('Control+NumpadAdd');
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].steps[0].key === 'Ctrl + NumAdd');
    assert.equal(saved.profiles[0].macros[0].text, '{Ctrl + NumAdd}b');
    assert.deepEqual(await hostKeys(server, 'Ctrl + NumAdd', 'step'), [17, 107]);
  });
});

// The test field against the engine's rule: the key's hook code is the trigger's last key and every key
// before it is held; other keys held do not matter; modifier triggers name side-neutral codes the hook
// never reports.
test('the in-page test starts exactly when the engine would start the macro', async (t) => {
  const cases = [
    { trigger: 'Shift + 1', starts: ['Shift+Digit1', 'Control+Shift+Digit1'], not: ['Digit1', 'Numpad1', 'Shift+Numpad1'] },
    { trigger: 'Num7', starts: ['Numpad7', 'Shift+Numpad7'], not: ['Digit7', 'Home'] },
    { trigger: 'Q', starts: ['KeyQ', 'Control+KeyQ'], not: ['KeyW'] },
    { trigger: 'ctrl + alt + q', starts: ['Control+Alt+KeyQ'], not: ['Control+KeyQ', 'Alt+KeyQ'] },
    { trigger: 'NumAdd', starts: ['NumpadAdd'], not: ['Shift+Equal', 'Equal'] },
    { trigger: 'Shift + !', starts: [], not: ['Shift+Digit1'] },
    { trigger: 'Ctrl', starts: [], not: ['Control', 'ControlRight'] },
    { trigger: 'CapsLock', starts: ['CapsLock'], not: ['Shift+KeyA'] },
  ];
  for (const item of cases) {
    await t.test(item.trigger, async () => {
      await withPage(withMacro({ trigger: item.trigger, steps: [{ key: 'z', hold: 1, gap: 0 }], text: 'z' }), async (page) => {
        for (const press of [...item.starts, ...item.not]) {
          await page.fill('#test-output', '');
          await page.focus('#test-output');
          await page.keyboard.press(press);
          const started = item.starts.includes(press);
          if (started) await page.waitForFunction(() => document.getElementById('test-output').value.includes('z'));
          else await page.waitForTimeout(60);
          assert.equal((await page.inputValue('#test-output')).includes('z'), started, `${press} with trigger ${item.trigger}`);
        }
      });
    });
  }
});

test('Tab and Shift+Tab move through the editor, record nothing and leave every field', async () => {
  await withPage(withMacro({ trigger: 'F6' }), async (page, server) => {
    await page.focus('#sequence');
    const visited = [];
    for (let i = 0; i < 12; i += 1) {
      await page.keyboard.press('Tab');
      visited.push(await page.evaluate(() => document.activeElement.id || document.activeElement.className));
    }
    assert.ok(visited.includes('trigger'), `the trigger field is reached: ${visited.join(', ')}`);
    assert.ok(visited.includes('test-output'), 'the test field is reached, so the trigger field was left');
    for (let i = 0; i < 12; i += 1) await page.keyboard.press('Shift+Tab');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'sequence', 'Shift+Tab comes back the same way');
    await page.keyboard.press('Shift+Tab');
    assert.notEqual(await page.evaluate(() => document.activeElement.id), 'sequence', 'Shift+Tab leaves the capture box');
    assert.equal(await page.inputValue('#sequence'), '');
    assert.equal(await page.inputValue('#trigger'), 'F6');
    assert.equal(await page.locator('.recording').count(), 0, 'arriving on the trigger field records nothing');

    // Enter or Space on the focused field starts a recording; Tab ends it and moves on.
    await page.focus('#trigger');
    await page.keyboard.press('Enter');
    assert.match(await page.getAttribute('#trigger', 'class'), /recording/);
    await page.keyboard.press('Tab');
    assert.notEqual(await page.evaluate(() => document.activeElement.id), 'trigger');
    assert.equal(await page.locator('.recording').count(), 0);
    await page.focus('#trigger');
    await page.keyboard.press('Space');
    await page.keyboard.press('Shift+Tab');
    assert.notEqual(await page.evaluate(() => document.activeElement.id), 'trigger');
    assert.equal(await page.inputValue('#trigger'), 'F6');

    // A step being re-recorded lets Tab go too.
    await page.click('#sequence-key-0');
    await page.keyboard.press('Tab');
    assert.equal(await page.locator('.recording').count(), 0);
    await page.waitForTimeout(200);
    const stored = server.readState().profiles[0].macros[0];
    assert.equal(stored.trigger, 'F6');
    assert.deepEqual(stored.steps.map((step) => step.key), ['a', 'b']);
  });
});
