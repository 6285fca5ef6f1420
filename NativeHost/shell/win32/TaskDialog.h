#pragma once
#include <windows.h>

#include <commctrl.h>

namespace kes::win32 {

// TaskDialogIndirect of the common controls version 6, reached by its ordinal 345 in comctl32 (the
// manifest makes the process load version 6). Fails with the system error when the entry point is missing.
HRESULT taskDialogIndirect(const TASKDIALOGCONFIG& config, int* button, int* radioButton, BOOL* verified);

} // namespace kes::win32
