'use strict';
// Layout in the desktop host at its start size and at the narrow breakpoints, and in an ordinary
// browser: screenshots for a person to look at (build/page-screenshots/), and the geometric rules
// checked here: nothing overflows, the top bar's parts do not overlap, columns and controls have
// their sizes, long names are cut, only the macro list scrolls, and the user's media preferences.

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const h = require('./harness');

const SCREENSHOTS = process.env.KES_PAGE_SCREENSHOTS || path.join(__dirname, '..', '..', 'build', 'page-screenshots');

const { browser } = h.pageSuite(test);
test.before(() => {
  fs.mkdirSync(SCREENSHOTS, { recursive: true });
});

function richState() {
  const steps = ['a', 's', 'Enter', 'd', 'Space', 'F5'].map((key, i) => ({ key, hold: 30 + i * 5, gap: 50 }));
  const macros = [
    h.macro(2, { name: '连招 一', trigger: 'Ctrl + Alt + Q', steps, text: 'as{Enter}d{Space}{F5}' }),
    h.macro(3, { name: '循环采集', behavior: 'hold', trigger: 'F6' }),
    h.macro(4, { name: '连发', behavior: 'repeat', trigger: '' }),
    h.macro(5, { name: '按住保持', behavior: 'latch', trigger: 'Shift + Win + PageDown', enabled: false }),
  ];
  for (let id = 20; id < 40; id += 1) macros.push(h.macro(id, { name: `备用宏 ${id}` }));
  return h.stateWith([
    { id: 1, name: '这是一个名字非常非常长的配置，用来检查省略号', program: 'VeryLongGameExecutableName.exe', programTitle: '一个标题非常长的游戏窗口', macros },
    { id: 6, name: '第二个配置', program: '', macros: [] },
  ]);
}

async function shoot(page, name) {
  await page.screenshot({ path: path.join(SCREENSHOTS, name + '.png') });
}

async function box(page, selector) {
  return page.locator(selector).first().boundingBox();
}

function overlaps(a, b) {
  return a.x < b.x + b.width - 0.5 && b.x < a.x + a.width - 0.5 && a.y < b.y + b.height - 0.5 && b.y < a.y + a.height - 0.5;
}

// Common rules for every width.
async function checkCommon(page, width) {
  const overflow = await page.evaluate(() => document.documentElement.scrollWidth - window.innerWidth);
  assert.ok(overflow <= 0, `the page is ${overflow}px wider than the window at ${width}`);
  const parts = ['.brand', '.profile-picker', '.top-actions', '#shortcut-settings', '.top-right'];
  const boxes = [];
  for (const selector of parts) boxes.push([selector, await box(page, selector)]);
  const bar = await box(page, 'header.top');
  for (const [selector, b] of boxes) {
    assert.ok(b.x >= bar.x - 0.5 && b.x + b.width <= bar.x + bar.width + 0.5, `${selector} inside the bar at ${width}`);
  }
  for (let i = 0; i < boxes.length; i += 1) {
    for (let j = i + 1; j < boxes.length; j += 1) {
      assert.ok(!overlaps(boxes[i][1], boxes[j][1]), `${boxes[i][0]} overlaps ${boxes[j][0]} at ${width}`);
    }
  }
  // Buttons and labels show their whole text (the elements that cut with an ellipsis excepted).
  const clipped = await page.evaluate(() =>
    [...document.querySelectorAll('button, label, .macro-count, .toggle-track')]
      .filter((node) => node.offsetParent !== null)
      .filter((node) => !node.closest('.macro-item, .profile-picker, .program-scope, dialog'))
      .filter((node) => node.scrollWidth > node.clientWidth + 1)
      .map((node) => node.id || node.className || node.textContent),
  );
  assert.deepEqual(clipped, [], `clipped at ${width}`);
  const label = await page.evaluate(() => {
    const node = document.getElementById('profile-label');
    return { cut: node.scrollWidth > node.clientWidth, overflow: getComputedStyle(node).textOverflow };
  });
  assert.deepEqual(label, { cut: true, overflow: 'ellipsis' }, 'a long profile name is cut');
  const controls = await page.locator('.window-button').evaluateAll((nodes) => nodes.map((node) => node.getBoundingClientRect().height));
  assert.ok(controls.every((height) => Math.abs(height - bar.height + 1) <= 1), 'window buttons fill the bar height');
}

const desktopCases = [
  { width: 1430, height: 860, sidebar: 190, windowButton: 46, timingsBelow: false, behaviorBelow: false },
  { width: 800, height: 860, sidebar: 190, windowButton: 46, timingsBelow: true, behaviorBelow: true },
  { width: 730, height: 860, sidebar: 160, windowButton: 38, timingsBelow: true, behaviorBelow: true },
  { width: 500, height: 860, sidebar: 500, windowButton: 38, timingsBelow: true, behaviorBelow: true, stacked: true },
];

for (const item of desktopCases) {
  test(`desktop layout at ${item.width} × ${item.height}`, async () => {
    const server = await h.startServer({ state: richState() });
    try {
      const page = await h.openPage(browser(), server, { viewport: { width: item.width, height: item.height } });
      await shoot(page, `desktop-${item.width}x${item.height}`);
      await checkCommon(page, item.width);

      const sidebar = await box(page, 'aside.sidebar');
      assert.equal(Math.round(sidebar.width), item.sidebar);
      const button = await box(page, '#window-close');
      assert.equal(Math.round(button.width), item.windowButton);
      assert.equal(Math.round(button.x + button.width), item.width, 'the window buttons sit at the far right');

      const input = await box(page, '.sequence-input');
      const timings = await box(page, '.timings');
      assert.equal(timings.y >= input.y + input.height, item.timingsBelow, 'timings under the entry input');
      const trigger = await box(page, '#trigger');
      const behavior = await box(page, '#behavior');
      assert.equal(behavior.y >= trigger.y + trigger.height, item.behaviorBelow, 'behaviour switch on its own row');

      const editor = await box(page, '#editor');
      if (item.stacked) {
        assert.ok(editor.y >= sidebar.y + sidebar.height - 1, 'the sidebar stacks above the editor');
        const list = await page.evaluate(() => {
          const node = document.getElementById('macro-list');
          return { sideways: node.scrollWidth > node.clientWidth, overflowX: getComputedStyle(node).overflowX };
        });
        assert.deepEqual(list, { sideways: true, overflowX: 'auto' });
      } else {
        assert.ok(editor.x >= sidebar.x + sidebar.width - 1);
        const footer = await box(page, '.editor-footer');
        assert.ok(footer.y + footer.height <= item.height + 0.5, 'the footer is inside the window');
        // Only the macro list scrolls; the program row and the heading stay in place.
        const before = await box(page, '.program-scope-row');
        const scroll = await page.evaluate(() => {
          const node = document.getElementById('macro-list');
          node.scrollTop = 400;
          return { scrolled: node.scrollTop, body: document.scrollingElement.scrollTop };
        });
        assert.ok(scroll.scrolled > 0, 'the macro list scrolls');
        assert.equal(scroll.body, 0);
        assert.deepEqual(await box(page, '.program-scope-row'), before);
      }
      await h.closePage(page);
    } finally {
      await server.stop();
    }
  });
}

test('browser layout, open menus and dialogs', async () => {
  const windows = [
    { executable: 'notepad.exe', name: '记事本', pid: 100 },
    { executable: 'VeryLongGameExecutableName.exe', name: '一个标题非常长的游戏窗口，名字长到需要省略号', pid: 200 },
  ];
  const server = await h.startServer({ state: richState(), windows });
  try {
    const page = await h.openPage(browser(), server, { desktop: false, bridge: false, viewport: { width: 1100, height: 860 } });
    await shoot(page, 'browser-1100x860');
    await checkCommon(page, 1100);
    const card = await box(page, '.app');
    assert.equal(Math.round(card.width), 870);
    assert.ok(card.y + card.height <= 860 - 28 + 0.5, 'the card keeps its bottom margin inside the window');
    const scroll = await page.evaluate(() => {
      const node = document.getElementById('macro-list');
      node.scrollTop = 400;
      return { list: node.scrollTop, page: document.scrollingElement.scrollHeight - window.innerHeight };
    });
    assert.ok(scroll.list > 0, 'the macro list scrolls inside the card');
    assert.ok(scroll.page <= 0, 'the page itself does not scroll');

    await page.click('#profile-toggle');
    await page.click('text=＋ 添加配置');
    await shoot(page, 'browser-profile-menu');
    const menu = await box(page, '#profile-menu');
    const picker = await box(page, '.profile-picker');
    assert.ok(menu.y >= picker.y + picker.height + 4 && menu.width >= 190);
    await page.keyboard.press('Escape');

    await page.click('#profile-program');
    await page.waitForSelector('.program-item');
    await shoot(page, 'browser-program-picker');
    assert.equal(Math.round((await box(page, '#program-dialog')).width), 520);
    await page.click('#program-close');

    await page.click('#shortcut-settings');
    await shoot(page, 'browser-settings');
    await page.click('#shortcut-cancel');

    await page.click('#profile-toggle');
    await page.click('#profile-menu >> text=第二个配置');
    await page.click('#enable-macros-control');
    await shoot(page, 'browser-empty-profile');
    await h.closePage(page);
  } finally {
    await server.stop();
  }
});

test('the desktop key list in advanced mode and a running test highlight', async () => {
  const server = await h.startServer({ state: richState() });
  try {
    const page = await h.openPage(browser(), server);
    await page.click('.advanced-toggle');
    await page.hover('#sequence-key-2');
    await page.evaluate(() => document.getElementById('sequence-key-4').classList.add('test-active'));
    await shoot(page, 'desktop-advanced-keys');
    const remove = await page.locator('.sequence-segment:nth-child(3) .sequence-remove').evaluate((node) => getComputedStyle(node).opacity);
    assert.equal(remove, '1', 'the remove button shows on hover');
    await h.closePage(page);
  } finally {
    await server.stop();
  }
});

test('theme values, reduced motion and more contrast', async () => {
  const server = await h.startServer({ state: richState() });
  try {
    const page = await h.openPage(browser(), server);
    const theme = await page.evaluate(() => {
      const root = getComputedStyle(document.documentElement);
      const names = ['--muted', '--line', '--green', '--soft', '--surface'];
      return {
        vars: names.map((name) => root.getPropertyValue(name).trim()),
        fontSize: root.fontSize,
        color: root.color,
        scheme: root.colorScheme,
        transition: getComputedStyle(document.querySelector('.toggle-track')).transitionDuration,
        font: root.fontFamily,
      };
    });
    assert.deepEqual(theme.vars, ['#62706b', '#dce4df', '#187354', '#e7f2eb', '#fff']);
    assert.equal(theme.fontSize, '14px');
    assert.equal(theme.color, 'rgb(32, 43, 41)');
    assert.equal(theme.scheme, 'light');
    assert.equal(theme.transition, '0.16s');
    assert.equal(theme.font, 'system-ui, "Microsoft YaHei UI", "Microsoft YaHei", sans-serif');

    await page.emulateMedia({ reducedMotion: 'reduce', contrast: 'more' });
    const preferred = await page.evaluate(() => ({
      transition: getComputedStyle(document.querySelector('.toggle-track')).transitionDuration,
      muted: getComputedStyle(document.documentElement).getPropertyValue('--muted').trim(),
      line: getComputedStyle(document.documentElement).getPropertyValue('--line').trim(),
    }));
    assert.deepEqual(preferred, { transition: '0s', muted: '#39473f', line: '#84978b' });
    await h.closePage(page);
  } finally {
    await server.stop();
  }
});

// The trigger row holds at every window width: the field, the four behaviour buttons and "启用此宏" never
// overlap, no label is cut, and everything stays inside the editor.
test('the trigger row at 760, 900, 1100 and 1430 px', async (t) => {
  for (const width of [760, 900, 1100, 1201, 1430, 1920]) {
    await t.test(`${width} px`, async () => {
      const server = await h.startServer({ state: richState() });
      try {
        const page = await h.openPage(browser(), server, { viewport: { width, height: 860 } });
        await shoot(page, `trigger-row-${width}`);
        const parts = await page.evaluate(() =>
          ['#trigger-label', '#trigger', ...[...document.querySelectorAll('#behavior button')].map((_, i) => `#behavior button:nth-child(${i + 1})`), '#macro-enabled-control'].map((selector) => {
            const node = document.querySelector(selector);
            const rect = node.getBoundingClientRect();
            return { selector, x: rect.x, y: rect.y, width: rect.width, height: rect.height, cut: node.scrollWidth > node.clientWidth + 1 };
          }),
        );
        const editor = await box(page, '#panel-sequence');
        for (const part of parts) {
          assert.equal(part.cut, false, `${part.selector} is cut at ${width}`);
          assert.ok(part.x >= editor.x - 0.5 && part.x + part.width <= editor.x + editor.width + 0.5, `${part.selector} inside the editor at ${width}`);
        }
        // The behaviour buttons are one control: neighbours share their 1px border.
        const shrunk = parts.map((part) => (part.selector.startsWith('#behavior') ? { ...part, x: part.x + 1, width: part.width - 1 } : part));
        for (let i = 0; i < shrunk.length; i += 1) {
          for (let j = i + 1; j < shrunk.length; j += 1) {
            assert.ok(!overlaps(shrunk[i], shrunk[j]), `${parts[i].selector} overlaps ${parts[j].selector} at ${width}`);
          }
        }
        const texts = await page.locator('#behavior button').allTextContents();
        assert.deepEqual(texts, ['按下执行一次', '按住时循环', '单键连发', '按住保持末键']);
        await h.closePage(page);
      } finally {
        await server.stop();
      }
    });
  }
});
