#pragma once
#include "webhost/WebView2RuntimeSelection.h"

#include <windows.h>

#include <optional>

namespace kes {

// The installed Evergreen WebView2 runtime, looked up the way the runtime's installer records it: the
// product version "pv" of the runtime's client key under EdgeUpdate, machine-wide (both registry views) and
// then for the current user, with the version folder from its client-state key. Empty when none is usable.
std::optional<InstalledRuntime> findInstalledWebView2Runtime();

// The detector's view of the same lookup, shaped like the SDK loader's version query with no browser folder:
// S_OK and the version text in a CoTaskMemAlloc'd string (free it with CoTaskMemFree) when a runtime is
// installed; HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) and a null text when none is; E_POINTER for a null
// out pointer.
HRESULT getAvailableWebView2BrowserVersion(wchar_t** versionInfo);

} // namespace kes
