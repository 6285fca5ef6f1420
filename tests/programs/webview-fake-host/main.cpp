// Kestrava with the recording browser: the same start-up as the product's entry point, but the browser
// environment comes from the fake loader, completed at once, and the page is played through a folder
// (KES_FAKE_PAGE_DIR, see PageChannel.h).
#include "PageChannel.h"

#include "shell/win32/ProgramEntry.h"
#include "support/FakeBrowser.h"
#include "webhost/WebViewHost.h"

#include <windows.h>

#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<kes::test::PageChannel> channel;

bool startFakeBrowser(kes::HostContext& context, const std::filesystem::path& userDataFolder) {
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
    const int exitCode = kes::win32::runProgram(instance, startFakeBrowser);
    channel.reset();
    return exitCode;
}
