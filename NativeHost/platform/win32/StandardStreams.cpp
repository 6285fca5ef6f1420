#include "platform/StandardStreams.h"

#include <windows.h>

namespace kes::platform {
namespace {

void writeStream(DWORD which, std::string_view bytes) {
    const HANDLE stream = GetStdHandle(which);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE || bytes.empty()) {
        return;
    }
    DWORD written = 0;
    WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

void writeStandardOutput(std::string_view bytes) {
    writeStream(STD_OUTPUT_HANDLE, bytes);
}

void writeStandardError(std::string_view bytes) {
    writeStream(STD_ERROR_HANDLE, bytes);
}

} // namespace kes::platform
