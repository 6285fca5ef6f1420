'use strict';
// Start-up: first start, loading a stored document, failed loads, the host's start-up check script
// and what the page may load under its content security policy.

const test = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness');

const STARTUP_CHECK_SCRIPT =
  "(async()=>{try{await document.fonts.ready;for(let i=0;i<100&&document.getElementById('enable-macros').disabled;i++)await new Promise(r=>setTimeout(r,50));const state=(await(await fetch('/api/state')).json()).state;const save=await fetch('/api/state',{method:'POST',headers:{'Content-Type':'application/json'},body:JSON.stringify(state)});const windows=await(await fetch('/api/windows')).json();window.chrome.webview.postMessage(JSON.stringify({type:'startup-check-result',title:document.title==='Kestrava',fonts:document.fonts.size===0,controls:!document.getElementById('enable-macros').disabled,macroDisabled:state.macroEnabled===false,demoDisabled:!location.search.includes('dev='),apiSave:save.ok,apiWindows:Array.isArray(windows.windows)}));}catch(e){window.chrome.webview.postMessage(JSON.stringify({type:'startup-check-result',error:String(e)}));}})()";

const { browser } = h.pageSuite(test);

test('first start without a state file shows the default profile, saves nothing and reports it once', async () => {
  const server = await h.startServer();
  try {
    const page = await h.openPage(browser(), server);
    assert.equal(await page.textContent('#profile-label'), '默认配置');
    assert.equal(await page.isVisible('#empty'), true);
    assert.equal(await page.isHidden('#editor'), true);
    assert.equal(await page.textContent('#macro-count'), '0');
    assert.equal(await page.textContent('#profile-program'), '未指定 · 全局生效');
    assert.equal(await page.isChecked('#enable-macros'), true);
    assert.equal(await page.getAttribute('#enable-macros-control', 'title'), '在设置中查看宏总开关快捷键');
    assert.equal(await page.evaluate(() => document.documentElement.classList.contains('desktop-host')), true);

    const states = await h.postedJson(page, 'macro-state');
    assert.equal(states.length, 1);
    assert.deepEqual(states[0], {
      type: 'macro-state',
      enabled: true,
      profile: { id: 1, name: '默认配置', program: '', macros: [] },
    });
    await page.waitForTimeout(300);
    assert.equal(h.saveRequests(page).length, 0);
    assert.equal(server.readState(), null);
    assert.deepEqual(page.errors, []);
    await h.closePage(page);
  } finally {
    await server.stop();
  }
});

test('a stored document is adopted: selection, switches, defaults for missing members', async () => {
  const state = h.stateWith(
    [
      { id: 1, name: '甲', program: '', macros: [h.macro(2)] },
      {
        id: 5,
        name: '乙',
        program: 'game.exe',
        programTitle: '游戏',
        macros: [h.macro(6, { name: '无开关' }), h.macro(7, { name: '第二个', trigger: 'Ctrl + Alt + Q' })],
      },
    ],
    { selectedProfile: 5, selectedMacro: 7, showMacroNames: false, macroEnabled: false },
  );
  delete state.profiles[1].macros[0].enabled;
  const server = await h.startServer({ state });
  try {
    const page = await h.openPage(browser(), server);
    assert.equal(await page.textContent('#profile-label'), '乙');
    assert.equal(await page.textContent('#profile-program'), '游戏 · game.exe');
    assert.equal(await page.getAttribute('#profile-program', 'title'), '点击更换当前配置的生效程序');
    assert.equal(await page.inputValue('#trigger'), 'Ctrl + Alt + Q');
    assert.equal(await page.isChecked('#show-macro-names'), false);
    assert.equal(await page.isChecked('#enable-macros'), false);
    assert.equal(await page.locator('#macro-list .macro-name').count(), 0, 'compact items have no name field');
    assert.equal(await page.getAttribute('.macro-item[data-macro-id="7"]', 'aria-current'), 'true');

    // The first render queues a save and sends the state; start-up sends it once more.
    const states = await h.postedJson(page, 'macro-state');
    assert.equal(states.length, 2);
    assert.equal(states[1].enabled, false);
    assert.equal(states[1].profile.id, 5);
    assert.equal(states[1].profile.macros[0].enabled, true, 'a macro without "enabled" loads as enabled');
    const saved = await h.waitForState(server, (s) => s.profiles[1].macros[0].enabled === true);
    assert.equal(saved.selectedProfile, 5);
    assert.equal(saved.selectedMacro, 7);
    assert.equal(saved.showMacroNames, false);
    assert.equal(saved.macroEnabled, false);
    await h.closePage(page);
  } finally {
    await server.stop();
  }
});

test('a selection that no longer exists falls back to the first profile and its first macro', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2), h.macro(3)] }], {
    selectedProfile: 99,
    selectedMacro: 98,
  });
  const server = await h.startServer({ state });
  try {
    const page = await h.openPage(browser(), server);
    assert.equal(await page.textContent('#profile-label'), '甲');
    assert.equal(await page.getAttribute('.macro-item[data-macro-id="2"]', 'aria-current'), 'true');
    const saved = await h.waitForState(server, (s) => s.selectedProfile === 1);
    assert.equal(saved.selectedMacro, 2);
    await h.closePage(page);
  } finally {
    await server.stop();
  }
});

test('an unreadable state file keeps the defaults and says so', async (t) => {
  const cases = [
    { name: 'malformed JSON (the API answers 500)', stateText: '{"profiles": [' },
    { name: 'no profiles', stateText: '{"profiles": []}' },
    { name: 'a profile list that is an object', stateText: '{"profiles": {"1": {"macros": []}}}' },
    { name: 'a top-level array', stateText: '[{"profiles": []}]' },
    { name: 'a profile that is null', stateText: '{"profiles": [null]}' },
    { name: 'a macro list that is a string', stateText: '{"profiles": [{"id": 1, "macros": "F6"}]}' },
  ];
  for (const item of cases) {
    await t.test(item.name, async () => {
      const server = await h.startServer({ stateText: item.stateText });
      try {
        const page = await h.openPage(browser(), server);
        assert.equal(await page.textContent('#profile-label'), '默认配置');
        assert.equal(await page.isVisible('#empty'), true);
        assert.equal(await h.toastText(page), '本地配置读取失败，已使用默认内容。');
        assert.equal(server.stateText(), item.stateText, 'the stored file is left alone');
        await h.closePage(page);
      } finally {
        await server.stop();
      }
    });
  }
});

test('the host start-up check script passes in the page for a state with macros switched off', async (t) => {
  for (const macroEnabled of [false, true]) {
    await t.test(`macroEnabled ${macroEnabled}`, async () => {
      const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }], { macroEnabled });
      const server = await h.startServer({ state, windows: [{ executable: 'a.exe', name: 'A', pid: 1 }] });
      try {
        const page = await h.openPage(browser(), server);
        await page.evaluate(STARTUP_CHECK_SCRIPT);
        await page.waitForFunction(() => window.__posted.some((m) => m.includes('startup-check-result')));
        const [result] = await h.postedJson(page, 'startup-check-result');
        assert.deepEqual(result, {
          type: 'startup-check-result',
          title: true,
          fonts: true,
          controls: true,
          macroDisabled: !macroEnabled,
          demoDisabled: true,
          apiSave: true,
          apiWindows: true,
        });
        await h.closePage(page);
      } finally {
        await server.stop();
      }
    });
  }
});

test('the page loads only its own files and breaks none of its content security policy', async () => {
  const state = h.stateWith([{ id: 1, name: '甲', program: '', macros: [h.macro(2)] }]);
  const server = await h.startServer({ state });
  try {
    const page = await h.openPage(browser(), server);
    // Exercise the parts that build markup: menu, key list in advanced mode, dialogs, toast.
    await page.click('#profile-toggle');
    await page.keyboard.press('Escape');
    await page.click('.advanced-toggle');
    await page.click('#shortcut-settings');
    await page.click('#shortcut-cancel');
    await page.click('#enable-macros-control');
    const facts = await page.evaluate(() => ({
      csp: document.querySelector('meta[http-equiv="Content-Security-Policy"]').content,
      styled: document.querySelectorAll('[style]').length,
      inlineScripts: [...document.scripts].filter((script) => !script.src).length,
      styleElements: document.querySelectorAll('style').length,
      fonts: document.fonts.size,
      title: document.title,
      lang: document.documentElement.lang,
      sheets: [...document.styleSheets].map((sheet) => new URL(sheet.href).pathname + new URL(sheet.href).search),
      violations: window.__violations,
    }));
    assert.equal(
      facts.csp,
      "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; object-src 'none'; base-uri 'none'",
    );
    assert.equal(facts.styled, 0);
    assert.equal(facts.inlineScripts, 0);
    assert.equal(facts.styleElements, 0);
    assert.equal(facts.fonts, 0);
    assert.equal(facts.title, 'Kestrava');
    assert.equal(facts.lang, 'zh-CN');
    assert.deepEqual(facts.sheets, ['/style.css?v=22', '/sidebar.css?v=78', '/window.css?v=2', '/fonts.css?v=2']);
    assert.deepEqual(facts.violations, []);
    const foreign = page.requests.filter((r) => !r.url.startsWith(server.url) && !r.url.startsWith('data:'));
    assert.deepEqual(foreign, []);
    assert.deepEqual(page.errors, []);
    await h.closePage(page);
  } finally {
    await server.stop();
  }
});
