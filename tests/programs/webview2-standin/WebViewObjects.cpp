#include "WebViewObjects.h"

#include "EventArgs.h"

namespace standin {

namespace {

constexpr HRESULT invalidState = HRESULT_FROM_WIN32(ERROR_INVALID_STATE);

constexpr char navigationStartingName[] = "add_NavigationStarting";
constexpr char navigationCompletedName[] = "add_NavigationCompleted";
constexpr char webMessageReceivedName[] = "add_WebMessageReceived";
constexpr char newWindowRequestedName[] = "add_NewWindowRequested";
constexpr char webResourceRequestedName[] = "add_WebResourceRequested";
constexpr char removeNavigationStartingName[] = "remove_NavigationStarting";
constexpr char removeNavigationCompletedName[] = "remove_NavigationCompleted";
constexpr char removeWebMessageReceivedName[] = "remove_WebMessageReceived";
constexpr char removeNewWindowRequestedName[] = "remove_NewWindowRequested";
constexpr char removeWebResourceRequestedName[] = "remove_WebResourceRequested";

} // namespace

// --- Settings ---

const Vtable& Settings::vtable() {
    static const Vtable table =
        Vtable::make<settingsInterface>()
            .set(slotOf(settingsInterface, "put_AreDevToolsEnabled"), &putAreDevToolsEnabled)
            .set(slotOf(settingsInterface, "put_AreDefaultContextMenusEnabled"),
                 &putAreDefaultContextMenusEnabled);
    return table;
}

Settings::Settings() : ComObject(vtable(), "settings") {}

HRESULT STDMETHODCALLTYPE Settings::putAreDevToolsEnabled(void* self, BOOL enabled) {
    of<Settings>(self).enter("put_AreDevToolsEnabled");
    Ledger::instance().setValue("AreDevToolsEnabled", enabled != FALSE);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Settings::putAreDefaultContextMenusEnabled(void* self, BOOL enabled) {
    of<Settings>(self).enter("put_AreDefaultContextMenusEnabled");
    Ledger::instance().setValue("AreDefaultContextMenusEnabled", enabled != FALSE);
    return S_OK;
}

// --- WebView ---

template <HandlerList Page::*List, const char* Name>
HRESULT STDMETHODCALLTYPE WebView::addHandler(void* self, IUnknown* handler, INT64* token) {
    WebView* webView = open(self, Name);
    if (webView == nullptr)
        return invalidState;
    return ((*webView->page_).*List).add(handler, token);
}

template <HandlerList Page::*List, const char* Name>
HRESULT STDMETHODCALLTYPE WebView::removeHandler(void* self, INT64 token) {
    WebView* webView = open(self, Name);
    if (webView == nullptr)
        return invalidState;
    return ((*webView->page_).*List).remove(token);
}

const Vtable& WebView::vtable() {
    static const Vtable table =
        Vtable::make<webViewInterface>()
            .set(slotOf(webViewInterface, "get_Settings"), &getSettings)
            .set(slotOf(webViewInterface, "Navigate"), &navigate)
            .set(slotOf(webViewInterface, "ExecuteScript"), &executeScript)
            .set(slotOf(webViewInterface, "PostWebMessageAsJson"), &postWebMessageAsJson)
            .set(slotOf(webViewInterface, "PostWebMessageAsString"), &postWebMessageAsString)
            .set(slotOf(webViewInterface, "AddWebResourceRequestedFilter"), &addWebResourceRequestedFilter)
            .set(slotOf(webViewInterface, "add_NavigationStarting"),
                 &addHandler<&Page::navigationStarting, navigationStartingName>)
            .set(slotOf(webViewInterface, "remove_NavigationStarting"),
                 &removeHandler<&Page::navigationStarting, removeNavigationStartingName>)
            .set(slotOf(webViewInterface, "add_NavigationCompleted"),
                 &addHandler<&Page::navigationCompleted, navigationCompletedName>)
            .set(slotOf(webViewInterface, "remove_NavigationCompleted"),
                 &removeHandler<&Page::navigationCompleted, removeNavigationCompletedName>)
            .set(slotOf(webViewInterface, "add_WebMessageReceived"),
                 &addHandler<&Page::webMessageReceived, webMessageReceivedName>)
            .set(slotOf(webViewInterface, "remove_WebMessageReceived"),
                 &removeHandler<&Page::webMessageReceived, removeWebMessageReceivedName>)
            .set(slotOf(webViewInterface, "add_NewWindowRequested"),
                 &addHandler<&Page::newWindowRequested, newWindowRequestedName>)
            .set(slotOf(webViewInterface, "remove_NewWindowRequested"),
                 &removeHandler<&Page::newWindowRequested, removeNewWindowRequestedName>)
            .set(slotOf(webViewInterface, "add_WebResourceRequested"),
                 &addHandler<&Page::webResourceRequested, webResourceRequestedName>)
            .set(slotOf(webViewInterface, "remove_WebResourceRequested"),
                 &removeHandler<&Page::webResourceRequested, removeWebResourceRequestedName>);
    return table;
}

WebView::WebView(std::shared_ptr<Page> page) : ComObject(vtable(), "web view"), page_(std::move(page)) {
    page_->setSender(face());
}

WebView::~WebView() {
    page_->setSender(nullptr);
}

WebView* WebView::open(void* self, const char* method) {
    auto& webView = of<WebView>(self);
    webView.enter(method);
    if (webView.page_->closed()) {
        Ledger::instance().breach(std::string("ICoreWebView2::") + method + " called after Close");
        return nullptr;
    }
    return &webView;
}

HRESULT STDMETHODCALLTYPE WebView::getSettings(void* self, void** settings) {
    WebView* webView = open(self, "get_Settings");
    if (webView == nullptr)
        return invalidState;
    if (settings == nullptr)
        return E_POINTER;
    if (!webView->settings_)
        webView->settings_ = Owned<Settings>::adopt(new Settings());
    *settings = webView->settings_.give();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE WebView::navigate(void* self, LPCWSTR uri) {
    WebView* webView = open(self, "Navigate");
    if (webView == nullptr)
        return invalidState;
    if (uri == nullptr || *uri == 0)
        return E_INVALIDARG;
    Ledger::instance().setValue("navigated to", utf8(uri));
    webView->page_->navigate(uri);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE WebView::executeScript(void* self, LPCWSTR script, IUnknown* handler) {
    WebView* webView = open(self, "ExecuteScript");
    if (webView == nullptr)
        return invalidState;
    if (script == nullptr)
        return E_INVALIDARG;
    webView->page_->executeScript(script, handler);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE WebView::postWebMessageAsJson(void* self, LPCWSTR json) {
    WebView* webView = open(self, "PostWebMessageAsJson");
    if (webView == nullptr)
        return invalidState;
    if (json == nullptr)
        return E_INVALIDARG;
    return webView->page_->postJson(json);
}

HRESULT STDMETHODCALLTYPE WebView::postWebMessageAsString(void* self, LPCWSTR text) {
    WebView* webView = open(self, "PostWebMessageAsString");
    if (webView == nullptr)
        return invalidState;
    if (text == nullptr)
        return E_INVALIDARG;
    webView->page_->postString(text);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE WebView::addWebResourceRequestedFilter(void* self, LPCWSTR uri, int context) {
    WebView* webView = open(self, "AddWebResourceRequestedFilter");
    if (webView == nullptr)
        return invalidState;
    if (uri == nullptr)
        return E_INVALIDARG;
    constexpr int allContexts = 0;
    if (context != allContexts)
        Ledger::instance().count("filters for one resource context (treated as all)");
    Ledger::instance().setValue("filter", utf8(uri));
    webView->page_->addFilter(uri);
    return S_OK;
}

// --- Controller ---

const Vtable& Controller::vtable() {
    static const Vtable table = Vtable::make<controllerInterface>()
                                    .set(slotOf(controllerInterface, "put_Bounds"), &putBounds)
                                    .set(slotOf(controllerInterface, "Close"), &close)
                                    .set(slotOf(controllerInterface, "get_CoreWebView2"), &getCoreWebView2);
    return table;
}

Controller::Controller(std::shared_ptr<Page> page)
    : ComObject(vtable(), "controller"), page_(std::move(page)),
      webView_(Owned<WebView>::adopt(new WebView(page_))) {}

HRESULT STDMETHODCALLTYPE Controller::putBounds(void* self, RECT bounds) {
    auto& controller = of<Controller>(self);
    controller.enter("put_Bounds");
    if (controller.page_->closed()) {
        Ledger::instance().breach("ICoreWebView2Controller::put_Bounds called after Close");
        return invalidState;
    }
    controller.page_->setBounds(bounds);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Controller::close(void* self) {
    auto& controller = of<Controller>(self);
    controller.enter("Close");
    if (controller.page_->closed()) {
        Ledger::instance().breach("ICoreWebView2Controller::Close called twice");
        return invalidState;
    }
    controller.page_->close();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Controller::getCoreWebView2(void* self, void** webView) {
    auto& controller = of<Controller>(self);
    controller.enter("get_CoreWebView2");
    if (webView == nullptr)
        return E_POINTER;
    if (controller.page_->closed()) {
        Ledger::instance().breach("ICoreWebView2Controller::get_CoreWebView2 called after Close");
        *webView = nullptr;
        return invalidState;
    }
    *webView = controller.webView_.give();
    return S_OK;
}

// --- Environment ---

const Vtable& Environment::vtable() {
    static const Vtable table =
        Vtable::make<environmentInterface>()
            .set(slotOf(environmentInterface, "CreateCoreWebView2Controller"), &createController)
            .set(slotOf(environmentInterface, "CreateWebResourceResponse"), &createWebResourceResponse);
    return table;
}

Environment::Environment(std::shared_ptr<Browser> browser)
    : ComObject(vtable(), "environment"), browser_(std::move(browser)) {}

Environment::~Environment() {
    // The host is done with the browser: what it left alive shows in this report already.
    browser_.reset();
    Ledger::instance().writeReport();
}

HRESULT STDMETHODCALLTYPE Environment::createController(void* self, HWND parent, IUnknown* handler) {
    auto& environment = of<Environment>(self);
    environment.enter("CreateCoreWebView2Controller");
    if (handler == nullptr)
        return E_INVALIDARG;
    if (!IsWindow(parent))
        return HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);
    void* asked = nullptr;
    if (FAILED(handler->QueryInterface(controllerCompletedHandlerIid, &asked)) || asked == nullptr)
        Ledger::instance().breach("the controller completion handler does not answer QueryInterface for its "
                                  "interface id");
    else
        static_cast<IUnknown*>(asked)->Release();
    RECT bounds{};
    GetClientRect(parent, &bounds);
    auto page = std::make_shared<Page>(environment.browser_);
    auto held = std::make_shared<HostReference>(handler);
    page->open(bounds, [page, held](HRESULT result) {
        if (FAILED(result)) {
            invokeHandler(held->get(), result, static_cast<void*>(nullptr));
            return;
        }
        auto controller = Owned<Controller>::adopt(new Controller(page));
        invokeHandler(held->get(), S_OK, controller->face());
    });
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Environment::createWebResourceResponse(void* self, IStream* content, int status,
                                                                 LPCWSTR reason, LPCWSTR headers,
                                                                 void** response) {
    of<Environment>(self).enter("CreateWebResourceResponse");
    if (response == nullptr)
        return E_POINTER;
    auto* made = new ResourceResponse(content, status, reason == nullptr ? L"" : reason,
                                      headers == nullptr ? L"" : headers);
    *response = made->face();
    return S_OK;
}

} // namespace standin
