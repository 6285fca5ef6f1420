#include "webhost/PageMessages.h"

#include "diagnostics/StartupCheck.h"
#include "engine/Profile.h"
#include "platform/TextConversion.h"
#include "shell/DesktopServices.h"
#include "shell/MasterHotkey.h"
#include "webhost/MacroStatus.h"
#include "webhost/WindowServices.h"

#include <exception>
#include <nlohmann/json.hpp>

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

enum class Dispatch { Finished, RefreshTray };

Dispatch dispatchJsonMessage(const std::wstring& text, HostContext& context) {
    const nlohmann::json message = nlohmann::json::parse(toUtf8(text), nullptr, true, false);
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
            setMasterHotkey(message.value("key", 0), context);
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
    try {
        context.log.write(LogLevel::Error, applyFailurePrefix + reason);
    } catch (const std::exception&) {
        // The page is still told; an unwritable log must not hide the failure from the user.
    }
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

} // namespace kes
