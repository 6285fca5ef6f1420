#include "diagnostics/WebView2DetectionTest.h"

#include "storage/AtomicFileStore.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace kes {
namespace {

constexpr std::int32_t failedResult = static_cast<std::int32_t>(0x80004005u); // E_FAIL

[[noreturn]] void fail() {
    throw std::runtime_error("WebView2 启动检测测试失败");
}

void require(bool condition) {
    if (!condition) {
        fail();
    }
}

WebViewState installed() {
    return {true, 0, L"测试版本"};
}

WebViewState missing() {
    return {false, failedResult, L""};
}

// Missing on the first call, installed afterwards.
RuntimeDetector installedOnRetry(int& calls) {
    return [&calls] {
        return ++calls == 1 ? missing() : installed();
    };
}

// Runs the page-opening action and rechecks when it gave the expected result.
InstallGuide openThenRecheck(bool expectedOpened) {
    return [expectedOpened](const PageOpeningAction& openPage) {
        if (openPage() != expectedOpened) {
            fail();
        }
        return static_cast<int>(Recheck);
    };
}

bool installedSkipsGuide(Log& log) {
    int guides = 0;
    int openings = 0;
    const bool result = ensureWebView2Runtime(
        log, installed,
        [&guides](const PageOpeningAction&) {
            ++guides;
            return static_cast<int>(Quit);
        },
        [&openings] {
            ++openings;
            return true;
        });
    return result && guides == 0 && openings == 0;
}

bool missingOpenRetryInstalled(Log& log) {
    int detections = 0;
    int openings = 0;
    const bool result =
        ensureWebView2Runtime(log, installedOnRetry(detections), openThenRecheck(true), [&openings] {
            ++openings;
            return true;
        });
    return result && detections == 2 && openings == 1;
}

bool cancelExits(Log& log, const PageOpener& realOpener) {
    const bool result = ensureWebView2Runtime(
        log, missing, [](const PageOpeningAction&) { return static_cast<int>(Quit); }, realOpener);
    return !result;
}

bool browserFailureCanRetry(Log& log) {
    int detections = 0;
    return ensureWebView2Runtime(log, installedOnRetry(detections), openThenRecheck(false),
                                 [] { return false; });
}

} // namespace

void runWebView2DetectionTest(const std::filesystem::path& dataDir, Log& log, const PageOpener& realOpener) {
    nlohmann::json report = nlohmann::json::object();
    require(installedSkipsGuide(log));
    report["installed_skips_guide"] = true;
    require(missingOpenRetryInstalled(log));
    report["missing_open_retry_installed"] = true;
    require(cancelExits(log, realOpener));
    report["cancel_exits"] = true;
    require(browserFailureCanRetry(log));
    report["browser_failure_can_retry"] = true;
    writeFileAtomically(dataDir / webView2DetectionReportName, report.dump(2));
}

} // namespace kes
