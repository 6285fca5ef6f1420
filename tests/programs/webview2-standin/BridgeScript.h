#pragma once
// The page's side of the web message bridge, run in every new document before its own scripts: the
// window.chrome.webview the runtime gives a page (postMessage, addEventListener, removeEventListener),
// posting through the binding and receiving through a function the host's messages are evaluated with.
namespace standin {

inline constexpr const char* bindingName = "__kesWebViewPost";
inline constexpr const char* deliverFunction = "__kesWebViewDeliver";

inline constexpr const char* bridgeScript = R"js((() => {
  const post = globalThis.__kesWebViewPost;
  if (typeof post !== 'function' || globalThis.__kesWebViewDeliver) return;
  const events = new EventTarget();
  const webview = {
    postMessage(message) {
      const text = JSON.stringify(message);
      if (text === undefined) throw new TypeError('the message cannot be serialized');
      post(text);
    },
    addEventListener: events.addEventListener.bind(events),
    removeEventListener: events.removeEventListener.bind(events),
  };
  if (!window.chrome) window.chrome = {};
  Object.defineProperty(window.chrome, 'webview', { value: webview, enumerable: true });
  Object.defineProperty(globalThis, '__kesWebViewDeliver', {
    value: (data) => {
      events.dispatchEvent(new MessageEvent('message', { data }));
      return true;
    },
  });
})();)js";

} // namespace standin
