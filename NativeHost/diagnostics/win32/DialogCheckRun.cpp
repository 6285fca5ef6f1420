#include "diagnostics/win32/DialogCheckRun.h"

#include "diagnostics/DialogCheck.h"
#include "shell/HostContext.h"
#include "shell/win32/InstallGuide.h"

#include <objbase.h>

namespace kes::win32 {

int runDialogCheck(const std::filesystem::path& dataDir) {
    const int exitCode = kes::runDialogCheck(
        dataDir, hostContext().log, [](GuideInspection& inspection) { return showInstallGuide(inspection); });
    if (exitCode == 0) {
        CoUninitialize();
    }
    return exitCode;
}

} // namespace kes::win32
