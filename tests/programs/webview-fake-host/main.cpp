// Kestrava with the recording browser: the same start-up as the product's entry point, but the browser
// environment comes from the fake loader, completed at once, and the page is played through a folder
// (KES_FAKE_PAGE_DIR, see PageChannel.h).
#include "PageChannel.h"

#include "shell/CommandLine.h"
#include "shell/EarlyStartup.h"
#include "shell/FatalReport.h"
#include "shell/HostContext.h"
#include "shell/win32/DesktopHost.h"
#include "support/FakeBrowser.h"
#include "webhost/WebViewHost.h"
#include "webhost/win32/Win32WindowServices.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

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

std::unique_ptr<kes::test::PageChannel> channel;

bool startFakeBrowser(kes::HostContext& context, const std::filesystem::path& userDataFolder) {
    kes::win32::installWindowServices();
    static kes::fake::FakeLoader loader;
    if (!kes::startWebView(loader, userDataFolder, context))
        return false;
    const auto page = loader.completeAll();
    const wchar_t* folder = _wgetenv(L"KES_FAKE_PAGE_DIR");
    if (folder != nullptr && *folder != 0)
        channel = std::make_unique<kes::test::PageChannel>(std::filesystem::path(folder), page,
                                                           static_cast<HWND>(context.window));
    return true;
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
        const int exitCode = kes::win32::runDesktopHost(context, instance, startFakeBrowser);
        channel.reset();
        return exitCode;
    } catch (const std::exception& e) {
        kes::reportFatal(e.what());
        return 1;
    }
}
