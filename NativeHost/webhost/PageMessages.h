#pragma once
#include "shell/HostContext.h"
#include "webhost/Browser.h"

#include <string>

namespace kes {

// The web messages between page and host: the page's three window words and its JSON messages
// ("macro-state", "shortcut-get", "shortcut-set", "startup-check-result"); the host's "macro-status".

inline constexpr const char* applyFailurePrefix = "应用宏配置失败：";

// The browser's message handler: a message that is not a string is ignored; a string goes to
// handleWebMessage.
BrowserResult onWebMessageReceived(BrowserWebMessage& message, HostContext& context = hostContext());

// Dispatches one message text. Never throws: a failure stops the engine, is logged behind
// applyFailurePrefix and is answered with macroStatusFailure. When the engine's state changed, the tray
// icon is refreshed.
void handleWebMessage(const std::wstring& text, HostContext& context = hostContext());

// The engine's status callback: {"enabled":…,"message":…,"type":"macro-status"} to the page, when there is
// a web view.
void postMacroStatus(bool enabled, const std::string& message, HostContext& context = hostContext());

} // namespace kes
