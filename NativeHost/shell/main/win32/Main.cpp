#include "shell/CommandLine.h"
#include "shell/EarlyStartup.h"
#include "shell/FatalReport.h"
#include "shell/HostContext.h"
#include "shell/win32/DesktopHost.h"
#include "webhost/win32/WebView2Host.h"

#include <exception>
#include <filesystem>
#include <string>
#include <vector>
#include <windows.h>

#include <shellapi.h>

namespace {

std::vector<std::wstring> commandLineWords() {
    std::vector<std::wstring> words;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments != nullptr) {
        words.assign(arguments, arguments + count);
        LocalFree(arguments);
    }
    return words;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    kes::HostContext& context = kes::hostContext();
    kes::win32::prepareDesktopShell(context);
    context.options = kes::parseCommandLine(commandLineWords());
    try {
        if (const std::optional<int> exitCode = kes::runEarlyStartup(context)) {
            return *exitCode;
        }
        return kes::win32::runDesktopHost(context, instance, kes::win32::startWebView2);
    } catch (const std::exception& e) {
        kes::reportFatal(e.what());
        return 1;
    }
}
