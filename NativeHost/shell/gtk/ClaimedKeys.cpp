#include "shell/gtk/ClaimedKeys.h"

#include "engine/KeyNames.h"

#include <nlohmann/json.hpp>

#include <exception>

namespace kes {

std::set<int> claimedKeys(const Profile& profile) {
    std::set<int> keys;
    for (const Macro& macro : profile.macros) {
        if (!macro.enabled)
            continue;
        if (macro.behavior == "repeat") {
            for (const Step& step : macro.steps) {
                if (step.keys.size() == 1)
                    keys.insert(step.keys.front());
            }
        } else if (macro.triggerKey != 0 && !isMouseButton(macro.triggerKey)) {
            // This host watches the keyboard only: a mouse trigger holds back no key and never fires.
            keys.insert(macro.triggerKey);
        }
    }
    return keys;
}

std::optional<std::set<int>> claimedKeysOfPageMessage(const std::string& text) {
    try {
        const nlohmann::json message = nlohmann::json::parse(text);
        if (!message.is_object() || message.value("type", std::string()) != "macro-state")
            return std::nullopt;
        return claimedKeys(parseProfile(message.value("profile", nlohmann::json::object())));
    } catch (const std::exception&) {
        // The page-message handler reports the failure and stops the engine; the grabs go with its hook.
        return std::nullopt;
    }
}

} // namespace kes
