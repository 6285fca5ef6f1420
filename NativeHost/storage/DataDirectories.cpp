#include "storage/DataDirectories.h"

#include "platform/Directories.h"

#include <stdexcept>

namespace kes {

SystemFolders systemFolders() {
    return {platform::programDirectory, platform::localAppDataDirectory};
}

DataDirectories::DataDirectories(std::filesystem::path dataRoot, SystemFolders folders)
    : dataRoot_(std::move(dataRoot)), folders_(std::move(folders)) {}

DataDirectories DataDirectories::fromEnvironment(bool checkMode, SystemFolders folders) {
    std::filesystem::path root = platform::environmentPath(dataRootVariable);
    if (checkMode && root.empty()) {
        throw std::runtime_error("验收必须指定隔离配置目录");
    }
    return DataDirectories(std::move(root), std::move(folders));
}

std::filesystem::path DataDirectories::dataDirectory() const {
    return dataRootGiven() ? dataRoot_ : folders_.programDirectory();
}

std::filesystem::path DataDirectories::logDirectory() const {
    if (dataRootGiven()) {
        return dataRoot_ / "logs";
    }
    return folders_.localAppDataDirectory() / "Kestrava" / "logs";
}

std::filesystem::path DataDirectories::webView2UserDataFolder() const {
    if (dataRootGiven()) {
        return dataRoot_ / "WebView2";
    }
    return folders_.localAppDataDirectory() / "Velkamo" / "WebView2";
}

std::filesystem::path DataDirectories::legacyConfigFile() const {
    return folders_.localAppDataDirectory() / "Velkamo" / std::filesystem::path(u8"配置.json");
}

std::filesystem::path stateFilePath(const std::filesystem::path& dataDir) {
    return dataDir / std::filesystem::path(stateFileName);
}

} // namespace kes
