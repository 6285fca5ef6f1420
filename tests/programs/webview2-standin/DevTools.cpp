#include "DevTools.h"

#include "Ledger.h"

#include <stdexcept>

namespace standin {

namespace {

// "ws://127.0.0.1:PORT/devtools/browser/ID" → "/devtools/browser/ID".
std::string pathOf(const std::string& webSocketUrl) {
    const auto hostStart = webSocketUrl.find("//");
    const auto path =
        hostStart == std::string::npos ? std::string::npos : webSocketUrl.find('/', hostStart + 2);
    if (path == std::string::npos)
        throw std::runtime_error("unexpected DevTools address " + webSocketUrl);
    return webSocketUrl.substr(path);
}

} // namespace

DevTools::DevTools(unsigned short port, UiThread& ui) : ui_(ui) {
    const auto version = nlohmann::json::parse(httpGet(port, "/json/version"));
    const std::string address = version.at("webSocketDebuggerUrl").get<std::string>();
    Ledger::instance().setValue("browser", version.value("Browser", ""));
    socket_ = std::make_unique<WebSocket>(port, pathOf(address));
    const std::weak_ptr<int> alive = alive_;
    reader_ = std::thread([this, alive] { read(alive); });
}

DevTools::~DevTools() {
    socket_->shutdown();
    reader_.join();
}

void DevTools::command(const std::string& method, nlohmann::json params, const std::string& session,
                       Answer answer) {
    const long long id = nextId_++;
    nlohmann::json message{{"id", id}, {"method", method}, {"params", std::move(params)}};
    if (!session.empty())
        message["sessionId"] = session;
    if (answer)
        waiting_[id] = std::move(answer);
    try {
        socket_->sendText(message.dump());
    } catch (const std::exception& error) {
        Ledger::instance().count("DevTools send failed");
        say(std::string("cannot send ") + method + ": " + error.what());
        waiting_.erase(id);
    }
}

void DevTools::read(const std::weak_ptr<int>& alive) {
    // Only receives: everything the answers and events cause runs on the window thread.
    while (auto text = socket_->receive())
        ui_.post([this, alive, message = std::move(*text)] {
            if (alive.lock())
                dispatch(message);
        });
}

void DevTools::dispatch(const std::string& text) {
    nlohmann::json message;
    try {
        message = nlohmann::json::parse(text);
    } catch (const std::exception&) {
        say("unreadable DevTools message: " + text.substr(0, 200));
        return;
    }
    if (message.contains("id")) {
        const auto found = waiting_.find(message["id"].get<long long>());
        if (found == waiting_.end())
            return;
        Answer answer = std::move(found->second);
        waiting_.erase(found);
        static const nlohmann::json empty = nlohmann::json::object();
        if (message.contains("error"))
            answer(empty, &message["error"]);
        else
            answer(message.contains("result") ? message["result"] : empty, nullptr);
        return;
    }
    if (sink_ && message.contains("method"))
        sink_(message["method"].get<std::string>(),
              message.contains("params") ? message["params"] : nlohmann::json::object(),
              message.value("sessionId", ""));
}

} // namespace standin
