// The two settings files beside the state document, "宏快捷键.json" and "关闭方式.json", read at start-up
// from whatever bytes they hold: only the documented refusals escape, the hotkey stays an F-key from 1 to
// 12 (the one in force when the file is refused or out of range), the close choice is one of its three
// values, and reading changes neither file.
#include "FuzzSupport.h"
#include "shell/CloseChoice.h"
#include "shell/HostContext.h"
#include "shell/MasterHotkey.h"

#include <cstddef>
#include <cstdint>

namespace {

using namespace kes;

constexpr std::initializer_list<std::string_view> readRefusals = {"配置文件过大"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static HostContext context;
    static const fuzz::fs::path directory = fuzz::scratchDirectory() / "settings";
    fuzz::InputReader input(data, size);
    const int keyBefore = 1 + input.byte() % 12;
    const std::string bytes = input.rest();
    fuzz::fs::create_directories(directory);
    const fuzz::fs::path hotkeyFile = directory / fuzz::fs::path(masterHotkeyFileName);
    const fuzz::fs::path closeFile = directory / fuzz::fs::path(closeChoiceFileName);
    fuzz::writeBytes(hotkeyFile, bytes);
    fuzz::writeBytes(closeFile, bytes);

    context.dataDir = directory;
    context.masterHotkeyKey = keyBefore;
    try {
        loadMasterHotkey(context);
    } catch (const std::exception& e) {
        KES_FUZZ_CHECK(fuzz::isDocumentedRefusal(e, readRefusals), fuzz::describe(e));
        KES_FUZZ_CHECK(context.masterHotkeyKey == keyBefore, "a refused file changed the hotkey");
    }
    KES_FUZZ_CHECK(context.masterHotkeyKey >= 1 && context.masterHotkeyKey <= 12,
                   std::to_string(context.masterHotkeyKey));

    try {
        const CloseChoice choice = loadCloseChoice(directory);
        KES_FUZZ_CHECK(choice == CloseChoice::Ask || choice == CloseChoice::Exit ||
                           choice == CloseChoice::Tray,
                       std::to_string(static_cast<int>(choice)));
    } catch (const std::exception& e) {
        KES_FUZZ_CHECK(fuzz::isDocumentedRefusal(e, readRefusals), fuzz::describe(e));
    }

    KES_FUZZ_CHECK(fuzz::fileBytes(hotkeyFile) == bytes, "reading changed the hotkey file");
    KES_FUZZ_CHECK(fuzz::fileBytes(closeFile) == bytes, "reading changed the close choice file");
    return 0;
}
