#include "platform/StandardStreams.h"

#include <cerrno>
#include <unistd.h>

namespace kes::platform {
namespace {

void writeStream(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace

void writeStandardOutput(std::string_view bytes) {
    writeStream(STDOUT_FILENO, bytes);
}

void writeStandardError(std::string_view bytes) {
    writeStream(STDERR_FILENO, bytes);
}

} // namespace kes::platform
