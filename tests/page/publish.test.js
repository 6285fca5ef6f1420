'use strict';
// Each change of the model reaches the host once: one "macro-state" with the profile as it now is.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const { withPage } = h.pageSuite(test);

const twoProfiles = () =>
  h.stateWith([
    { id: 1, name: '甲', program: '', macros: [h.macro(2), h.macro(3)] },
    { id: 4, name: '乙', program: 'b.exe', programTitle: '乙程序', macros: [h.macro(5)] },
  ]);

// Each action and what the one message it sends must show.
const actions = [
  {
    name: 'selecting a profile',
    run: async (page) => {
      await page.click('#profile-toggle');
      await page.click('#profile-menu >> text=乙');
    },
    shows: (message) => message.profile.id === 4,
  },
  {
    name: 'adding a profile',
    run: async (page) => {
      await page.click('#profile-toggle');
      await page.click('text=＋ 添加配置');
      await page.click('.profile-add-form button[type="submit"]');
    },
    shows: (message) => message.profile.name === '新配置' && message.profile.macros.length === 0,
  },
  {
    name: 'renaming the profile',
    run: async (page) => {
      await page.click('#profile-toggle');
      await page.click('text=重命名当前配置');
      await page.fill('#profile-rename-input', '丙');
      await page.press('#profile-rename-input', 'Enter');
    },
    shows: (message) => message.profile.name === '丙',
  },
  {
    name: 'deleting a profile',
    run: async (page) => {
      await page.click('#profile-toggle');
      await page.click('.profile-remove >> nth=0');
      await page.click('#dialog-confirm');
    },
    shows: (message) => message.profile.id === 4,
  },
  {
    name: 'deleting a macro',
    run: (page) => page.click('#delete-macro'),
    shows: (message) => message.profile.macros.map((m) => m.id).join() === '3',
  },
  {
    name: 'adding captured keys',
    run: async (page) => {
      await page.click('#sequence');
      await page.keyboard.press('KeyX');
      await page.click('#add-sequence');
    },
    shows: (message) => message.profile.macros[0].steps.at(-1).key === 'x',
  },
  {
    name: 'switching names off',
    run: (page) => page.click('text=显示名称'),
    shows: (message) => message.profile.id === 1,
  },
  {
    name: 'choosing a behaviour',
    run: (page) => page.click('[data-behavior="hold"]'),
    shows: (message) => message.profile.macros[0].behavior === 'hold',
  },
  {
    name: 'recording a trigger',
    run: async (page) => {
      await page.click('#trigger');
      await page.keyboard.press('F9');
    },
    shows: (message) => message.profile.macros[0].trigger === 'F9',
  },
];

test('each change sends "macro-state" once', async (t) => {
  for (const action of actions) {
    await t.test(action.name, async () => {
      await withPage({ server: { state: twoProfiles() } }, async (page) => {
        await h.waitForSaved(page);
        await h.clearPosted(page);
        await action.run(page);
        await h.waitForSaved(page);
        const states = await h.postedJson(page, 'macro-state');
        assert.equal(states.length, 1, `${action.name} sent ${states.length} messages`);
        assert.ok(action.shows(states[0]), JSON.stringify(states[0]));
      });
    });
  }
});
