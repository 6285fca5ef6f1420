#include "shell/HostContext.h"

namespace kes {

HostContext& hostContext() {
    // Constructed before the entry point's first use and never destroyed: the log must outlive every
    // thread that may still write to it while the process ends.
    static HostContext* const context = new HostContext();
    return *context;
}

} // namespace kes
