#pragma once
#include "shell/HostContext.h"

namespace kes {

// Start-up's window settings of an interactive run, once the main window exists: the close choice and the
// master hotkey key from their files (an unreadable or malformed file is logged with the error's text and
// the earlier value kept), then the master hotkey's registration under id 100; a registration that fails is
// logged as "宏总开关快捷键注册失败，可能已被占用" and the run goes on without the hotkey.
void loadWindowSettings(HostContext& context);

inline constexpr const char* masterHotkeyTakenMessage = "宏总开关快捷键注册失败，可能已被占用";

} // namespace kes
