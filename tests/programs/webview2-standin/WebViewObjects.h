#pragma once
// The environment, controller, web view and settings objects the host holds.
#include "Browser.h"
#include "ComObject.h"
#include "Page.h"

#include <memory>

namespace standin {

class Settings : public ComObject {
public:
    Settings();

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE putAreDevToolsEnabled(void* self, BOOL enabled);
    static HRESULT STDMETHODCALLTYPE putAreDefaultContextMenusEnabled(void* self, BOOL enabled);
};

class WebView : public ComObject {
public:
    explicit WebView(std::shared_ptr<Page> page);
    ~WebView() override;

private:
    static const Vtable& vtable();
    // Every call after Close is a breach and fails as the runtime fails it.
    static WebView* open(void* self, const char* method);
    static HRESULT STDMETHODCALLTYPE getSettings(void* self, void** settings);
    static HRESULT STDMETHODCALLTYPE navigate(void* self, LPCWSTR uri);
    static HRESULT STDMETHODCALLTYPE executeScript(void* self, LPCWSTR script, IUnknown* handler);
    static HRESULT STDMETHODCALLTYPE postWebMessageAsJson(void* self, LPCWSTR json);
    static HRESULT STDMETHODCALLTYPE postWebMessageAsString(void* self, LPCWSTR text);
    static HRESULT STDMETHODCALLTYPE addWebResourceRequestedFilter(void* self, LPCWSTR uri, int context);
    template <HandlerList Page::*List, const char* Name>
    static HRESULT STDMETHODCALLTYPE addHandler(void* self, IUnknown* handler, INT64* token);
    template <HandlerList Page::*List, const char* Name>
    static HRESULT STDMETHODCALLTYPE removeHandler(void* self, INT64 token);

    std::shared_ptr<Page> page_;
    Owned<Settings> settings_;
};

class Controller : public ComObject {
public:
    explicit Controller(std::shared_ptr<Page> page);

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE putBounds(void* self, RECT bounds);
    static HRESULT STDMETHODCALLTYPE close(void* self);
    static HRESULT STDMETHODCALLTYPE getCoreWebView2(void* self, void** webView);

    std::shared_ptr<Page> page_;
    Owned<WebView> webView_;
};

class Environment : public ComObject {
public:
    explicit Environment(std::shared_ptr<Browser> browser);
    ~Environment() override;

private:
    static const Vtable& vtable();
    static HRESULT STDMETHODCALLTYPE createController(void* self, HWND parent, IUnknown* handler);
    static HRESULT STDMETHODCALLTYPE createWebResourceResponse(void* self, IStream* content, int status,
                                                               LPCWSTR reason, LPCWSTR headers,
                                                               void** response);
    std::shared_ptr<Browser> browser_;
};

} // namespace standin
