#include "shell/FatalReport.h"

#include "engine/KeyLedger.h"
#include "shell/HostContext.h"

namespace kes {
namespace {

FatalPresenter& presenter() {
    static FatalPresenter installed;
    return installed;
}

} // namespace

void setFatalPresenter(FatalPresenter newPresenter) {
    presenter() = std::move(newPresenter);
}

void reportFatal(const std::string& message) {
    // Before anything that could fail or wait: no key of ours stays down past a fatal error.
    releaseCrashLedger();
    HostContext& context = hostContext();
    try {
        context.log.write(LogLevel::Error, message);
    } catch (const std::exception&) {
        // Before the log directory is known (or when it cannot be created) the report goes on without it.
    }
    context.exitCode = 1;
    if (presenter()) {
        presenter()(message);
    }
}

} // namespace kes
