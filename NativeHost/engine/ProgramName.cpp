#include "engine/ProgramName.h"

namespace kes {
namespace {

wchar_t asciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool isDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

} // namespace

std::wstring programFileName(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos) {
        return path.substr(separator + 1);
    }
    // A drive-relative path such as "D:game.exe" names "game.exe".
    if (path.size() >= 2 && path[1] == L':' && isDriveLetter(path[0])) {
        return path.substr(2);
    }
    return path;
}

bool sameProgramName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace kes
