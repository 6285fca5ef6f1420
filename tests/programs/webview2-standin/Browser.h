#pragma once
// The browser behind one environment: the DevTools connection and the web views' tabs attached to it, to
// which the browser's events are routed by session.
#include "DevTools.h"
#include "UiThread.h"

#include <map>
#include <memory>
#include <string>

namespace standin {

class Page;

class Browser {
public:
    // Connects to the browser's DevTools endpoint; throws std::runtime_error when it cannot.
    Browser(UiThread& ui, unsigned short port);
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    UiThread& ui() { return ui_; }
    DevTools& devTools() { return devTools_; }
    void attach(const std::string& session, std::weak_ptr<Page> page);
    void detach(const std::string& session);

private:
    void route(const std::string& method, const nlohmann::json& params, const std::string& session);

    UiThread& ui_;
    DevTools devTools_;
    std::map<std::string, std::weak_ptr<Page>> pages_;
};

} // namespace standin
