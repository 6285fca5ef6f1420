#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace kes::pageserver {

struct HttpRequest {
    std::string method;
    std::string target; // as sent: path and query
    std::string body;
};

struct HttpResponse {
    int status = 500;
    std::string reason = "Error";
    std::string headerText; // complete header lines, each ended by CR LF
    std::string body;
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

// A single-threaded HTTP/1.1 server on 127.0.0.1 that answers every request with one response and
// closes the connection. Requests are served one at a time, in the order they complete, like the
// host's user-interface thread does.
class LoopbackHttpServer {
public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::uint16_t port() const { return port_; }

    // Serves until `lifetime` has passed or, when `watchInput` is set, standard input reaches its end.
    void run(const HttpHandler& handler, std::chrono::seconds lifetime, bool watchInput);

private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace kes::pageserver
