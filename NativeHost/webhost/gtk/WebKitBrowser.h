#pragma once
#include "webhost/Browser.h"

#include <functional>
#include <memory>
#include <string>

namespace kes {

// The browser interface bound to WebKitGTK. The page is served under the program's own scheme (see
// SchemeAddress.h), registered as secure so that the page's content security policy applies unchanged; a
// script injected at document start gives the page the window.chrome.webview it has on Windows, carried by
// a script message handler one way and by script evaluation the other; every navigation and new window
// goes through the host's policy handlers; the inspector and the context menu follow the settings.
//
// `observeMessage` sees the text of every string message right before the host handles it.
std::unique_ptr<BrowserLoader> makeWebKitLoader(std::function<void(const std::string& text)> observeMessage);

} // namespace kes
