#include "platform/ProcessInspection.h"

#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

// The process list and readings come from /proc: the name is the kernel's command name, the creation time
// the start time in clock ticks after boot, and the private bytes the resident anonymous memory.
namespace kes::platform {
namespace {

std::optional<std::string> readAt(int directory, const char* name) {
    const int fd = openat(directory, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
    close(fd);
    return text;
}

struct StatLine {
    std::string name;
    std::vector<std::string> fields; // the fields after the name, starting with the state
};

std::optional<StatLine> parseStat(const std::string& text) {
    const std::size_t open = text.find('(');
    const std::size_t closing = text.rfind(')');
    if (open == std::string::npos || closing == std::string::npos || closing < open) {
        return std::nullopt;
    }
    StatLine line;
    line.name = text.substr(open + 1, closing - open - 1);
    std::istringstream rest(text.substr(closing + 1));
    for (std::string field; rest >> field;) {
        line.fields.push_back(field);
    }
    return line;
}

std::uint64_t fieldValue(const StatLine& line, std::size_t index) {
    return index < line.fields.size() ? std::strtoull(line.fields[index].c_str(), nullptr, 10) : 0;
}

std::optional<std::uint64_t> statusKilobytes(const std::string& status, const std::string& key) {
    const std::size_t at = status.find("\n" + key + ":");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::strtoull(status.c_str() + at + key.size() + 2, nullptr, 10) * 1024u;
}

class ProcInspectedProcess final : public InspectedProcess {
public:
    explicit ProcInspectedProcess(int directory) : directory_(directory) {}
    ~ProcInspectedProcess() override { close(directory_); }
    ProcInspectedProcess(const ProcInspectedProcess&) = delete;
    ProcInspectedProcess& operator=(const ProcInspectedProcess&) = delete;

    std::optional<ProcessTimes> times() override {
        const std::optional<std::string> text = readAt(directory_, "stat");
        const std::optional<StatLine> line = text ? parseStat(*text) : std::nullopt;
        if (!line || line->fields.size() < 20) {
            return std::nullopt;
        }
        const auto ticksPerSecond = static_cast<std::uint64_t>(sysconf(_SC_CLK_TCK));
        // After the name: state(0) ... utime(11) stime(12) ... starttime(19).
        const std::uint64_t cpuTicks = fieldValue(*line, 11) + fieldValue(*line, 12);
        return ProcessTimes{fieldValue(*line, 19),
                            cpuTicks * 10000000u / (ticksPerSecond ? ticksPerSecond : 100)};
    }

    std::optional<ProcessMemory> memory() override {
        const std::optional<std::string> status = readAt(directory_, "status");
        if (!status) {
            return std::nullopt;
        }
        const std::optional<std::uint64_t> resident = statusKilobytes(*status, "VmRSS");
        const std::optional<std::uint64_t> anonymous = statusKilobytes(*status, "RssAnon");
        if (!resident || !anonymous) {
            return std::nullopt;
        }
        return ProcessMemory{*anonymous, *resident};
    }

private:
    int directory_;
};

bool allDigits(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (!std::isdigit(static_cast<unsigned char>(*text))) {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<ProcessEntry> processSnapshot() {
    std::vector<ProcessEntry> entries;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) {
        return entries;
    }
    while (const dirent* item = readdir(proc)) {
        if (!allDigits(item->d_name)) {
            continue;
        }
        const int directory = openat(dirfd(proc), item->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory < 0) {
            continue;
        }
        const std::optional<std::string> text = readAt(directory, "stat");
        close(directory);
        const std::optional<StatLine> line = text ? parseStat(*text) : std::nullopt;
        if (line && line->fields.size() > 1) {
            entries.push_back({static_cast<std::uint32_t>(std::strtoul(item->d_name, nullptr, 10)),
                               static_cast<std::uint32_t>(fieldValue(*line, 1)), line->name});
        }
    }
    closedir(proc);
    return entries;
}

std::unique_ptr<InspectedProcess> openProcessForInspection(std::uint32_t id) {
    const std::string path = "/proc/" + std::to_string(id);
    const int directory = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) {
        return nullptr;
    }
    return std::make_unique<ProcInspectedProcess>(directory);
}

} // namespace kes::platform
