#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace kes::platform {
namespace {

// Closes the descriptor when the scope ends.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes now and reports whether the close succeeded.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes a finished rename in the directory durable. A failure here cannot undo the rename, so it is
// not reported.
void syncParentDirectory(const std::filesystem::path& file) {
    std::filesystem::path directory = file.parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) {
        ::fsync(fd.get());
    }
}

} // namespace

bool moveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool writeFileDurably(const std::filesystem::path& file, std::string_view content) {
    FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid()) {
        return false;
    }
    if (!writeAll(fd.get(), content) || ::fsync(fd.get()) != 0) {
        return false;
    }
    return fd.close();
}

std::optional<std::string> readWholeFile(const std::filesystem::path& file) {
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        return std::nullopt;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (count == 0) {
            return content;
        }
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

bool replaceFileWriteThrough(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    syncParentDirectory(to);
    return true;
}

MoveResult moveFileWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        syncParentDirectory(to);
        return MoveResult::Moved;
    }
    if (errno == EEXIST) {
        return MoveResult::TargetExists;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return MoveResult::Failed;
    }
    // The file system cannot rename without replacing: a hard link never replaces either.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno == EEXIST ? MoveResult::TargetExists : MoveResult::Failed;
    }
    ::unlink(from.c_str());
    syncParentDirectory(to);
    return MoveResult::Moved;
}

bool copyFileOverwriting(const std::filesystem::path& from, const std::filesystem::path& to) {
    FileDescriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!source.valid()) {
        return false;
    }
    FileDescriptor target(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!target.valid()) {
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(source.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (count == 0) {
            break;
        }
        if (!writeAll(target.get(), std::string_view(buffer, static_cast<std::size_t>(count)))) {
            return false;
        }
    }
    return ::fsync(target.get()) == 0 && target.close();
}

void deleteFileQuietly(const std::filesystem::path& file) {
    ::unlink(file.c_str());
}

} // namespace kes::platform
