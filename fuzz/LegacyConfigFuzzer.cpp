// The legacy configuration reader (the one-time migration of the old state document): whatever the old
// file holds, it is never changed; a migration either copies it byte for byte or refuses with a documented
// message and leaves no state file and no temporary file; an existing state file is never replaced.
#include "FuzzSupport.h"
#include "storage/LegacyMigration.h"

#include <cstddef>
#include <cstdint>

namespace {

using namespace kes;

constexpr std::initializer_list<std::string_view> migrationRefusals = {
    "旧配置文件过大，原文件已保留",
    "旧配置格式无效，原文件已保留",
    "无法读取文件",
};

const std::string existingState = R"({"profiles":[{"id":1,"macros":[]}]})";

std::size_t entriesIn(const fuzz::fs::path& directory) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fuzz::fs::directory_iterator(directory)) {
        ++count;
    }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::fs::path root = fuzz::scratchDirectory() / "legacy";
    const fuzz::fs::path source = root / "Velkamo" / fuzz::fs::path(u8"配置.json");
    const fuzz::fs::path dataDir = root / fuzz::fs::path(u8"数据 目录");
    const fuzz::fs::path target = dataDir / fuzz::fs::path(u8"Kestrava配置.json");

    fuzz::InputReader input(data, size);
    const bool targetExists = (input.byte() & 1) != 0;
    const std::string bytes = input.rest();
    fuzz::fs::remove_all(dataDir);
    fuzz::fs::create_directories(source.parent_path());
    fuzz::writeBytes(source, bytes);
    if (targetExists) {
        fuzz::fs::create_directories(dataDir);
        fuzz::writeBytes(target, existingState);
    }

    bool migrated = false;
    try {
        migrated = migrateLegacyConfig(dataDir, source);
    } catch (const std::exception& e) {
        KES_FUZZ_CHECK(fuzz::isDocumentedRefusal(e, migrationRefusals), fuzz::describe(e));
        KES_FUZZ_CHECK(!targetExists, "an existing state file was not simply kept");
        KES_FUZZ_CHECK(!fuzz::fs::exists(dataDir) || entriesIn(dataDir) == 0,
                       "a refused migration left a file in the data directory");
    }
    KES_FUZZ_CHECK(fuzz::fileBytes(source) == bytes, "the legacy file changed");
    if (targetExists) {
        KES_FUZZ_CHECK(!migrated && fuzz::fileBytes(target) == existingState,
                       "an existing state file changed");
    } else if (migrated) {
        KES_FUZZ_CHECK(fuzz::fileBytes(target) == bytes, "the migrated file differs from the legacy file");
        KES_FUZZ_CHECK(entriesIn(dataDir) == 1, "the migration left a temporary file");
    }
    return 0;
}
