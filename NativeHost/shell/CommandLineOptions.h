#pragma once

namespace kes {

// The run modes chosen on the command line.
struct CommandLineOptions {
    bool startupCheck = false;
    bool selfCheck = false;
    bool performance = false;
    bool printLicenses = false;
    bool simulateFailure = false;
    bool webviewDialogCheck = false;
};

} // namespace kes
