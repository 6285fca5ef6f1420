#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kes::platform {

// What the program list needs to know of one top-level window.
struct TopLevelWindow {
    bool visible = false;
    bool owned = false;
    int titleLength = 0;
    unsigned long processId = 0;
};

// Every top-level window of the desktop, top of the Z order first (none where no desktop is known).
std::vector<TopLevelWindow> topLevelWindows();

// The full image path of a process opened with limited query rights; nothing when it cannot be opened or
// queried.
std::optional<std::wstring> processImagePath(unsigned long processId);

struct VersionTranslation {
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
};

// One value of a version resource: its text up to the first null and the length the system reports.
struct VersionValue {
    std::wstring text;
    unsigned reportedLength = 0;
};

// The version resource of one file, read once and then queried.
class FileVersionResource {
public:
    virtual ~FileVersionResource() = default;
    virtual std::vector<VersionTranslation> translations() const = 0;
    // Queries a string value such as "\StringFileInfo\080404b0\FileDescription".
    virtual std::optional<VersionValue> queryString(const std::wstring& subBlock) const = 0;
};

// Nothing when the file has no version resource or it cannot be read.
std::unique_ptr<FileVersionResource> loadFileVersionResource(const std::wstring& path);

} // namespace kes::platform
