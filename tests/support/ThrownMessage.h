#pragma once
#include <exception>
#include <functional>
#include <string>

namespace kes::test {

// The text of the exception the action throws, or "(no exception)".
inline std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no exception)";
}

} // namespace kes::test
