#pragma once

namespace kes {

// Posted to the page when switching macros on failed: the page turns its switch off and shows the message.
// Sent exactly as written, member order included.
inline constexpr const char* macroStatusFailure =
    R"({"type":"macro-status","enabled":false,"message":"无法启用宏，请查看错误日志。"})";

} // namespace kes
