#pragma once
#include "platform/ProgramWindows.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kes {

// The system services the program list reads; the real one asks the desktop, tests script one.
class ProgramWindowSystem {
public:
    virtual ~ProgramWindowSystem() = default;
    virtual std::vector<platform::TopLevelWindow> topLevelWindows() const = 0;
    virtual std::optional<std::wstring> processImagePath(unsigned long processId) const = 0;
    virtual std::unique_ptr<platform::FileVersionResource>
    loadVersionResource(const std::wstring& path) const = 0;
};

const ProgramWindowSystem& desktopProgramWindows();

// One entry {"executable", "name", "pid"} per distinct executable (by lower-cased file name) that shows a
// visible, titled, unowned top-level window, first in Z order wins; sorted by the UTF-8 bytes of "name".
nlohmann::json collectProgramWindows(const ProgramWindowSystem& system);

// The real windows of the desktop (none on a system without a known desktop yet).
nlohmann::json listProgramWindows();

// The version resource's FileDescription, else its ProductName (first translation that has one), else the
// file name without its last extension.
std::wstring programDisplayName(const std::wstring& imagePath, const ProgramWindowSystem& system);
std::wstring programDisplayName(const std::wstring& imagePath);

} // namespace kes
