#include "webhost/ProgramList.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace {

using kes::platform::TopLevelWindow;
using kes::platform::VersionTranslation;
using kes::platform::VersionValue;

struct ScriptedVersion {
    std::vector<VersionTranslation> translations;
    std::map<std::wstring, VersionValue> strings;
};

class ScriptedResource : public kes::platform::FileVersionResource {
public:
    ScriptedResource(const ScriptedVersion& version, std::vector<std::wstring>& queries)
        : version_(version), queries_(queries) {}
    std::vector<VersionTranslation> translations() const override { return version_.translations; }
    std::optional<VersionValue> queryString(const std::wstring& subBlock) const override {
        queries_.push_back(subBlock);
        const auto found = version_.strings.find(subBlock);
        return found == version_.strings.end() ? std::nullopt : std::optional<VersionValue>(found->second);
    }

private:
    ScriptedVersion version_;
    std::vector<std::wstring>& queries_;
};

// A desktop given as data: windows in Z order, image paths by process, version resources by path.
class ScriptedDesktop : public kes::ProgramWindowSystem {
public:
    std::vector<TopLevelWindow> windows;
    std::map<unsigned long, std::wstring> images;
    std::map<std::wstring, ScriptedVersion> versions;
    std::wstring failingVersionPath;
    mutable std::vector<std::wstring> queries;

    void addWindow(unsigned long pid, std::wstring image, bool visible = true, bool owned = false,
                   int title = 5) {
        windows.push_back({visible, owned, title, pid});
        if (!image.empty()) {
            images[pid] = std::move(image);
        }
    }

    std::vector<TopLevelWindow> topLevelWindows() const override { return windows; }
    std::optional<std::wstring> processImagePath(unsigned long pid) const override {
        const auto found = images.find(pid);
        return found == images.end() ? std::nullopt : std::optional<std::wstring>(found->second);
    }
    std::unique_ptr<kes::platform::FileVersionResource>
    loadVersionResource(const std::wstring& path) const override {
        if (path == failingVersionPath) {
            throw std::runtime_error("version resource unreadable");
        }
        const auto found = versions.find(path);
        if (found == versions.end()) {
            return nullptr;
        }
        return std::make_unique<ScriptedResource>(found->second, queries);
    }
};

VersionValue value(const std::wstring& text) {
    return {text, static_cast<unsigned>(text.size() + 1)};
}

} // namespace

TEST(ProgramList, OnlyVisibleUnownedTitledWindowsOfOpenableProcessesAreListed) {
    ScriptedDesktop desktop;
    desktop.addWindow(1, L"C:\\Apps\\hidden.exe", false);
    desktop.addWindow(2, L"C:\\Apps\\owned.exe", true, true);
    desktop.addWindow(3, L"C:\\Apps\\untitled.exe", true, false, 0);
    desktop.addWindow(4, L""); // the process cannot be opened
    desktop.addWindow(5, L"C:\\Apps\\shown.exe");
    EXPECT_EQ(kes::collectProgramWindows(desktop).dump(),
              R"([{"executable":"shown.exe","name":"shown","pid":5}])");
}

TEST(ProgramList, EmptyDesktopGivesAnEmptyArray) {
    ScriptedDesktop desktop;
    const nlohmann::json list = kes::collectProgramWindows(desktop);
    EXPECT_TRUE(list.is_array());
    EXPECT_TRUE(list.empty());
}

TEST(ProgramList, OneEntryPerExecutableIgnoringLetterCaseFirstInZOrderWins) {
    ScriptedDesktop desktop;
    desktop.addWindow(7, L"C:\\Games\\Game.EXE");
    desktop.addWindow(8, L"D:\\Other\\game.exe");
    desktop.addWindow(7, L"C:\\Games\\Game.EXE");
    desktop.addWindow(9, L"C:\\Untitled\\GAME.exe", true, false, 0); // skipped before it takes the name
    EXPECT_EQ(kes::collectProgramWindows(desktop).dump(),
              R"([{"executable":"Game.EXE","name":"Game","pid":7}])");
}

TEST(ProgramList, AnOtherTitledWindowStillListsTheProgram) {
    ScriptedDesktop desktop;
    desktop.addWindow(3, L"C:\\Apps\\tool.exe", true, false, 0);
    desktop.addWindow(3, L"C:\\Apps\\tool.exe");
    EXPECT_EQ(kes::collectProgramWindows(desktop).size(), 1u);
}

TEST(ProgramList, DisplayNamePrefersFileDescriptionThenProductNameThenStem) {
    ScriptedDesktop desktop;
    const std::wstring both = L"C:\\a\\both.exe", product = L"C:\\a\\product.exe", none = L"C:\\a\\none.exe";
    desktop.versions[both] = {{{0x0804, 0x04b0}},
                              {{L"\\StringFileInfo\\080404b0\\FileDescription", value(L"描述")},
                               {L"\\StringFileInfo\\080404b0\\ProductName", value(L"产品")}}};
    desktop.versions[product] = {{{0x0409, 0x04b0}},
                                 {{L"\\StringFileInfo\\040904b0\\FileDescription", value(L"")},
                                  {L"\\StringFileInfo\\040904b0\\ProductName", value(L"Product")}}};
    desktop.versions[none] = {{}, {}};
    EXPECT_EQ(kes::programDisplayName(both, desktop), L"描述");
    EXPECT_EQ(kes::programDisplayName(product, desktop), L"Product");
    EXPECT_EQ(kes::programDisplayName(none, desktop), L"none");
}

TEST(ProgramList, TranslationsAreTriedInOrderWithLowerCaseHexSubBlocks) {
    ScriptedDesktop desktop;
    const std::wstring path = L"C:\\a\\multi.exe";
    desktop.versions[path] = {{{0x0409, 0x04E4}, {0x0804, 0x03A8}},
                              {{L"\\StringFileInfo\\080403a8\\ProductName", value(L"第二个")}}};
    EXPECT_EQ(kes::programDisplayName(path, desktop), L"第二个");
    EXPECT_EQ(desktop.queries, (std::vector<std::wstring>{
                                   L"\\StringFileInfo\\040904e4\\FileDescription",
                                   L"\\StringFileInfo\\040904e4\\ProductName",
                                   L"\\StringFileInfo\\080403a8\\FileDescription",
                                   L"\\StringFileInfo\\080403a8\\ProductName",
                               }));
}

TEST(ProgramList, ValueMustReportAtLeastTwoCharacters) {
    ScriptedDesktop desktop;
    const std::wstring path = L"C:\\a\\short.exe";
    desktop.versions[path] = {{{0x0409, 0x04b0}},
                              {{L"\\StringFileInfo\\040904b0\\FileDescription", {L"", 1}},
                               {L"\\StringFileInfo\\040904b0\\ProductName", {L"X", 2}}}};
    EXPECT_EQ(kes::programDisplayName(path, desktop), L"X");
}

TEST(ProgramList, StemRemovesOnlyTheLastExtension) {
    ScriptedDesktop desktop;
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\Windows\\notepad.exe", L"notepad"}, {L"C:\\x\\archive.tar.gz", L"archive.tar"},
        {L"C:\\x\\.hidden", L".hidden"},           {L"C:\\x\\noextension", L"noextension"},
        {L"/usr/bin/forward.bin", L"forward"},     {L"C:\\x/mixed\\end.exe", L"end"},
        {L"C:\\x\\trailing.", L"trailing"},
    };
    for (const auto& [path, stem] : cases) {
        EXPECT_EQ(kes::programDisplayName(path, desktop), stem);
    }
}

TEST(ProgramList, SortedByUnsignedNameBytesShorterPrefixFirst) {
    ScriptedDesktop desktop;
    desktop.addWindow(1, L"C:\\a\\\u00e9clair.exe"); // "é" is 0xC3 0xA9 in UTF-8, after every ASCII letter
    desktop.addWindow(2, L"C:\\a\\beta.exe");
    desktop.addWindow(3, L"C:\\a\\Zeta.exe");
    desktop.addWindow(4, L"C:\\a\\bet.exe");
    desktop.addWindow(5, L"C:\\a\\\u7f16\u8f91.exe");
    std::vector<std::string> names;
    for (const nlohmann::json& entry : kes::collectProgramWindows(desktop)) {
        names.push_back(entry["name"].get<std::string>());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Zeta", "bet", "beta",
                                               "\xc3\xa9"
                                               "clair",
                                               "编辑"}));
}

TEST(ProgramList, AnEntryThatFailsIsSkippedAndKeepsItsName) {
    ScriptedDesktop desktop;
    desktop.failingVersionPath = L"C:\\a\\broken.exe";
    desktop.addWindow(1, L"C:\\a\\broken.exe");
    desktop.addWindow(2, L"C:\\b\\BROKEN.exe");
    desktop.addWindow(3, L"C:\\a\\fine.exe");
    EXPECT_EQ(kes::collectProgramWindows(desktop).dump(),
              R"([{"executable":"fine.exe","name":"fine","pid":3}])");
}

TEST(ProgramList, SystemListIsAnArray) {
    EXPECT_TRUE(kes::listProgramWindows().is_array());
}
