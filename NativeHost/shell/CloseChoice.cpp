#include "shell/CloseChoice.h"

#include "shell/SettingsFile.h"
#include "storage/AtomicFileStore.h"

#include <nlohmann/json.hpp>

namespace kes {

CloseChoice loadCloseChoice(const std::filesystem::path& dataDir) {
    const std::optional<nlohmann::json> document = readSettingsFile(dataDir / closeChoiceFileName);
    if (!document) {
        return CloseChoice::Ask;
    }
    const std::string action = document->value("action", std::string());
    if (action == "tray") {
        return CloseChoice::Tray;
    }
    if (action == "exit") {
        return CloseChoice::Exit;
    }
    return CloseChoice::Ask;
}

std::string closeChoiceDocument(CloseChoice choice) {
    const char* action = "ask";
    if (choice == CloseChoice::Exit) {
        action = "exit";
    } else if (choice == CloseChoice::Tray) {
        action = "tray";
    }
    return nlohmann::json{{"action", action}}.dump();
}

void saveCloseChoice(const std::filesystem::path& dataDir, CloseChoice choice) {
    writeFileAtomically(dataDir / closeChoiceFileName, closeChoiceDocument(choice));
}

} // namespace kes
