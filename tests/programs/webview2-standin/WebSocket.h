#pragma once
// A small WebSocket client over Winsock for the browser's DevTools endpoint on the loopback interface:
// text messages only, client frames masked, fragmented server messages joined, pings answered.
#include <winsock2.h>

#include <mutex>
#include <optional>
#include <string>

namespace standin {

// Winsock for as long as the object lives.
class WinsockSession {
public:
    WinsockSession();
    ~WinsockSession();
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
};

// A connected TCP socket to 127.0.0.1:port; throws std::runtime_error when the connection fails.
class LoopbackSocket {
public:
    explicit LoopbackSocket(unsigned short port);
    ~LoopbackSocket();
    LoopbackSocket(const LoopbackSocket&) = delete;
    LoopbackSocket& operator=(const LoopbackSocket&) = delete;

    void sendAll(const std::string& bytes);
    // Up to `capacity` bytes; 0 when the connection ended.
    std::size_t receiveSome(char* buffer, std::size_t capacity);
    // Ends both directions, which wakes a thread blocked in receiveSome.
    void shutdownBoth();

private:
    SOCKET socket_ = INVALID_SOCKET;
};

// The body of an HTTP/1.1 GET answered with 200 on 127.0.0.1:port.
std::string httpGet(unsigned short port, const std::string& path);

class WebSocket {
public:
    // Connects and upgrades; throws std::runtime_error when the server does not switch protocols.
    WebSocket(unsigned short port, const std::string& path);

    // From any thread.
    void sendText(const std::string& text);
    // Blocks for the next whole text message; nothing once the connection ended.
    std::optional<std::string> receive();
    void shutdown() { socket_.shutdownBoth(); }

private:
    void sendFrame(unsigned char opcode, const std::string& payload);
    bool fill(std::size_t bytes);

    LoopbackSocket socket_;
    std::mutex sendMutex_;
    std::string input_; // received and not yet consumed
};

std::string base64Encode(const std::string& bytes);
std::string base64Decode(const std::string& text);

} // namespace standin
