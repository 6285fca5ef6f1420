#include "diagnostics/DialogCheck.h"

#include "storage/AtomicFileStore.h"

namespace kes {

int runDialogCheck(const std::filesystem::path& dataDir, Log& log, const InspectedGuide& showGuide) {
    nlohmann::json report = nlohmann::json::object();
    GuideInspection inspection;
    inspection.openPage = pageOpeningAction(log, [] { return false; });
    inspection.inspection = true;
    inspection.report = &report;
    const int pressed = showGuide(inspection);
    report["cancel_exits"] = pressed == Quit;
    writeFileAtomically(dataDir / dialogCheckReportName, report.dump(2));
    return dialogCheckExitCode(report);
}

int dialogCheckExitCode(const nlohmann::json& report) {
    for (const auto& member : report.items()) {
        if (!member.value().get<bool>()) {
            return 1;
        }
    }
    return 0;
}

} // namespace kes
