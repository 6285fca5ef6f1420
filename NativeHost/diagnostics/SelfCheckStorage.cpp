#include "diagnostics/SelfCheckParts.h"
#include "storage/AtomicFileStore.h"
#include "storage/DataDirectories.h"
#include "storage/LegacyMigration.h"
#include "storage/StateStore.h"
#include "webhost/LocalApi.h"

#include <nlohmann/json.hpp>
#include <system_error>

namespace kes::selfcheck {
namespace {

namespace fs = std::filesystem;

fs::path child(const fs::path& directory, const char8_t* name) {
    return directory / fs::path(name);
}

bool somethingAt(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// What an earlier run left is removed, so that every run starts from the same empty directories.
void removeEarlierRun(const fs::path& dataDir) {
    for (const char8_t* name :
         {u8"state", u8"旧数据", u8"便携目录 中文 空格", u8"坏配置目标", u8"首次运行"}) {
        fs::remove_all(child(dataDir, name));
    }
}

} // namespace

void checkStorage(const fs::path& dataDir, Log& log) {
    removeEarlierRun(dataDir);

    const fs::path stateDir = child(dataDir, u8"state");
    StateStore store(stateFilePath(stateDir), log);
    const nlohmann::json document = {
        {"profiles",
         {{{"id", 1}, {"name", "兼容配置"}, {"program", ""}, {"macros", nlohmann::json::array()}}}},
        {"macroEnabled", false}};

    int status = 0;
    nlohmann::json answer = handleApiRequest(store, "POST", "/api/state", document.dump(), status);
    require(status == 200 && answer.value("saved", false) == true, "配置保存失败");
    const nlohmann::json reference = store.load();

    handleApiRequest(store, "POST", "/api/state", "{bad", status);
    require(status == 400 && store.load() == reference, "无效配置覆盖了原配置");

    const fs::path legacyFile = child(child(dataDir, u8"旧数据"), u8"配置.json");
    const std::string legacyText = document.dump(2);
    writeFileAtomically(legacyFile, legacyText);
    const fs::path portableDir = child(dataDir, u8"便携目录 中文 空格");
    require(migrateLegacyConfig(portableDir, legacyFile), "旧配置没有迁移");
    require(readFileBytes(stateFilePath(portableDir)) == legacyText, "迁移后配置不一致");

    writeFileAtomically(legacyFile, "{bad");
    const bool migratedOverExisting = migrateLegacyConfig(portableDir, legacyFile);
    require(!migratedOverExisting && readJsonFile(stateFilePath(portableDir)) == document,
            "覆盖了已有便携配置");

    const fs::path damagedTargetDir = child(dataDir, u8"坏配置目标");
    bool refused = false;
    try {
        migrateLegacyConfig(damagedTargetDir, legacyFile);
    } catch (const std::exception&) {
        refused = true;
    }
    require(refused && !somethingAt(stateFilePath(damagedTargetDir)), "损坏旧配置没有被拒绝");

    const fs::path firstRunDir = child(dataDir, u8"首次运行");
    require(!migrateLegacyConfig(firstRunDir, child(dataDir, u8"不存在.json")) && !somethingAt(firstRunDir),
            "无旧配置时错误迁移");

    require(somethingAt(stateFilePath(stateDir)), "配置文件名不正确");

    answer = handleApiRequest(store, "GET", "/api/windows", "", status);
    require(answer.is_object() && answer.contains("windows") && answer["windows"].is_array(), "程序列表无效");
}

} // namespace kes::selfcheck
