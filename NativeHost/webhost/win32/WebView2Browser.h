#pragma once
#include "webhost/Browser.h"
#include "webhost/win32/WebView2Interfaces.h"

#include <filesystem>
#include <memory>

namespace kes::webview2 {

// The browser interface bound to WebView2 objects. Each wrapper holds one reference to its runtime object;
// the event handlers it registers are COM objects that forward to the host's functions.
std::shared_ptr<BrowserEnvironment> wrapEnvironment(ICoreWebView2Environment* environment);
std::shared_ptr<BrowserController> wrapController(ICoreWebView2Controller* controller);
std::shared_ptr<BrowserWebView> wrapWebView(ICoreWebView2* webView);

// Calls a client library's environment entry point with the user-data folder and a completion handler that
// hands the environment, wrapped, to `handler`.
BrowserResult createEnvironmentThrough(CreateEnvironmentEntryPoint entryPoint,
                                       const std::filesystem::path& userDataFolder,
                                       kes::EnvironmentCompletedHandler handler);

// Finds the installed Evergreen runtime, loads its client library (kept loaded for the rest of the process)
// and starts creating the environment. Refuses with HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when no runtime
// is installed, with the system's error when the library cannot be loaded, and with
// HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) when it lacks the entry point.
class WebView2Loader : public BrowserLoader {
public:
    BrowserResult createEnvironment(const std::filesystem::path& userDataFolder,
                                    kes::EnvironmentCompletedHandler handler) override;
};

} // namespace kes::webview2
