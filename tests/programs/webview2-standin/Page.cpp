#include "Page.h"

#include "BridgeScript.h"
#include "EventArgs.h"

namespace standin {

namespace {

using nlohmann::json;

// The runtime's filter syntax: "*" matches any run of characters, everything else itself.
bool wildcardMatch(const std::wstring& pattern, const std::wstring& text) {
    std::size_t p = 0, t = 0, star = std::wstring::npos, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::wstring::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

// The same pattern for the DevTools Fetch domain, where "?" and "\" are special too.
std::string fetchPattern(const std::wstring& pattern) {
    std::string result;
    for (const char c : utf8(pattern)) {
        if (c == '?' || c == '\\')
            result += '\\';
        result += c;
    }
    return result;
}

// "Name: value" lines, as the host writes response headers.
json headerList(const std::wstring& headers) {
    json list = json::array();
    const std::string text = utf8(headers);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto colon = line.find(':');
        if (colon != std::string::npos) {
            std::size_t value = colon + 1;
            while (value < line.size() && line[value] == ' ')
                ++value;
            list.push_back({{"name", line.substr(0, colon)}, {"value", line.substr(value)}});
        }
        start = end + 1;
    }
    return list;
}

bool environmentFlag(const wchar_t* name) {
    wchar_t value[8] = {};
    return GetEnvironmentVariableW(name, value, 8) > 0 && value[0] == L'1';
}

} // namespace

Page::Page(std::shared_ptr<Browser> browser)
    : browser_(std::move(browser)), failNextNavigation_(environmentFlag(L"KES_WEBVIEW2_FAIL_NAVIGATION")) {}

Page::~Page() {
    if (!closed_) {
        Ledger::instance().count("web views closed by their last release");
        close();
    }
}

void Page::send(const std::string& method, json params, DevTools::Answer answer) {
    browser_->devTools().command(method, std::move(params), session_, std::move(answer));
}

void Page::open(const RECT& bounds, std::function<void(HRESULT)> done) {
    const std::weak_ptr<Page> weak = weak_from_this();
    auto fail = [done](const std::string& step, const json& error) {
        say(step + " failed: " + error.dump());
        done(E_FAIL);
    };
    auto prepared = [weak, done, fail](const json& tree, const json* treeError) {
        const auto page = weak.lock();
        if (!page)
            return;
        if (treeError != nullptr)
            return fail("Page.getFrameTree", *treeError);
        page->mainFrame_ = tree["frameTree"]["frame"].value("id", page->mainFrame_);
        done(S_OK);
    };
    auto attached = [weak, bounds, fail, prepared](const json& session, const json* attachError) {
        const auto page = weak.lock();
        if (!page)
            return;
        if (attachError != nullptr)
            return fail("Target.attachToTarget", *attachError);
        page->session_ = session.value("sessionId", "");
        page->browser_->attach(page->session_, weak);
        page->send("Page.enable", json::object());
        page->send("Runtime.enable", json::object());
        page->send("Runtime.addBinding", {{"name", bindingName}});
        page->send("Page.addScriptToEvaluateOnNewDocument", {{"source", bridgeScript}});
        page->enableInterception();
        page->setBounds(bounds);
        page->send("Page.getFrameTree", json::object(), prepared);
    };
    browser_->devTools().command("Target.createTarget", {{"url", "about:blank"}}, {},
                                 [weak, fail, attached](const json& created, const json* createError) {
                                     const auto page = weak.lock();
                                     if (!page)
                                         return;
                                     if (createError != nullptr)
                                         return fail("Target.createTarget", *createError);
                                     page->targetId_ = created.value("targetId", "");
                                     page->mainFrame_ = page->targetId_;
                                     page->browser_->devTools().command(
                                         "Target.attachToTarget",
                                         {{"targetId", page->targetId_}, {"flatten", true}}, {}, attached);
                                 });
}

void Page::enableInterception() {
    // Every document of this tab, for the navigation policy, and whatever the host's filters name.
    json patterns =
        json::array({{{"urlPattern", "*"}, {"resourceType", "Document"}, {"requestStage", "Request"}}});
    for (const auto& filter : filters_)
        patterns.push_back({{"urlPattern", fetchPattern(filter)}, {"requestStage", "Request"}});
    send("Fetch.enable", {{"patterns", patterns}});
}

void Page::navigate(const std::wstring& uri) {
    const std::weak_ptr<Page> weak = weak_from_this();
    send("Page.navigate", {{"url", utf8(uri)}}, [weak](const json& result, const json* error) {
        const auto page = weak.lock();
        if (!page)
            return;
        const std::string failure = error != nullptr ? error->dump() : result.value("errorText", "");
        // A cancelled navigation was reported already; any other failure ends the one under way.
        if (!failure.empty() && page->navigationPending_)
            page->raiseNavigationCompleted(false);
    });
}

void Page::addFilter(const std::wstring& pattern) {
    filters_.push_back(pattern);
    enableInterception();
}

void Page::executeScript(const std::wstring& script, IUnknown* completedHandler) {
    const std::weak_ptr<Page> weak = weak_from_this();
    auto handler = std::make_shared<HostReference>(completedHandler);
    send("Runtime.evaluate", {{"expression", utf8(script)}, {"returnByValue", true}},
         [weak, handler](const json& result, const json* error) {
             const auto page = weak.lock();
             Ledger::instance().count(error == nullptr && !result.contains("exceptionDetails")
                                          ? "scripts run"
                                          : "scripts that failed");
             if (!page || page->closed_ || !*handler)
                 return;
             const json value = result.contains("result") ? result["result"].value("value", json()) : json();
             const std::wstring text = wide(value.dump());
             invokeHandler(handler->get(), error == nullptr ? S_OK : E_FAIL, text.c_str());
         });
}

HRESULT Page::postJson(const std::wstring& text) {
    const std::string message = utf8(text);
    try {
        if (json::parse(message).is_discarded())
            return E_INVALIDARG;
    } catch (const std::exception&) {
        return E_INVALIDARG;
    }
    send("Runtime.evaluate",
         {{"expression", std::string("globalThis.") + deliverFunction + " ? globalThis." + deliverFunction +
                             "(" + message + ") : false"},
          {"returnByValue", true}},
         [](const json& result, const json* error) {
             const bool delivered = error == nullptr && result.contains("result") &&
                                    result["result"].value("value", false) == true;
             Ledger::instance().count(delivered ? "web messages delivered" : "web messages not delivered");
         });
    return S_OK;
}

void Page::postString(const std::wstring& text) {
    postJson(wide(json(utf8(text)).dump()));
}

void Page::setBounds(const RECT& bounds) {
    const long width = bounds.right - bounds.left;
    const long height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0)
        return; // hidden or minimised: the page keeps its last size
    Ledger::instance().setValue("bounds", {width, height});
    send("Emulation.setDeviceMetricsOverride",
         {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}});
}

void Page::close() {
    if (closed_)
        return;
    closed_ = true;
    for (HandlerList* list : {&navigationStarting, &navigationCompleted, &webMessageReceived,
                              &newWindowRequested, &webResourceRequested})
        list->clear();
    if (!targetId_.empty())
        browser_->devTools().command("Target.closeTarget", {{"targetId", targetId_}});
    browser_->detach(session_);
}

template <typename Args> void Page::raise(HandlerList& handlers, Args& args) {
    Ledger::instance().count(std::string(handlers.event()) + " raised");
    for (const HostReference& handler : handlers.current()) {
        if (closed_ || sender_ == nullptr)
            return;
        invokeHandler(handler.get(), sender_, args.face());
    }
}

void Page::onEvent(const std::string& method, const json& params) {
    if (closed_)
        return;
    const auto keep = shared_from_this(); // a handler may let the web view go
    if (method == "Fetch.requestPaused") {
        onRequestPaused(params);
    } else if (method == "Runtime.executionContextCreated") {
        const json& context = params["context"];
        const json aux = context.value("auxData", json::object());
        if (aux.value("frameId", "") == mainFrame_ && aux.value("isDefault", false))
            mainContext_ = context.value("id", -1LL);
    } else if (method == "Runtime.bindingCalled") {
        if (params.value("name", "") != bindingName)
            return;
        if (params.value("executionContextId", -2LL) != mainContext_) {
            Ledger::instance().count("web messages from frames ignored");
            return;
        }
        auto args = Owned<WebMessageArgs>::adopt(new WebMessageArgs(params.value("payload", "")));
        raise(webMessageReceived, *args);
    } else if (method == "Page.frameNavigated") {
        const json& frame = params["frame"];
        if (!frame.contains("parentId") && frame.value("id", "") == mainFrame_)
            navigationSucceeded_ = !frame.contains("unreachableUrl");
    } else if (method == "Page.loadEventFired") {
        if (navigationPending_)
            raiseNavigationCompleted(navigationSucceeded_);
    } else if (method == "Page.windowOpen") {
        onWindowOpen(params);
    }
}

void Page::onBrowserEvent(const std::string& method, const json& params) {
    if (closed_ || method != "Target.targetCreated")
        return;
    const json& target = params["targetInfo"];
    if (target.value("openerId", "") != targetId_ || target.value("type", "") != "page")
        return;
    newWindows_.push_back(target.value("targetId", ""));
    closeHandledNewWindows();
}

void Page::onWindowOpen(const json& params) {
    auto args = Owned<NewWindowArgs>::adopt(new NewWindowArgs(wide(params.value("url", ""))));
    raise(newWindowRequested, *args);
    newWindowDecisions_.push_back(args->handled());
    closeHandledNewWindows();
}

void Page::closeHandledNewWindows() {
    while (!newWindowDecisions_.empty() && !newWindows_.empty()) {
        const bool handled = newWindowDecisions_.front();
        newWindowDecisions_.pop_front();
        const std::string target = newWindows_.front();
        newWindows_.pop_front();
        if (handled) {
            browser_->devTools().command("Target.closeTarget", {{"targetId", target}});
            Ledger::instance().count("new windows closed as handled");
        } else {
            Ledger::instance().count("new windows left open");
        }
    }
}

void Page::onRequestPaused(const json& params) {
    const std::string requestId = params.value("requestId", "");
    const json& request = params["request"];
    const std::wstring uri = wide(request.value("url", ""));
    const bool navigation =
        params.value("resourceType", "") == "Document" && params.value("frameId", "") == mainFrame_;
    if (navigation) {
        if (failNextNavigation_) {
            failNextNavigation_ = false;
            Ledger::instance().count("navigations failed on purpose");
            send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "ConnectionFailed"}});
            navigationPending_ = true;
            raiseNavigationCompleted(false);
            return;
        }
        if (raiseNavigationStarting(uri)) {
            Ledger::instance().count("NavigationStarting cancelled");
            send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Aborted"}});
            navigationPending_ = true;
            raiseNavigationCompleted(false);
            return;
        }
        if (closed_)
            return;
        navigationPending_ = true;
        navigationSucceeded_ = false;
    }
    if (matchesFilter(uri))
        serve(requestId, request);
    else
        send("Fetch.continueRequest", {{"requestId", requestId}});
}

bool Page::matchesFilter(const std::wstring& uri) const {
    for (const auto& filter : filters_)
        if (wildcardMatch(filter, uri))
            return true;
    return false;
}

void Page::serve(const std::string& requestId, const json& request) {
    std::string body;
    const bool hasBody = request.value("hasPostData", false);
    if (request.contains("postDataEntries")) {
        for (const auto& entry : request["postDataEntries"])
            body += base64Decode(entry.value("bytes", ""));
    } else if (request.contains("postData")) {
        body = request["postData"].get<std::string>();
    } else if (hasBody) {
        Ledger::instance().count("request content the browser did not give");
    }
    auto resourceRequest = Owned<ResourceRequest>::adopt(new ResourceRequest(
        wide(request.value("url", "")), wide(request.value("method", "GET")), std::move(body), hasBody));
    auto args = Owned<ResourceRequestedArgs>::adopt(new ResourceRequestedArgs(std::move(resourceRequest)));
    raise(webResourceRequested, *args);
    if (closed_)
        return;
    const ResourceResponse* response = args->response();
    if (response == nullptr) {
        Ledger::instance().count("WebResourceRequested left unanswered");
        send("Fetch.continueRequest", {{"requestId", requestId}});
        return;
    }
    json fulfil{{"requestId", requestId},
                {"responseCode", response->status()},
                {"responseHeaders", headerList(response->headers())},
                {"body", base64Encode(response->readContent())}};
    if (!response->reason().empty())
        fulfil["responsePhrase"] = utf8(response->reason());
    Ledger::instance().count("WebResourceRequested answered with " + std::to_string(response->status()));
    send("Fetch.fulfillRequest", std::move(fulfil));
}

bool Page::raiseNavigationStarting(const std::wstring& uri) {
    auto args = Owned<NavigationStartingArgs>::adopt(new NavigationStartingArgs(uri));
    raise(navigationStarting, *args);
    return args->cancelled();
}

void Page::raiseNavigationCompleted(bool success) {
    navigationPending_ = false;
    auto args = Owned<NavigationCompletedArgs>::adopt(new NavigationCompletedArgs(success));
    Ledger::instance().count(success ? "navigations completed" : "navigations failed");
    raise(navigationCompleted, *args);
}

} // namespace standin
