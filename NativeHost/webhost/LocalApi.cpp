#include "webhost/LocalApi.h"
#include "storage/QuietLog.h"

namespace kes {

namespace {

// A refusal's text can quote the refused bytes (the JSON parser's errors do); such a text is left out of the
// answer rather than breaking it.
bool isValidUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

} // namespace

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
        logQuietly(store.log(), LogLevel::Error, std::string("本地接口失败：") + e.what());
        if (!saving) {
            return {{"error", "无法读取本地数据。"}};
        }
        nlohmann::json answer = {{"error", "无法保存本地配置。"}};
        if (const std::string reason = e.what(); isValidUtf8(reason)) {
            answer["reason"] = reason;
        }
        return answer;
    }
}

} // namespace kes
