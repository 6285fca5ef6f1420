#include "support/FakeBrowser.h"

#include "platform/TextConversion.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kes::fake {

namespace {

class FakeMessage : public BrowserWebMessage {
public:
    explicit FakeMessage(std::optional<std::wstring> text) : text_(std::move(text)) {}
    std::optional<std::wstring> tryGetWebMessageAsString() override { return text_; }

private:
    std::optional<std::wstring> text_;
};

class FakeNavigationStarting : public BrowserNavigationStarting {
public:
    explicit FakeNavigationStarting(std::wstring uri) : uri_(std::move(uri)) {}
    std::wstring uri() override { return uri_; }
    void cancel() override { cancelled = true; }
    bool cancelled = false;

private:
    std::wstring uri_;
};

class FakeNewWindowRequest : public BrowserNewWindowRequest {
public:
    void setHandled() override { handled = true; }
    bool handled = false;
};

class FakeNavigationCompleted : public BrowserNavigationCompleted {
public:
    explicit FakeNavigationCompleted(bool success) : success_(success) {}
    bool isSuccess() override { return success_; }

private:
    bool success_;
};

bool matchesFilter(const std::wstring& pattern, const std::wstring& uri) {
    if (!pattern.empty() && pattern.back() == L'*')
        return uri.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return uri == pattern;
}

template <typename Handler, typename... Args>
BrowserResult invokeAll(const std::vector<Handler>& handlers, Args&... args) {
    BrowserResult result = browserOk;
    for (const auto& handler : handlers)
        result = handler(args...);
    return result;
}

} // namespace

FakeRequest::FakeRequest(std::wstring uri, std::wstring method, std::optional<std::string> content)
    : uri_(std::move(uri)), method_(std::move(method)), content_(std::move(content)) {}

std::size_t FakeRequest::readContent(char* buffer, std::size_t capacity) {
    readCapacities.push_back(capacity);
    if (!content_)
        return 0;
    const std::size_t count = std::min(capacity, content_->size() - position_);
    std::memcpy(buffer, content_->data() + position_, count);
    position_ += count;
    return count;
}

BrowserResult FakeRequest::setResponse(const std::shared_ptr<BrowserWebResourceResponse>& value) {
    response = std::dynamic_pointer_cast<FakeResponse>(value);
    return setResponseResult;
}

void FakeSettings::setDevToolsEnabled(bool enabled) {
    devToolsEnabled = enabled;
    calls_->add(std::string("settings.setDevToolsEnabled ") + (enabled ? "true" : "false"));
}

void FakeSettings::setDefaultContextMenusEnabled(bool enabled) {
    defaultContextMenusEnabled = enabled;
    calls_->add(std::string("settings.setDefaultContextMenusEnabled ") + (enabled ? "true" : "false"));
}

FakeWebView::FakeWebView(std::shared_ptr<CallList> calls)
    : settingsObject(std::make_shared<FakeSettings>(calls)), calls_(std::move(calls)) {}

BrowserResult FakeWebView::addWebResourceRequestedFilter(const std::wstring& uriPattern) {
    filters.push_back(uriPattern);
    calls_->add("webView.addWebResourceRequestedFilter " + toUtf8(uriPattern));
    return browserOk;
}

BrowserResult FakeWebView::addWebResourceRequested(WebResourceRequestedHandler handler) {
    resourceHandlers.push_back(std::move(handler));
    calls_->add("webView.addWebResourceRequested");
    return browserOk;
}

BrowserResult FakeWebView::addWebMessageReceived(WebMessageReceivedHandler handler) {
    messageHandlers.push_back(std::move(handler));
    calls_->add("webView.addWebMessageReceived");
    return browserOk;
}

BrowserResult FakeWebView::addNavigationStarting(NavigationStartingHandler handler) {
    navigationStartingHandlers.push_back(std::move(handler));
    calls_->add("webView.addNavigationStarting");
    return browserOk;
}

BrowserResult FakeWebView::addNewWindowRequested(NewWindowRequestedHandler handler) {
    newWindowHandlers.push_back(std::move(handler));
    calls_->add("webView.addNewWindowRequested");
    return browserOk;
}

BrowserResult FakeWebView::addNavigationCompleted(NavigationCompletedHandler handler) {
    navigationCompletedHandlers.push_back(std::move(handler));
    calls_->add("webView.addNavigationCompleted");
    return browserOk;
}

std::shared_ptr<BrowserSettings> FakeWebView::settings() {
    calls_->add("webView.settings");
    return settingsObject;
}

BrowserResult FakeWebView::navigate(const std::wstring& uri) {
    navigations.push_back(uri);
    calls_->add("webView.navigate " + toUtf8(uri));
    return browserOk;
}

BrowserResult FakeWebView::executeScript(const std::wstring& script) {
    scripts.push_back(script);
    calls_->add("webView.executeScript");
    return browserOk;
}

void FakeWebView::postWebMessageAsJson(const std::wstring& json) {
    postedJson.push_back(json);
    calls_->add("webView.postWebMessageAsJson " + toUtf8(json));
    if (onPosted)
        onPosted(json);
}

BrowserResult FakeWebView::deliverRequest(FakeRequest& request) {
    const std::wstring uri = request.uri();
    const bool filtered = std::any_of(filters.begin(), filters.end(),
                                      [&](const auto& pattern) { return matchesFilter(pattern, uri); });
    if (!filtered)
        return browserFailure;
    return invokeAll(resourceHandlers, static_cast<BrowserWebResourceRequest&>(request));
}

BrowserResult FakeWebView::postString(const std::wstring& text) {
    FakeMessage message(text);
    return invokeAll(messageHandlers, static_cast<BrowserWebMessage&>(message));
}

BrowserResult FakeWebView::postNonString() {
    FakeMessage message(std::nullopt);
    return invokeAll(messageHandlers, static_cast<BrowserWebMessage&>(message));
}

bool FakeWebView::startNavigation(const std::wstring& uri) {
    FakeNavigationStarting navigation(uri);
    invokeAll(navigationStartingHandlers, static_cast<BrowserNavigationStarting&>(navigation));
    return navigation.cancelled;
}

bool FakeWebView::requestNewWindow() {
    FakeNewWindowRequest request;
    invokeAll(newWindowHandlers, static_cast<BrowserNewWindowRequest&>(request));
    return request.handled;
}

BrowserResult FakeWebView::completeNavigation(bool success) {
    FakeNavigationCompleted navigation(success);
    return invokeAll(navigationCompletedHandlers, static_cast<BrowserNavigationCompleted&>(navigation));
}

FakeController::FakeController(std::shared_ptr<CallList> calls, std::shared_ptr<FakeWebView> webView)
    : view(std::move(webView)), calls_(std::move(calls)) {}

std::shared_ptr<BrowserWebView> FakeController::webView() {
    calls_->add("controller.webView");
    return view;
}

void FakeController::putBounds(const ClientRect& rect) {
    bounds.push_back(rect);
    calls_->add("controller.putBounds " + std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
                std::to_string(rect.right) + "," + std::to_string(rect.bottom));
}

void FakeController::close() {
    ++closeCount;
    calls_->add("controller.close");
}

FakeEnvironment::FakeEnvironment(std::shared_ptr<CallList> calls) : calls_(std::move(calls)) {}

BrowserResult FakeEnvironment::createController(void* parent, ControllerCompletedHandler handler) {
    parentWindow = parent;
    calls_->add("environment.createController");
    if (browserFailed(createControllerResult))
        return createControllerResult;
    pendingController = std::move(handler);
    return browserOk;
}

std::shared_ptr<BrowserWebResourceResponse>
FakeEnvironment::createWebResourceResponse(const std::string& body, int status,
                                           const std::wstring& reasonPhrase, const std::wstring& headers) {
    calls_->add("environment.createWebResourceResponse " + std::to_string(status));
    if (responsesFail)
        return nullptr;
    auto response = std::make_shared<FakeResponse>();
    response->body = body;
    response->status = status;
    response->reasonPhrase = reasonPhrase;
    response->headers = headers;
    return response;
}

BrowserResult FakeEnvironment::completeController(BrowserResult result,
                                                  std::shared_ptr<BrowserController> controller) {
    if (!pendingController)
        throw std::logic_error("no controller creation is pending");
    auto handler = std::move(pendingController);
    pendingController = nullptr;
    return handler(result, std::move(controller));
}

FakeLoader::FakeLoader(std::shared_ptr<CallList> callList) : calls(std::move(callList)) {}

BrowserResult FakeLoader::createEnvironment(const std::filesystem::path& folder,
                                            EnvironmentCompletedHandler handler) {
    userDataFolder = folder;
    calls->add("loader.createEnvironment");
    if (browserFailed(createEnvironmentResult))
        return createEnvironmentResult;
    pendingEnvironment = std::move(handler);
    return browserOk;
}

BrowserResult FakeLoader::completeEnvironment(BrowserResult result,
                                              std::shared_ptr<BrowserEnvironment> createdEnvironment) {
    if (!pendingEnvironment)
        throw std::logic_error("no environment creation is pending");
    auto handler = std::move(pendingEnvironment);
    pendingEnvironment = nullptr;
    return handler(result, std::move(createdEnvironment));
}

std::shared_ptr<FakeWebView> FakeLoader::completeAll() {
    auto madeEnvironment = std::make_shared<FakeEnvironment>(calls);
    auto madeView = std::make_shared<FakeWebView>(calls);
    auto madeController = std::make_shared<FakeController>(calls, madeView);
    environment = madeEnvironment;
    controller = madeController;
    webView = madeView;
    completeEnvironment(browserOk, madeEnvironment);
    madeEnvironment->completeController(browserOk, madeController);
    return madeView;
}

} // namespace kes::fake
