'use strict';
// The interactive part of the whole-product test (run.sh starts the browser, the product and the edit
// window, then this): connected to the product's browser over the DevTools protocol, it finds the page the
// product shows, makes a macro through the page's controls (trigger F7, steps a b) and switches the macros
// on; checks that the state document on disk is the page's; presses F7 on the X display (xdotool) and
// waits for "ab" in the edit window; presses F8 and waits for the page to show the macros off; checks the
// navigation and new-window policy; takes screenshots; and asks the product to close through the page's
// close button and its close prompt. One "PASS name" or "FAIL name: why" line per check; exit status 1
// when any check failed.
//
// Environment: KES_DEVTOOLS_PORT, KES_DATA_DIR (the product's data folder), KES_EDIT_FILE (what the edit
// window holds), KES_SCREENSHOTS (folder for the screenshots).

const fs = require('node:fs');
const path = require('node:path');
const { execFileSync } = require('node:child_process');
const { chromium } = require('playwright-core');

const origin = 'https://kestrava.invalid';
const stateFile = path.join(process.env.KES_DATA_DIR, 'Kestrava配置.json');
const editFile = process.env.KES_EDIT_FILE;
const screenshots = process.env.KES_SCREENSHOTS;
let failures = 0;

function pass(name) {
  console.log(`PASS ${name}`);
}
function fail(name, why) {
  failures += 1;
  console.log(`FAIL ${name}${why ? `: ${why}` : ''}`);
}
async function check(name, body) {
  try {
    await body();
    pass(name);
    return true;
  } catch (error) {
    fail(name, error.message.split('\n')[0]);
    return false;
  }
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
async function waitFor(what, condition, seconds) {
  const end = Date.now() + seconds * 1000;
  for (;;) {
    const value = await condition();
    if (value) return value;
    if (Date.now() > end) throw new Error(`${what}: not within ${seconds} s`);
    await sleep(100);
  }
}
function readJson(file) {
  try {
    return JSON.parse(fs.readFileSync(file, 'utf8'));
  } catch {
    return null;
  }
}
function editText() {
  try {
    return fs.readFileSync(editFile, 'utf8');
  } catch {
    return '';
  }
}
function xdotool(...args) {
  return execFileSync('xdotool', args, { encoding: 'utf8' }).trim();
}
function windowsNamed(name) {
  try {
    return xdotool('search', '--name', name).split('\n').filter(Boolean);
  } catch {
    return [];
  }
}
function clickInto(window, dx, dy) {
  const geometry = Object.fromEntries(
    xdotool('getwindowgeometry', '--shell', window)
      .split('\n')
      .map((line) => line.split('='))
  );
  xdotool('mousemove', String(Number(geometry.X) + dx), String(Number(geometry.Y) + dy), 'click', '1');
}
function theMacro(state) {
  const profile = state && state.profiles && state.profiles[0];
  return profile && profile.macros && profile.macros.find((macro) => macro.trigger === 'F7');
}

async function findProductPage(browser) {
  return waitFor(
    'the product page appears in the browser',
    () => {
      for (const context of browser.contexts())
        for (const page of context.pages()) if (page.url().startsWith(`${origin}/`)) return page;
      return null;
    },
    60
  );
}

async function main() {
  const browser = await chromium.connectOverCDP(`http://127.0.0.1:${process.env.KES_DEVTOOLS_PORT}`);
  let page;
  if (
    !(await check('the product shows its page from the virtual origin', async () => {
      page = await findProductPage(browser);
    }))
  ) {
    return;
  }
  page.on('dialog', (dialog) => dialog.dismiss());
  await check('the page starts: title, desktop query, master switch enabled', async () => {
    await page.waitForFunction(() => !document.getElementById('enable-macros').disabled, null, { timeout: 30000 });
    if ((await page.title()) !== 'Kestrava') throw new Error(`title ${await page.title()}`);
    if (!page.url().includes('desktop=1')) throw new Error(`address ${page.url()}`);
  });
  await check('the page has the window.chrome.webview bridge', async () => {
    const kind = await page.evaluate(() => typeof window.chrome.webview.postMessage);
    if (kind !== 'function') throw new Error(kind);
  });

  await check('a macro is made through the page: trigger F7, steps a b', async () => {
    if (await page.isVisible('#empty-add')) await page.click('#empty-add');
    else await page.click('#add-macro');
    await page.click('#trigger');
    await page.keyboard.press('F7');
    const trigger = await page.inputValue('#trigger');
    if (trigger !== 'F7') throw new Error(`trigger shows ${trigger}`);
    await page.click('#sequence');
    await page.keyboard.press('KeyA');
    await page.keyboard.press('KeyB');
    await page.click('#add-sequence');
    const keys = await page.locator('.sequence-key').allTextContents();
    if (keys.join(' ') !== 'a b') throw new Error(`steps ${keys.join(' ')}`);
  });
  await check('the master switch is switched on in the page', async () => {
    if (!(await page.isChecked('#enable-macros'))) await page.click('#enable-macros-control');
    await waitFor('the switch shows on', () => page.isChecked('#enable-macros'), 5);
  });
  await check('the state document on disk is the page\'s (macro F7 → a b, macros on)', async () => {
    const onDisk = await waitFor(
      'the product stored the macro',
      () => {
        const state = readJson(stateFile);
        const macro = theMacro(state);
        return macro && macro.steps.length === 2 && state.macroEnabled === true ? state : null;
      },
      10
    );
    const macro = theMacro(onDisk);
    const steps = macro.steps.map((step) => step.key).join(' ');
    if (steps !== 'a b') throw new Error(`steps on disk ${steps}`);
    const served = await page.evaluate(async () => (await (await fetch('/api/state')).json()).state);
    if (JSON.stringify(served) !== JSON.stringify(onDisk))
      throw new Error('the document the page reads back differs from the file');
  });
  fs.mkdirSync(screenshots, { recursive: true });
  await check('screenshot of the page with the macro', async () => {
    await page.screenshot({ path: path.join(screenshots, 'product-page-macro.png') });
  });

  const editWindows = windowsNamed('^kes-edit-target$');
  await check('a real F7 on the display plays a b into the edit window', async () => {
    if (editWindows.length === 0) throw new Error('no edit window');
    clickInto(editWindows[0], 100, 20);
    await sleep(500);
    xdotool('key', 'F7');
    await waitFor('the edit window holds "ab"', () => editText() === 'ab', 10);
  });
  await check('F8 switches the macros off and the page shows it', async () => {
    xdotool('key', 'F8');
    await waitFor('the switch shows off', async () => !(await page.isChecked('#enable-macros')), 10);
    const toast = await page.textContent('#toast');
    if (!toast.includes('宏已关闭。')) throw new Error(`toast ${toast}`);
  });
  await check('with the macros off F7 plays nothing', async () => {
    clickInto(editWindows[0], 100, 20);
    await sleep(300);
    xdotool('key', 'F7');
    await sleep(1500);
    if (editText() !== 'ab') throw new Error(`edit window holds ${JSON.stringify(editText())}`);
  });
  await check('the page\'s switch-off reached the disk', async () => {
    await waitFor('macroEnabled false on disk', () => (readJson(stateFile) || {}).macroEnabled === false, 10);
  });
  await check('screenshot of the page with the macros off', async () => {
    await page.screenshot({ path: path.join(screenshots, 'product-page-switched-off.png') });
  });

  await check('a navigation away from the virtual origin is cancelled and the page stays', async () => {
    const before = page.url();
    await page.evaluate(() => {
      location.href = 'https://elsewhere.invalid/away';
    });
    await sleep(1500);
    if (page.url() !== before) throw new Error(`the page went to ${page.url()}`);
    if ((await page.evaluate(() => typeof window.chrome.webview)) !== 'object') throw new Error('page reloaded');
  });
  await check('window.open opens no window', async () => {
    const session = await browser.newBrowserCDPSession();
    await page.evaluate(() => {
      window.open('https://elsewhere.invalid/popup', '_blank');
    });
    await sleep(2000);
    const { targetInfos } = await session.send('Target.getTargets');
    const extra = targetInfos.filter((target) => target.type === 'page' && target.url.includes('elsewhere.invalid'));
    await session.detach();
    if (extra.length) throw new Error(`still open: ${extra.map((target) => target.url).join(', ')}`);
  });

  await check('the page\'s close button shows the close prompt', async () => {
    await page.click('#window-close');
    await waitFor('a second window titled Kestrava', () => windowsNamed('^Kestrava$').length >= 2, 15);
  });

}

main()
  .catch((error) => fail('the page scenario', error.stack))
  .finally(() => process.exit(failures ? 1 : 0));
