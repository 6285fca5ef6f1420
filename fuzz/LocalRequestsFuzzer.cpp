// Requests to the virtual origin through the browser's resource handler: the path and query after the
// origin, the method, and a body that may grow past the 1 MiB limit. Every request gets an answer with the
// fixed headers; API answers are JSON objects with one member (a refused save's also says why); a body over
// the limit never reaches the store; and the state file changes only when a POST of "/api/state" answered
// 200, to a document that loads as the one posted.
#include "FuzzSupport.h"
#include "platform/TextConversion.h"
#include "shell/HostContext.h"
#include "support/FakeBrowser.h"
#include "webhost/ResourceServer.h"
#include "webhost/VirtualOrigin.h"
#include "webhost/WebResourceAdapter.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

using namespace kes;
using nlohmann::json;

const std::string previousDocument = R"({"profiles":[{"id":1,"macros":[],"name":"默认","program":""}]})";

constexpr std::array<const char*, 8> methods = {"GET", "POST", "PUT", "DELETE", "post", "HEAD", "", "GET "};

struct Host {
    Host() : calls(std::make_shared<fake::CallList>()) {
        context.dataDir = fuzz::scratchDirectory() / "requests";
        fuzz::fs::create_directories(context.dataDir);
        context.log.setDirectory(context.dataDir / "logs");
        stateFile = context.dataDir / fuzz::fs::path(u8"Kestrava配置.json");
        context.stateStore = std::make_unique<StateStore>(stateFile, context.log);
        context.environment = std::make_shared<fake::FakeEnvironment>(calls);
    }
    std::shared_ptr<fake::CallList> calls;
    HostContext context;
    fuzz::fs::path stateFile;
};

// The path the server must see: the text after the origin cut before its first "?", "/" when empty.
std::string expectedPath(const std::string& afterOrigin) {
    const std::string path = afterOrigin.substr(0, afterOrigin.find('?'));
    return path.empty() ? "/" : path;
}

std::string header(const std::string& contentType) {
    return "Content-Type: " + contentType +
           "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Host host;
    fuzz::InputReader input(data, size);
    const std::uint8_t methodChoice = input.byte();
    const std::uint8_t bodyShape = input.byte();
    const std::string method =
        (methodChoice & 0x80) != 0 ? input.until('\n') : methods[methodChoice % methods.size()];
    std::string afterOrigin = input.until('\n');
    std::string body = input.rest();
    // Bodies around the limit, one input in eight: padded with JSON white space to 1 MiB - 8 .. 1 MiB + 7
    // bytes.
    if ((bodyShape & 0xE0) == 0xE0) {
        const std::size_t target = maxRequestBody - 8 + (bodyShape & 0x0F);
        if (body.size() < target) {
            body.append(target - body.size(), ' ');
        }
    }
    const bool shortUri = (bodyShape & 0x10) != 0;

    std::wstring uri;
    std::wstring wideMethod;
    try {
        uri = shortUri ? toWide(afterOrigin) : virtualOrigin + toWide(afterOrigin);
        wideMethod = toWide(method);
    } catch (const std::runtime_error&) {
        return 0; // the browser hands over only valid text
    }
    fuzz::writeBytes(host.stateFile, previousDocument);

    fake::FakeRequest request(uri, wideMethod, body);
    const BrowserResult result = onWebResourceRequested(request, host.context);
    KES_FUZZ_CHECK(result == browserOk, std::to_string(result));
    KES_FUZZ_CHECK(request.response != nullptr, "no response was set");
    const fake::FakeResponse& response = *request.response;
    const int status = response.status;
    KES_FUZZ_CHECK(status == 200 || status == 400 || status == 404 || status == 500, std::to_string(status));
    KES_FUZZ_CHECK(toUtf8(response.reasonPhrase) == (status == 200 ? "OK" : "Error"), "reason phrase");

    const bool reachesServer = uri.size() >= virtualOrigin.size();
    const std::string path = reachesServer ? expectedPath(toUtf8(uri.substr(virtualOrigin.size()))) : "";
    const bool api = reachesServer && path.rfind("/api/", 0) == 0;
    const bool postState = api && method == "POST" && path == "/api/state";
    const std::string headers = toUtf8(response.headers);

    if (api && body.size() > maxRequestBody) {
        KES_FUZZ_CHECK(status == 400 && response.body == "本地请求失败。",
                       "an oversized body was not refused");
    } else if (api) {
        KES_FUZZ_CHECK(headers == header("application/json; charset=utf-8"), headers);
        json answer;
        try {
            answer = json::parse(response.body);
        } catch (const std::exception& e) {
            fuzz::violated("an API answer is not JSON", fuzz::describe(e));
        }
        // One member; a refused save also says why ("reason").
        const bool refusedSave = postState && status == 400 && answer.contains("error");
        KES_FUZZ_CHECK(answer.is_object() && (answer.size() == 1 || (refusedSave && answer.size() == 2 &&
                                                                     answer["reason"].is_string())),
                       response.body);
        if (!postState && !(method == "GET" && (path == "/api/state" || path == "/api/windows"))) {
            KES_FUZZ_CHECK((status == 404 && answer == json{{"error", "接口不存在。"}}), response.body);
        }
    } else {
        KES_FUZZ_CHECK(status == 200 || status == 404, std::to_string(status));
        KES_FUZZ_CHECK(status != 200 || method == "GET", "a static file was served to " + method);
        if (status == 404) {
            KES_FUZZ_CHECK(headers == header("text/plain; charset=utf-8") && response.body == "资源不存在。",
                           headers);
        }
    }

    const std::string stored = fuzz::fileBytes(host.stateFile).value_or("<missing>");
    if (postState && status == 200) {
        try {
            KES_FUZZ_CHECK(host.context.stateStore->load() == json::parse(body),
                           "stored differs from posted");
        } catch (const nlohmann::json::exception& e) {
            fuzz::violated("an accepted document does not load", fuzz::describe(e));
        }
    } else {
        KES_FUZZ_CHECK(stored == previousDocument, "the state file changed without an accepted save");
    }
    // Nothing of this run is kept for the next, so the fuzzer's allocation count stays balanced.
    std::vector<std::string>().swap(host.calls->calls);
    return 0;
}
