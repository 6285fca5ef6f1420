#pragma once
#include <string>

namespace kes::platform {

// Opens the address in the user's default browser; true when the system accepted the request.
bool openUrlInBrowser(const std::string& url);

} // namespace kes::platform
