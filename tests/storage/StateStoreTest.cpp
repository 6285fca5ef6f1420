#include "storage/StateStore.h"
#include "storage/PathText.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace fs = std::filesystem;
using kes::test::entryNames;
using kes::test::fileBytes;
using kes::test::messageOf;
using kes::test::putFileBytes;

namespace {

class StateStoreTest : public ::testing::Test {
protected:
    StateStoreTest() : scratch("state-store"), store(scratch / u8"Kestrava配置.json", log) {
        log.setDirectory(scratch / "logs");
    }

    std::string errorLog() const { return fileBytes(scratch / u8"logs/错误.log"); }

    kes::test::ScratchDirectory scratch;
    kes::Log log;
    kes::StateStore store;
};

const char* const validDocument =
    R"({"selectedProfile":1,"profiles":[{"name":"默认","id":1,"program":"","macros":[]}],"macroEnabled":false})";

// A stored document of exactly `size` bytes once serialised with sorted keys and an indent of 2.
std::string documentStoredAs(std::size_t size) {
    nlohmann::json document = {{"profiles", {{{"macros", nlohmann::json::array()}}}}, {"pad", ""}};
    const std::size_t base = document.dump(2).size();
    document["pad"] = std::string(size - base, 'p');
    return document.dump();
}

} // namespace

TEST_F(StateStoreTest, MissingFileLoadsAsNull) {
    EXPECT_TRUE(store.load().is_null());
}

TEST_F(StateStoreTest, SaveStoresSortedIndentedUtf8WithoutFinalNewline) {
    store.save(validDocument);
    const std::string expected = "{\n"
                                 "  \"macroEnabled\": false,\n"
                                 "  \"profiles\": [\n"
                                 "    {\n"
                                 "      \"id\": 1,\n"
                                 "      \"macros\": [],\n"
                                 "      \"name\": \"默认\",\n"
                                 "      \"program\": \"\"\n"
                                 "    }\n"
                                 "  ],\n"
                                 "  \"selectedProfile\": 1\n"
                                 "}";
    EXPECT_EQ(fileBytes(store.path()), expected);
    EXPECT_EQ(store.load(), nlohmann::json::parse(validDocument));
    EXPECT_EQ(entryNames(scratch.path()), std::vector<std::string>{"Kestrava配置.json"});
}

TEST_F(StateStoreTest, KeepsKeysItDoesNotCheck) {
    store.save(R"({"profiles":[{"macros":[]}],"未知":{"b":[1,null],"a":"值"},"selectedMacro":null})");
    const nlohmann::json loaded = store.load();
    EXPECT_EQ(loaded["未知"], nlohmann::json::parse(R"({"a":"值","b":[1,null]})"));
    EXPECT_TRUE(loaded.contains("selectedMacro"));
}

TEST_F(StateStoreTest, RefusedSavesLeaveTheFileByteForByte) {
    store.save(validDocument);
    const std::string before = fileBytes(store.path());
    struct Case {
        std::string body;
        std::string message; // empty: the JSON library's parse error; "[…": part of a library error
    };
    const std::vector<Case> cases = {
        {"", "配置大小无效"},
        {std::string(1048577, ' '), "配置大小无效"},
        {"{bad", ""},
        {"[]", "配置格式无效"},
        {"42", "配置格式无效"},
        {R"({"selectedProfile":1})", "配置格式无效"},
        {R"({"profiles":[]})", "配置格式无效"},
        {R"({"profiles":{}})", "配置格式无效"},
        {R"({"profiles":null})", "配置格式无效"},
        {R"({"profiles":[{"macros":[]},{"macros":[{"id":3},{"id":3}]}]})", "宏编号重复"},
        {R"({"profiles":[{"macros":[{"behavior":"Once"}]}]})", "触发方式无效"},
        {R"({"profiles":[5]})", "[json.exception.type_error.306] cannot use value() with "},
    };
    for (const Case& c : cases) {
        const std::string message = messageOf([&] { store.save(c.body); });
        if (c.message.empty()) {
            EXPECT_NE(message.find("[json.exception.parse_error"), std::string::npos) << c.body;
        } else if (c.message.front() == '[') {
            EXPECT_NE(message.find(c.message), std::string::npos) << message;
        } else {
            EXPECT_EQ(message, c.message) << c.body.substr(0, 80);
        }
        EXPECT_EQ(fileBytes(store.path()), before) << c.body.substr(0, 80);
    }
    EXPECT_EQ(entryNames(scratch.path()), (std::vector<std::string>{"Kestrava配置.json"}));
}

TEST_F(StateStoreTest, PostedBodyLimitIsOneMebibyteInclusive) {
    const std::string compact = R"({"profiles":[{"macros":[]}]})";
    store.save(compact + std::string(1048576 - compact.size(), ' '));
    EXPECT_EQ(store.load(), nlohmann::json::parse(compact));
    EXPECT_EQ(messageOf([&] { store.save(compact + std::string(1048577 - compact.size(), ' ')); }),
              "配置大小无效");
}

// The stored form is larger than the posted text; a save that load would refuse is refused instead.
TEST_F(StateStoreTest, StoredFormOverOneMebibyteIsRefusedAndTheFileKept) {
    store.save(validDocument);
    const std::string before = fileBytes(store.path());

    const std::string fits = documentStoredAs(1048576);
    ASSERT_LT(fits.size(), 1048576u);
    store.save(fits);
    EXPECT_EQ(fileBytes(store.path()).size(), 1048576u);
    EXPECT_EQ(store.load(), nlohmann::json::parse(fits));

    store.save(validDocument);
    EXPECT_EQ(messageOf([&] { store.save(documentStoredAs(1048577)); }), "配置大小无效");
    EXPECT_EQ(fileBytes(store.path()), before);

    // Indentation alone can push a small posted text over the limit.
    nlohmann::json many = {{"profiles", {{{"macros", nlohmann::json::array()}}}},
                           {"list", nlohmann::json::array()}};
    for (int i = 0; i < 200000; ++i) {
        many["list"].push_back(0);
    }
    ASSERT_LT(many.dump().size(), 500000u);
    EXPECT_EQ(messageOf([&] { store.save(many.dump()); }), "配置大小无效");
    EXPECT_EQ(fileBytes(store.path()), before);
}

// A stored file that a save would lose is kept under a new name before the save replaces it: one that cannot
// be loaded, and one that loads but is not a state document by the rules a posted document must meet.
TEST_F(StateStoreTest, UnusableFileIsMovedAsideAndLoggedBeforeTheSave) {
    const std::vector<std::string> unusable = {
        "{bad",
        std::string(1048577, ' '),
        "42",
        "null",
        R"([{"profiles":[{"macros":[]}]}])",
        R"({"profiles":{"a":{"macros":[]}}})",
        R"({"profiles":[]})",
        R"({"selectedProfile":1})",
        R"({"profiles":[null]})",
        R"({"profiles":[{"macros":[{"id":1,"trigger":5}]}]})",
        R"({"profiles":[{"macros":[{"id":1,"behavior":"twice"}]}]})",
        R"({"profiles":[{"macros":[{"id":1},{"id":1}]}]})",
        R"({"profiles":[{"macros":[{"id":1,"steps":[{"key":"a","hold":"30"}]}]}]})",
    };
    for (const std::string& content : unusable) {
        SCOPED_TRACE(content.substr(0, 60));
        kes::test::ScratchDirectory local("state-damaged");
        kes::StateStore damagedStore(local / u8"Kestrava配置.json", log);
        putFileBytes(damagedStore.path(), content);

        damagedStore.save(validDocument);
        EXPECT_EQ(damagedStore.load(), nlohmann::json::parse(validDocument));
        const std::vector<std::string> names = entryNames(local.path());
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0], "Kestrava配置.json");
        const std::string prefix = "Kestrava配置.json.damaged-";
        ASSERT_EQ(names[1].substr(0, prefix.size()), prefix);
        EXPECT_EQ(fileBytes(local.path() / fs::path(std::u8string(names[1].begin(), names[1].end()))),
                  content);
        const std::string logged = errorLog();
        const std::string original = kes::pathToUtf8(damagedStore.path());
        const std::size_t line = logged.rfind(original);
        ASSERT_NE(line, std::string::npos) << logged;
        EXPECT_NE(logged.find(names[1], line), std::string::npos) << logged;
    }
}

// The document that a refused save leaves is never moved aside: only a save that will replace it does that.
TEST_F(StateStoreTest, RefusedSaveLeavesAnUnusableFileWhereItIs) {
    putFileBytes(store.path(), "[1]");
    EXPECT_EQ(messageOf([&] { store.save(R"({"profiles":[]})"); }), "配置格式无效");
    EXPECT_EQ(entryNames(scratch.path()), std::vector<std::string>{"Kestrava配置.json"});
    EXPECT_EQ(fileBytes(store.path()), "[1]");
}

TEST_F(StateStoreTest, StateDocumentIsReplacedWithoutCopy) {
    // Kept as the page or an older version wrote it: another layout, unknown keys, times the engine clamps.
    putFileBytes(store.path(),
                 R"({"profiles":[{"macros":[{"id":2,"steps":[{"key":"a","gap":-5}]}]}],"x":1})");
    store.save(validDocument);
    EXPECT_EQ(entryNames(scratch.path()), std::vector<std::string>{"Kestrava配置.json"});
    EXPECT_FALSE(fs::exists(scratch / u8"logs/错误.log"));
}

TEST_F(StateStoreTest, LoadReturnsAnyStoredValueUnchecked) {
    putFileBytes(store.path(), " [1, \"二\"] ");
    EXPECT_EQ(store.load(), nlohmann::json::parse(R"([1,"二"])"));
    putFileBytes(store.path(), "{bad");
    EXPECT_NE(messageOf([&] { store.load(); }).find("[json.exception.parse_error"), std::string::npos);
}
