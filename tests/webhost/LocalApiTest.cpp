#include "webhost/LocalApi.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace fs = std::filesystem;
using kes::test::fileBytes;
using kes::test::putFileBytes;

namespace {

class LocalApiTest : public ::testing::Test {
protected:
    LocalApiTest() : scratch("local-api"), store(scratch / u8"数据/Kestrava配置.json", log) {
        log.setDirectory(scratch / "logs");
    }

    // The compact answer and its status.
    std::pair<int, std::string> call(
        const std::string& method, const std::string& path, const std::string& body = "",
        const kes::ProgramWindowLister& lister = [] { return nlohmann::json::array(); }) {
        int status = 0;
        const nlohmann::json answer = kes::handleApiRequest(store, method, path, body, status, lister);
        return {status, answer.dump()};
    }

    std::string errorLog() const {
        const fs::path file = scratch / u8"logs/错误.log";
        return fs::exists(file) ? fileBytes(file) : "";
    }

    kes::test::ScratchDirectory scratch;
    kes::Log log;
    kes::StateStore store;
};

const char* const document = R"({"profiles":[{"id":1,"macros":[],"name":"默认","program":""}]})";

} // namespace

TEST_F(LocalApiTest, StateBeforeTheFirstSaveIsNull) {
    EXPECT_EQ(call("GET", "/api/state"), std::make_pair(200, std::string(R"({"state":null})")));
}

TEST_F(LocalApiTest, SaveThenLoadRoundTrips) {
    EXPECT_EQ(call("POST", "/api/state", document), std::make_pair(200, std::string(R"({"saved":true})")));
    EXPECT_EQ(call("GET", "/api/state"), std::make_pair(200, std::string(R"({"state":)") + document + "}"));
    EXPECT_EQ(errorLog(), "");
}

TEST_F(LocalApiTest, WindowsAnswerCarriesTheListersArray) {
    const auto lister = [] {
        return nlohmann::json::parse(R"([{"executable":"a.exe","name":"A","pid":4}])");
    };
    EXPECT_EQ(call("GET", "/api/windows", "", lister),
              std::make_pair(200, std::string(R"({"windows":[{"executable":"a.exe","name":"A","pid":4}]})")));
}

TEST_F(LocalApiTest, UnknownMethodsAndPathsAreNotFoundAndNotLogged) {
    const std::pair<const char*, const char*> requests[] = {
        {"PUT", "/api/state"},
        {"DELETE", "/api/state"},
        {"post", "/api/state"},
        {"get", "/api/state"},
        {"POST", "/api/windows"},
        {"GET", "/api/state/"},
        {"GET", "/api/"},
        {"GET", "/api/State"},
        {"GET", "/api/windows/"},
        {"GET", "/api"},
        {"GET", ""},
    };
    for (const auto& [method, path] : requests) {
        EXPECT_EQ(call(method, path, document),
                  std::make_pair(404, std::string(R"({"error":"接口不存在。"})")))
            << method << " " << path;
    }
    EXPECT_FALSE(fs::exists(store.path()));
    EXPECT_EQ(errorLog(), "");
}

TEST_F(LocalApiTest, RefusedSaveIsBadRequestLoggedAndLeavesTheFile) {
    call("POST", "/api/state", document);
    const std::string before = fileBytes(store.path());
    EXPECT_EQ(call("POST", "/api/state", ""),
              std::make_pair(400, std::string(R"({"error":"无法保存本地配置。","reason":"配置大小无效"})")));
    EXPECT_NE(errorLog().find("] 本地接口失败：配置大小无效\n"), std::string::npos) << errorLog();
    const auto [status, answer] = call("POST", "/api/state", "{bad");
    EXPECT_EQ(status, 400);
    EXPECT_NE(answer.find(R"("reason":"[json.exception.parse_error)"), std::string::npos) << answer;
    EXPECT_NE(errorLog().find("本地接口失败：[json.exception.parse_error"), std::string::npos);
    EXPECT_EQ(fileBytes(store.path()), before);
}

TEST_F(LocalApiTest, UnreadableStateIsServerErrorWithTheStoresMessageLogged) {
    putFileBytes(store.path(), std::string(1048577, ' '));
    EXPECT_EQ(call("GET", "/api/state"),
              std::make_pair(500, std::string(R"({"error":"无法读取本地数据。"})")));
    EXPECT_NE(errorLog().find("本地接口失败：配置文件过大\n"), std::string::npos) << errorLog();
}

TEST_F(LocalApiTest, FailingListerIsServerError) {
    const auto lister = []() -> nlohmann::json {
        throw std::runtime_error("枚举失败");
    };
    EXPECT_EQ(call("GET", "/api/windows", "", lister),
              std::make_pair(500, std::string(R"({"error":"无法读取本地数据。"})")));
    EXPECT_NE(errorLog().find("本地接口失败：枚举失败\n"), std::string::npos);
}

TEST_F(LocalApiTest, AnswersEvenWhenTheLogCannotBeWritten) {
    kes::Log unassigned;
    kes::StateStore orphan(scratch / u8"孤立/Kestrava配置.json", unassigned);
    int status = 0;
    const nlohmann::json answer = kes::handleApiRequest(orphan, "POST", "/api/state", "", status);
    EXPECT_EQ(status, 400);
    EXPECT_EQ(answer["error"], "无法保存本地配置。");
}

TEST_F(LocalApiTest, RefusalThatQuotesInvalidUtf8LeavesTheReasonOut) {
    const auto [status, answer] = call("POST", "/api/state", "\xff\xfe");
    EXPECT_EQ(status, 400);
    EXPECT_EQ(answer, R"({"error":"无法保存本地配置。"})");
}
