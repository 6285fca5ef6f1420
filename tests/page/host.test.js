'use strict';
// The page with and without the desktop host: master switch, host messages, the hotkey settings
// dialog, window commands, and the page in an ordinary browser.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const { withPage, browser } = h.pageSuite(test);

const oneMacro = (extra) => h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }], extra);

test('the master switch with the bridge sends the new state, saves it and follows the host', async () => {
  await withPage({ server: { state: oneMacro({ macroEnabled: false }) } }, async (page, server) => {
    await h.waitForSaved(page);
    await h.clearPosted(page);
    await page.click('#enable-macros-control');
    assert.equal(await page.isChecked('#enable-macros'), true);
    assert.equal(await h.toastText(page), '正在启用全局宏…');
    const [message] = await h.postedJson(page, 'macro-state');
    assert.equal(message.enabled, true);
    assert.equal(message.profile.id, 1);
    await h.waitForState(server, (s) => s.macroEnabled === true);
    await h.waitForSaved(page);

    // The host reports that switching on failed: the switch turns off, nothing is saved.
    const savesBefore = h.saveRequests(page).length;
    await h.deliver(page, { type: 'macro-status', enabled: false, message: '无法启用宏，请查看错误日志。' });
    assert.equal(await page.isChecked('#enable-macros'), false);
    assert.equal(await page.textContent('#toast'), '无法启用宏，请查看错误日志。');
    await page.waitForTimeout(300);
    assert.equal(h.saveRequests(page).length, savesBefore);

    await h.deliver(page, { type: 'macro-status', enabled: true, message: '宏已启用。' });
    assert.equal(await page.isChecked('#enable-macros'), true);
    assert.equal(await page.textContent('#toast'), '宏已启用。');

    // The hotkey toggled the engine: saved, but not sent back.
    await h.clearPosted(page);
    await h.deliver(page, { type: 'macro-toggle-result', enabled: false });
    assert.equal(await page.isChecked('#enable-macros'), false);
    assert.equal(await page.textContent('#toast'), '宏已关闭。');
    await h.waitForState(server, (s) => s.macroEnabled === false);
    assert.deepEqual(await h.postedJson(page, 'macro-state'), []);

    await page.click('#enable-macros-control');
    await page.click('#enable-macros-control');
    assert.equal(await page.textContent('#toast'), '宏已关闭。');
    assert.deepEqual((await h.postedJson(page, 'macro-state')).map((m) => m.enabled), [true, false]);
  });
});

test('the settings dialog asks the host for the hotkey and waits for its answer', async () => {
  await withPage({ server: { state: oneMacro() } }, async (page) => {
    await h.clearPosted(page);
    await page.click('#shortcut-settings');
    assert.equal(await page.isVisible('#shortcut-dialog'), true);
    assert.deepEqual(await page.locator('#shortcut-key option').evaluateAll((options) => options.map((o) => `${o.value}:${o.textContent}`)), [
      '1:F1', '2:F2', '3:F3', '4:F4', '5:F5', '6:F6', '7:F7', '8:F8', '9:F9', '10:F10', '11:F11', '12:F12',
    ]);
    assert.equal(await page.inputValue('#shortcut-key'), '8');
    assert.equal(await page.isDisabled('#shortcut-save'), true);
    assert.deepEqual(await h.postedJson(page, 'shortcut-get'), [{ type: 'shortcut-get' }]);

    await h.deliver(page, { type: 'shortcut-result', key: 6, saved: false, error: '' });
    assert.equal(await page.inputValue('#shortcut-key'), '6');
    assert.equal(await page.isEnabled('#shortcut-save'), true);

    await page.selectOption('#shortcut-key', '3');
    await page.click('#shortcut-save');
    assert.equal(await page.isDisabled('#shortcut-save'), true);
    assert.equal(await page.isVisible('#shortcut-dialog'), true, 'the dialog waits for the host');
    assert.deepEqual(await h.postedJson(page, 'shortcut-set'), [{ type: 'shortcut-set', key: 3 }]);

    await h.deliver(page, { type: 'shortcut-result', key: 6, saved: false, error: '快捷键 F3 已被占用' });
    assert.equal(await page.textContent('#shortcut-error'), '快捷键 F3 已被占用');
    assert.equal(await page.isVisible('#shortcut-dialog'), true);
    assert.equal(await page.inputValue('#shortcut-key'), '3', 'an error changes nothing else');
    assert.equal(await page.isEnabled('#shortcut-save'), true);

    await page.click('#shortcut-save');
    await h.deliver(page, { type: 'shortcut-result', key: 3, saved: true, error: '' });
    assert.equal(await page.isHidden('#shortcut-dialog'), true);
    assert.equal(await h.toastText(page), '宏总开关快捷键已设为 F3。');

    // Answers after the dialog closed are ignored.
    await h.deliver(page, { type: 'shortcut-result', key: 9, saved: true, error: '' });
    assert.equal(await page.isHidden('#shortcut-dialog'), true);
    assert.equal(await page.textContent('#toast'), '宏总开关快捷键已设为 F3。');

    await page.click('#shortcut-settings');
    assert.equal(await page.textContent('#shortcut-error'), '', 'reopening clears the old error');
    await page.click('#shortcut-cancel');
    assert.equal(await page.isHidden('#shortcut-dialog'), true);
  });
});

test('window commands: minimise, drag from the bar only, and close after the pending save', async () => {
  await withPage({ server: { state: oneMacro() } }, async (page, server) => {
    await h.waitForState(server, () => true);
    await page.waitForTimeout(300);
    await h.clearPosted(page);
    await page.click('#window-minimize');
    await page.mouse.move(600, 20);
    await page.mouse.down();
    await page.mouse.up();
    await page.mouse.down({ button: 'right' });
    await page.mouse.up({ button: 'right' });
    await page.click('#shortcut-settings');
    await page.click('#shortcut-cancel');
    await page.click('.top-actions .switch-text >> nth=0');
    await page.click('.top-actions .switch-text >> nth=0');
    await page.click('.brand');
    assert.deepEqual((await h.posted(page)).filter((m) => !m.startsWith('{')), ['minimize', 'drag', 'drag']);

    // An edit still waiting for its save timer is written before "close" leaves the page.
    await page.locator('.macro-name').fill('最后的修改');
    await page.click('#window-close');
    await page.waitForFunction(() => window.__posted.includes('close'));
    const atClose = server.readState();
    assert.equal(atClose.profiles[0].macros[0].name, '最后的修改');
    const saves = h.saveRequests(page).length;
    await page.waitForTimeout(300);
    assert.equal(h.saveRequests(page).length, saves, 'the pending timer was replaced, not doubled');
  });
});

test('in an ordinary browser the page is a card and the host features only explain themselves', async () => {
  await withPage({ server: { state: oneMacro({ macroEnabled: false }) }, page: { desktop: false, bridge: false } }, async (page, server) => {
    const facts = await page.evaluate(() => {
      const app = getComputedStyle(document.querySelector('.app'));
      const body = getComputedStyle(document.body);
      return {
        desktopHost: document.documentElement.classList.contains('desktop-host'),
        padding: body.padding,
        maxWidth: app.maxWidth,
        border: app.borderTopWidth + ' ' + app.borderTopColor,
        radius: app.borderTopLeftRadius,
        background: getComputedStyle(document.documentElement).backgroundColor,
      };
    });
    assert.deepEqual(facts, {
      desktopHost: false,
      padding: '28px 18px',
      maxWidth: '870px',
      border: '1px rgb(213, 222, 216)',
      radius: '10px',
      background: 'rgb(237, 241, 239)',
    });
    const box = await page.locator('.app').boundingBox();
    assert.ok(Math.abs(box.x + box.width / 2 - 715) <= 1, 'the card is centred');
    assert.equal(await page.getAttribute('#enable-macros-control', 'title'), '仅桌面软件可用；点击可查看说明');

    await page.click('#enable-macros-control');
    assert.equal(await page.isChecked('#enable-macros'), false, 'the change is undone');
    assert.equal(await h.toastText(page), '全局宏只能在桌面软件中启用。');

    // The hotkey preview lives in local storage.
    await page.click('#shortcut-settings');
    assert.equal(await page.inputValue('#shortcut-key'), '8');
    assert.equal(await page.isEnabled('#shortcut-save'), true);
    await page.selectOption('#shortcut-key', '5');
    await page.click('#shortcut-save');
    assert.equal(await page.isHidden('#shortcut-dialog'), true);
    assert.equal(await h.toastText(page), '预览快捷键已设为 F5，全局切换在桌面版生效。');
    assert.equal(await page.evaluate(() => localStorage.getItem('macro-toggle-preview')), '5');
    await page.reload();
    await h.waitForReady(page);
    await page.click('#shortcut-settings');
    assert.equal(await page.inputValue('#shortcut-key'), '5');
    await page.click('#shortcut-cancel');

    // Window buttons are drawn but do nothing; editing still saves.
    assert.equal(await page.isVisible('#window-close'), true);
    await page.click('#window-close');
    await page.click('#window-minimize');
    await page.locator('.macro-name').fill('浏览器里改的');
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].name === '浏览器里改的');
    assert.equal(saved.macroEnabled, false);
  });
});

test('a stored hotkey preview that is zero or not a number falls back to F8', async (t) => {
  for (const stored of ['0', 'abc', '13']) {
    await t.test(stored, async () => {
      const server = await h.startServer({ state: oneMacro() });
      try {
        const context = await browser().newContext();
        await context.addInitScript((value) => localStorage.setItem('macro-toggle-preview', value), stored);
        const page = await context.newPage();
        await page.goto(server.url + '/');
        await h.waitForReady(page);
        await page.click('#shortcut-settings');
        assert.equal(await page.inputValue('#shortcut-key'), '8');
        await context.close();
      } finally {
        await server.stop();
      }
    });
  }
});

test('with the bridge but without the desktop query no engine message is sent', async () => {
  await withPage({ server: { state: oneMacro() }, page: { desktop: false, bridge: true } }, async (page) => {
    await page.click('[data-behavior="hold"]');
    await page.click('#window-close');
    await page.waitForFunction(() => window.__posted.includes('close'));
    assert.deepEqual(await h.postedJson(page), []);
  });
});
