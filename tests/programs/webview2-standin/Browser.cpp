#include "Browser.h"

#include "Page.h"

namespace standin {

Browser::Browser(UiThread& ui, unsigned short port) : ui_(ui), devTools_(port, ui) {
    devTools_.setEventSink([this](const std::string& method, const nlohmann::json& params,
                                  const std::string& session) { route(method, params, session); });
    // New tabs, for the windows a page opens.
    devTools_.command("Target.setDiscoverTargets", {{"discover", true}});
}

void Browser::attach(const std::string& session, std::weak_ptr<Page> page) {
    pages_[session] = std::move(page);
}

void Browser::detach(const std::string& session) {
    pages_.erase(session);
}

void Browser::route(const std::string& method, const nlohmann::json& params, const std::string& session) {
    if (!session.empty()) {
        const auto found = pages_.find(session);
        if (found != pages_.end())
            if (const auto page = found->second.lock())
                page->onEvent(method, params);
        return;
    }
    std::vector<std::shared_ptr<Page>> pages;
    for (const auto& [name, page] : pages_)
        if (auto alive = page.lock())
            pages.push_back(std::move(alive));
    for (const auto& page : pages)
        page->onBrowserEvent(method, params);
}

} // namespace standin
