#pragma once
#include "shell/HostContext.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kes {

inline constexpr int closePromptOkButton = 1;
inline constexpr int closePromptCancelButton = 2;

// The texts and choices of the close prompt for the current tray availability.
struct ClosePromptContent {
    std::string title = "Kestrava";
    std::string instruction = "关闭Kestrava";
    std::string content;
    std::vector<std::pair<int, std::string>> buttons{{closePromptOkButton, "确定"},
                                                     {closePromptCancelButton, "取消"}};
    int defaultButton = closePromptCancelButton;
    std::vector<std::pair<int, std::string>> radioButtons;
    int defaultRadioButton = 0;
    std::string verification = "以后不再提示";
};

ClosePromptContent closePromptContent(bool trayAvailable);

// What the user did in the prompt: the pressed button, the chosen radio button and the check box.
struct ClosePromptAnswer {
    int button = closePromptCancelButton;
    int radioButton = 0;
    bool verified = false;
};

// The window side of the prompt; the desktop shell binds these to the task dialog and the main window.
struct ClosePromptActions {
    // Shows the prompt modally; nothing when it could not be shown.
    std::function<std::optional<ClosePromptAnswer>(const ClosePromptContent&)> ask;
    std::function<void()> closeWindow; // posts WM_CLOSE
    std::function<void()> hideWindow;  // hides the window to the tray
    std::function<void(const std::string& text)> warn;
};

// The page's close request: quits, hides or asks, by the stored choice and the tray's availability.
void showClosePrompt(HostContext& context, const ClosePromptActions& actions);

// The tray's "恢复关闭提示": stores "ask" again.
void resetClosePrompt(HostContext& context, const std::function<void(const std::string& text)>& warn);

} // namespace kes
