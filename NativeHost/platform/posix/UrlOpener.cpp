#include "platform/UrlOpener.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace kes::platform {

bool openUrlInBrowser(const std::string& url) {
    std::string program = "xdg-open";
    std::string argument = url;
    char* arguments[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, arguments, environ) != 0) {
        return false;
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) {
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace kes::platform
