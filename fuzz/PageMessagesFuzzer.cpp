// Page messages through the host's dispatcher, as the browser hands them over (a wide string), with a
// hook-less engine playing into a recording sender and doubles for the window, tray and hotkey services.
// The dispatcher lets nothing escape; what it logs as the reason of a failure must be one of the documented
// refusals, every message it posts is a JSON object the page understands, a failure leaves the engine off,
// and no key stays down.
#include "FuzzSupport.h"
#include "diagnostics/RecordingKeySender.h"
#include "engine/Profile.h"
#include "platform/TextConversion.h"
#include "shell/DesktopServices.h"
#include "shell/HostContext.h"
#include "support/FakeBrowser.h"
#include "webhost/MacroStatus.h"
#include "webhost/PageMessages.h"
#include "webhost/WindowServices.h"

#include <cstddef>
#include <cstdint>

namespace {

using namespace kes;
using nlohmann::json;

// The reasons a failed message may log behind "应用宏配置失败：" (the JSON library's own texts aside).
constexpr std::initializer_list<std::string_view> failureReasons = {
    "宏列表格式无效",
    "宏编号重复",
    "触发方式无效",
    "按键序列格式无效",
    mouseButtonStepMessage,
    playCountMessage,
    jitterMessage,
    keepMessage,
    releaseMessage,
    pressKeptMessage,
    repeatKeepMessage,
    "UTF-8 文本无效",
    "已有全局宏引擎",
    shortcutKeyNotIntegerMessage,
    webMessageTooLargeMessage,
};

struct Host {
    Host() : calls(std::make_shared<fake::CallList>()) {
        context.dataDir = fuzz::scratchDirectory() / "page";
        context.log.setDirectory(context.dataDir / "logs");
        context.stateStore = std::make_unique<StateStore>(
            context.dataDir / fuzz::fs::path(u8"Kestrava配置.json"), context.log);
        context.engine = std::make_unique<Engine>(context.log, nullptr, true, keys.sender(),
                                                  [](const std::wstring&) { return true; });
        context.engine->statusCallback = [this](bool enabled, const std::string& message) {
            postMacroStatus(enabled, message, context);
        };
        context.window = &windowToken;
        view = std::make_shared<fake::FakeWebView>(calls);
        context.webView = view;

        WindowServices& window = windowServices();
        window.postCloseRequest = [this](void*) {
            ++windowCalls.close;
        };
        window.minimize = [this](void*) {
            ++windowCalls.minimize;
        };
        window.beginDrag = [this](void*) {
            ++windowCalls.drag;
        };
        window.postClose = [this](void*) {
            ++windowCalls.postClose;
        };
        window.restore = [](void*) {
        };
        window.clientRect = [](void*) {
            return ClientRect{0, 0, 1430, 860};
        };
        window.windowRect = [](void*) {
            return ClientRect{0, 0, 1430, 860};
        };
        window.hitTest = [](void*, int, int) {
            return 0;
        };
        window.isMinimized = [](void*) {
            return false;
        };
        DesktopServices& desktop = desktopServices();
        desktop.registerMasterHotkey = [](int id, int key) {
            return (id == 100 || id == 101) && key >= 1 && key <= 12;
        };
        desktop.unregisterMasterHotkey = [](int, int) {
        };
        desktop.updateTrayIcon = [](void*) {
        };
    }

    // The message as the browser delivers it: UTF-8 text when the bytes are valid UTF-8, else the bytes
    // taken two by two as UTF-16 code units (unpaired surrogates included).
    static std::wstring messageText(const std::string& bytes) {
        try {
            return toWide(bytes);
        } catch (const std::runtime_error&) {
        }
        std::wstring text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        return text;
    }

    void reset(bool startupCheck) {
        context.options.startupCheck = startupCheck;
        context.pageStateReceived = false;
        context.masterHotkeyKey = 8;
        context.masterHotkeyId = 0;
        windowCalls = {};
        std::error_code ignored;
        fuzz::fs::remove(context.dataDir / "logs" / fuzz::fs::path(u8"错误.log"), ignored);
    }

    // Frees what the run allocated, so that the fuzzer sees as many frees as allocations and spends no time
    // looking for leaks that are only state kept for the next run.
    void release() {
        context.engine->apply(false, Profile{});
        std::vector<std::wstring>().swap(view->postedJson);
        std::vector<std::string>().swap(calls->calls);
    }

    std::shared_ptr<fake::CallList> calls;
    HostContext context;
    RecordingKeySender keys;
    std::shared_ptr<fake::FakeWebView> view;
    int windowToken = 0;
    struct WindowCalls {
        int close = 0;
        int minimize = 0;
        int drag = 0;
        int postClose = 0;
    } windowCalls;
};

bool isWindowWord(const std::wstring& text) {
    return text == L"close" || text == L"minimize" || text == L"drag";
}

// The error log holds this run's one entry: time " [" run tag "] " message; the message (which may quote
// the page's text) is the failure prefix and the reason.
void checkFailureReason(const std::string& errorLog) {
    const std::string prefix = applyFailurePrefix;
    const std::size_t messageStart = errorLog.find("] ");
    KES_FUZZ_CHECK(messageStart != std::string::npos &&
                       errorLog.compare(messageStart + 2, prefix.size(), prefix) == 0,
                   "a failure was posted but not logged: " + errorLog);
    std::string reason = errorLog.substr(messageStart + 2 + prefix.size());
    if (!reason.empty() && reason.back() == '\n') {
        reason.pop_back();
    }
    if (reason.rfind("[json.exception.", 0) == 0) {
        return;
    }
    for (std::string_view known : failureReasons) {
        if (reason == known) {
            return;
        }
    }
    fuzz::violated("a failure logged an undocumented reason", reason);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Host host;
    fuzz::InputReader input(data, size);
    host.reset((input.byte() & 1) != 0);
    const std::wstring text = Host::messageText(input.rest());

    handleWebMessage(text, host.context);

    // The start-up check's completion minimises once and closes once; anything else is a window word.
    const int windowCommands = host.windowCalls.close + host.windowCalls.minimize + host.windowCalls.drag -
                               host.windowCalls.postClose;
    KES_FUZZ_CHECK(windowCommands == (isWindowWord(text) ? 1 : 0), "window commands do not match the words");
    KES_FUZZ_CHECK(host.context.masterHotkeyKey >= 1 && host.context.masterHotkeyKey <= 12,
                   std::to_string(host.context.masterHotkeyKey));
    if (host.context.options.startupCheck) {
        KES_FUZZ_CHECK(!host.context.engine->isEnabled(), "the start-up check switched the engine on");
    }

    bool failed = false;
    for (const std::wstring& posted : host.view->postedJson) {
        json message;
        try {
            message = json::parse(toUtf8(posted));
        } catch (const std::exception& e) {
            fuzz::violated("the host posted text that is not JSON", fuzz::describe(e));
        }
        KES_FUZZ_CHECK(message.is_object() && message.contains("type"), toUtf8(posted));
        const std::string type = message["type"].get<std::string>();
        KES_FUZZ_CHECK(type == "macro-status" || type == "shortcut-result", type);
        failed = failed || toUtf8(posted) == macroStatusFailure;
    }
    if (failed) {
        KES_FUZZ_CHECK(!host.context.engine->isEnabled(), "the engine stayed on after a failure");
        checkFailureReason(
            fuzz::fileBytes(host.context.log.directory() / fuzz::fs::path(u8"错误.log")).value_or(""));
    }

    host.context.engine->stop();
    KES_FUZZ_CHECK(host.context.engine->jobCount() == 0, "a job is left after stop");
    host.release();
    int balance = 0;
    for (const RecordedKeyEvent& event : host.keys.events()) {
        balance += (event.flags & keyUpFlag) != 0 ? -1 : 1;
    }
    KES_FUZZ_CHECK(balance == 0, "a key was left down");
    return 0;
}
