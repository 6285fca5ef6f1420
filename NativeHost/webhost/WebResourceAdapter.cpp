#include "webhost/WebResourceAdapter.h"

#include "platform/TextConversion.h"
#include "webhost/ResourceServer.h"
#include "webhost/VirtualOrigin.h"

#include <algorithm>

namespace kes {

BrowserResult onWebResourceRequested(BrowserWebResourceRequest& request, HostContext& context) {
    const std::wstring uri = request.uri();
    const std::string method = toUtf8(request.method());
    LocalResponse response;
    // The filter only lets the virtual origin through, so the characters cut here are not compared with it.
    if (uri.size() >= virtualOrigin.size() && context.stateStore) {
        const std::string path = requestPathFromUri(toUtf8(uri.substr(virtualOrigin.size())));
        const BodySource readBody = [&request](char* buffer, std::size_t capacity) {
            return request.readContent(buffer, std::min(capacity, requestReadSize));
        };
        response = serveLocalRequest(method, path, readBody, *context.stateStore);
    }
    if (!context.environment)
        return browserFailure;
    const auto answer = context.environment->createWebResourceResponse(response.body, response.status,
                                                                       toWide(reasonPhrase(response.status)),
                                                                       toWide(responseHeaderText(response)));
    if (!answer)
        return browserFailure;
    return request.setResponse(answer);
}

} // namespace kes
