#pragma once
#include <functional>
#include <string>

namespace kes {

using FatalPresenter = std::function<void(const std::string& message)>;

// Installed by the desktop shell: shows the message box (unless a check mode runs) and asks the main
// window to close. Without one, the report only logs and sets the exit code.
void setFatalPresenter(FatalPresenter presenter);

// Releases the keys of the engine's ledger first, then writes the message to the error log (a failing write
// is skipped), sets HostContext.exitCode to 1 and then calls the presenter. Returns to the caller.
void reportFatal(const std::string& message);

} // namespace kes
