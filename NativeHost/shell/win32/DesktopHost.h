#pragma once
#include "shell/HostContext.h"
#include "storage/DataDirectories.h"

#include <windows.h>

#include <filesystem>
#include <functional>

namespace kes::win32 {

// Starts creating the browser environment for the main window with the user-data folder (the web view host
// continues the creation chain from its completion). False when the loader refused at once.
using BrowserStarter = std::function<bool(HostContext& context, const std::filesystem::path& userDataFolder)>;

// The desktop host after the early start-up, with the directories it computed: COM, the dialog check, the
// single-instance guard, the runtime check, migration, state store, engine, sampler, the main window and its
// settings, hotkeys and timers, the browser environment, the message loop and the shutdown. Returns the exit
// code; throws on a fatal error.
int runDesktopHost(HostContext& context, const DataDirectories& directories, HINSTANCE instance,
                   const BrowserStarter& startBrowser);

// The engine statistics block of performance mode.
PerfCounters& performanceCounters();

} // namespace kes::win32
