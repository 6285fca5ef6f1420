#include "platform/FileSystem.h"

#include <windows.h>

namespace kes::platform {
namespace {

constexpr DWORD shareEverything = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Closes the handle when the scope ends.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    bool close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

} // namespace

bool moveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool writeFileDurably(const std::filesystem::path& file, std::string_view content) {
    FileHandle handle(CreateFileW(file.c_str(), GENERIC_WRITE, shareEverything, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        return false;
    }
    while (!content.empty()) {
        const DWORD chunk = content.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(content.size());
        DWORD written = 0;
        if (!WriteFile(handle.get(), content.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        content.remove_prefix(written);
    }
    if (!FlushFileBuffers(handle.get())) {
        return false;
    }
    return handle.close();
}

std::optional<std::string> readWholeFile(const std::filesystem::path& file) {
    FileHandle handle(CreateFileW(file.c_str(), GENERIC_READ, shareEverything, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(handle.get(), buffer, sizeof buffer, &count, nullptr)) {
            return std::nullopt;
        }
        if (count == 0) {
            return content;
        }
        content.append(buffer, count);
    }
}

bool replaceFileWriteThrough(const std::filesystem::path& from, const std::filesystem::path& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

MoveResult moveFileWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
        return MoveResult::Moved;
    }
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? MoveResult::TargetExists
                                                                       : MoveResult::Failed;
}

bool copyFileOverwriting(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (CopyFileW(from.c_str(), to.c_str(), FALSE) == 0) {
        return false;
    }
    // CopyFileW carries the source's attributes over, a read-only one included.
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        SetFileAttributesW(to.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) == 0) {
        return false;
    }
    return true;
}

void deleteFileQuietly(const std::filesystem::path& file) {
    DeleteFileW(file.c_str());
}

} // namespace kes::platform
