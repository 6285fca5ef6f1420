#include "shell/win32/ClosePromptDialog.h"

#include "platform/TextConversion.h"
#include "shell/ClosePrompt.h"
#include "shell/win32/DisplayText.h"
#include "shell/win32/TaskDialog.h"

#include <string>
#include <vector>

namespace kes::win32 {
namespace {

void warn(HWND window, const std::string& text) {
    showMessageBox(window, text, MB_ICONWARNING);
}

std::optional<ClosePromptAnswer> askWithTaskDialog(HWND window, const ClosePromptContent& prompt) {
    const std::wstring title = toWide(prompt.title);
    const std::wstring instruction = toWide(prompt.instruction);
    const std::wstring content = toWide(prompt.content);
    const std::wstring verification = toWide(prompt.verification);
    std::vector<std::wstring> texts;
    std::vector<TASKDIALOG_BUTTON> buttons;
    std::vector<TASKDIALOG_BUTTON> radios;
    texts.reserve(prompt.buttons.size() + prompt.radioButtons.size());
    for (const auto& [id, text] : prompt.buttons) {
        texts.push_back(toWide(text));
        buttons.push_back({id, texts.back().c_str()});
    }
    for (const auto& [id, text] : prompt.radioButtons) {
        texts.push_back(toWide(text));
        radios.push_back({id, texts.back().c_str()});
    }

    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = window;
    config.hInstance = GetModuleHandleW(nullptr);
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = title.c_str();
    config.pszMainInstruction = instruction.c_str();
    config.pszContent = content.c_str();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.data();
    config.nDefaultButton = prompt.defaultButton;
    config.cRadioButtons = static_cast<UINT>(radios.size());
    config.pRadioButtons = radios.data();
    config.nDefaultRadioButton = prompt.defaultRadioButton;
    config.pszVerificationText = verification.c_str();

    int button = closePromptCancelButton;
    int radio = 0;
    BOOL verified = FALSE;
    if (FAILED(taskDialogIndirect(config, &button, &radio, &verified))) {
        return std::nullopt;
    }
    return ClosePromptAnswer{button, radio, verified != FALSE};
}

} // namespace

void showClosePrompt(HWND window) {
    kes::showClosePrompt(
        hostContext(),
        {[window](const ClosePromptContent& prompt) { return askWithTaskDialog(window, prompt); },
         [window] { PostMessageW(window, WM_CLOSE, 0, 0); }, [window] { ShowWindow(window, SW_HIDE); },
         [window](const std::string& text) {
             warn(window, text);
         }});
}

void resetClosePrompt(HWND window) {
    kes::resetClosePrompt(hostContext(), [window](const std::string& text) { warn(window, text); });
}

} // namespace kes::win32
