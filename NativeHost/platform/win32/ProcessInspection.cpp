#include "platform/ProcessInspection.h"

#include "platform/TextConversion.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

namespace kes::platform {
namespace {

std::uint64_t fileTimeValue(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

class Win32InspectedProcess final : public InspectedProcess {
public:
    explicit Win32InspectedProcess(HANDLE process) : process_(process) {}
    ~Win32InspectedProcess() override { CloseHandle(process_); }
    Win32InspectedProcess(const Win32InspectedProcess&) = delete;
    Win32InspectedProcess& operator=(const Win32InspectedProcess&) = delete;

    std::optional<ProcessTimes> times() override {
        FILETIME creation{}, exit{}, kernel{}, user{};
        if (!GetProcessTimes(process_, &creation, &exit, &kernel, &user)) {
            return std::nullopt;
        }
        return ProcessTimes{fileTimeValue(creation), fileTimeValue(kernel) + fileTimeValue(user)};
    }

    std::optional<ProcessMemory> memory() override {
        PROCESS_MEMORY_COUNTERS_EX counters{};
        counters.cb = sizeof counters;
        if (!K32GetProcessMemoryInfo(process_, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                     sizeof counters)) {
            return std::nullopt;
        }
        return ProcessMemory{counters.PrivateUsage, counters.WorkingSetSize};
    }

private:
    HANDLE process_;
};

} // namespace

std::vector<ProcessEntry> processSnapshot() {
    std::vector<ProcessEntry> entries;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return entries;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        entries.push_back({entry.th32ProcessID, entry.th32ParentProcessID, toUtf8(entry.szExeFile)});
    }
    CloseHandle(snapshot);
    return entries;
}

std::unique_ptr<InspectedProcess> openProcessForInspection(std::uint32_t id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (process == nullptr) {
        return nullptr;
    }
    return std::make_unique<Win32InspectedProcess>(process);
}

} // namespace kes::platform
