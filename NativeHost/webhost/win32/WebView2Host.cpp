#include "webhost/win32/WebView2Host.h"

#include "webhost/WebViewHost.h"
#include "webhost/win32/WebView2Browser.h"

namespace kes::win32 {

bool startWebView2(HostContext& context, const std::filesystem::path& userDataFolder) {
    static webview2::WebView2Loader loader;
    return startWebView(loader, userDataFolder, context);
}

} // namespace kes::win32
