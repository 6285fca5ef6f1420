#include "shell/win32/InstallGuide.h"

#include "diagnostics/win32/AccessibleText.h"
#include "platform/TextConversion.h"
#include "shell/win32/TaskDialog.h"
#include "webhost/win32/WebView2Runtime.h"

#include <objbase.h>

#include <stdexcept>
#include <vector>

namespace kes::win32 {
namespace {

// The guide as its callback drives it, through the dialog's own messages.
class TaskDialogGuide final : public GuideDialog {
public:
    explicit TaskDialogGuide(HWND dialog) : dialog_(dialog) {}

    void setContent(const std::string& text) override {
        const std::wstring content = toWide(text);
        SendMessageW(dialog_, TDM_SET_ELEMENT_TEXT, TDE_CONTENT, reinterpret_cast<LPARAM>(content.c_str()));
    }
    std::string accessibleText() override { return collectAccessibleText(dialog_); }
    void clickButton(int id) override { PostMessageW(dialog_, TDM_CLICK_BUTTON, static_cast<WPARAM>(id), 0); }

private:
    HWND dialog_;
};

HRESULT CALLBACK guideCallback(HWND dialog, UINT notification, WPARAM wParam, LPARAM, LONG_PTR data) {
    auto& inspection = *reinterpret_cast<GuideInspection*>(data);
    TaskDialogGuide guide(dialog);
    // No exception may cross the dialog's window procedure: a failure inside a click keeps the guide open
    // as it is (the download-page button never closes it), one inside a timer tick waits for the next tick.
    if (notification == TDN_BUTTON_CLICKED) {
        const int id = static_cast<int>(wParam);
        try {
            return onGuideButtonClicked(inspection, id, guide) ? S_FALSE : S_OK;
        } catch (const std::exception&) {
            return id == OpenDownloadPage ? S_FALSE : S_OK;
        }
    }
    if (notification == TDN_TIMER) {
        try {
            onGuideTimer(inspection, guide);
        } catch (const std::exception&) {
        }
    }
    return S_OK;
}

} // namespace

int showInstallGuide(GuideInspection& inspection) {
    const std::wstring title = toWide(guideTitle);
    const std::wstring instruction = toWide(guideInstruction);
    const std::wstring content = toWide(guideContent);
    std::vector<std::wstring> captions;
    std::vector<TASKDIALOG_BUTTON> buttons;
    captions.reserve(std::size(guideButtons));
    for (const GuideButtonText& button : guideButtons) {
        captions.push_back(toWide(button.caption));
        buttons.push_back({button.id, captions.back().c_str()});
    }

    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = nullptr;
    config.hInstance = GetModuleHandleW(nullptr);
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_SIZE_TO_CONTENT;
    if (inspection.inspection) {
        config.dwFlags |= TDF_CALLBACK_TIMER;
    }
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TD_INFORMATION_ICON;
    config.pszMainInstruction = instruction.c_str();
    config.pszContent = content.c_str();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.data();
    config.nDefaultButton = OpenDownloadPage;
    config.pfCallback = guideCallback;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&inspection);

    int pressed = Quit;
    if (FAILED(taskDialogIndirect(config, &pressed, nullptr, nullptr))) {
        throw std::runtime_error("无法显示 WebView2 安装引导");
    }
    return pressed;
}

int showInstallGuide(const PageOpeningAction& openPage, bool inspection, nlohmann::json* report) {
    GuideInspection state;
    state.openPage = openPage;
    state.inspection = inspection;
    state.report = report;
    return showInstallGuide(state);
}

WebViewState probeRuntime() {
    wchar_t* version = nullptr;
    const HRESULT result = getAvailableWebView2BrowserVersion(&version);
    const WebViewState state = runtimeStateFrom(static_cast<std::int32_t>(result), version);
    if (version != nullptr) {
        CoTaskMemFree(version);
    }
    return state;
}

} // namespace kes::win32
