#pragma once
#include "webhost/Browser.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kes::fake {

// A browser that records what the host asks of it and lets a test play the runtime and the page: complete
// creations, send requests and messages, start and finish navigations. Every object of one browser writes
// into the same ordered call list, so the order of the host's calls across objects can be checked.
// Nothing here is asynchronous: a completion happens when the test (or the scheduler) says so.

struct CallList {
    std::vector<std::string> calls; // "object.operation" or "object.operation argument", UTF-8
    void add(const std::string& call) { calls.push_back(call); }
};

class FakeResponse : public BrowserWebResourceResponse {
public:
    std::string body;
    int status = 0;
    std::wstring reasonPhrase;
    std::wstring headers;
};

// A request as the runtime would deliver it; the content is handed out in pieces of at most `capacity`.
class FakeRequest : public BrowserWebResourceRequest {
public:
    FakeRequest(std::wstring uri, std::wstring method, std::optional<std::string> content = std::nullopt);

    std::wstring uri() override { return uri_; }
    std::wstring method() override { return method_; }
    std::size_t readContent(char* buffer, std::size_t capacity) override;
    BrowserResult setResponse(const std::shared_ptr<BrowserWebResourceResponse>& response) override;

    // What the host set, empty until then.
    std::shared_ptr<FakeResponse> response;
    std::vector<std::size_t> readCapacities; // the capacity of every read, in order
    BrowserResult setResponseResult = browserOk;

private:
    std::wstring uri_;
    std::wstring method_;
    std::optional<std::string> content_;
    std::size_t position_ = 0;
};

class FakeSettings : public BrowserSettings {
public:
    explicit FakeSettings(std::shared_ptr<CallList> calls) : calls_(std::move(calls)) {}
    void setDevToolsEnabled(bool enabled) override;
    void setDefaultContextMenusEnabled(bool enabled) override;

    std::optional<bool> devToolsEnabled;
    std::optional<bool> defaultContextMenusEnabled;

private:
    std::shared_ptr<CallList> calls_;
};

class FakeWebView : public BrowserWebView {
public:
    explicit FakeWebView(std::shared_ptr<CallList> calls);

    BrowserResult addWebResourceRequestedFilter(const std::wstring& uriPattern) override;
    BrowserResult addWebResourceRequested(WebResourceRequestedHandler handler) override;
    BrowserResult addWebMessageReceived(WebMessageReceivedHandler handler) override;
    BrowserResult addNavigationStarting(NavigationStartingHandler handler) override;
    BrowserResult addNewWindowRequested(NewWindowRequestedHandler handler) override;
    BrowserResult addNavigationCompleted(NavigationCompletedHandler handler) override;
    std::shared_ptr<BrowserSettings> settings() override;
    BrowserResult navigate(const std::wstring& uri) override;
    BrowserResult executeScript(const std::wstring& script) override;
    void postWebMessageAsJson(const std::wstring& json) override;

    // The runtime's and the page's side. Each returns what the host's handler returned; a request to a URI
    // outside every filter is not delivered (browserFailure and no response).
    BrowserResult deliverRequest(FakeRequest& request);
    BrowserResult postString(const std::wstring& text);
    BrowserResult postNonString();
    // True when the host cancelled the navigation.
    bool startNavigation(const std::wstring& uri);
    // True when the host marked the request handled.
    bool requestNewWindow();
    BrowserResult completeNavigation(bool success);

    // What the host did.
    std::vector<std::wstring> filters;
    std::vector<std::wstring> navigations;
    std::vector<std::wstring> scripts;
    std::vector<std::wstring> postedJson;
    // Handlers as registered, in order (empty when none).
    std::vector<WebResourceRequestedHandler> resourceHandlers;
    std::vector<WebMessageReceivedHandler> messageHandlers;
    std::vector<NavigationStartingHandler> navigationStartingHandlers;
    std::vector<NewWindowRequestedHandler> newWindowHandlers;
    std::vector<NavigationCompletedHandler> navigationCompletedHandlers;
    // Given out by settings(); set it empty to play a browser without settings.
    std::shared_ptr<FakeSettings> settingsObject;
    // Called after every posted message (for programs that forward them somewhere).
    std::function<void(const std::wstring& json)> onPosted;

private:
    std::shared_ptr<CallList> calls_;
};

class FakeController : public BrowserController {
public:
    FakeController(std::shared_ptr<CallList> calls, std::shared_ptr<FakeWebView> view);

    std::shared_ptr<BrowserWebView> webView() override;
    void putBounds(const ClientRect& bounds) override;
    void close() override;

    std::shared_ptr<FakeWebView> view; // given out by webView(); may be set empty
    std::vector<ClientRect> bounds;
    int closeCount = 0;

private:
    std::shared_ptr<CallList> calls_;
};

class FakeEnvironment : public BrowserEnvironment {
public:
    explicit FakeEnvironment(std::shared_ptr<CallList> calls);

    BrowserResult createController(void* parentWindow, ControllerCompletedHandler handler) override;
    std::shared_ptr<BrowserWebResourceResponse>
    createWebResourceResponse(const std::string& body, int status, const std::wstring& reasonPhrase,
                              const std::wstring& headers) override;

    // Runs the pending controller completion and returns what the host's handler returned.
    BrowserResult completeController(BrowserResult result, std::shared_ptr<BrowserController> controller);

    BrowserResult createControllerResult = browserOk; // a failure refuses at once, keeping no handler
    void* parentWindow = nullptr;
    ControllerCompletedHandler pendingController;
    bool responsesFail = false; // createWebResourceResponse then gives nothing

private:
    std::shared_ptr<CallList> calls_;
};

class FakeLoader : public BrowserLoader {
public:
    explicit FakeLoader(std::shared_ptr<CallList> calls = std::make_shared<CallList>());

    BrowserResult createEnvironment(const std::filesystem::path& userDataFolder,
                                    EnvironmentCompletedHandler handler) override;

    BrowserResult completeEnvironment(BrowserResult result, std::shared_ptr<BrowserEnvironment> environment);

    // A whole successful browser: completes the environment and then the controller with fresh objects
    // and returns the web view. Fails the test's expectations loudly (throws) when the host did not ask.
    std::shared_ptr<FakeWebView> completeAll();

    std::shared_ptr<CallList> calls;
    BrowserResult createEnvironmentResult = browserOk; // a failure refuses at once, keeping no handler
    std::optional<std::filesystem::path> userDataFolder;
    EnvironmentCompletedHandler pendingEnvironment;
    // The objects completeAll made (kept weakly: the host owns them).
    std::weak_ptr<FakeEnvironment> environment;
    std::weak_ptr<FakeController> controller;
    std::weak_ptr<FakeWebView> webView;
};

} // namespace kes::fake
