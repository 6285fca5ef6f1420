#include "diagnostics/OldReports.h"

#include "diagnostics/DialogCheck.h"
#include "diagnostics/SelfCheck.h"
#include "diagnostics/StartupCheck.h"
#include "diagnostics/WebView2DetectionTest.h"

#include <system_error>
#include <vector>

namespace kes {
namespace {

std::vector<const char8_t*> reportsOf(const CommandLineOptions& options) {
    if (options.selfCheck)
        return {selfCheckReportName, webView2DetectionReportName};
    if (options.webviewDialogCheck)
        return {dialogCheckReportName};
    if (options.startupCheck)
        return {startupCheckReportName};
    return {};
}

} // namespace

void removeOldReports(const CommandLineOptions& options, const std::filesystem::path& dataDir) {
    for (const char8_t* name : reportsOf(options)) {
        const std::filesystem::path report = dataDir / std::filesystem::path(name);
        std::error_code error;
        std::filesystem::remove(report, error);
        if (error)
            throw std::filesystem::filesystem_error("remove", report, error);
    }
}

} // namespace kes
