#pragma once
// The DevTools protocol over one WebSocket to the browser: commands sent from the host's window thread,
// their answers and the browser's events handed back on that thread (a reader thread only receives and
// posts). Sessions attached with "flatten" share the connection, told apart by their session id.
#include "UiThread.h"
#include "WebSocket.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

namespace standin {

class DevTools {
public:
    // error is null on success.
    using Answer = std::function<void(const nlohmann::json& result, const nlohmann::json* error)>;
    using EventSink = std::function<void(const std::string& method, const nlohmann::json& params,
                                         const std::string& session)>;

    // Connects to the browser's endpoint on 127.0.0.1:port; throws std::runtime_error when it cannot.
    DevTools(unsigned short port, UiThread& ui);
    ~DevTools();
    DevTools(const DevTools&) = delete;
    DevTools& operator=(const DevTools&) = delete;

    // On the window thread.
    void command(const std::string& method, nlohmann::json params, const std::string& session = {},
                 Answer answer = {});
    void setEventSink(EventSink sink) { sink_ = std::move(sink); }

private:
    void read(const std::weak_ptr<int>& alive);
    void dispatch(const std::string& text);

    UiThread& ui_;
    WinsockSession winsock_;
    std::unique_ptr<WebSocket> socket_;
    long long nextId_ = 1;
    std::map<long long, Answer> waiting_;
    EventSink sink_;
    // Work the reader posted runs only while this object lives.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::thread reader_;
};

} // namespace standin
