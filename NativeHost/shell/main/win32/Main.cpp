#include "platform/StandardStreams.h"
#include "shell/CommandLine.h"
#include "shell/EarlyStartup.h"
#include "shell/FatalReport.h"
#include "shell/HostContext.h"

#include <exception>
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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    kes::HostContext& context = kes::hostContext();
    context.options = kes::parseCommandLine(commandLineWords());
    try {
        if (const std::optional<int> exitCode = kes::runEarlyStartup(context)) {
            return *exitCode;
        }
        // The desktop host (single instance, runtime check, window, web view, message loop) continues here.
        kes::platform::writeStandardError("Kestrava：桌面窗口尚未实现，只能运行命令行模式。\n");
        return 1;
    } catch (const std::exception& e) {
        kes::reportFatal(e.what());
        return 1;
    }
}
