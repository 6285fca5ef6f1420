#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kes {

// The embedded browser as the host sees it: the few operations the host calls, whatever engine draws the
// page (WebView2 on Windows, a recording fake in tests). What the host relies on from every implementation:
//  1. every completion and event handler runs on the thread that created the environment, the thread that
//     pumps the message loop;
//  2. the request filter routes every request to the virtual origin, the top-level document included, to
//     the resource handler, and the response set there is what the page receives;
//  3. a string passed to the page's window.chrome.webview.postMessage arrives as that text, a non-string
//     fails tryGetWebMessageAsString;
//  4. JSON posted with postWebMessageAsJson reaches the page's message listener already parsed;
//  5. a cancelled navigation leaves the current page in place, a handled new-window request opens nothing;
//  6. executeScript runs the text in the page; its outcome comes back only through the page's own
//     messages and requests.

// The result of a browser operation, with the meaning of a COM HRESULT: negative is a failure.
using BrowserResult = std::int32_t;
inline constexpr BrowserResult browserOk = 0;
inline constexpr BrowserResult browserFailure = static_cast<BrowserResult>(0x80004005u);        // E_FAIL
inline constexpr BrowserResult browserInvalidPointer = static_cast<BrowserResult>(0x80004003u); // E_POINTER
constexpr bool browserFailed(BrowserResult result) {
    return result < 0;
}

struct ClientRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A response built by the environment, handed to a resource request.
class BrowserWebResourceResponse {
public:
    virtual ~BrowserWebResourceResponse() = default;
};

// One intercepted request to the virtual origin.
class BrowserWebResourceRequest {
public:
    virtual ~BrowserWebResourceRequest() = default;
    // The request's URI and method; empty when the browser gives none.
    virtual std::wstring uri() = 0;
    virtual std::wstring method() = 0;
    // Reads the next at most `capacity` bytes of the request content into `buffer`; 0 at the end, when the
    // request has no content, or when reading fails.
    virtual std::size_t readContent(char* buffer, std::size_t capacity) = 0;
    // The answer the page receives for this request.
    virtual BrowserResult setResponse(const std::shared_ptr<BrowserWebResourceResponse>& response) = 0;
};

class BrowserWebMessage {
public:
    virtual ~BrowserWebMessage() = default;
    // The message when the page posted a string; nothing when it posted any other value.
    virtual std::optional<std::wstring> tryGetWebMessageAsString() = 0;
};

class BrowserNavigationStarting {
public:
    virtual ~BrowserNavigationStarting() = default;
    virtual std::wstring uri() = 0; // empty when the browser gives none
    virtual void cancel() = 0;
};

class BrowserNewWindowRequest {
public:
    virtual ~BrowserNewWindowRequest() = default;
    // Marks the request handled: no window is opened.
    virtual void setHandled() = 0;
};

class BrowserNavigationCompleted {
public:
    virtual ~BrowserNavigationCompleted() = default;
    virtual bool isSuccess() = 0; // false also when the browser cannot tell
};

class BrowserSettings {
public:
    virtual ~BrowserSettings() = default;
    virtual void setDevToolsEnabled(bool enabled) = 0;
    virtual void setDefaultContextMenusEnabled(bool enabled) = 0;
};

using WebResourceRequestedHandler = std::function<BrowserResult(BrowserWebResourceRequest& request)>;
using WebMessageReceivedHandler = std::function<BrowserResult(BrowserWebMessage& message)>;
using NavigationStartingHandler = std::function<BrowserResult(BrowserNavigationStarting& navigation)>;
using NewWindowRequestedHandler = std::function<BrowserResult(BrowserNewWindowRequest& request)>;
using NavigationCompletedHandler = std::function<BrowserResult(BrowserNavigationCompleted& navigation)>;

// The page itself. Handlers are never removed; they live as long as the web view.
class BrowserWebView {
public:
    virtual ~BrowserWebView() = default;
    // Requests whose URI matches the pattern (a trailing "*" matches anything) go to the resource handler;
    // every resource context is filtered.
    virtual BrowserResult addWebResourceRequestedFilter(const std::wstring& uriPattern) = 0;
    virtual BrowserResult addWebResourceRequested(WebResourceRequestedHandler handler) = 0;
    virtual BrowserResult addWebMessageReceived(WebMessageReceivedHandler handler) = 0;
    virtual BrowserResult addNavigationStarting(NavigationStartingHandler handler) = 0;
    virtual BrowserResult addNewWindowRequested(NewWindowRequestedHandler handler) = 0;
    virtual BrowserResult addNavigationCompleted(NavigationCompletedHandler handler) = 0;
    // Empty when the browser gives no settings object.
    virtual std::shared_ptr<BrowserSettings> settings() = 0;
    virtual BrowserResult navigate(const std::wstring& uri) = 0;
    // Runs the script in the page; no completion is reported.
    virtual BrowserResult executeScript(const std::wstring& script) = 0;
    // Delivers the JSON text to the page's message listener, already parsed.
    virtual void postWebMessageAsJson(const std::wstring& json) = 0;
};

// The web view's window inside the host window.
class BrowserController {
public:
    virtual ~BrowserController() = default;
    // The controller's web view, or empty when the browser gives none.
    virtual std::shared_ptr<BrowserWebView> webView() = 0;
    virtual void putBounds(const ClientRect& bounds) = 0;
    virtual void close() = 0;
};

using ControllerCompletedHandler =
    std::function<BrowserResult(BrowserResult result, std::shared_ptr<BrowserController> controller)>;

class BrowserEnvironment {
public:
    virtual ~BrowserEnvironment() = default;
    // Starts creating the web view in the parent window; the handler receives the outcome later (or not at
    // all when starting fails, which the returned failure says).
    virtual BrowserResult createController(void* parentWindow, ControllerCompletedHandler handler) = 0;
    // A response from memory; empty when the browser cannot build one.
    virtual std::shared_ptr<BrowserWebResourceResponse>
    createWebResourceResponse(const std::string& body, int status, const std::wstring& reasonPhrase,
                              const std::wstring& headers) = 0;
};

using EnvironmentCompletedHandler =
    std::function<BrowserResult(BrowserResult result, std::shared_ptr<BrowserEnvironment> environment)>;

// Finds the installed browser runtime and starts creating its environment with the user-data folder, no
// browser folder and no options. A failure returned here means creation never started and the handler is
// never called.
class BrowserLoader {
public:
    virtual ~BrowserLoader() = default;
    virtual BrowserResult createEnvironment(const std::filesystem::path& userDataFolder,
                                            EnvironmentCompletedHandler handler) = 0;
};

} // namespace kes
