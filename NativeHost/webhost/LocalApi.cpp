#include "webhost/LocalApi.h"

namespace kes {

nlohmann::json handleApiRequest(StateStore& store, const std::string& method, const std::string& path,
                                const std::string& body, int& status,
                                const ProgramWindowLister& listWindows) {
    status = 200;
    try {
        if (method == "GET" && path == "/api/state") {
            return {{"state", store.load()}};
        }
        if (method == "POST" && path == "/api/state") {
            store.save(body);
            return {{"saved", true}};
        }
        if (method == "GET" && path == "/api/windows") {
            return {{"windows", listWindows()}};
        }
        status = 404;
        return {{"error", "接口不存在。"}};
    } catch (const std::exception& e) {
        const bool saving = method == "POST";
        status = saving ? 400 : 500;
        try {
            store.log().write(LogLevel::Error, std::string("本地接口失败：") + e.what());
        } catch (const std::exception&) {
            // The answer still tells the page that the request failed.
        }
        return {{"error", saving ? "无法保存本地配置。" : "无法读取本地数据。"}};
    }
}

} // namespace kes
