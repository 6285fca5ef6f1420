#include "LoopbackHttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace kes::pageserver {

namespace {

constexpr std::size_t maxHeaderBytes = 65536;
constexpr std::size_t maxBodyBytes = 16 * 1048576;
constexpr auto idleLimit = std::chrono::seconds(30);

using Clock = std::chrono::steady_clock;

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

struct Connection {
    int fd = -1;
    std::string received;
    std::size_t headerEnd = std::string::npos; // offset of the blank line, once seen
    std::size_t contentLength = 0;
    HttpRequest request;
    Clock::time_point lastActivity = Clock::now();
};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Reads the request line and the Content-Length header; false when the head is malformed.
bool parseHead(Connection& connection) {
    const std::string head = connection.received.substr(0, connection.headerEnd);
    const auto lineEnd = head.find("\r\n");
    const std::string requestLine = head.substr(0, lineEnd);
    const auto firstSpace = requestLine.find(' ');
    const auto secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos)
        return false;
    connection.request.method = requestLine.substr(0, firstSpace);
    connection.request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    std::size_t position = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (position < head.size()) {
        auto next = head.find("\r\n", position);
        if (next == std::string::npos)
            next = head.size();
        const std::string line = head.substr(position, next - position);
        const auto colon = line.find(':');
        if (colon != std::string::npos && lowerCase(trimmed(line.substr(0, colon))) == "content-length") {
            try {
                connection.contentLength = std::stoul(trimmed(line.substr(colon + 1)));
            } catch (const std::exception&) {
                return false;
            }
            if (connection.contentLength > maxBodyBytes)
                return false;
        }
        position = next + 2;
    }
    return true;
}

void sendAll(int fd, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const auto n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the client went away; nothing more to do for it
        sent += static_cast<std::size_t>(n);
    }
}

std::string responseText(const HttpResponse& response) {
    std::string text = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
    text += response.headerText;
    text += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    text += "Connection: close\r\n\r\n";
    text += response.body;
    return text;
}

// Takes what arrived on the connection; true when the connection is finished and must be closed.
bool receive(Connection& connection, const HttpHandler& handler) {
    char buffer[16384];
    const auto n = ::recv(connection.fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return false;
    if (n <= 0)
        return true;
    connection.lastActivity = Clock::now();
    connection.received.append(buffer, static_cast<std::size_t>(n));
    if (connection.headerEnd == std::string::npos) {
        const auto blank = connection.received.find("\r\n\r\n");
        if (blank == std::string::npos)
            return connection.received.size() > maxHeaderBytes;
        connection.headerEnd = blank;
        if (!parseHead(connection))
            return true;
    }
    const std::size_t bodyStart = connection.headerEnd + 4;
    if (connection.received.size() < bodyStart + connection.contentLength)
        return false;
    connection.request.body = connection.received.substr(bodyStart, connection.contentLength);
    sendAll(connection.fd, responseText(handler(connection.request)));
    return true;
}

void closeConnection(Connection& connection) {
    ::shutdown(connection.fd, SHUT_WR);
    ::close(connection.fd);
    connection.fd = -1;
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0)
        throw systemError("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 64) != 0) {
        const auto error = systemError("bind");
        ::close(listener_);
        throw error;
    }
    socklen_t length = sizeof address;
    if (::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const auto error = systemError("getsockname");
        ::close(listener_);
        throw error;
    }
    port_ = ntohs(address.sin_port);
}

LoopbackHttpServer::~LoopbackHttpServer() {
    if (listener_ >= 0)
        ::close(listener_);
}

void LoopbackHttpServer::run(const HttpHandler& handler, std::chrono::seconds lifetime, bool watchInput) {
    const auto deadline = Clock::now() + lifetime;
    std::vector<Connection> connections;
    bool inputOpen = watchInput;
    while (Clock::now() < deadline) {
        std::vector<pollfd> watched;
        watched.push_back({listener_, POLLIN, 0});
        if (inputOpen)
            watched.push_back({STDIN_FILENO, POLLIN, 0});
        const std::size_t firstConnection = watched.size();
        for (const auto& connection : connections)
            watched.push_back({connection.fd, POLLIN, 0});

        const int ready = ::poll(watched.data(), watched.size(), 200);
        if (ready < 0 && errno != EINTR)
            throw systemError("poll");

        if (inputOpen && watched[1].revents != 0) {
            char scratch[256];
            if (::read(STDIN_FILENO, scratch, sizeof scratch) <= 0)
                return; // the test runner went away
        }
        if (watched[0].revents & POLLIN) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                timeval sendTimeout{5, 0};
                ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
                connections.push_back(Connection{});
                connections.back().fd = fd;
            }
        }
        const auto now = Clock::now();
        for (std::size_t i = firstConnection; i < watched.size(); ++i) {
            Connection& connection = connections[i - firstConnection];
            const bool finished = watched[i].revents != 0 ? receive(connection, handler)
                                                          : now - connection.lastActivity > idleLimit;
            if (finished)
                closeConnection(connection);
        }
        std::erase_if(connections, [](const Connection& connection) { return connection.fd < 0; });
    }
    for (auto& connection : connections)
        closeConnection(connection);
}

} // namespace kes::pageserver
