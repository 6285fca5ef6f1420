#include "shell/ClosePrompt.h"

#include "shell/CloseChoice.h"
#include "storage/QuietLog.h"

#include <exception>

namespace kes {
namespace {

constexpr int exitRadio = static_cast<int>(CloseChoice::Exit);
constexpr int trayRadio = static_cast<int>(CloseChoice::Tray);

// Keeps closePromptOpen set for exactly as long as the dialog is up, also when it throws.
class PromptOpenGuard {
public:
    explicit PromptOpenGuard(HostContext& context) : context_(context) { context_.closePromptOpen = true; }
    ~PromptOpenGuard() { context_.closePromptOpen = false; }
    PromptOpenGuard(const PromptOpenGuard&) = delete;
    PromptOpenGuard& operator=(const PromptOpenGuard&) = delete;

private:
    HostContext& context_;
};

} // namespace

ClosePromptContent closePromptContent(bool trayAvailable) {
    ClosePromptContent prompt;
    if (trayAvailable) {
        prompt.content = "隐藏到托盘后，Kestrava会继续运行。";
        prompt.radioButtons = {{trayRadio, "隐藏到托盘"}, {exitRadio, "退出程序"}};
        prompt.defaultRadioButton = trayRadio;
    } else {
        prompt.content = "系统托盘暂时不可用。";
        prompt.radioButtons = {{exitRadio, "退出程序"}};
        prompt.defaultRadioButton = exitRadio;
    }
    return prompt;
}

void showClosePrompt(HostContext& context, const ClosePromptActions& actions) {
    if (context.closePromptOpen) {
        return;
    }
    if (context.closeChoice == CloseChoice::Exit) {
        actions.closeWindow();
        return;
    }
    if (context.closeChoice == CloseChoice::Tray && context.trayIconAdded) {
        actions.hideWindow();
        return;
    }

    std::optional<ClosePromptAnswer> answer;
    {
        const PromptOpenGuard open(context);
        answer = actions.ask(closePromptContent(context.trayIconAdded));
    }
    if (!answer) {
        logQuietly(context.log, LogLevel::Error, "无法显示关闭选项");
        return;
    }
    if (answer->button != closePromptOkButton) {
        return;
    }
    // The tray may have gone away while the prompt was up.
    if (answer->radioButton == trayRadio && !context.trayIconAdded) {
        return;
    }
    if (answer->verified) {
        const CloseChoice chosen = answer->radioButton == trayRadio ? CloseChoice::Tray : CloseChoice::Exit;
        try {
            saveCloseChoice(context.dataDir, chosen);
            context.closeChoice = chosen;
        } catch (const std::exception& e) {
            logQuietly(context.log, LogLevel::Error, e.what());
            actions.warn("无法保存关闭方式，下次仍会提示。");
        }
    }
    if (answer->radioButton == exitRadio) {
        actions.closeWindow();
    } else if (answer->radioButton == trayRadio && context.trayIconAdded) {
        actions.hideWindow();
    }
}

void resetClosePrompt(HostContext& context, const std::function<void(const std::string& text)>& warn) {
    try {
        saveCloseChoice(context.dataDir, CloseChoice::Ask);
        context.closeChoice = CloseChoice::Ask;
    } catch (const std::exception& e) {
        logQuietly(context.log, LogLevel::Error, e.what());
        warn("无法保存关闭提示设置，请重试。");
    }
}

} // namespace kes
