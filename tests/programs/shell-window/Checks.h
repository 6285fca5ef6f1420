#pragma once
#include <string>

namespace kes::shelltest {

// Prints "PASS name" or "FAIL name: detail" and remembers failures for the exit code.
void check(bool passed, const std::string& name, const std::string& detail = "");
void say(const std::string& line);
int failureCount();

} // namespace kes::shelltest
