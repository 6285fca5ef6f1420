#include "shell/gtk/SingleInstance.h"

#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace kes::gtk {
namespace {

std::string lockFilePath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string directory = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
    std::string display = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
    for (char& c : display) {
        if (c == '/' || c == ':')
            c = '_';
    }
    return directory + "/kestrava-" + std::to_string(getuid()) + "-" + display + ".lock";
}

} // namespace

SingleInstance::SingleInstance() {
    fd_ = open(lockFilePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        throw std::runtime_error("无法建立单实例保护");
    first_ = flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

SingleInstance::~SingleInstance() {
    if (fd_ >= 0)
        close(fd_); // also releases the lock
}

void SingleInstance::recordWindow(unsigned long window) {
    if (!first_)
        return;
    const std::string text = std::to_string(window);
    if (ftruncate(fd_, 0) == 0 &&
        pwrite(fd_, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()))
        fsync(fd_);
}

unsigned long SingleInstance::firstWindow() const {
    char buffer[32] = {};
    const ssize_t count = pread(fd_, buffer, sizeof buffer - 1, 0);
    return count > 0 ? std::strtoul(buffer, nullptr, 10) : 0;
}

} // namespace kes::gtk
