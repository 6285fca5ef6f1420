#pragma once
#include "platform/TextConversion.h"

#include <cstdlib>
#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kes::test {

// Sets (or, given nothing, removes) an environment variable of this process for one scope and restores the
// earlier value afterwards. Values are UTF-8. An empty value stays set, as an empty variable.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
        previous_ = current();
        assign(value);
    }
    ~ScopedEnvironmentVariable() { assign(previous_); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
#ifdef _WIN32
    std::optional<std::string> current() const {
        const std::wstring name = toWide(name_);
        const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
        if (size == 0) {
            return std::nullopt;
        }
        std::wstring value(size, L'\0');
        value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), size));
        return toUtf8(value);
    }
    void assign(const std::optional<std::string>& value) {
        const std::wstring name = toWide(name_);
        if (value) {
            SetEnvironmentVariableW(name.c_str(), toWide(*value).c_str());
        } else {
            SetEnvironmentVariableW(name.c_str(), nullptr);
        }
    }
#else
    std::optional<std::string> current() const {
        const char* value = std::getenv(name_.c_str());
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    }
    void assign(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }
#endif

    std::string name_;
    std::optional<std::string> previous_;
};

} // namespace kes::test
