#pragma once
#include "storage/Log.h"

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

namespace kes {

// One detection of the WebView2 runtime.
struct WebViewState {
    bool available = false;
    std::int32_t result = 0; // the loader's HRESULT
    std::wstring version;    // empty when none
};

// The detector's reading of the loader's answer: available when the call succeeded with a non-empty text.
WebViewState runtimeStateFrom(std::int32_t result, const wchar_t* version);

// The install guide's buttons; Quit is IDCANCEL, which Esc and the close box return too.
enum GuideButton : int { OpenDownloadPage = 100, Recheck = 101, Quit = 2 };

// The WebView2 runtime's download page, opened by the guide and shown for copying by hand.
inline constexpr const char* webView2DownloadPage =
    "https://developer.microsoft.com/microsoft-edge/webview2/";

inline constexpr const char* guideTitle = "Kestrava";
inline constexpr const char* guideInstruction = "需要安装 WebView2";
inline constexpr const char* guideContent =
    "未找到可用的微软 WebView2 运行环境，暂时无法显示软件界面。\n\n请打开微软官方下载页，选择 Evergreen "
    "Bootstrapper（联网安装器）并完成安装。\n\n安装完成后回到此窗口，点击“重新检测”，即可继续启动。";
inline constexpr const char* guideOpenedContent =
    "已打开微软官方下载页。\n\n选择 Evergreen Bootstrapper 并安装。完成后回到此窗口，点击“重新检测”。";

// The content after the browser could not be opened: the address for copying by hand.
std::string guideManualAddressContent();

// The three buttons in their order, with their captions.
struct GuideButtonText {
    int id;
    const char* caption;
};
inline constexpr GuideButtonText guideButtons[] = {
    {OpenDownloadPage, "打开微软下载页"}, {Recheck, "重新检测"}, {Quit, "退出"}};

using RuntimeDetector = std::function<WebViewState()>;
using PageOpeningAction = std::function<bool()>;
// Shows the guide with the page-opening action behind its first button; returns the pressed button id.
using InstallGuide = std::function<int(const PageOpeningAction& openPage)>;
using PageOpener = std::function<bool()>;

// The guide's page-opening action: runs the opener and logs whether the browser opened.
PageOpeningAction pageOpeningAction(Log& log, const PageOpener& openPage);

// Detects the runtime and, while it is missing, shows the guide until the user rechecks successfully
// (true) or leaves it (false).
bool ensureWebView2Runtime(Log& log, const RuntimeDetector& detect, const InstallGuide& showGuide,
                           const PageOpener& openPage);

// The default page opener: the download page in the user's browser; true when the system accepted it.
bool openDownloadPage();

// The guide callback's reference data.
struct GuideInspection {
    PageOpeningAction openPage;
    bool inspection = false;          // the dialog check drives the guide from its timer
    nlohmann::json* report = nullptr; // the dialog check's report, empty at start-up
    int stage = 0;                    // 0 to 3, the dialog check's progress
};

// The running guide as its callback sees it.
class GuideDialog {
public:
    virtual ~GuideDialog() = default;
    virtual void setContent(const std::string& text) = 0;
    virtual std::string accessibleText() = 0;
    virtual void clickButton(int id) = 0; // posted: runs after the callback returned
};

// A button click inside the guide; true when the dialog must stay open (the download-page button).
bool onGuideButtonClicked(GuideInspection& inspection, int buttonId, GuideDialog& dialog);

// A timer notification: only the dialog check acts on it, reading the guide's texts into its report and
// pressing the download-page button, then the quit button.
void onGuideTimer(GuideInspection& inspection, GuideDialog& dialog);

} // namespace kes
