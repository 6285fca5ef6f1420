#pragma once
#include "shell/HostContext.h"
#include "webhost/Browser.h"

#include <cstddef>
#include <string>

namespace kes {

// The web messages between page and host: the page's three window words and its JSON messages
// ("macro-state", "shortcut-get", "shortcut-set", "startup-check-result"); the host's "macro-status" and
// "notice".

inline constexpr const char* applyFailurePrefix = "应用宏配置失败：";
// A message from the page is a document like any other the program receives: at most 1 MiB of UTF-8.
inline constexpr std::size_t maxWebMessageSize = 1048576;
inline constexpr const char* webMessageTooLargeMessage = "网页消息过大";
inline constexpr const char* shortcutKeyNotIntegerMessage = "快捷键必须是整数";

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

// A message for the user from the host: {"message":…,"type":"notice"}, shown by the page as a toast, when
// there is a web view.
void postNotice(const std::string& message, HostContext& context = hostContext());

} // namespace kes
