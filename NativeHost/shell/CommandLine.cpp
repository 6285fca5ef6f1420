#include "shell/CommandLine.h"

namespace kes {

CommandLineOptions parseCommandLine(const std::vector<std::wstring>& words) {
    CommandLineOptions options;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::wstring& word = words[i];
        if (word == L"--startup-check") {
            options.startupCheck = true;
        } else if (word == L"--check") {
            options.selfCheck = true;
        } else if (word == L"--licenses") {
            options.printLicenses = true;
        } else if (word == L"--simulate-failure") {
            options.simulateFailure = true;
        } else if (word == L"--diagnostics" || word == L"--performance") {
            options.performance = true;
        } else if (word == L"--webview-dialog-check") {
            options.webviewDialogCheck = true;
            options.startupCheck = true;
        }
    }
    return options;
}

} // namespace kes
