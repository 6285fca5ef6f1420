// The desktop host's web-message bridge: the modes decided at load, messages out, and the dispatch of
// messages in to whoever handles them.
import { currentProfile, model } from './model.js';

const query = new URLSearchParams(location.search);
export const desktop = query.get('desktop') === '1';

export function hasWebView() {
  return Boolean(window.chrome && window.chrome.webview);
}

export const bridge = desktop && hasWebView();

export function postToHost(text) {
  if (hasWebView()) window.chrome.webview.postMessage(text);
}

export function sendMacroState() {
  if (!bridge) return;
  postToHost(JSON.stringify({ type: 'macro-state', enabled: model.macroEnabled, profile: currentProfile() }));
}

// `handlers` maps a message type to its handler; other types and anything that is not an object are
// ignored.
export function listenToHost(handlers) {
  if (!bridge) return;
  window.chrome.webview.addEventListener('message', (event) => {
    let message = event.data;
    if (typeof message === 'string') {
      try {
        message = JSON.parse(message);
      } catch {
        return;
      }
    }
    if (!message || typeof message !== 'object') return;
    if (Object.hasOwn(handlers, message.type)) handlers[message.type](message);
  });
}
