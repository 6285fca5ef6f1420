#include "webhost/ResourceServer.h"
#include "platform/EmbeddedResources.h"
#include "support/FileBytes.h"
#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace fs = std::filesystem;
using kes::test::fileBytes;

namespace {

// A request body handed out in pieces of at most `piece` bytes, counting the reads.
class ScriptedBody {
public:
    explicit ScriptedBody(std::string bytes, std::size_t piece = 1000)
        : bytes_(std::move(bytes)), piece_(piece) {}
    kes::BodySource source() {
        return [this](char* buffer, std::size_t capacity) {
            ++reads;
            const std::size_t count = std::min({capacity, piece_, bytes_.size() - offset_});
            std::copy_n(bytes_.data() + offset_, count, buffer);
            offset_ += count;
            return count;
        };
    }
    int reads = 0;

private:
    std::string bytes_;
    std::size_t piece_;
    std::size_t offset_ = 0;
};

class ResourceServerTest : public ::testing::Test {
protected:
    ResourceServerTest() : scratch("resource-server"), store(scratch / u8"Kestrava配置.json", log) {
        log.setDirectory(scratch / "logs");
    }

    kes::LocalResponse get(const std::string& path) {
        return kes::serveLocalRequest("GET", path, nullptr, store);
    }

    std::string errorLog() const {
        const fs::path file = scratch / u8"logs/错误.log";
        return fs::exists(file) ? fileBytes(file) : "";
    }

    kes::test::ScratchDirectory scratch;
    kes::Log log;
    kes::StateStore store;
};

void expectNotFound(const kes::LocalResponse& response, const std::string& what) {
    EXPECT_EQ(response.status, 404) << what;
    EXPECT_EQ(response.contentType, "text/plain; charset=utf-8") << what;
    EXPECT_EQ(response.body, "资源不存在。") << what;
}

} // namespace

TEST(ResourceServerRoutes, TableHasTheSevenRowsInOrder) {
    ASSERT_EQ(kes::routeTable.size(), 7u);
    const char* paths[] = {"/index.html", "/",          "/style.css", "/sidebar.css",
                           "/window.css", "/fonts.css", "/app.js"};
    const std::uint16_t ids[] = {101, 101, 102, 103, 104, 105, 106};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(kes::routeTable[i].path, paths[i]);
        EXPECT_EQ(kes::routeTable[i].resourceId, ids[i]);
    }
}

TEST(ResourceServerRoutes, PathFromUriDropsTheQueryOnly) {
    EXPECT_EQ(kes::requestPathFromUri(""), "/");
    EXPECT_EQ(kes::requestPathFromUri("?desktop=1"), "/");
    EXPECT_EQ(kes::requestPathFromUri("/?desktop=1"), "/");
    EXPECT_EQ(kes::requestPathFromUri("/style.css?v=3?x"), "/style.css");
    EXPECT_EQ(kes::requestPathFromUri("/api/state?x=1"), "/api/state");
    EXPECT_EQ(kes::requestPathFromUri("/a%20b#frag"), "/a%20b#frag");
}

TEST_F(ResourceServerTest, EveryRouteServesItsEmbeddedFile) {
    for (const kes::ResourceRoute& route : kes::routeTable) {
        const kes::LocalResponse response = get(std::string(route.path));
        EXPECT_EQ(response.status, 200) << route.path;
        EXPECT_EQ(response.contentType, route.contentType) << route.path;
        EXPECT_EQ(response.body, std::string(*kes::platform::findEmbeddedResource(route.resourceId)));
        EXPECT_FALSE(response.body.empty());
    }
    EXPECT_EQ(get("/").contentType, "text/html; charset=utf-8");
    EXPECT_EQ(get("/app.js").contentType, "application/javascript; charset=utf-8");
    EXPECT_EQ(get("/fonts.css").contentType, "text/css; charset=utf-8");
}

TEST_F(ResourceServerTest, StaticPathsMustMatchExactly) {
    for (const char* path : {"/Index.html", "/INDEX.HTML", "/index.html/", "/style.css/", "/%69ndex.html",
                             "/index.htm", "//", "", "/api", "/licenses.txt", "/web/app.js", "/app.js?v=1"}) {
        expectNotFound(get(path), path);
    }
    EXPECT_EQ(errorLog(), "");
}

TEST_F(ResourceServerTest, OnlyGetServesStaticFiles) {
    for (const char* method : {"POST", "get", "HEAD", "PUT", ""}) {
        ScriptedBody body("ignored");
        expectNotFound(kes::serveLocalRequest(method, "/app.js", body.source(), store), method);
        EXPECT_EQ(body.reads, 0) << "a static request must not read its body";
    }
}

TEST_F(ResourceServerTest, ApiPathsAnswerJson) {
    const kes::LocalResponse unknown = get("/api/");
    EXPECT_EQ(unknown.status, 404);
    EXPECT_EQ(unknown.contentType, "application/json; charset=utf-8");
    EXPECT_EQ(unknown.body, R"({"error":"接口不存在。"})");

    const kes::LocalResponse state = get("/api/state");
    EXPECT_EQ(state.status, 200);
    EXPECT_EQ(state.body, R"({"state":null})");

    const auto lister = [] {
        return nlohmann::json::parse(R"([{"executable":"编辑.exe","name":"编辑器","pid":1}])");
    };
    const kes::LocalResponse windows = kes::serveLocalRequest("GET", "/api/windows", nullptr, store, lister);
    EXPECT_EQ(windows.body, R"({"windows":[{"executable":"编辑.exe","name":"编辑器","pid":1}]})");
}

TEST_F(ResourceServerTest, PostedBodyIsReadInPiecesAndSaved) {
    const std::string document = R"({"profiles":[{"macros":[],"name":"默认"}]})";
    ScriptedBody body(document, 7);
    const kes::LocalResponse response = kes::serveLocalRequest("POST", "/api/state", body.source(), store);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, R"({"saved":true})");
    EXPECT_GT(body.reads, static_cast<int>(document.size() / 7));
    EXPECT_EQ(store.load(), nlohmann::json::parse(document));
}

TEST_F(ResourceServerTest, RequestBodyLimitIsOneMebibyteInclusive) {
    const std::string document = R"({"profiles":[{"macros":[]}]})";
    ScriptedBody exact(document + std::string(kes::maxRequestBody - document.size(), ' '), 4096);
    const kes::LocalResponse accepted = kes::serveLocalRequest("POST", "/api/state", exact.source(), store);
    EXPECT_EQ(accepted.status, 200);
    EXPECT_EQ(accepted.body, R"({"saved":true})");
    const std::string stored = fileBytes(store.path());

    ScriptedBody over(document + std::string(kes::maxRequestBody + 1 - document.size(), ' '), 4096);
    const kes::LocalResponse refused = kes::serveLocalRequest("POST", "/api/state", over.source(), store);
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(refused.body, "本地请求失败。");
    EXPECT_NE(errorLog().find("] 请求过大\n"), std::string::npos) << errorLog();
    EXPECT_EQ(fileBytes(store.path()), stored);
}

TEST_F(ResourceServerTest, MissingBodySourceIsAnEmptyBody) {
    const kes::LocalResponse response = kes::serveLocalRequest("POST", "/api/state", nullptr, store);
    EXPECT_EQ(response.status, 400);
    EXPECT_EQ(response.body, R"({"error":"无法保存本地配置。","reason":"配置大小无效"})");
    EXPECT_NE(errorLog().find("本地接口失败：配置大小无效"), std::string::npos);
}

TEST(ResourceServerAnswers, HeaderTextAndReasonPhrase) {
    kes::LocalResponse response;
    EXPECT_EQ(kes::responseHeaderText(response), "Content-Type: text/plain; charset=utf-8\r\n"
                                                 "Cache-Control: no-store\r\n"
                                                 "X-Content-Type-Options: nosniff\r\n");
    response.contentType = "application/json; charset=utf-8";
    EXPECT_EQ(kes::responseHeaderText(response), "Content-Type: application/json; charset=utf-8\r\n"
                                                 "Cache-Control: no-store\r\n"
                                                 "X-Content-Type-Options: nosniff\r\n");
    EXPECT_STREQ(kes::reasonPhrase(200), "OK");
    for (int status : {201, 400, 404, 500}) {
        EXPECT_STREQ(kes::reasonPhrase(status), "Error");
    }
}

TEST(ResourceServerAnswers, InitialResponseIsThePlainTextNotFound) {
    const kes::LocalResponse response;
    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(response.body, "资源不存在。");
}

TEST(EmbeddedResources, MissingResourceIsRefused) {
    try {
        kes::loadEmbeddedResource(999);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "内嵌资源缺失");
    }
}

// Both builds embed the files of the source tree, and the page's script as the build bundled it, unchanged
// (Linux: a generated source; Windows: the resource script). Under Wine the source and build trees are
// reached through the drive that maps the Unix root.
TEST(EmbeddedResources, BytesEqualTheFilesInTheSourceTree) {
    const std::pair<std::uint16_t, const char*> files[] = {
        {101, "web/index.html"},
        {102, "web/style.css"},
        {103, "web/sidebar.css"},
        {104, "web/window.css"},
        {105, "web/fonts.css"},
        {106, KES_PAGE_BUNDLE},
        {107, "NativeHost/resources/licenses.txt"},
    };
    const fs::path sourceTree = KES_SOURCE_DIR;
    if (!fs::exists(sourceTree / "NativeHost/resources/licenses.txt")) {
        GTEST_SKIP() << "source tree not reachable from here: " << sourceTree;
    }
    for (const auto& [id, file] : files) {
        // An absolute path (the bundle) stays as it is.
        EXPECT_EQ(kes::loadEmbeddedResource(id), fileBytes(sourceTree / file)) << file;
    }
    // The bundle holds the page's modules, not some other script.
    EXPECT_NE(kes::loadEmbeddedResource(106).find("web/src/main.js"), std::string::npos);
    const std::string licenses = kes::loadEmbeddedResource(107);
    EXPECT_NE(licenses.find("nlohmann/json"), std::string::npos);
    EXPECT_NE(licenses.find("Permission is hereby granted, free of charge"), std::string::npos);
}
