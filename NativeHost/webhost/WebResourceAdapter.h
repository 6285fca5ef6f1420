#pragma once
#include "shell/HostContext.h"
#include "webhost/Browser.h"

#include <cstddef>

namespace kes {

// The size of one read of a request's content.
inline constexpr std::size_t requestReadSize = 4096;

// The browser's resource handler: turns the intercepted request into a local one (method, and the path
// after the virtual origin), answers it with serveLocalRequest against the host's state store, and hands the
// answer back with its status, reason phrase and header text. Returns the result of setting the response.
BrowserResult onWebResourceRequested(BrowserWebResourceRequest& request,
                                     HostContext& context = hostContext());

} // namespace kes
