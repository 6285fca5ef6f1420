#include "Checks.h"

#include <cstdio>

namespace kes::shelltest {
namespace {

int failures = 0;

} // namespace

void say(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void check(bool passed, const std::string& name, const std::string& detail) {
    if (passed) {
        say("PASS " + name);
    } else {
        ++failures;
        say("FAIL " + name + (detail.empty() ? "" : ": " + detail));
    }
}

int failureCount() {
    return failures;
}

} // namespace kes::shelltest
