#pragma once
#include "storage/StateStore.h"
#include "webhost/LocalApi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kes {

struct LocalRequest {
    std::string method;
    std::string path;
    std::string body;
};

struct LocalResponse {
    int status = 404;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body = "资源不存在。";
};

struct ResourceRoute {
    std::string_view path;
    std::uint16_t resourceId;
    std::string_view contentType;
};

// The page's static files, searched in this order.
inline constexpr std::array<ResourceRoute, 7> routeTable{{
    {"/index.html", 101, "text/html; charset=utf-8"},
    {"/", 101, "text/html; charset=utf-8"},
    {"/style.css", 102, "text/css; charset=utf-8"},
    {"/sidebar.css", 103, "text/css; charset=utf-8"},
    {"/window.css", 104, "text/css; charset=utf-8"},
    {"/fonts.css", 105, "text/css; charset=utf-8"},
    {"/app.js", 106, "application/javascript; charset=utf-8"},
}};

inline constexpr std::uint16_t licenseResourceId = 107;

// Reads up to `capacity` bytes of the request body into `buffer`; 0 at the end or on failure.
using BodySource = std::function<std::size_t(char* buffer, std::size_t capacity)>;

inline constexpr std::size_t maxRequestBody = 1048576;

// The request path from what follows the virtual origin in the URI: cut before the first "?", "/" when
// nothing is left. Nothing is decoded or folded.
std::string requestPathFromUri(std::string_view uriAfterOrigin);

// Answers one request to the virtual origin from memory: "/api/…" goes to the local API (the body source
// is read only there, at most maxRequestBody bytes), GET of a route serves its embedded file, everything
// else is the plain-text 404. Any failure is logged through the store's log and answered 400
// "本地请求失败。".
LocalResponse serveLocalRequest(const std::string& method, const std::string& path,
                                const BodySource& readBody, StateStore& store,
                                const ProgramWindowLister& listWindows = listProgramWindows);

// "Content-Type: …", "Cache-Control: no-store" and "X-Content-Type-Options: nosniff", each ended by CR LF.
std::string responseHeaderText(const LocalResponse& response);

// "OK" for 200, "Error" for every other status.
const char* reasonPhrase(int status);

inline constexpr const char* missingResourceMessage = "内嵌资源缺失";

// The bytes of embedded resource `id`; throws missingResourceMessage.
std::string loadEmbeddedResource(std::uint16_t id);

} // namespace kes
