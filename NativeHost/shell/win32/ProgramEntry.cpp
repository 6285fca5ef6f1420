#include "shell/win32/ProgramEntry.h"

#include "shell/CommandLine.h"
#include "shell/EarlyStartup.h"
#include "shell/FatalReport.h"
#include "shell/HostContext.h"
#include "shell/win32/ShellServices.h"

#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

namespace kes::win32 {
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

int runProgram(HINSTANCE instance, const BrowserStarter& startBrowser) {
    HostContext& context = hostContext();
    prepareDesktopShell(context);
    context.options = parseCommandLine(commandLineWords());
    try {
        const EarlyStartupOutcome early = runEarlyStartup(context);
        if (early.exitCode) {
            return *early.exitCode;
        }
        return runDesktopHost(context, *early.directories, instance, startBrowser);
    } catch (const std::exception& e) {
        reportFatal(e.what());
        return 1;
    }
}

} // namespace kes::win32
