'use strict';
// Shared setup of the page's browser tests: the loopback page server around the real resource
// server and state store, Debian's Chromium through playwright-core, and a stand-in for the desktop
// host's web-message bridge.

const assert = require('node:assert/strict');
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { chromium } = require('playwright-core');

const STATE_FILE_NAME = 'Kestrava配置.json';
const CHROMIUM = process.env.KES_CHROMIUM || '/usr/bin/chromium';
const CHROMIUM_ARGS = [
  '--no-sandbox',
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--no-first-run',
  '--disable-quic',
];

function serverPath() {
  const program = process.env.KES_PAGE_SERVER;
  if (!program) throw new Error('KES_PAGE_SERVER must name the kes_page_server program (scripts/test-page sets it)');
  return program;
}

// Starts a page server on a fresh data directory. `state` is written as the stored document first,
// `stateText` as raw file content; `windows` is what "/api/windows" lists.
async function startServer({ state, stateText, windows = [] } = {}) {
  const dataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'kes-page-'));
  const stateFile = path.join(dataDir, STATE_FILE_NAME);
  if (state !== undefined) fs.writeFileSync(stateFile, JSON.stringify(state, null, 2));
  if (stateText !== undefined) fs.writeFileSync(stateFile, stateText);
  const windowsFile = path.join(dataDir, 'program-list.json');
  fs.writeFileSync(windowsFile, JSON.stringify(windows));

  const child = spawn(serverPath(), ['--data', dataDir, '--windows', windowsFile, '--lifetime', '600'], {
    stdio: ['pipe', 'pipe', 'inherit'],
  });
  const exited = new Promise((resolve) => child.once('exit', resolve));
  const port = await new Promise((resolve, reject) => {
    let text = '';
    child.stdout.on('data', (chunk) => {
      text += chunk;
      const line = text.split('\n')[0];
      if (text.includes('\n')) resolve(Number(line.trim()));
    });
    child.once('exit', (code) => reject(new Error(`page server exited with ${code} before it listened`)));
  });

  return {
    url: `http://127.0.0.1:${port}`,
    dataDir,
    stateFile,
    setWindows(list) {
      fs.writeFileSync(windowsFile, JSON.stringify(list));
    },
    readState() {
      return fs.existsSync(stateFile) ? JSON.parse(fs.readFileSync(stateFile, 'utf8')) : null;
    },
    stateText() {
      return fs.existsSync(stateFile) ? fs.readFileSync(stateFile, 'utf8') : null;
    },
    async stop() {
      child.stdin.end();
      const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
      await exited;
      clearTimeout(timer);
      fs.rmSync(dataDir, { recursive: true, force: true });
    },
  };
}

// One headless Chromium per test file; playwright-core gives each launch a fresh temporary
// user-data folder and removes it on close.
async function launchBrowser() {
  return chromium.launch({ executablePath: CHROMIUM, headless: true, args: CHROMIUM_ARGS });
}

// The desktop host's bridge as WebView2 offers it: postMessage records what the page sends, and
// host messages arrive as "message" events whose data is already parsed.
function installBridgeStub() {
  const webview = new EventTarget();
  const posted = [];
  webview.postMessage = (message) => {
    posted.push(message);
  };
  window.chrome = window.chrome || {};
  window.chrome.webview = webview;
  window.__posted = posted;
  window.__deliver = (data) => webview.dispatchEvent(new MessageEvent('message', { data }));
}

function recordPolicyViolations() {
  window.__violations = [];
  document.addEventListener('securitypolicyviolation', (event) => {
    window.__violations.push(`${event.violatedDirective} ${event.blockedURI}`);
  });
}

// Opens the page in a new browser context. `desktop` adds "?desktop=1"; `bridge` installs the stub.
async function openPage(browser, server, { desktop = true, bridge = true, viewport, clock = false, query } = {}) {
  const context = await browser.newContext({ viewport: viewport || { width: 1430, height: 860 } });
  const page = await context.newPage();
  page.errors = [];
  page.on('pageerror', (error) => page.errors.push(error.message));
  page.requests = [];
  page.on('request', (request) => page.requests.push({ method: request.method(), url: request.url() }));
  await page.addInitScript(recordPolicyViolations);
  if (bridge) await page.addInitScript(installBridgeStub);
  if (clock) await page.clock.install({ time: 0 });
  const search = query !== undefined ? query : desktop ? '?desktop=1' : '';
  await page.goto(server.url + '/' + search);
  await waitForReady(page);
  return page;
}

// The page is ready once start-up has enabled the master switch.
async function waitForReady(page) {
  await page.waitForFunction(() => !document.getElementById('enable-macros').disabled, null, { polling: 20 });
}

// Waits until the page has stored every change it made, the save it queues after loading included.
async function waitForSaved(page) {
  await page.waitForFunction(() => saveTimer === null && saving === null && !hasUnsavedChanges(), null, {
    polling: 20,
  });
}

async function posted(page) {
  return page.evaluate(() => window.__posted.slice());
}

async function postedJson(page, type) {
  const messages = await posted(page);
  return messages
    .filter((text) => text.startsWith('{'))
    .map((text) => JSON.parse(text))
    .filter((message) => type === undefined || message.type === type);
}

async function clearPosted(page) {
  await page.evaluate(() => {
    window.__posted.length = 0;
  });
}

async function deliver(page, message) {
  await page.evaluate((data) => window.__deliver(data), message);
}

function saveRequests(page) {
  return page.requests.filter((request) => request.method === 'POST' && request.url.endsWith('/api/state'));
}

// Waits until the stored document satisfies `accept`, and returns it.
async function waitForState(server, accept, timeoutMs = 5000) {
  const end = Date.now() + timeoutMs;
  let state = null;
  while (Date.now() < end) {
    try {
      state = server.readState();
    } catch {
      state = null; // a replacement in progress
    }
    if (state && accept(state)) return state;
    await new Promise((resolve) => setTimeout(resolve, 25));
  }
  throw new Error('the stored state never matched; last: ' + JSON.stringify(state));
}

async function toastText(page) {
  await page.waitForSelector('#toast:not([hidden])');
  return page.textContent('#toast');
}

async function closePage(page) {
  await page.context().close();
}

// One Chromium for the test file that calls this (launched before its first test, closed after its last)
// and `withPage(options, body)`, which runs `body(page, server)` on a fresh page server and page:
// `options.server` goes to startServer, `options.page` to openPage. The page must have thrown nothing.
function pageSuite(test) {
  let browser = null;
  test.before(async () => {
    browser = await launchBrowser();
  });
  test.after(async () => {
    await browser.close();
  });
  async function withPage(options, body) {
    const server = await startServer(options.server);
    try {
      const page = await openPage(browser, server, options.page);
      await body(page, server);
      assert.deepEqual(page.errors, []);
      await closePage(page);
    } finally {
      await server.stop();
    }
  }
  return { withPage, browser: () => browser };
}

// A stored document in the shape the page writes.
function stateWith(profiles, extra = {}) {
  return {
    profiles,
    selectedProfile: profiles[0].id,
    selectedMacro: profiles[0].macros.length ? profiles[0].macros[0].id : undefined,
    showMacroNames: true,
    macroEnabled: false,
    ...extra,
  };
}

function macro(id, fields = {}) {
  return {
    id,
    name: `宏 ${id}`,
    enabled: true,
    trigger: 'F6',
    behavior: 'once',
    text: 'ab',
    hold: 30,
    gap: 50,
    steps: [
      { key: 'a', hold: 30, gap: 50 },
      { key: 'b', hold: 30, gap: 50 },
    ],
    ...fields,
  };
}

module.exports = {
  STATE_FILE_NAME,
  startServer,
  launchBrowser,
  openPage,
  waitForReady,
  posted,
  postedJson,
  clearPosted,
  deliver,
  saveRequests,
  waitForState,
  toastText,
  closePage,
  pageSuite,
  stateWith,
  macro,
  waitForSaved,
};
