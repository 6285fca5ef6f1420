'use strict';
// Profiles (menu, add, rename, delete, last-profile refusal) and the program picker.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const { withPage } = h.pageSuite(test);

const twoProfiles = () =>
  h.stateWith([
    { id: 1, name: '甲', program: '', macros: [h.macro(2), h.macro(3)] },
    { id: 4, name: '乙', program: 'b.exe', programTitle: '乙程序', macros: [h.macro(5)] },
  ]);

test('the profile menu lists every profile and closes on Escape or a click outside', async () => {
  await withPage({ server: { state: twoProfiles() } }, async (page) => {
    await page.click('#profile-toggle');
    assert.equal(await page.isVisible('#profile-menu'), true);
    assert.equal(await page.getAttribute('#profile-toggle', 'aria-expanded'), 'true');
    const items = page.locator('#profile-menu [role="menuitemradio"]');
    assert.deepEqual(await items.allTextContents(), ['甲', '乙']);
    assert.deepEqual(await items.evaluateAll((nodes) => nodes.map((node) => node.getAttribute('aria-checked'))), ['true', 'false']);
    assert.equal(await page.evaluate(() => document.activeElement.textContent), '甲', 'opening focuses the current profile');
    assert.equal(await page.getAttribute('.profile-remove >> nth=1', 'aria-label'), '删除配置 乙');
    assert.equal(await page.getAttribute('.profile-remove >> nth=1', 'title'), '删除配置 乙');
    assert.deepEqual(await page.locator('#profile-menu .menu-action').allTextContents(), ['＋ 添加配置', '重命名当前配置']);

    await page.keyboard.press('Escape');
    assert.equal(await page.isHidden('#profile-menu'), true);
    assert.equal(await page.getAttribute('#profile-toggle', 'aria-expanded'), 'false');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'profile');

    await page.click('#profile');
    assert.equal(await page.isVisible('#profile-menu'), true);
    await page.click('#sequence-keys');
    assert.equal(await page.isHidden('#profile-menu'), true);
  });
});

test('selecting a profile shows its first macro, tells the host and saves', async () => {
  await withPage({ server: { state: twoProfiles() } }, async (page, server) => {
    await h.clearPosted(page);
    await page.click('#profile-toggle');
    await page.click('#profile-menu >> text=乙');
    assert.equal(await page.textContent('#profile-label'), '乙');
    assert.equal(await page.textContent('#profile-program'), '乙程序 · b.exe');
    assert.equal(await page.getAttribute('.macro-item[data-macro-id="5"]', 'aria-current'), 'true');
    const states = await h.postedJson(page, 'macro-state');
    assert.ok(states.length >= 1);
    assert.ok(states.every((message) => message.profile.id === 4));
    const saved = await h.waitForState(server, (s) => s.selectedProfile === 4);
    assert.equal(saved.selectedMacro, 5);
  });
});

test('adding a profile: the name is trimmed, an empty name keeps the form open', async () => {
  await withPage({ server: { state: twoProfiles() } }, async (page, server) => {
    await page.click('#profile-toggle');
    await page.click('text=＋ 添加配置');
    const input = page.locator('.profile-add-form input');
    assert.equal(await input.getAttribute('aria-label'), '新配置名称');
    assert.equal(await input.inputValue(), '新配置');
    assert.deepEqual(
      await input.evaluate((node) => [node === document.activeElement, node.selectionStart, node.selectionEnd]),
      [true, 0, 3],
    );
    await input.fill('   ');
    await input.press('Enter');
    assert.equal(await page.isVisible('#profile-menu'), true);
    assert.equal(await input.evaluate((node) => node === document.activeElement), true);

    await h.clearPosted(page);
    await input.fill('  第三个  ');
    await input.press('Enter');
    assert.equal(await page.isHidden('#profile-menu'), true);
    assert.equal(await page.textContent('#profile-label'), '第三个');
    assert.equal(await page.isVisible('#empty'), true);
    const [message] = await h.postedJson(page, 'macro-state');
    assert.deepEqual(message.profile, { id: 11, name: '第三个', program: '', macros: [] });
    const saved = await h.waitForState(server, (s) => s.profiles.length === 3);
    assert.deepEqual(saved.profiles[2], { id: 11, name: '第三个', program: '', macros: [] });
    assert.equal(saved.selectedProfile, 11);
    assert.equal('selectedMacro' in saved, false, 'no macro is selected in the new profile');
  });
});

test('renaming the current profile inline; Escape leaves it unchanged', async () => {
  await withPage({ server: { state: twoProfiles() } }, async (page, server) => {
    await page.click('#profile-toggle');
    await page.click('text=重命名当前配置');
    assert.equal(await page.isHidden('#profile-current'), true);
    const input = page.locator('#profile-rename-input');
    assert.equal(await input.inputValue(), '甲');
    assert.equal(await input.evaluate((node) => node === document.activeElement && node.selectionEnd === 1), true);
    await input.fill('改过的');
    await input.press('Escape');
    assert.equal(await page.isVisible('#profile-current'), true);
    assert.equal(await page.textContent('#profile-label'), '甲');

    await page.click('#profile-toggle');
    await page.click('text=重命名当前配置');
    await input.fill('  新名字 ');
    await input.press('Enter');
    assert.equal(await page.isHidden('#profile-rename-form'), true);
    assert.equal(await page.textContent('#profile-label'), '新名字');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'profile');
    await h.waitForState(server, (s) => s.profiles[0].name === '新名字');
  });
});

test('deleting profiles asks first, moves to the first profile and refuses the last one', async () => {
  const state = twoProfiles();
  state.selectedProfile = 4;
  state.selectedMacro = 5;
  await withPage({ server: { state } }, async (page, server) => {
    // Cancelling keeps everything.
    await page.click('#profile-toggle');
    await page.click('.profile-remove >> nth=1');
    assert.equal(await page.isVisible('#dialog'), true);
    assert.equal(await page.textContent('#dialog-title'), '删除配置“乙”？');
    assert.equal(await page.textContent('#dialog-confirm'), '删除');
    await page.click('#dialog-cancel');
    assert.equal(await page.isHidden('#dialog'), true);
    assert.equal(await page.textContent('#profile-label'), '乙');

    await page.click('#profile-toggle');
    await page.click('.profile-remove >> nth=1');
    await page.click('#dialog-confirm');
    assert.equal(await page.textContent('#profile-label'), '甲');
    assert.equal(await page.getAttribute('.macro-item[data-macro-id="2"]', 'aria-current'), 'true');
    const saved = await h.waitForState(server, (s) => s.profiles.length === 1);
    assert.equal(saved.selectedProfile, 1);
    assert.equal(saved.selectedMacro, 2);

    await page.click('#profile-toggle');
    await page.click('.profile-remove');
    assert.equal(await h.toastText(page), '至少保留一个配置。');
    assert.equal(await page.isHidden('#dialog'), true);
    await page.waitForTimeout(300);
    assert.equal(server.readState().profiles.length, 1);
  });
});

test('the program picker lists open programs and binds the profile to the chosen one', async () => {
  const windows = [
    { executable: 'notepad.exe', name: '记事本', pid: 100 },
    { executable: 'game.exe', name: '', pid: 200 },
  ];
  await withPage({ server: { state: twoProfiles(), windows } }, async (page, server) => {
    assert.equal(await page.getAttribute('#profile-program', 'title'), '点击为当前配置选择生效程序');
    await page.click('#profile-program');
    assert.equal(await page.isVisible('#program-dialog'), true);
    const buttons = page.locator('#program-list .program-item');
    await buttons.first().waitFor();
    assert.deepEqual(await buttons.evaluateAll((nodes) => nodes.map((node) => node.getAttribute('aria-label'))), [
      '选择 记事本，程序 notepad.exe',
      '选择 game.exe，程序 game.exe',
    ]);
    assert.deepEqual(await page.locator('.program-item-title').allTextContents(), ['记事本', 'game.exe']);

    await buttons.nth(1).click();
    assert.equal(await page.isHidden('#program-dialog'), true);
    assert.equal(await page.textContent('#profile-program'), 'game.exe · game.exe');
    assert.equal(await page.getAttribute('#profile-program', 'title'), '点击更换当前配置的生效程序');
    let saved = await h.waitForState(server, (s) => s.profiles[0].program === 'game.exe');
    assert.equal(saved.profiles[0].programTitle, 'game.exe', 'an empty name stores the executable as title');
    const hostView = (await h.postedJson(page, 'macro-state')).at(-1);
    assert.equal(hostView.profile.program, 'game.exe');

    // "刷新列表" asks again; "全局生效" clears the binding.
    await page.click('#profile-program');
    await buttons.first().waitFor();
    server.setWindows([{ executable: 'other.exe', name: '别的', pid: 300 }]);
    await page.click('#program-refresh');
    await page.waitForSelector('text=别的');
    assert.equal(await buttons.count(), 1);
    await page.click('#program-global');
    assert.equal(await page.isHidden('#program-dialog'), true);
    assert.equal(await page.textContent('#profile-program'), '未指定 · 全局生效');
    saved = await h.waitForState(server, (s) => s.profiles[0].program === '');
    assert.equal(saved.profiles[0].programTitle, '');
  });
});

test('the program picker with no programs, and with a failing list', async () => {
  await withPage({ server: { state: twoProfiles(), windows: [] } }, async (page, server) => {
    await page.click('#profile-program');
    await page.waitForSelector('#program-list .program-message');
    assert.equal(await page.textContent('#program-list'), '没有可选择的程序');
    assert.equal(await page.getAttribute('#program-list', 'aria-busy'), null);

    server.setWindows({ fail: '枚举窗口失败' });
    await page.click('#program-refresh');
    await page.waitForSelector('#program-list .error');
    assert.equal(await page.textContent('#program-list .error'), '无法读取本地数据。');

    await page.click('#program-close');
    assert.equal(await page.isHidden('#program-dialog'), true);
    assert.equal(server.readState().profiles[0].program, '');
  });
});
