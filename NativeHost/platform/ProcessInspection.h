#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kes::platform {

// One entry of the system's process list.
struct ProcessEntry {
    std::uint32_t id = 0;
    std::uint32_t parentId = 0;
    std::string name; // the executable's file name, UTF-8
};

// Every process the system lists now; empty when no list can be taken.
std::vector<ProcessEntry> processSnapshot();

struct ProcessTimes {
    std::uint64_t creationTime = 0; // 100 ns units since a fixed epoch; tells a reused id apart
    std::uint64_t cpuTime = 0;      // kernel + user time, 100 ns units
};

struct ProcessMemory {
    std::uint64_t privateBytes = 0;
    std::uint64_t workingSetBytes = 0;
};

// A process opened for querying its times and memory; closed when destroyed.
class InspectedProcess {
public:
    virtual ~InspectedProcess() = default;
    virtual std::optional<ProcessTimes> times() = 0;
    virtual std::optional<ProcessMemory> memory() = 0;
};

// Opens the process for limited queries and memory reads; null when it cannot be opened.
std::unique_ptr<InspectedProcess> openProcessForInspection(std::uint32_t id);

} // namespace kes::platform
