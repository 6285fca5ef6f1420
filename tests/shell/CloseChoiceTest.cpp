#include "shell/CloseChoice.h"

#include "shell/ShellTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;
using kes::CloseChoice;

namespace {

fs::path closeFile(const fs::path& dir) {
    return dir / fs::path(kes::closeChoiceFileName);
}

std::string errorText(const fs::path& dir) {
    try {
        kes::loadCloseChoice(dir);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(CloseChoice, MissingFileMeansAsk) {
    const fs::path dir = kes::test::freshDirectory("close-missing");
    EXPECT_EQ(kes::loadCloseChoice(dir), CloseChoice::Ask);
    EXPECT_EQ(kes::loadCloseChoice(dir / "absent"), CloseChoice::Ask);
}

TEST(CloseChoice, StoredActionsAreMatchedExactly) {
    const fs::path dir = kes::test::freshDirectory("close-actions");
    const std::pair<const char*, CloseChoice> cases[] = {
        {R"({"action":"tray"})", CloseChoice::Tray},         {R"({"action":"exit"})", CloseChoice::Exit},
        {R"({"action":"ask"})", CloseChoice::Ask},           {R"({"action":"Tray"})", CloseChoice::Ask},
        {R"({"action":" exit"})", CloseChoice::Ask},         {R"({})", CloseChoice::Ask},
        {" {\"action\" : \"tray\"}\r\n", CloseChoice::Tray}, {R"({"other":"tray"})", CloseChoice::Ask},
    };
    for (const auto& [text, expected] : cases) {
        kes::test::writeAll(closeFile(dir), text);
        EXPECT_EQ(kes::loadCloseChoice(dir), expected) << text;
    }
}

TEST(CloseChoice, MalformedFilesRaiseTheLibraryErrors) {
    const fs::path dir = kes::test::freshDirectory("close-malformed");
    const std::pair<const char*, const char*> cases[] = {
        {R"(["tray"])", "cannot use value() with array"},
        {R"("tray")", "cannot use value() with string"},
        {R"({"action":5})", "type must be string, but is number"},
        {R"({"action":null})", "type must be string, but is null"},
        {R"({"action":"tray"} x)", "parse_error"},
        {"", "parse_error"},
        {"// note\n{\"action\":\"tray\"}", "parse_error"},
    };
    for (const auto& [text, expected] : cases) {
        kes::test::writeAll(closeFile(dir), text);
        EXPECT_NE(errorText(dir).find(expected), std::string::npos) << text << " -> " << errorText(dir);
    }
}

TEST(CloseChoice, OversizedFileIsRefused) {
    const fs::path dir = kes::test::freshDirectory("close-large");
    kes::test::writeAll(closeFile(dir), R"({"action":"tray","pad":")" + std::string(1048576, 'x') + "\"}");
    EXPECT_EQ(errorText(dir), "配置文件过大");
}

TEST(CloseChoice, SavedFileHoldsExactlyTheCompactObject) {
    const fs::path dir = kes::test::freshDirectory("close-save") / "not-yet";
    kes::saveCloseChoice(dir, CloseChoice::Tray);
    EXPECT_EQ(kes::test::readAll(closeFile(dir)), R"({"action":"tray"})");
    kes::saveCloseChoice(dir, CloseChoice::Exit);
    EXPECT_EQ(kes::test::readAll(closeFile(dir)), R"({"action":"exit"})");
    kes::saveCloseChoice(dir, CloseChoice::Ask);
    EXPECT_EQ(kes::test::readAll(closeFile(dir)), R"({"action":"ask"})");
    EXPECT_EQ(kes::loadCloseChoice(dir), CloseChoice::Ask);
    kes::saveCloseChoice(dir, CloseChoice::Tray);
    EXPECT_EQ(kes::loadCloseChoice(dir), CloseChoice::Tray);
}
