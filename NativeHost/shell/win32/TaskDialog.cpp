#include "shell/win32/TaskDialog.h"

namespace kes::win32 {
namespace {

using TaskDialogIndirectFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

TaskDialogIndirectFunction loadTaskDialogIndirect() {
    // Kept loaded for the life of the process: the dialogs may be shown at any time.
    static const TaskDialogIndirectFunction function = [] {
        HMODULE library = LoadLibraryW(L"comctl32.dll");
        if (library == nullptr) {
            return TaskDialogIndirectFunction{};
        }
        return reinterpret_cast<TaskDialogIndirectFunction>(
            reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(345))));
    }();
    return function;
}

} // namespace

HRESULT taskDialogIndirect(const TASKDIALOGCONFIG& config, int* button, int* radioButton, BOOL* verified) {
    const TaskDialogIndirectFunction function = loadTaskDialogIndirect();
    if (function == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    return function(&config, button, radioButton, verified);
}

} // namespace kes::win32
