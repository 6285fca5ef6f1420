#include "webhost/ResourceServer.h"

#include "platform/EmbeddedResources.h"
#include "storage/QuietLog.h"

#include <stdexcept>

namespace kes {
namespace {

std::string readRequestBody(const BodySource& readBody) {
    std::string body;
    if (!readBody) {
        return body;
    }
    char buffer[4096];
    for (;;) {
        const std::size_t count = readBody(buffer, sizeof buffer);
        if (count == 0) {
            return body;
        }
        body.append(buffer, count < sizeof buffer ? count : sizeof buffer);
        if (body.size() > maxRequestBody) {
            throw std::runtime_error("请求过大");
        }
    }
}

bool isApiPath(const std::string& path) {
    return path.size() >= 5 && path.compare(0, 5, "/api/") == 0;
}

} // namespace

std::string requestPathFromUri(std::string_view uriAfterOrigin) {
    const std::string_view path = uriAfterOrigin.substr(0, uriAfterOrigin.find('?'));
    return path.empty() ? std::string("/") : std::string(path);
}

LocalResponse serveLocalRequest(const std::string& method, const std::string& path,
                                const BodySource& readBody, StateStore& store,
                                const ProgramWindowLister& listWindows) {
    LocalResponse response;
    try {
        if (isApiPath(path)) {
            const std::string body = readRequestBody(readBody);
            const nlohmann::json answer =
                handleApiRequest(store, method, path, body, response.status, listWindows);
            response.body = answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
            response.contentType = "application/json; charset=utf-8";
            return response;
        }
        if (method != "GET") {
            return response;
        }
        for (const ResourceRoute& route : routeTable) {
            if (route.path == path) {
                response.body = loadEmbeddedResource(route.resourceId);
                response.contentType = std::string(route.contentType);
                response.status = 200;
                break;
            }
        }
    } catch (const std::exception& e) {
        logQuietly(store.log(), LogLevel::Error, e.what());
        response.status = 400;
        response.body = "本地请求失败。";
    }
    return response;
}

std::string responseHeaderText(const LocalResponse& response) {
    return "Content-Type: " + response.contentType +
           "\r\n"
           "Cache-Control: no-store\r\n"
           "X-Content-Type-Options: nosniff\r\n";
}

const char* reasonPhrase(int status) {
    return status == 200 ? "OK" : "Error";
}

std::string loadEmbeddedResource(std::uint16_t id) {
    const std::optional<std::string_view> bytes = platform::findEmbeddedResource(id);
    if (!bytes) {
        throw std::runtime_error(missingResourceMessage);
    }
    return std::string(*bytes);
}

} // namespace kes
