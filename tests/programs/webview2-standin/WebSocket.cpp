#include "WebSocket.h"

#include <ws2tcpip.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

namespace standin {

namespace {

constexpr const char* base64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string readHttpHead(LoopbackSocket& socket, std::string& rest) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const auto end = text.find("\r\n\r\n");
        if (end != std::string::npos) {
            rest = text.substr(end + 4);
            return text.substr(0, end);
        }
        const std::size_t got = socket.receiveSome(buffer, sizeof buffer);
        if (got == 0)
            throw std::runtime_error("the connection ended inside the HTTP head");
        text.append(buffer, got);
    }
}

int statusOf(const std::string& head) {
    const auto space = head.find(' ');
    return space == std::string::npos ? 0 : std::atoi(head.c_str() + space + 1);
}

} // namespace

WinsockSession::WinsockSession() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw std::runtime_error("WSAStartup failed");
}

WinsockSession::~WinsockSession() {
    WSACleanup();
}

LoopbackSocket::LoopbackSocket(unsigned short port) {
    socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket_ == INVALID_SOCKET)
        throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closesocket(socket_);
        throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
    }
    const BOOL noDelay = TRUE;
    setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
}

LoopbackSocket::~LoopbackSocket() {
    closesocket(socket_);
}

void LoopbackSocket::sendAll(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int result = send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (result <= 0)
            throw std::runtime_error("send failed");
        sent += static_cast<std::size_t>(result);
    }
}

std::size_t LoopbackSocket::receiveSome(char* buffer, std::size_t capacity) {
    const int result = recv(socket_, buffer, static_cast<int>(capacity), 0);
    return result > 0 ? static_cast<std::size_t>(result) : 0;
}

void LoopbackSocket::shutdownBoth() {
    ::shutdown(socket_, SD_BOTH);
}

std::string httpGet(unsigned short port, const std::string& path) {
    LoopbackSocket socket(port);
    socket.sendAll("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                   "\r\nConnection: close\r\n\r\n");
    std::string body;
    const std::string head = readHttpHead(socket, body);
    if (statusOf(head) != 200)
        throw std::runtime_error("GET " + path + " answered: " + head.substr(0, head.find('\r')));
    // The browser keeps the connection open: the body is as long as the head says.
    std::string lower = head;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto field = lower.find("content-length:");
    if (field == std::string::npos)
        throw std::runtime_error("GET " + path + " answered without a length");
    const std::size_t length = std::strtoul(head.c_str() + field + 15, nullptr, 10);
    char buffer[4096];
    while (body.size() < length) {
        const std::size_t got = socket.receiveSome(buffer, sizeof buffer);
        if (got == 0)
            throw std::runtime_error("GET " + path + ": the connection ended inside the body");
        body.append(buffer, got);
    }
    return body.substr(0, length);
}

WebSocket::WebSocket(unsigned short port, const std::string& path) : socket_(port) {
    std::random_device random;
    std::string key;
    for (int i = 0; i < 16; ++i)
        key += static_cast<char>(random() & 0xFF);
    socket_.sendAll("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                    "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " +
                    base64Encode(key) + "\r\nSec-WebSocket-Version: 13\r\n\r\n");
    const std::string head = readHttpHead(socket_, input_);
    if (statusOf(head) != 101)
        throw std::runtime_error("the DevTools endpoint refused the WebSocket: " +
                                 head.substr(0, head.find('\r')));
}

void WebSocket::sendText(const std::string& text) {
    sendFrame(0x1, text);
}

void WebSocket::sendFrame(unsigned char opcode, const std::string& payload) {
    static thread_local std::mt19937 random{std::random_device{}()};
    std::string frame;
    frame += static_cast<char>(0x80 | opcode);
    const std::size_t size = payload.size();
    if (size < 126) {
        frame += static_cast<char>(0x80 | size);
    } else if (size < 65536) {
        frame += static_cast<char>(0x80 | 126);
        frame += static_cast<char>((size >> 8) & 0xFF);
        frame += static_cast<char>(size & 0xFF);
    } else {
        frame += static_cast<char>(0x80 | 127);
        for (int shift = 56; shift >= 0; shift -= 8)
            frame += static_cast<char>((static_cast<unsigned long long>(size) >> shift) & 0xFF);
    }
    unsigned char mask[4];
    for (auto& byte : mask)
        byte = static_cast<unsigned char>(random() & 0xFF);
    frame.append(reinterpret_cast<const char*>(mask), 4);
    for (std::size_t i = 0; i < size; ++i)
        frame += static_cast<char>(payload[i] ^ mask[i % 4]);
    std::lock_guard lock(sendMutex_);
    socket_.sendAll(frame);
}

bool WebSocket::fill(std::size_t bytes) {
    char buffer[65536];
    while (input_.size() < bytes) {
        const std::size_t got = socket_.receiveSome(buffer, sizeof buffer);
        if (got == 0)
            return false;
        input_.append(buffer, got);
    }
    return true;
}

std::optional<std::string> WebSocket::receive() {
    std::string message;
    for (;;) {
        if (!fill(2))
            return std::nullopt;
        const auto first = static_cast<unsigned char>(input_[0]);
        const auto second = static_cast<unsigned char>(input_[1]);
        const bool final = (first & 0x80) != 0;
        const unsigned opcode = first & 0x0F;
        std::size_t header = 2;
        unsigned long long size = second & 0x7F;
        if (size == 126) {
            if (!fill(4))
                return std::nullopt;
            size = (static_cast<unsigned char>(input_[2]) << 8) | static_cast<unsigned char>(input_[3]);
            header = 4;
        } else if (size == 127) {
            if (!fill(10))
                return std::nullopt;
            size = 0;
            for (int i = 2; i < 10; ++i)
                size = (size << 8) | static_cast<unsigned char>(input_[i]);
            header = 10;
        }
        if ((second & 0x80) != 0)
            header += 4; // a server never masks, but skip a mask if one came
        if (!fill(header + size))
            return std::nullopt;
        std::string payload = input_.substr(header, size);
        input_.erase(0, header + size);
        if (opcode == 0x8)
            return std::nullopt; // close
        if (opcode == 0x9) {
            sendFrame(0xA, payload);
            continue;
        }
        if (opcode == 0xA)
            continue;
        message += payload;
        if (final)
            return message;
    }
}

std::string base64Encode(const std::string& bytes) {
    std::string text;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned value = (static_cast<unsigned char>(bytes[i]) << 16) |
                               (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                               static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            text += base64Alphabet[(value >> shift) & 0x3F];
    }
    const std::size_t left = bytes.size() - i;
    if (left > 0) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (left == 2)
            value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        text += base64Alphabet[(value >> 18) & 0x3F];
        text += base64Alphabet[(value >> 12) & 0x3F];
        text += left == 2 ? base64Alphabet[(value >> 6) & 0x3F] : '=';
        text += '=';
    }
    return text;
}

std::string base64Decode(const std::string& text) {
    std::string bytes;
    unsigned value = 0;
    int bits = 0;
    for (const char c : text) {
        const char* at = c == 0 ? nullptr : std::strchr(base64Alphabet, c);
        if (at == nullptr)
            continue; // padding, line breaks
        value = (value << 6) | static_cast<unsigned>(at - base64Alphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((value >> bits) & 0xFF);
        }
    }
    return bytes;
}

} // namespace standin
