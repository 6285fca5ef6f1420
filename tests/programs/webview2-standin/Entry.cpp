// The client library's entry point as the host's loader calls it, and the report at process exit.
#include "Browser.h"
#include "ComObject.h"
#include "WebViewObjects.h"

#include <cwchar>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace standin {

namespace {

// The dispatcher window on the thread of the first environment; it lives as long as the process (the
// window goes with it), so that nothing posted to it can outlive it.
UiThread& uiThread() {
    static UiThread* ui = new UiThread();
    return *ui;
}

unsigned short devToolsPort() {
    wchar_t text[16] = {};
    if (GetEnvironmentVariableW(L"KES_WEBVIEW2_DEVTOOLS_PORT", text, 16) == 0)
        throw std::runtime_error("KES_WEBVIEW2_DEVTOOLS_PORT is not set");
    const long port = std::wcstol(text, nullptr, 10);
    if (port <= 0 || port > 65535)
        throw std::runtime_error("KES_WEBVIEW2_DEVTOOLS_PORT is not a port");
    return static_cast<unsigned short>(port);
}

} // namespace

HRESULT createEnvironment(bool checkRunningInstance, int runtimeKind, LPCWSTR userDataFolder,
                          IUnknown* options, IUnknown* handler) {
    Ledger& ledger = Ledger::instance();
    ledger.setCreatorThread(GetCurrentThreadId());
    ledger.called("(entry point)", "CreateWebViewEnvironmentWithOptionsInternal");
    ledger.setValue("entry point", {{"checkRunningInstance", checkRunningInstance},
                                    {"runtimeKind", runtimeKind},
                                    {"userDataFolder", userDataFolder == nullptr ? "" : utf8(userDataFolder)},
                                    {"options", options != nullptr}});
    if (handler == nullptr)
        return E_POINTER;
    void* asked = nullptr;
    if (FAILED(handler->QueryInterface(environmentCompletedHandlerIid, &asked)) || asked == nullptr)
        ledger.breach(
            "the environment completion handler does not answer QueryInterface for its interface id");
    else
        static_cast<IUnknown*>(asked)->Release();
    if (userDataFolder != nullptr && *userDataFolder != 0) {
        std::error_code error;
        std::filesystem::create_directories(userDataFolder, error);
    }
    UiThread& ui = uiThread();
    std::shared_ptr<Browser> browser;
    HRESULT result = S_OK;
    try {
        browser = std::make_shared<Browser>(ui, devToolsPort());
    } catch (const std::exception& error) {
        say(std::string("no browser: ") + error.what());
        result = HRESULT_FROM_WIN32(ERROR_CONNECTION_REFUSED);
    }
    auto held = std::make_shared<HostReference>(handler);
    // Completed later, from the host's message loop, as the runtime completes it.
    ui.post([browser = std::move(browser), held, result] {
        if (FAILED(result)) {
            invokeHandler(held->get(), result, static_cast<void*>(nullptr));
            return;
        }
        auto environment = Owned<Environment>::adopt(new Environment(browser));
        invokeHandler(held->get(), S_OK, environment->face());
    });
    return S_OK;
}

} // namespace standin

extern "C" __declspec(dllexport) HRESULT STDMETHODCALLTYPE
    CreateWebViewEnvironmentWithOptionsInternal(bool checkRunningInstance, int runtimeKind,
                                                LPCWSTR userDataFolder, IUnknown* options,
                                                IUnknown* handler) {
    try {
        return standin::createEnvironment(checkRunningInstance, runtimeKind, userDataFolder, options,
                                          handler);
    } catch (const std::exception& error) {
        standin::say(std::string("environment creation failed: ") + error.what());
        return E_FAIL;
    }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH)
        standin::Ledger::instance().writeReport();
    return TRUE;
}
