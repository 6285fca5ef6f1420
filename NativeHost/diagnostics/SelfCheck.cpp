#include "diagnostics/SelfCheck.h"

#include "diagnostics/SelfCheckParts.h"
#include "storage/AtomicFileStore.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace kes {

namespace selfcheck {

void require(bool condition, const char* message) {
    if (!condition) {
        throw std::runtime_error(message);
    }
}

} // namespace selfcheck

void runSelfCheck(const std::filesystem::path& dataDir, Log& log) {
    selfcheck::checkKeyTexts();
    selfcheck::checkBehaviours(log);
    selfcheck::checkReleaseOrder(log);
    selfcheck::checkModifiersProgramAndSwitchOff(log);
    selfcheck::checkSimultaneousMatch(log);
    selfcheck::checkStorage(dataDir, log);

    // Written only when every check passed, so its values are constants.
    const nlohmann::json report = {{"configuration", true}, {"modes", 4},
                                   {"realKeysSent", false}, {"recursiveInputIgnored", true},
                                   {"releaseOnStop", true}, {"result", "通过"}};
    writeFileAtomically(dataDir / std::filesystem::path(selfCheckReportName), report.dump(2));
}

} // namespace kes
