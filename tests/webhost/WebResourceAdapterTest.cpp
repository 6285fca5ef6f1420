#include "webhost/WebResourceAdapter.h"
#include "platform/TextConversion.h"
#include "webhost/ResourceServer.h"
#include "webhost/WebHostFixture.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace kes {
namespace {

std::wstring headersFor(const std::wstring& contentType) {
    return L"Content-Type: " + contentType +
           L"\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
}

class WebResourceAdapterTest : public test::WebHostFixture {
protected:
    void SetUp() override {
        WebHostFixture::SetUp();
        view = openWebView();
    }

    // Sends a request through the browser's filter and returns what the host set.
    std::shared_ptr<fake::FakeResponse> send(fake::FakeRequest& request) {
        EXPECT_EQ(view->deliverRequest(request), browserOk);
        return request.response;
    }
    std::shared_ptr<fake::FakeResponse> get(const std::wstring& uri) {
        fake::FakeRequest request(uri, L"GET");
        return send(request);
    }

    void expectNotFound(const std::shared_ptr<fake::FakeResponse>& response) {
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 404);
        EXPECT_EQ(response->reasonPhrase, L"Error");
        EXPECT_EQ(response->body, "资源不存在。");
        EXPECT_EQ(response->headers, headersFor(L"text/plain; charset=utf-8"));
    }

    std::shared_ptr<fake::FakeWebView> view;
};

TEST_F(WebResourceAdapterTest, ThePageIsServedForTheStartAddressAndTheRoot) {
    const std::string page = loadEmbeddedResource(101);
    for (const std::wstring uri : {L"https://kestrava.invalid/?desktop=1", L"https://kestrava.invalid/",
                                   L"https://kestrava.invalid/index.html"}) {
        const auto response = get(uri);
        ASSERT_TRUE(response) << toUtf8(uri);
        EXPECT_EQ(response->status, 200) << toUtf8(uri);
        EXPECT_EQ(response->reasonPhrase, L"OK");
        EXPECT_EQ(response->headers, headersFor(L"text/html; charset=utf-8"));
        EXPECT_EQ(response->body, page);
    }
}

TEST_F(WebResourceAdapterTest, NothingAfterTheOriginMeansTheRoot) {
    // The filter never lets these through; the adapter still reads them as the root.
    for (const std::wstring uri : {L"https://kestrava.invalid", L"https://kestrava.invalid?x=1"}) {
        fake::FakeRequest request(uri, L"GET");
        EXPECT_EQ(onWebResourceRequested(request, context), browserOk);
        ASSERT_TRUE(request.response);
        EXPECT_EQ(request.response->status, 200) << toUtf8(uri);
        EXPECT_EQ(request.response->body, loadEmbeddedResource(101));
    }
}

TEST_F(WebResourceAdapterTest, TheQueryIsCutAndNothingElseIsChanged) {
    const auto styles = get(L"https://kestrava.invalid/style.css?v=20240101");
    ASSERT_TRUE(styles);
    EXPECT_EQ(styles->status, 200);
    EXPECT_EQ(styles->headers, headersFor(L"text/css; charset=utf-8"));
    EXPECT_EQ(styles->body, loadEmbeddedResource(102));
    for (const std::wstring uri :
         {L"https://kestrava.invalid/Style.css", L"https://kestrava.invalid/style.css/",
          L"https://kestrava.invalid/%73tyle.css", L"https://kestrava.invalid/中文.css",
          L"https://kestrava.invalid/api"})
        expectNotFound(get(uri));
}

TEST_F(WebResourceAdapterTest, OnlyGetServesStaticFilesAndTheirContentIsNotRead) {
    fake::FakeRequest post(L"https://kestrava.invalid/app.js", L"POST", std::string("ignored"));
    expectNotFound(send(post));
    fake::FakeRequest lower(L"https://kestrava.invalid/app.js", L"get");
    expectNotFound(send(lower));
    EXPECT_TRUE(post.readCapacities.empty());
    EXPECT_TRUE(lower.readCapacities.empty());
}

TEST_F(WebResourceAdapterTest, AShortUriKeepsTheNotFoundAnswer) {
    fake::FakeRequest request(L"https://kestrava.invali", L"GET");
    EXPECT_EQ(onWebResourceRequested(request, context), browserOk);
    expectNotFound(request.response);
}

TEST_F(WebResourceAdapterTest, ApiRequestsReachTheLocalApiWithTheirBody) {
    const std::string document = R"({"profiles":[{"id":1,"name":"默认","program":"","macros":[]}],)"
                                 R"("selectedProfile":1,"macroEnabled":false})";
    fake::FakeRequest save(L"https://kestrava.invalid/api/state", L"POST", document);
    const auto saved = send(save);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->headers, headersFor(L"application/json; charset=utf-8"));
    EXPECT_EQ(saved->status, 200) << saved->body;

    const auto loaded = get(L"https://kestrava.invalid/api/state?fresh=1");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->status, 200);
    EXPECT_EQ(nlohmann::json::parse(loaded->body)["state"]["selectedProfile"], 1) << loaded->body;
}

TEST_F(WebResourceAdapterTest, BodiesAreReadInPiecesOfAtMost4096BytesUpToTheCap) {
    fake::FakeRequest atCap(L"https://kestrava.invalid/api/state", L"POST", std::string(maxRequestBody, ' '));
    const auto accepted = send(atCap);
    ASSERT_TRUE(accepted);
    EXPECT_NE(accepted->body, "本地请求失败。");
    EXPECT_EQ(accepted->headers, headersFor(L"application/json; charset=utf-8"));
    ASSERT_FALSE(atCap.readCapacities.empty());
    for (const std::size_t capacity : atCap.readCapacities)
        EXPECT_LE(capacity, requestReadSize);
    EXPECT_EQ(errorLog().find("请求过大"), std::string::npos);

    fake::FakeRequest overCap(L"https://kestrava.invalid/api/state", L"POST",
                              std::string(maxRequestBody + 1, ' '));
    const auto refused = send(overCap);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);
    EXPECT_EQ(refused->reasonPhrase, L"Error");
    EXPECT_EQ(refused->body, "本地请求失败。");
    EXPECT_EQ(refused->headers, headersFor(L"text/plain; charset=utf-8"));
    EXPECT_NE(errorLog().find("] 请求过大\n"), std::string::npos);
}

TEST_F(WebResourceAdapterTest, ARequestWithoutContentHasAnEmptyBody) {
    fake::FakeRequest request(L"https://kestrava.invalid/api/state", L"POST");
    const auto response = send(request);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->headers, headersFor(L"application/json; charset=utf-8"));
    EXPECT_EQ(request.readCapacities.size(), 1u);
}

TEST_F(WebResourceAdapterTest, TheResultOfSettingTheResponseIsReturned) {
    fake::FakeRequest request(L"https://kestrava.invalid/", L"GET");
    request.setResponseResult = static_cast<BrowserResult>(0x8007000Eu);
    EXPECT_EQ(onWebResourceRequested(request, context), static_cast<BrowserResult>(0x8007000Eu));
}

TEST_F(WebResourceAdapterTest, AResponseTheEnvironmentCannotBuildFailsTheRequest) {
    loader.environment.lock()->responsesFail = true;
    fake::FakeRequest request(L"https://kestrava.invalid/", L"GET");
    EXPECT_EQ(onWebResourceRequested(request, context), browserFailure);
    EXPECT_FALSE(request.response);
}

} // namespace
} // namespace kes
