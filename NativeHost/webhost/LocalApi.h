#pragma once
#include "storage/StateStore.h"
#include "webhost/ProgramList.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

namespace kes {

using ProgramWindowLister = std::function<nlohmann::json()>;

// The page's JSON API under "/api/": GET and POST "/api/state", GET "/api/windows". Sets `status` and
// returns its answer object; never throws (a failure is logged behind "本地接口失败：" and answered with 400
// for POST, 500 otherwise). A refused save's answer also carries the refusal's own text as "reason", so the
// page can tell the user why.
nlohmann::json handleApiRequest(StateStore& store, const std::string& method, const std::string& path,
                                const std::string& body, int& status,
                                const ProgramWindowLister& listWindows = listProgramWindows);

} // namespace kes
