#pragma once
#include "platform/HotkeyModifiers.h"
#include "shell/HostContext.h"
#include "shell/MasterHotkey.h"

#include <functional>

namespace kes {

// Performance mode's marker hotkeys, Ctrl+Shift+F6 to F9 under ids 6 to 9 (firstMarkerHotkeyId to
// finishMarkerHotkeyId): F6, F7 and F8 mark the phases "关闭宏", "空打" and "命中", F9 ends the sampling.
inline constexpr unsigned markerHotkeyModifiers = platform::HotkeyControl | platform::HotkeyShift;
inline constexpr const char* markerHotkeyTakenMessage = "性能标记快捷键被其他程序占用";

// The F-key of marker `id`: F6 for 6 to F9 for 9.
constexpr int markerHotkeyKey(int id) {
    return functionKeyCode(id);
}

// Registers one marker: its id and virtual key, to be held with markerHotkeyModifiers and not repeated.
using MarkerRegistrar = std::function<bool(int id, int vk)>;

// Registers every marker through `registerOne`; each refusal is logged as markerHotkeyTakenMessage and the
// program goes on without that marker.
void registerMarkerHotkeys(Log& log, const MarkerRegistrar& registerOne);

// A hotkey other than the master switch's was pressed: 9 ends the sampling (a failure to write the reports
// is logged), 6 and 7 and any other id mark the phase of markerPhaseLabel ("命中" but for 6 and 7). False
// when there is no sampler: nothing was done.
bool handleMarkerHotkey(HostContext& context, int id);

} // namespace kes
