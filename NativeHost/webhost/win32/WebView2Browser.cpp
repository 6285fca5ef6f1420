#include "webhost/win32/WebView2Browser.h"

#include "webhost/win32/ComCallbacks.h"
#include "webhost/win32/ComReference.h"
#include "webhost/win32/WebView2Runtime.h"

#include <objbase.h>
#include <shlwapi.h>

#include <utility>

namespace kes::webview2 {

namespace {

// A string the runtime allocated for the host: copied, then freed; null counts as empty.
std::wstring takeString(LPWSTR text) {
    if (text == nullptr)
        return {};
    std::wstring copy(text);
    CoTaskMemFree(text);
    return copy;
}

class Response : public BrowserWebResourceResponse {
public:
    explicit Response(ComReference<ICoreWebView2WebResourceResponse> response)
        : response_(std::move(response)) {}
    ICoreWebView2WebResourceResponse* get() const { return response_.get(); }

private:
    ComReference<ICoreWebView2WebResourceResponse> response_;
};

class Settings : public BrowserSettings {
public:
    explicit Settings(ComReference<ICoreWebView2Settings> settings) : settings_(std::move(settings)) {}
    void setDevToolsEnabled(bool enabled) override {
        settings_->lpVtbl->put_AreDevToolsEnabled(settings_.get(), enabled ? TRUE : FALSE);
    }
    void setDefaultContextMenusEnabled(bool enabled) override {
        settings_->lpVtbl->put_AreDefaultContextMenusEnabled(settings_.get(), enabled ? TRUE : FALSE);
    }

private:
    ComReference<ICoreWebView2Settings> settings_;
};

// The event arguments, lent by the runtime for the length of one Invoke.

class ResourceRequest : public BrowserWebResourceRequest {
public:
    explicit ResourceRequest(ICoreWebView2WebResourceRequestedEventArgs* args) : args_(args) {
        args_->lpVtbl->get_Request(args_, request_.put());
    }
    ~ResourceRequest() override {
        if (content_ != nullptr)
            content_->Release();
    }
    ResourceRequest(const ResourceRequest&) = delete;
    ResourceRequest& operator=(const ResourceRequest&) = delete;

    std::wstring uri() override {
        LPWSTR text = nullptr;
        if (request_)
            request_->lpVtbl->get_Uri(request_.get(), &text);
        return takeString(text);
    }
    std::wstring method() override {
        LPWSTR text = nullptr;
        if (request_)
            request_->lpVtbl->get_Method(request_.get(), &text);
        return takeString(text);
    }
    std::size_t readContent(char* buffer, std::size_t capacity) override {
        if (!contentAsked_) {
            contentAsked_ = true;
            if (request_ && FAILED(request_->lpVtbl->get_Content(request_.get(), &content_)))
                content_ = nullptr;
        }
        if (content_ == nullptr || capacity == 0)
            return 0;
        ULONG read = 0;
        const HRESULT result = content_->Read(buffer, static_cast<ULONG>(capacity), &read);
        return FAILED(result) ? 0 : read;
    }
    BrowserResult setResponse(const std::shared_ptr<BrowserWebResourceResponse>& response) override {
        const auto* answer = dynamic_cast<const Response*>(response.get());
        if (answer == nullptr)
            return E_INVALIDARG;
        return args_->lpVtbl->put_Response(args_, answer->get());
    }

private:
    ICoreWebView2WebResourceRequestedEventArgs* args_;
    ComReference<ICoreWebView2WebResourceRequest> request_;
    IStream* content_ = nullptr;
    bool contentAsked_ = false;
};

class WebMessage : public BrowserWebMessage {
public:
    explicit WebMessage(ICoreWebView2WebMessageReceivedEventArgs* args) : args_(args) {}
    std::optional<std::wstring> tryGetWebMessageAsString() override {
        LPWSTR text = nullptr;
        const HRESULT result = args_->lpVtbl->TryGetWebMessageAsString(args_, &text);
        if (FAILED(result)) {
            takeString(text);
            return std::nullopt;
        }
        return takeString(text);
    }

private:
    ICoreWebView2WebMessageReceivedEventArgs* args_;
};

class NavigationStarting : public BrowserNavigationStarting {
public:
    explicit NavigationStarting(ICoreWebView2NavigationStartingEventArgs* args) : args_(args) {}
    std::wstring uri() override {
        LPWSTR text = nullptr;
        args_->lpVtbl->get_Uri(args_, &text);
        return takeString(text);
    }
    void cancel() override { args_->lpVtbl->put_Cancel(args_, TRUE); }

private:
    ICoreWebView2NavigationStartingEventArgs* args_;
};

class NewWindowRequest : public BrowserNewWindowRequest {
public:
    explicit NewWindowRequest(ICoreWebView2NewWindowRequestedEventArgs* args) : args_(args) {}
    void setHandled() override { args_->lpVtbl->put_Handled(args_, TRUE); }

private:
    ICoreWebView2NewWindowRequestedEventArgs* args_;
};

class NavigationCompleted : public BrowserNavigationCompleted {
public:
    explicit NavigationCompleted(ICoreWebView2NavigationCompletedEventArgs* args) : args_(args) {}
    bool isSuccess() override {
        BOOL success = FALSE;
        return SUCCEEDED(args_->lpVtbl->get_IsSuccess(args_, &success)) && success != FALSE;
    }

private:
    ICoreWebView2NavigationCompletedEventArgs* args_;
};

// Registers a handler object for one event; the runtime keeps its own reference for as long as it needs it.
template <typename Args, typename Wrapper, typename Handler, typename Add>
BrowserResult addHandler(ICoreWebView2* webView, const IID& iid, Handler handler, Add add) {
    auto callback =
        EventCallback<Args>::create(iid, [handler = std::move(handler)](ICoreWebView2*, Args* args) {
            if (args == nullptr)
                return E_INVALIDARG;
            Wrapper wrapped(args);
            return static_cast<HRESULT>(handler(wrapped));
        });
    EventRegistrationToken token{};
    return add(webView, callback.get(), &token);
}

class WebView : public BrowserWebView {
public:
    explicit WebView(ComReference<ICoreWebView2> webView) : webView_(std::move(webView)) {}

    BrowserResult addWebResourceRequestedFilter(const std::wstring& uriPattern) override {
        return vtbl().AddWebResourceRequestedFilter(webView_.get(), uriPattern.c_str(),
                                                    WebResourceContextAll);
    }
    BrowserResult addWebResourceRequested(WebResourceRequestedHandler handler) override {
        return addHandler<ICoreWebView2WebResourceRequestedEventArgs, ResourceRequest>(
            webView_.get(), iidWebResourceRequestedHandler, std::move(handler),
            vtbl().add_WebResourceRequested);
    }
    BrowserResult addWebMessageReceived(WebMessageReceivedHandler handler) override {
        return addHandler<ICoreWebView2WebMessageReceivedEventArgs, WebMessage>(
            webView_.get(), iidWebMessageReceivedHandler, std::move(handler), vtbl().add_WebMessageReceived);
    }
    BrowserResult addNavigationStarting(NavigationStartingHandler handler) override {
        return addHandler<ICoreWebView2NavigationStartingEventArgs, NavigationStarting>(
            webView_.get(), iidNavigationStartingHandler, std::move(handler), vtbl().add_NavigationStarting);
    }
    BrowserResult addNewWindowRequested(NewWindowRequestedHandler handler) override {
        return addHandler<ICoreWebView2NewWindowRequestedEventArgs, NewWindowRequest>(
            webView_.get(), iidNewWindowRequestedHandler, std::move(handler), vtbl().add_NewWindowRequested);
    }
    BrowserResult addNavigationCompleted(NavigationCompletedHandler handler) override {
        return addHandler<ICoreWebView2NavigationCompletedEventArgs, NavigationCompleted>(
            webView_.get(), iidNavigationCompletedHandler, std::move(handler),
            vtbl().add_NavigationCompleted);
    }
    std::shared_ptr<BrowserSettings> settings() override {
        ComReference<ICoreWebView2Settings> settings;
        if (FAILED(vtbl().get_Settings(webView_.get(), settings.put())) || !settings)
            return nullptr;
        return std::make_shared<Settings>(std::move(settings));
    }
    BrowserResult navigate(const std::wstring& uri) override {
        return vtbl().Navigate(webView_.get(), uri.c_str());
    }
    BrowserResult executeScript(const std::wstring& script) override {
        return vtbl().ExecuteScript(webView_.get(), script.c_str(), nullptr);
    }
    void postWebMessageAsJson(const std::wstring& json) override {
        vtbl().PostWebMessageAsJson(webView_.get(), json.c_str());
    }

private:
    const ICoreWebView2Vtbl& vtbl() const { return *webView_->lpVtbl; }
    ComReference<ICoreWebView2> webView_;
};

class Controller : public BrowserController {
public:
    explicit Controller(ComReference<ICoreWebView2Controller> controller)
        : controller_(std::move(controller)) {}

    std::shared_ptr<BrowserWebView> webView() override {
        ComReference<ICoreWebView2> webView;
        if (FAILED(controller_->lpVtbl->get_CoreWebView2(controller_.get(), webView.put())) || !webView)
            return nullptr;
        return std::make_shared<WebView>(std::move(webView));
    }
    void putBounds(const ClientRect& bounds) override {
        controller_->lpVtbl->put_Bounds(controller_.get(),
                                        RECT{bounds.left, bounds.top, bounds.right, bounds.bottom});
    }
    void close() override { controller_->lpVtbl->Close(controller_.get()); }

private:
    ComReference<ICoreWebView2Controller> controller_;
};

class Environment : public BrowserEnvironment {
public:
    explicit Environment(ComReference<ICoreWebView2Environment> environment)
        : environment_(std::move(environment)) {}

    BrowserResult createController(void* parentWindow, ControllerCompletedHandler handler) override {
        auto callback = ControllerCompletedCallback::create(
            iidControllerCompletedHandler,
            [handler = std::move(handler)](HRESULT result, ICoreWebView2Controller* controller) {
                return static_cast<HRESULT>(handler(result, wrapController(controller)));
            });
        return environment_->lpVtbl->CreateCoreWebView2Controller(
            environment_.get(), static_cast<HWND>(parentWindow), callback.get());
    }

    std::shared_ptr<BrowserWebResourceResponse>
    createWebResourceResponse(const std::string& body, int status, const std::wstring& reasonPhrase,
                              const std::wstring& headers) override {
        IStream* stream =
            SHCreateMemStream(reinterpret_cast<const BYTE*>(body.data()), static_cast<UINT>(body.size()));
        if (stream == nullptr)
            return nullptr;
        ComReference<ICoreWebView2WebResourceResponse> response;
        const HRESULT result = environment_->lpVtbl->CreateWebResourceResponse(
            environment_.get(), stream, status, reasonPhrase.c_str(), headers.c_str(), response.put());
        stream->Release();
        if (FAILED(result) || !response)
            return nullptr;
        return std::make_shared<Response>(std::move(response));
    }

private:
    ComReference<ICoreWebView2Environment> environment_;
};

} // namespace

std::shared_ptr<BrowserEnvironment> wrapEnvironment(ICoreWebView2Environment* environment) {
    if (environment == nullptr)
        return nullptr;
    return std::make_shared<Environment>(ComReference<ICoreWebView2Environment>::share(environment));
}

std::shared_ptr<BrowserController> wrapController(ICoreWebView2Controller* controller) {
    if (controller == nullptr)
        return nullptr;
    return std::make_shared<Controller>(ComReference<ICoreWebView2Controller>::share(controller));
}

std::shared_ptr<BrowserWebView> wrapWebView(ICoreWebView2* webView) {
    if (webView == nullptr)
        return nullptr;
    return std::make_shared<WebView>(ComReference<ICoreWebView2>::share(webView));
}

BrowserResult createEnvironmentThrough(CreateEnvironmentEntryPoint entryPoint,
                                       const std::filesystem::path& userDataFolder,
                                       kes::EnvironmentCompletedHandler handler) {
    auto callback = EnvironmentCompletedCallback::create(
        iidEnvironmentCompletedHandler,
        [handler = std::move(handler)](HRESULT result, ICoreWebView2Environment* environment) {
            return static_cast<HRESULT>(handler(result, wrapEnvironment(environment)));
        });
    const std::wstring folder = userDataFolder.wstring();
    return entryPoint(true, installedRuntimeKind, folder.empty() ? nullptr : folder.c_str(), nullptr,
                      callback.get());
}

BrowserResult WebView2Loader::createEnvironment(const std::filesystem::path& userDataFolder,
                                                kes::EnvironmentCompletedHandler handler) {
    const auto runtime = findInstalledWebView2Runtime();
    if (!runtime)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    // Kept loaded: the environment and everything made from it live in this library.
    HMODULE library = LoadLibraryExW(runtime->clientLibrary.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr)
        return HRESULT_FROM_WIN32(GetLastError());
    // Through a plain function pointer type: the exported symbol's own type is not the entry point's.
    const auto entryPoint = reinterpret_cast<CreateEnvironmentEntryPoint>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, environmentEntryPoint)));
    if (entryPoint == nullptr)
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return createEnvironmentThrough(entryPoint, userDataFolder, std::move(handler));
}

} // namespace kes::webview2
