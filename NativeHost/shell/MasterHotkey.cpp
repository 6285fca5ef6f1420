#include "shell/MasterHotkey.h"

#include "engine/Engine.h"
#include "platform/TextConversion.h"
#include "shell/DesktopServices.h"
#include "shell/SettingsFile.h"
#include "storage/AtomicFileStore.h"
#include "storage/QuietLog.h"
#include "webhost/MacroStatus.h"

#include <exception>
#include <nlohmann/json.hpp>

namespace kes {
namespace {

constexpr int vkF12 = 0x7B;

void postToPage(HostContext& context, const std::string& json) {
    if (context.webView) {
        context.webView->postWebMessageAsJson(toWide(json));
    }
}

} // namespace

int nextMasterHotkeyId(int currentId) {
    return currentId == masterHotkeyFirstId ? masterHotkeySecondId : masterHotkeyFirstId;
}

void loadMasterHotkey(HostContext& context) {
    const std::optional<nlohmann::json> document = readSettingsFile(context.dataDir / masterHotkeyFileName);
    if (!document) {
        return;
    }
    // A missing "key" means 8; a value that is no number raises the library's type error.
    const nlohmann::json key = document->value("key", nlohmann::json(8));
    if (!key.is_number()) {
        static_cast<void>(key.get<int>());
    }
    // Range-checked before converting, so that a huge or fractional number cannot wrap into 1..12.
    const double number = key.get<double>();
    if (number >= 1 && number < 13) {
        context.masterHotkeyKey = static_cast<int>(number);
    }
}

std::string shortcutResultMessage(int key, bool saved, const std::string& error) {
    return nlohmann::json{{"error", error}, {"key", key}, {"saved", saved}, {"type", "shortcut-result"}}
        .dump();
}

void sendShortcutResult(bool saved, const std::string& error, HostContext& context) {
    postToPage(context, shortcutResultMessage(context.masterHotkeyKey, saved, error));
}

void setMasterHotkey(int n, HostContext& context) {
    if (n < 1 || n > 12) {
        sendShortcutResult(false, "请选择 F1 到 F12。", context);
        return;
    }
    if (n == context.masterHotkeyKey && context.masterHotkeyId != 0) {
        sendShortcutResult(true, "", context);
        return;
    }
    const int newId = nextMasterHotkeyId(context.masterHotkeyId);
    if (!registerMasterHotkey(newId, n)) {
        sendShortcutResult(false, "该快捷键无法注册，可能已被其他程序占用。", context);
        return;
    }
    try {
        writeFileAtomically(context.dataDir / masterHotkeyFileName, nlohmann::json{{"key", n}}.dump());
    } catch (const std::exception& e) {
        unregisterMasterHotkey(newId, n);
        logQuietly(context.log, LogLevel::Error, e.what());
        sendShortcutResult(false, "保存快捷键失败，仍使用原设置。", context);
        return;
    }
    if (context.masterHotkeyId != 0) {
        unregisterMasterHotkey(context.masterHotkeyId, context.masterHotkeyKey);
    }
    context.masterHotkeyId = newId;
    context.masterHotkeyKey = n;
    sendShortcutResult(true, "", context);
}

void toggleMasterSwitch(HostContext& context) {
    if (!context.webView || !context.pageStateReceived || !context.engine) {
        return;
    }
    try {
        context.engine->setEnabled(!context.engine->isEnabled());
        updateTrayIcon(context.window);
        postToPage(
            context,
            nlohmann::json{{"enabled", context.engine->isEnabled()}, {"type", "macro-toggle-result"}}.dump());
    } catch (const std::exception& e) {
        logQuietly(context.log, LogLevel::Error, std::string("切换宏总开关失败：") + e.what());
        try {
            postToPage(context, macroStatusFailure);
        } catch (const std::exception& postFailure) {
            logQuietly(context.log, LogLevel::Error, postFailure.what());
        }
    }
}

bool f12WatchAccepts(bool& f12Down, int vk, bool isKeyUp, bool injected, bool modifierHeld) {
    if (vk != vkF12 || injected) {
        return false;
    }
    if (isKeyUp) {
        f12Down = false;
        return false;
    }
    if (f12Down) {
        return false;
    }
    f12Down = true;
    return !modifierHeld;
}

} // namespace kes
