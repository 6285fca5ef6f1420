#pragma once
#include <filesystem>
#include <functional>

namespace kes {

inline constexpr const char* dataRootVariable = "KESTRAVA_DATA_ROOT";
inline constexpr const char8_t* stateFileName = u8"Kestrava配置.json";

// Where the directories that are not the data root come from (the system's folders by default; tests
// count or refuse the queries).
struct SystemFolders {
    std::function<std::filesystem::path()> programDirectory;
    std::function<std::filesystem::path()> localAppDataDirectory;
};
SystemFolders systemFolders();

// The program's directories for one data root. The data root is given when it is not empty; it is used as
// it stands, neither made absolute nor checked. With a data root the local data folder is never queried.
class DataDirectories {
public:
    explicit DataDirectories(std::filesystem::path dataRoot, SystemFolders folders = systemFolders());

    // Reads "KESTRAVA_DATA_ROOT". A check mode (`checkMode`) without it throws "验收必须指定隔离配置目录".
    static DataDirectories fromEnvironment(bool checkMode, SystemFolders folders = systemFolders());

    bool dataRootGiven() const { return !dataRoot_.empty(); }
    const std::filesystem::path& dataRoot() const { return dataRoot_; }

    // The data root, else the program's directory.
    std::filesystem::path dataDirectory() const;
    // dataDir\logs, else <local data>\Kestrava\logs.
    std::filesystem::path logDirectory() const;
    // dataDir\WebView2, else <local data>\Velkamo\WebView2.
    std::filesystem::path webView2UserDataFolder() const;
    // <local data>\Velkamo\配置.json, the state document of older versions (read only without a data root).
    std::filesystem::path legacyConfigFile() const;

private:
    std::filesystem::path dataRoot_;
    SystemFolders folders_;
};

// dataDir\Kestrava配置.json.
std::filesystem::path stateFilePath(const std::filesystem::path& dataDir);

} // namespace kes
