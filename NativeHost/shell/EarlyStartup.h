#pragma once
#include "shell/HostContext.h"
#include "storage/DataDirectories.h"

#include <optional>

namespace kes {

// The start-up steps that need no window, after the entry point has parsed the command line into
// `context.options`: the licence dump, the data and log directories, the start-up line, the controlled
// failure and the self-check mode. Throws on a fatal error; the caller passes what() to reportFatal and exits
// with 1.
struct EarlyStartupOutcome {
    std::optional<int> exitCode;                // the run ended here with this code
    std::optional<DataDirectories> directories; // otherwise: the directories the desktop host goes on with
};
EarlyStartupOutcome runEarlyStartup(HostContext& context);

// The fixed information line written at every start.
inline constexpr const char* startupLogLine = "Vantix 主程序已启动，不加载 Python、.NET 等其他语言运行时";

} // namespace kes
