#pragma once
#include <memory>
#include <string>

namespace kes {

// The embedded browser as the host sees it: the few operations the host calls, whatever engine draws the
// page (WebView2 on Windows, a recording fake in tests). Implementations extend these interfaces with the
// creation chain, request interception, message and navigation events.

struct ClientRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class BrowserWebView {
public:
    virtual ~BrowserWebView() = default;
    // Delivers the JSON text to the page's message listener, already parsed.
    virtual void postWebMessageAsJson(const std::wstring& json) = 0;
};

class BrowserController {
public:
    virtual ~BrowserController() = default;
    virtual void putBounds(const ClientRect& bounds) = 0;
    virtual void close() = 0;
};

class BrowserEnvironment {
public:
    virtual ~BrowserEnvironment() = default;
};

} // namespace kes
