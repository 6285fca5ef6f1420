#include "shell/RuntimeGuide.h"

#include "platform/TextConversion.h"
#include "platform/UrlOpener.h"

#include <cstdint>

namespace kes {

WebViewState runtimeStateFrom(std::int32_t result, const wchar_t* version) {
    WebViewState state;
    state.result = result;
    state.version = version != nullptr ? std::wstring(version) : std::wstring();
    state.available = result >= 0 && !state.version.empty();
    return state;
}

std::string guideManualAddressContent() {
    return std::string("无法自动打开浏览器。\n\n请手动复制下面的网址，在浏览器中打开并安装：\n") +
           webView2DownloadPage + "\n\n安装完成后点击“重新检测”。";
}

PageOpeningAction pageOpeningAction(Log& log, const PageOpener& openPage) {
    return [&log, openPage] {
        const bool opened = openPage();
        if (opened) {
            log.write(LogLevel::Info, "已打开微软 WebView2 官方下载页");
        } else {
            log.write(LogLevel::Error, "无法打开 WebView2 官方下载页，已提供手动网址");
        }
        return opened;
    };
}

bool ensureWebView2Runtime(Log& log, const RuntimeDetector& detect, const InstallGuide& showGuide,
                           const PageOpener& openPage) {
    const PageOpeningAction action = pageOpeningAction(log, openPage);
    for (;;) {
        const WebViewState probe = detect();
        if (probe.available) {
            log.write(LogLevel::Info, "WebView2 检测通过，版本 " + toUtf8(probe.version));
            return true;
        }
        log.write(LogLevel::Info, "未检测到可用 WebView2，显示微软官方下载引导，检测结果 " +
                                      std::to_string(static_cast<std::uint32_t>(probe.result)));
        if (showGuide(action) != Recheck) {
            log.write(LogLevel::Info, "用户退出 WebView2 安装引导");
            return false;
        }
    }
}

bool openDownloadPage() {
    return platform::openUrlInBrowser(webView2DownloadPage);
}

bool onGuideButtonClicked(GuideInspection& inspection, int buttonId, GuideDialog& dialog) {
    if (buttonId != OpenDownloadPage) {
        return false;
    }
    const bool opened = inspection.openPage && inspection.openPage();
    dialog.setContent(opened ? std::string(guideOpenedContent) : guideManualAddressContent());
    if (inspection.inspection) {
        inspection.stage = 2;
    }
    return true;
}

void onGuideTimer(GuideInspection& inspection, GuideDialog& dialog) {
    if (!inspection.inspection || inspection.report == nullptr) {
        return;
    }
    if (inspection.stage == 0) {
        const std::string text = dialog.accessibleText();
        nlohmann::json captions = nlohmann::json::object();
        for (const GuideButtonText& button : guideButtons) {
            captions[std::to_string(button.id)] = text.find(button.caption) != std::string::npos;
        }
        *inspection.report = captions;
        inspection.stage = 1;
        dialog.clickButton(OpenDownloadPage);
    } else if (inspection.stage == 2) {
        const std::string text = dialog.accessibleText();
        (*inspection.report)["manual_url_visible_on_browser_failure"] =
            text.find(webView2DownloadPage) != std::string::npos;
        inspection.stage = 3;
        dialog.clickButton(Quit);
    }
}

} // namespace kes
