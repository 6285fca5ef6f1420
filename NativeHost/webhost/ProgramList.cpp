#include "webhost/ProgramList.h"

#include "platform/TextConversion.h"

#include <algorithm>
#include <cwchar>
#include <set>

namespace kes {
namespace {

class DesktopProgramWindows : public ProgramWindowSystem {
public:
    std::vector<platform::TopLevelWindow> topLevelWindows() const override {
        return platform::topLevelWindows();
    }
    std::optional<std::wstring> processImagePath(unsigned long processId) const override {
        return platform::processImagePath(processId);
    }
    std::unique_ptr<platform::FileVersionResource>
    loadVersionResource(const std::wstring& path) const override {
        return platform::loadFileVersionResource(path);
    }
};

// The last component of an image path; backslash and slash both separate.
std::wstring fileNameOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

// The file name without its last extension; "." and ".." and a name whose only dot leads stay whole.
std::wstring stemOf(const std::wstring& fileName) {
    if (fileName == L"." || fileName == L"..") {
        return fileName;
    }
    const std::size_t dot = fileName.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::wstring lowerCaseAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

std::wstring stringFileInfoPath(const platform::VersionTranslation& translation, const wchar_t* key) {
    wchar_t text[128] = {};
    std::swprintf(text, sizeof text / sizeof text[0], L"\\StringFileInfo\\%04x%04x\\%ls",
                  static_cast<unsigned>(translation.language), static_cast<unsigned>(translation.codePage),
                  key);
    return text;
}

bool byUnsignedNameBytes(const nlohmann::json& left, const nlohmann::json& right) {
    const std::string& a = left.at("name").get_ref<const std::string&>();
    const std::string& b = right.at("name").get_ref<const std::string&>();
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

} // namespace

const ProgramWindowSystem& desktopProgramWindows() {
    static const DesktopProgramWindows system;
    return system;
}

std::wstring programDisplayName(const std::wstring& imagePath, const ProgramWindowSystem& system) {
    if (const auto resource = system.loadVersionResource(imagePath)) {
        for (const platform::VersionTranslation& translation : resource->translations()) {
            for (const wchar_t* key : {L"FileDescription", L"ProductName"}) {
                const auto value = resource->queryString(stringFileInfoPath(translation, key));
                if (value && value->reportedLength >= 2) {
                    return value->text;
                }
            }
        }
    }
    return stemOf(fileNameOf(imagePath));
}

std::wstring programDisplayName(const std::wstring& imagePath) {
    return programDisplayName(imagePath, desktopProgramWindows());
}

nlohmann::json collectProgramWindows(const ProgramWindowSystem& system) {
    nlohmann::json programs = nlohmann::json::array();
    std::set<std::wstring> listed;
    for (const platform::TopLevelWindow& window : system.topLevelWindows()) {
        if (!window.visible || window.owned || window.titleLength <= 0) {
            continue;
        }
        const std::optional<std::wstring> imagePath = system.processImagePath(window.processId);
        if (!imagePath) {
            continue;
        }
        const std::wstring fileName = fileNameOf(*imagePath);
        if (!listed.insert(lowerCaseAscii(fileName)).second) {
            continue;
        }
        try {
            programs.push_back({{"executable", toUtf8(fileName)},
                                {"name", toUtf8(programDisplayName(*imagePath, system))},
                                {"pid", window.processId}});
        } catch (const std::exception&) {
            // This program is left out; its name stays taken for the rest of the enumeration.
        }
    }
    std::sort(programs.begin(), programs.end(), byUnsignedNameBytes);
    return programs;
}

nlohmann::json listProgramWindows() {
    return collectProgramWindows(desktopProgramWindows());
}

} // namespace kes
