#include "webhost/PageMessages.h"

#include "diagnostics/StartupCheck.h"
#include "engine/Profile.h"
#include "platform/TextConversion.h"
#include "shell/DesktopServices.h"
#include "shell/MasterHotkey.h"
#include "storage/QuietLog.h"
#include "webhost/MacroStatus.h"
#include "webhost/WindowServices.h"

#include <cstdint>
#include <exception>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace kes {

namespace {

void runWindowCommand(const std::function<void(void*)>& operation, void* window) {
    if (operation)
        operation(window);
}

// The three bare words, compared whole and case-sensitively. True when the text was one of them.
bool handleWindowCommand(const std::wstring& text, HostContext& context) {
    const WindowServices& window = windowServices();
    if (text == L"close") {
        runWindowCommand(window.postCloseRequest, context.window);
        return true;
    }
    if (text == L"minimize") {
        runWindowCommand(window.minimize, context.window);
        return true;
    }
    if (text == L"drag") {
        runWindowCommand(window.beginDrag, context.window);
        return true;
    }
    return false;
}

bool engineEnabled(const HostContext& context) {
    return context.engine && context.engine->isEnabled();
}

// The "key" of "shortcut-set": 0 when missing. Only a JSON integer is a key number: a boolean, a string or
// a fraction is refused, and an integer outside the int range counts as out of range (0), never wrapped.
int shortcutKey(const nlohmann::json& message) {
    const auto key = message.find("key");
    if (key == message.end())
        return 0;
    // The library itself would turn a boolean into 0 or 1: its own type error is raised for every non-number.
    if (!key->is_number())
        throw nlohmann::json::type_error::create(
            302, std::string("type must be number, but is ") + key->type_name(), &*key);
    if (!key->is_number_integer())
        throw std::runtime_error(shortcutKeyNotIntegerMessage);
    if (key->is_number_unsigned())
        return key->get<std::uint64_t>() <= 12 ? key->get<int>() : 0;
    const std::int64_t number = key->get<std::int64_t>();
    return number >= 1 && number <= 12 ? static_cast<int>(number) : 0;
}

enum class Dispatch { Finished, RefreshTray };

Dispatch dispatchJsonMessage(const std::wstring& text, HostContext& context) {
    // Every UTF-16 unit takes at least one byte in UTF-8: an over-long text is refused before converting.
    if (text.size() > maxWebMessageSize)
        throw std::runtime_error(webMessageTooLargeMessage);
    const std::string utf8 = toUtf8(text);
    if (utf8.size() > maxWebMessageSize)
        throw std::runtime_error(webMessageTooLargeMessage);
    const nlohmann::json message = nlohmann::json::parse(utf8, nullptr, true, false);
    const std::string type = message.value("type", std::string());
    if (type == "startup-check-result") {
        if (context.options.startupCheck)
            completeStartupCheck(message, context);
        return Dispatch::Finished;
    }
    if (type == "shortcut-get") {
        sendShortcutResult(false, "", context);
        return Dispatch::Finished;
    }
    if (type == "shortcut-set") {
        if (!context.options.startupCheck)
            setMasterHotkey(shortcutKey(message), context);
        return Dispatch::Finished;
    }
    if (type == "macro-state") {
        Profile profile = parseProfile(message.value("profile", nlohmann::json::object()));
        const bool enabled = context.options.startupCheck ? false : message.value("enabled", false);
        if (context.engine)
            context.engine->apply(enabled, std::move(profile));
        context.pageStateReceived = true;
    }
    return Dispatch::RefreshTray;
}

void reportApplyFailure(const std::string& reason, HostContext& context) {
    if (context.engine)
        context.engine->stop();
    logQuietly(context.log, LogLevel::Error, applyFailurePrefix + reason);
    if (context.webView)
        context.webView->postWebMessageAsJson(toWide(macroStatusFailure));
}

} // namespace

BrowserResult onWebMessageReceived(BrowserWebMessage& message, HostContext& context) {
    if (const auto text = message.tryGetWebMessageAsString())
        handleWebMessage(*text, context);
    return browserOk;
}

void handleWebMessage(const std::wstring& text, HostContext& context) {
    // Called from the browser's callbacks: nothing may escape into the browser.
    try {
        if (handleWindowCommand(text, context))
            return;
        const bool wasEnabled = engineEnabled(context);
        try {
            if (dispatchJsonMessage(text, context) == Dispatch::Finished)
                return;
        } catch (const std::exception& e) {
            reportApplyFailure(e.what(), context);
        }
        if (engineEnabled(context) != wasEnabled)
            updateTrayIcon(context.window);
    } catch (...) {
    }
}

void postMacroStatus(bool enabled, const std::string& message, HostContext& context) {
    if (!context.webView)
        return;
    const nlohmann::json status{{"enabled", enabled}, {"message", message}, {"type", "macro-status"}};
    context.webView->postWebMessageAsJson(toWide(status.dump()));
}

void postNotice(const std::string& message, HostContext& context) {
    if (!context.webView)
        return;
    const nlohmann::json notice{{"message", message}, {"type", "notice"}};
    context.webView->postWebMessageAsJson(toWide(notice.dump()));
}

} // namespace kes
