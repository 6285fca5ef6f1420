#pragma once
// One web view's tab in the browser and everything between it and the host: navigation with the host's
// NavigationStarting deciding (a cancel fails it) and NavigationCompleted after the load; requests that
// match the host's filters paused and handed to its WebResourceRequested handlers, their response
// fulfilled back; the page's window.chrome.webview (a binding and a script run in every new document) to
// WebMessageReceived, and messages and scripts from the host evaluated in the page; new windows offered to
// NewWindowRequested and closed when handled. Runs on the window thread only.
#include "Browser.h"
#include "Handlers.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace standin {

class Page : public std::enable_shared_from_this<Page> {
public:
    explicit Page(std::shared_ptr<Browser> browser);
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;

    // Opens the tab and prepares it; `done` gets the outcome later, on the window thread.
    void open(const RECT& bounds, std::function<void(HRESULT)> done);

    void navigate(const std::wstring& uri);
    void addFilter(const std::wstring& pattern);
    void executeScript(const std::wstring& script, IUnknown* completedHandler);
    // E_INVALIDARG when the text is not JSON.
    HRESULT postJson(const std::wstring& json);
    void postString(const std::wstring& text);
    void setBounds(const RECT& bounds);
    // Closes the tab; no handler is called afterwards (they are all let go here).
    void close();
    bool closed() const { return closed_; }
    // The web view passed to handlers as their sender.
    void setSender(void* webView) { sender_ = webView; }

    void onEvent(const std::string& method, const nlohmann::json& params);
    void onBrowserEvent(const std::string& method, const nlohmann::json& params);

    HandlerList navigationStarting{"NavigationStarting", navigationStartingHandlerIid};
    HandlerList navigationCompleted{"NavigationCompleted", navigationCompletedHandlerIid};
    HandlerList webMessageReceived{"WebMessageReceived", webMessageReceivedHandlerIid};
    HandlerList newWindowRequested{"NewWindowRequested", newWindowRequestedHandlerIid};
    HandlerList webResourceRequested{"WebResourceRequested", webResourceRequestedHandlerIid};

private:
    void send(const std::string& method, nlohmann::json params, DevTools::Answer answer = {});
    template <typename Args> void raise(HandlerList& handlers, Args& args);
    void enableInterception();
    void onRequestPaused(const nlohmann::json& params);
    void serve(const std::string& requestId, const nlohmann::json& request);
    bool matchesFilter(const std::wstring& uri) const;
    bool raiseNavigationStarting(const std::wstring& uri);
    void raiseNavigationCompleted(bool success);
    void onWindowOpen(const nlohmann::json& params);
    void closeHandledNewWindows();

    std::shared_ptr<Browser> browser_;
    std::string targetId_;
    std::string session_;
    std::string mainFrame_;
    long long mainContext_ = -1;
    std::vector<std::wstring> filters_;
    void* sender_ = nullptr;
    bool closed_ = false;
    bool failNextNavigation_ = false;
    bool navigationPending_ = false;
    bool navigationSucceeded_ = false;
    std::deque<bool> newWindowDecisions_; // handled or not, per window the page asked for
    std::deque<std::string> newWindows_;  // tabs the page opened, not yet matched with a decision
};

} // namespace standin
