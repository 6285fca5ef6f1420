'use strict';
// No edit is ever lost: stored files the page cannot use whole, saves the host refuses, closing with
// changes that cannot be stored, a reload right after an edit, and keys captured but not yet added.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness');

const { withPage } = h.pageSuite(test);

const LOAD_FAILED = '本地配置读取失败，已使用默认内容。';
const REPAIRED = '本地配置中有无效的内容，已修复后载入。';

// Files set aside by the host before a save replaced the stored one.
function setAside(server) {
  return fs
    .readdirSync(server.dataDir)
    .filter((name) => name.startsWith(h.STATE_FILE_NAME + '.damaged-'))
    .map((name) => fs.readFileSync(path.join(server.dataDir, name), 'utf8'));
}

const wrongShapes = [
  { name: 'profiles as an object', text: '{"profiles": {"1": {"id": 1, "macros": []}}, "selectedProfile": 1}' },
  { name: 'a top-level array', text: '[{"profiles": [{"id": 1, "macros": []}]}]' },
  { name: 'a profile that is null', text: '{"profiles": [null, {"id": 2, "name": "乙", "macros": []}]}' },
  { name: 'a step that is a string', text: '{"profiles": [{"id": 1, "name": "甲", "macros": [{"id": 2, "steps": ["a"]}]}]}' },
];

test('a stored document of the wrong shape is reported until the user acts and moved aside by the first save', async (t) => {
  for (const item of wrongShapes) {
    await t.test(item.name, async () => {
      await withPage({ server: { stateText: item.text } }, async (page, server) => {
        assert.equal(await h.toastText(page), LOAD_FAILED);
        // The host's answer to the start-up "macro-state" does not push the message aside, nor does time.
        await h.deliver(page, { type: 'macro-status', enabled: true, message: '宏已启用。' });
        await page.waitForTimeout(3200);
        assert.equal(await page.textContent('#toast'), LOAD_FAILED);
        assert.equal(await page.isVisible('#toast'), true);
        assert.equal(server.stateText(), item.text, 'nothing is written before the user changes something');
        assert.equal(h.saveRequests(page).length, 0);

        await page.click('#empty-add');
        await h.waitForState(server, (s) => Array.isArray(s.profiles) && s.profiles[0] && s.profiles[0].name === '默认配置');
        assert.deepEqual(setAside(server), [item.text], 'the original bytes are kept beside the new file');
      });
    });
  }
});

const wrongTypes = [
  {
    name: 'a numeric trigger',
    macro: { trigger: 7 },
    check: (m) => assert.equal(m.trigger, '7'),
    hostRefuses: true,
  },
  {
    name: 'an unknown behaviour',
    macro: { behavior: 'twice' },
    check: (m) => assert.equal(m.behavior, 'once'),
    hostRefuses: true,
  },
  {
    name: 'a negative gap and a hold that is text',
    macro: { steps: [{ key: 'a', hold: 30, gap: -5 }, { key: 'b', hold: '40', gap: 70000 }] },
    check: (m) => assert.deepEqual(m.steps.map((s) => [s.hold, s.gap]), [[30, 0], [30, 60000]]),
    hostRefuses: true,
  },
  {
    name: 'duplicate and missing macro ids',
    macros: [h.macro(2), h.macro(2, { name: '重复' }), { ...h.macro(0), id: undefined, name: '无编号' }],
    check: (m, all) => assert.equal(new Set(all.slice(0, 3).map((x) => x.id)).size, 3),
    hostRefuses: true,
  },
  {
    name: 'times out of range only',
    macro: { hold: 0, gap: -1, steps: [{ key: 'a', hold: 0, gap: 50 }] },
    check: (m) => assert.deepEqual([m.hold, m.gap, m.steps[0].hold], [1, 0, 1]),
    hostRefuses: false,
  },
];

test('a stored document with wrong values is repaired on load, said so, and its bytes survive', async (t) => {
  for (const item of wrongTypes) {
    await t.test(item.name, async () => {
      const macros = item.macros || [h.macro(2, item.macro)];
      const text = JSON.stringify(h.stateWith([{ id: 1, name: '甲', program: '', macros }]), null, 2);
      await withPage({ server: { stateText: text } }, async (page, server) => {
        assert.equal(await h.toastText(page), REPAIRED);
        await page.waitForTimeout(400);
        assert.equal(server.stateText(), text, 'the file is untouched until the user changes something');

        await page.click('#add-macro');
        const saved = await h.waitForState(server, (s) => s.profiles[0].macros.length === macros.length + 1);
        item.check(saved.profiles[0].macros[0], saved.profiles[0].macros);
        if (item.hostRefuses) assert.deepEqual(setAside(server), [text], 'the host kept the original bytes');
        assert.equal(await page.textContent('#toast'), REPAIRED, 'saves succeed: no save failure is reported');
      });
    });
  }
});

const oneMacro = () => ({ server: { state: h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]) } });

test('a refused save says why, keeps the window on "close", and is retried at the next change', async () => {
  await withPage(oneMacro(), async (page, server) => {
    // The file as the page stored it after loading, so that the refused save below is all that happens.
    await h.waitForSaved(page);
    const before = server.stateText();
    // A lone surrogate cannot be stored: the host refuses the whole document.
    await page.evaluate(() => {
      const field = document.querySelector('#macro-list .macro-name');
      field.value = 'x\ud800';
      field.dispatchEvent(new Event('input'));
    });
    assert.match(await h.toastText(page), /^自动保存失败：无法保存本地配置。（\[json\.exception\.parse_error/, "the host's reason is shown");
    assert.equal(server.stateText(), before);

    await h.clearPosted(page);
    await page.click('#window-close');
    await page.waitForSelector('#dialog[open]');
    assert.match(await page.textContent('#dialog-title'), /^修改无法保存：无法保存本地配置。/);
    assert.equal(await page.textContent('#dialog-confirm'), '仍然关闭');
    assert.deepEqual(await h.posted(page), [], 'the window is not closed');
    await page.click('#dialog-cancel');

    // The next change is stored together with the one before it.
    await page.evaluate(() => {
      const field = document.querySelector('#macro-list .macro-name');
      field.value = '改好了';
      field.dispatchEvent(new Event('input'));
    });
    await page.click('#behavior button[data-behavior="hold"]');
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].behavior === 'hold');
    assert.equal(saved.profiles[0].macros[0].name, '改好了');
    await page.click('#window-close');
    await page.waitForFunction(() => window.__posted.includes('close'));
    assert.equal(await page.isVisible('#dialog'), false);
  });
});

test('"仍然关闭" closes with changes that cannot be stored', async () => {
  await withPage(oneMacro(), async (page) => {
    await page.evaluate(() => {
      const field = document.querySelector('#macro-list .macro-name');
      field.value = '\udfff';
      field.dispatchEvent(new Event('input'));
    });
    await page.click('#window-close');
    await page.waitForSelector('#dialog[open]');
    await page.click('#dialog-confirm');
    await page.waitForFunction(() => window.__posted.includes('close'));
  });
});

test('an edit made just before a reload is stored', async () => {
  await withPage(oneMacro(), async (page, server) => {
    await page.fill('#macro-list .macro-name', '重新载入前');
    await page.reload();
    await h.waitForReady(page);
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].name === '重新载入前');
    assert.equal(saved.profiles[0].macros[0].name, '重新载入前');
    assert.equal(await page.inputValue('#macro-list .macro-name'), '重新载入前');
  });
});

test('an edit is sent at once when Alt goes down or the window loses focus', async () => {
  await withPage(oneMacro(), async (page, server) => {
    await page.fill('#macro-list .macro-name', '按下 Alt');
    await page.keyboard.down('Alt');
    await h.waitForState(server, (s) => s.profiles[0].macros[0].name === '按下 Alt', 100);
    await page.keyboard.up('Alt');
    await page.fill('#macro-list .macro-name', '失去焦点');
    await page.evaluate(() => window.dispatchEvent(new Event('blur')));
    await h.waitForState(server, (s) => s.profiles[0].macros[0].name === '失去焦点', 100);
  });
});

test('captured keys survive recording the trigger, changing the behaviour and switching the macro', async () => {
  await withPage(oneMacro(), async (page, server) => {
    await page.click('#sequence');
    await page.keyboard.press('KeyX');
    await page.keyboard.press('Control+KeyC');
    await page.click('#trigger');
    await page.keyboard.press('F9');
    await page.click('#behavior button[data-behavior="latch"]');
    await page.click('#macro-enabled-control');
    assert.equal(await page.inputValue('#sequence'), 'x{Ctrl + C}');
    await page.click('#add-sequence');
    const saved = await h.waitForState(server, (s) => s.profiles[0].macros[0].steps.length === 4);
    const stored = saved.profiles[0].macros[0];
    assert.deepEqual(stored.steps.map((step) => step.key), ['a', 'b', 'x', 'Ctrl + C']);
    assert.equal(stored.trigger, 'F9');
    assert.equal(stored.behavior, 'latch');
    assert.equal(await page.inputValue('#sequence'), '', '"添加" empties the box');

    // Another macro starts with an empty box and an empty test field.
    await page.click('#sequence');
    await page.keyboard.press('KeyY');
    await page.fill('#test-output', '旧的测试');
    await page.click('#add-macro');
    assert.equal(await page.inputValue('#sequence'), '');
    assert.equal(await page.inputValue('#test-output'), '');
  });
});

test('"运行测试" without keys says there is nothing to test; toasts stay clear of the test field', async () => {
  await withPage({ server: { state: h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2, { steps: [], text: '' })] }]) } }, async (page) => {
    await page.click('#run-test');
    assert.equal(await h.toastText(page), '这个宏还没有按键，没有可测试的内容。');
    const toast = await page.locator('#toast').boundingBox();
    const field = await page.locator('#test-output').boundingBox();
    assert.ok(toast.y + toast.height <= field.y || field.y + field.height <= toast.y, 'the toast does not cover the test field');
  });
});

test('a time error is shown next to its field', async () => {
  await withPage(oneMacro(), async (page) => {
    await page.fill('#hold', '0');
    assert.equal(await page.textContent('#form-error'), '时间必须是 1～60000 的整数毫秒。');
    const error = await page.locator('#form-error').boundingBox();
    const hold = await page.locator('#hold').boundingBox();
    assert.ok(Math.abs(error.y - (hold.y + hold.height)) < 40, `the error (${error.y}) sits under the field (${hold.y})`);
  });
});
