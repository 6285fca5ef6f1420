#include "webhost/gtk/WebKitBrowser.h"

#include "platform/TextConversion.h"
#include "webhost/gtk/SchemeAddress.h"

#include <gtk/gtk.h>
#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace kes {
namespace {

constexpr const char* messageChannel = "kestrava";

// Runs before any script of the page. The page posts strings (or, in error, other values) through
// window.chrome.webview.postMessage and listens for "message" events whose data is the host's JSON, parsed.
constexpr const char* bridgeScript = R"JS((() => {
  const channel = window.webkit.messageHandlers.kestrava;
  const listeners = [];
  const webview = {
    postMessage(message) { channel.postMessage(message); },
    addEventListener(type, listener) {
      if (type === 'message' && typeof listener === 'function' && !listeners.includes(listener)) listeners.push(listener);
    },
    removeEventListener(type, listener) {
      const at = listeners.indexOf(listener);
      if (type === 'message' && at >= 0) listeners.splice(at, 1);
    },
  };
  Object.defineProperty(webview, '__kestravaDeliver', {
    value(data) {
      for (const listener of listeners.slice()) {
        try { listener.call(webview, { data, type: 'message' }); } catch (error) { setTimeout(() => { throw error; }); }
      }
    },
  });
  window.chrome = window.chrome || {};
  Object.defineProperty(window.chrome, 'webview', { value: Object.freeze(webview), enumerable: true });
})();)JS";

std::string utf8(const std::wstring& text) {
    return toUtf8(text);
}

std::wstring wide(const char* text) {
    if (text == nullptr)
        return {};
    try {
        return toWide(text);
    } catch (const std::exception&) {
        return {}; // an address that is not UTF-8 counts as none
    }
}

class WebKitResponse final : public BrowserWebResourceResponse {
public:
    std::string body;
    int status = 200;
    std::string reason;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string contentType;
};

class WebKitRequest final : public BrowserWebResourceRequest {
public:
    explicit WebKitRequest(WebKitURISchemeRequest* request)
        : request_(WEBKIT_URI_SCHEME_REQUEST(g_object_ref(request))),
          body_(webkit_uri_scheme_request_get_http_body(request_)) {} // a new reference, or none
    ~WebKitRequest() override {
        if (!finished_) {
            GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_FAILED, "no answer");
            webkit_uri_scheme_request_finish_error(request_, error);
            g_error_free(error);
        }
        if (body_ != nullptr)
            g_object_unref(body_);
        g_object_unref(request_);
    }
    WebKitRequest(const WebKitRequest&) = delete;
    WebKitRequest& operator=(const WebKitRequest&) = delete;

    std::wstring uri() override { return hostAddress(wide(webkit_uri_scheme_request_get_uri(request_))); }
    std::wstring method() override {
        const char* method = webkit_uri_scheme_request_get_http_method(request_);
        return wide(method != nullptr ? method : "GET");
    }
    std::size_t readContent(char* buffer, std::size_t capacity) override {
        if (body_ == nullptr)
            return 0;
        gsize read = 0;
        GError* error = nullptr;
        const gboolean complete = g_input_stream_read_all(body_, buffer, capacity, &read, nullptr, &error);
        if (error != nullptr)
            g_error_free(error);
        return complete ? read : 0;
    }
    BrowserResult setResponse(const std::shared_ptr<BrowserWebResourceResponse>& response) override {
        const auto* answer = dynamic_cast<const WebKitResponse*>(response.get());
        if (answer == nullptr || finished_)
            return browserInvalidPointer;
        GBytes* bytes = g_bytes_new(answer->body.data(), answer->body.size());
        GInputStream* stream = g_memory_input_stream_new_from_bytes(bytes);
        g_bytes_unref(bytes);
        WebKitURISchemeResponse* reply =
            webkit_uri_scheme_response_new(stream, static_cast<gint64>(answer->body.size()));
        g_object_unref(stream);
        webkit_uri_scheme_response_set_status(reply, static_cast<guint>(answer->status),
                                              answer->reason.c_str());
        if (!answer->contentType.empty())
            webkit_uri_scheme_response_set_content_type(reply, answer->contentType.c_str());
        SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
        for (const auto& [name, value] : answer->headers)
            soup_message_headers_append(headers, name.c_str(), value.c_str());
        webkit_uri_scheme_response_set_http_headers(reply, headers);
        webkit_uri_scheme_request_finish_with_response(request_, reply);
        g_object_unref(reply);
        finished_ = true;
        return browserOk;
    }

private:
    WebKitURISchemeRequest* request_;
    GInputStream* body_;
    bool finished_ = false;
};

class WebKitMessage final : public BrowserWebMessage {
public:
    explicit WebKitMessage(std::optional<std::wstring> text) : text_(std::move(text)) {}
    std::optional<std::wstring> tryGetWebMessageAsString() override { return text_; }

private:
    std::optional<std::wstring> text_;
};

class WebKitNavigation final : public BrowserNavigationStarting {
public:
    explicit WebKitNavigation(std::wstring uri) : uri_(std::move(uri)) {}
    std::wstring uri() override { return uri_; }
    void cancel() override { cancelled = true; }
    bool cancelled = false;

private:
    std::wstring uri_;
};

class WebKitNewWindow final : public BrowserNewWindowRequest {
public:
    void setHandled() override {}
};

class WebKitCompleted final : public BrowserNavigationCompleted {
public:
    explicit WebKitCompleted(bool success) : success_(success) {}
    bool isSuccess() override { return success_; }

private:
    bool success_;
};

class WebKitSettingsBinding final : public BrowserSettings {
public:
    WebKitSettingsBinding(WebKitWebView* view, bool& contextMenus)
        : view_(view), contextMenus_(contextMenus) {}
    void setDevToolsEnabled(bool enabled) override {
        webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(view_),
                                                    enabled ? TRUE : FALSE);
    }
    void setDefaultContextMenusEnabled(bool enabled) override { contextMenus_ = enabled; }

private:
    WebKitWebView* view_;
    bool& contextMenus_;
};

// The page: one WebKitWebView in the host's window, with the host's handlers.
class WebKitPage final : public BrowserWebView {
public:
    WebKitPage(WebKitWebContext* context, GtkWidget* window, std::function<void(const std::string&)> observe)
        : observe_(std::move(observe)) {
        WebKitUserContentManager* content = webkit_user_content_manager_new();
        g_signal_connect(content, "script-message-received::kestrava",
                         G_CALLBACK(&WebKitPage::onScriptMessage), this);
        webkit_user_content_manager_register_script_message_handler(content, messageChannel);
        WebKitUserScript* bridge =
            webkit_user_script_new(bridgeScript, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                   WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
        webkit_user_content_manager_add_script(content, bridge);
        webkit_user_script_unref(bridge);
        view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context,
                                             "user-content-manager", content, nullptr));
        g_object_unref(content);
        g_object_ref_sink(view_);
        g_signal_connect(view_, "decide-policy", G_CALLBACK(&WebKitPage::onDecidePolicy), this);
        g_signal_connect(view_, "create", G_CALLBACK(&WebKitPage::onCreate), this);
        g_signal_connect(view_, "context-menu", G_CALLBACK(&WebKitPage::onContextMenu), this);
        g_signal_connect(view_, "load-changed", G_CALLBACK(&WebKitPage::onLoadChanged), this);
        g_signal_connect(view_, "load-failed", G_CALLBACK(&WebKitPage::onLoadFailed), this);
        gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view_));
        gtk_widget_show(GTK_WIDGET(view_));
    }
    ~WebKitPage() override { close(); }
    WebKitPage(const WebKitPage&) = delete;
    WebKitPage& operator=(const WebKitPage&) = delete;

    // A request of the page scheme: to the resource handler when it passes the filter, else refused.
    void serve(WebKitURISchemeRequest* schemeRequest) {
        auto request = std::make_unique<WebKitRequest>(schemeRequest);
        const std::wstring address = request->uri();
        bool filtered = false;
        for (const std::wstring& pattern : filters_)
            filtered = filtered || matchesRequestFilter(pattern, address);
        if (filtered && resourceHandler_)
            resourceHandler_(*request);
        // Without an answer the request's destructor refuses it.
    }

    // BrowserWebView
    BrowserResult addWebResourceRequestedFilter(const std::wstring& pattern) override {
        filters_.push_back(pattern);
        return browserOk;
    }
    BrowserResult addWebResourceRequested(WebResourceRequestedHandler handler) override {
        resourceHandler_ = std::move(handler);
        return browserOk;
    }
    BrowserResult addWebMessageReceived(WebMessageReceivedHandler handler) override {
        messageHandlers_.push_back(std::move(handler));
        return browserOk;
    }
    BrowserResult addNavigationStarting(NavigationStartingHandler handler) override {
        navigationHandlers_.push_back(std::move(handler));
        return browserOk;
    }
    BrowserResult addNewWindowRequested(NewWindowRequestedHandler handler) override {
        newWindowHandlers_.push_back(std::move(handler));
        return browserOk;
    }
    BrowserResult addNavigationCompleted(NavigationCompletedHandler handler) override {
        completedHandlers_.push_back(std::move(handler));
        return browserOk;
    }
    std::shared_ptr<BrowserSettings> settings() override {
        if (view_ == nullptr)
            return nullptr;
        return std::make_shared<WebKitSettingsBinding>(view_, contextMenus_);
    }
    BrowserResult navigate(const std::wstring& uri) override {
        if (view_ == nullptr)
            return browserFailure;
        webkit_web_view_load_uri(view_, utf8(browserAddress(uri)).c_str());
        return browserOk;
    }
    BrowserResult executeScript(const std::wstring& script) override {
        if (view_ == nullptr)
            return browserFailure;
        const std::string text = utf8(script);
        webkit_web_view_evaluate_javascript(view_, text.c_str(), static_cast<gssize>(text.size()), nullptr,
                                            nullptr, nullptr, nullptr, nullptr);
        return browserOk;
    }
    void postWebMessageAsJson(const std::wstring& json) override {
        if (view_ == nullptr)
            return;
        const std::string script = "window.chrome.webview.__kestravaDeliver(" + utf8(json) + ");";
        webkit_web_view_evaluate_javascript(view_, script.c_str(), static_cast<gssize>(script.size()),
                                            nullptr, nullptr, nullptr, nullptr, nullptr);
    }

    // The web view is the window's only child: the window's layout gives it the whole client area, on every
    // size change too, so there are no bounds to set.
    void putBounds(const ClientRect&) {}
    void close() {
        if (view_ == nullptr)
            return;
        g_signal_handlers_disconnect_by_data(view_, this);
        gtk_widget_destroy(GTK_WIDGET(view_));
        g_object_unref(view_);
        view_ = nullptr;
    }

private:
    static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, WebKitPage* page) {
        JSCValue* value = webkit_javascript_result_get_js_value(result);
        std::optional<std::wstring> text;
        if (jsc_value_is_string(value)) {
            char* string = jsc_value_to_string(value);
            try {
                text = toWide(string != nullptr ? string : "");
            } catch (const std::exception&) {
                text = std::nullopt; // cannot happen for a JavaScript string; treated as no string
            }
            if (string != nullptr && page->observe_ && text)
                page->observe_(string);
            g_free(string);
        }
        for (const auto& handler : page->messageHandlers_) {
            WebKitMessage message(text);
            handler(message);
        }
    }

    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, WebKitPage* page) {
        if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
            WebKitNewWindow request;
            for (const auto& handler : page->newWindowHandlers_)
                handler(request);
            webkit_policy_decision_ignore(decision); // a new window is never opened
            return TRUE;
        }
        if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
            return FALSE;
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        WebKitURIRequest* target = webkit_navigation_action_get_request(action);
        WebKitNavigation navigation(hostAddress(wide(webkit_uri_request_get_uri(target))));
        for (const auto& handler : page->navigationHandlers_)
            handler(navigation);
        if (navigation.cancelled || page->navigationHandlers_.empty()) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        webkit_policy_decision_use(decision);
        return TRUE;
    }

    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, WebKitPage*) { return nullptr; }

    static gboolean onContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                  WebKitPage* page) {
        return page->contextMenus_ ? FALSE : TRUE;
    }

    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, WebKitPage* page) {
        if (event == WEBKIT_LOAD_STARTED)
            page->loadFailed_ = false;
        if (event == WEBKIT_LOAD_FINISHED && !page->loadFailed_)
            page->completed(true);
    }

    static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, WebKitPage* page) {
        page->loadFailed_ = true;
        page->completed(false);
        return FALSE;
    }

    void completed(bool success) {
        WebKitCompleted navigation(success);
        for (const auto& handler : completedHandlers_)
            handler(navigation);
    }

    WebKitWebView* view_ = nullptr;
    std::function<void(const std::string&)> observe_;
    std::vector<std::wstring> filters_;
    WebResourceRequestedHandler resourceHandler_;
    std::vector<WebMessageReceivedHandler> messageHandlers_;
    std::vector<NavigationStartingHandler> navigationHandlers_;
    std::vector<NewWindowRequestedHandler> newWindowHandlers_;
    std::vector<NavigationCompletedHandler> completedHandlers_;
    bool contextMenus_ = true;
    bool loadFailed_ = false;
};

// The controller hands out the page as its web view; both names refer to one object.
class WebKitController final : public BrowserController {
public:
    explicit WebKitController(std::shared_ptr<WebKitPage> page) : page_(std::move(page)) {}
    std::shared_ptr<BrowserWebView> webView() override { return page_; }
    void putBounds(const ClientRect& bounds) override { page_->putBounds(bounds); }
    void close() override { page_->close(); }

private:
    std::shared_ptr<WebKitPage> page_;
};

// Runs a completion on the next turn of the main loop, as the browser's asynchronous creation would.
void later(std::function<void()> work) {
    auto* task = new std::function<void()>(std::move(work));
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        task, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

class WebKitEnvironment final : public BrowserEnvironment,
                                public std::enable_shared_from_this<WebKitEnvironment> {
public:
    WebKitEnvironment(const std::filesystem::path& userDataFolder,
                      std::function<void(const std::string&)> observe)
        : observe_(std::move(observe)) {
        const std::string base = userDataFolder.string();
        WebKitWebsiteDataManager* data =
            webkit_website_data_manager_new("base-data-directory", (base + "/data").c_str(),
                                            "base-cache-directory", (base + "/cache").c_str(), nullptr);
        context_ = webkit_web_context_new_with_website_data_manager(data);
        g_object_unref(data);
        WebKitSecurityManager* security = webkit_web_context_get_security_manager(context_);
        webkit_security_manager_register_uri_scheme_as_secure(security, pageScheme);
        webkit_security_manager_register_uri_scheme_as_cors_enabled(security, pageScheme);
        webkit_web_context_register_uri_scheme(context_, pageScheme, &WebKitEnvironment::onSchemeRequest,
                                               this, nullptr);
    }
    ~WebKitEnvironment() override {
        page_.reset();
        g_object_unref(context_);
    }
    WebKitEnvironment(const WebKitEnvironment&) = delete;
    WebKitEnvironment& operator=(const WebKitEnvironment&) = delete;

    BrowserResult createController(void* parentWindow, ControllerCompletedHandler handler) override {
        if (parentWindow == nullptr || page_)
            return browserFailure;
        page_ = std::make_shared<WebKitPage>(context_, static_cast<GtkWidget*>(parentWindow), observe_);
        std::weak_ptr<WebKitEnvironment> self = weak_from_this();
        later([self, handler = std::move(handler)] {
            if (const auto environment = self.lock())
                handler(browserOk, std::make_shared<WebKitController>(environment->page_));
        });
        return browserOk;
    }

    std::shared_ptr<BrowserWebResourceResponse>
    createWebResourceResponse(const std::string& body, int status, const std::wstring& reason,
                              const std::wstring& headers) override {
        auto response = std::make_shared<WebKitResponse>();
        response->body = body;
        response->status = status;
        response->reason = utf8(reason);
        const std::string text = utf8(headers);
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = text.substr(start, end - start);
            const std::size_t colon = line.find(": ");
            if (colon != std::string::npos) {
                const std::string name = line.substr(0, colon);
                const std::string value = line.substr(colon + 2);
                if (name == "Content-Type")
                    response->contentType = value;
                response->headers.emplace_back(name, value);
            }
            start = end + 2;
        }
        return response;
    }

private:
    static void onSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
        auto* environment = static_cast<WebKitEnvironment*>(data);
        if (environment->page_) {
            environment->page_->serve(request);
            return;
        }
        GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no page");
        webkit_uri_scheme_request_finish_error(request, error);
        g_error_free(error);
    }

    WebKitWebContext* context_ = nullptr;
    std::shared_ptr<WebKitPage> page_;
    std::function<void(const std::string&)> observe_;
};

class WebKitLoader final : public BrowserLoader {
public:
    explicit WebKitLoader(std::function<void(const std::string&)> observe) : observe_(std::move(observe)) {}
    BrowserResult createEnvironment(const std::filesystem::path& userDataFolder,
                                    EnvironmentCompletedHandler handler) override {
        auto environment = std::make_shared<WebKitEnvironment>(userDataFolder, observe_);
        later([environment, handler = std::move(handler)] { handler(browserOk, environment); });
        return browserOk;
    }

private:
    std::function<void(const std::string&)> observe_;
};

} // namespace

std::unique_ptr<BrowserLoader> makeWebKitLoader(std::function<void(const std::string& text)> observeMessage) {
    return std::make_unique<WebKitLoader>(std::move(observeMessage));
}

} // namespace kes
