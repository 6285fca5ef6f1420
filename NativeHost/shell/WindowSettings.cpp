#include "shell/WindowSettings.h"

#include "shell/CloseChoice.h"
#include "shell/DesktopServices.h"
#include "shell/MasterHotkey.h"

#include <exception>

namespace kes {

void loadWindowSettings(HostContext& context) {
    try {
        context.closeChoice = loadCloseChoice(context.dataDir);
    } catch (const std::exception& e) {
        context.log.write(LogLevel::Error, e.what());
    }
    try {
        loadMasterHotkey(context);
    } catch (const std::exception& e) {
        context.log.write(LogLevel::Error, e.what());
    }
    if (registerMasterHotkey(masterHotkeyFirstId, context.masterHotkeyKey)) {
        context.masterHotkeyId = masterHotkeyFirstId;
    } else {
        context.log.write(LogLevel::Error, masterHotkeyTakenMessage);
    }
}

} // namespace kes
