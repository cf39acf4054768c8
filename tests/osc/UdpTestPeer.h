#pragma once
// A UDP socket on 127.0.0.1 for tests that talk to a real server: it sends requests,
// waits for replies with a time-out (poll), and probes whether a port is closed (a
// datagram to a closed loopback port comes back as "connection refused").

#include "OscBytes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>

class UdpTestPeer {
public:
    UdpTestPeer()
    {
        socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        // Room for a whole "/getAll" answer (2081 datagrams) without loss.
        const int size = 8 << 20;
        if (::setsockopt(socket_, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof(size)) != 0) {
            ::setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
        }
        sockaddr_in address = loopback(0);
        ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~UdpTestPeer() { ::close(socket_); }
    UdpTestPeer(const UdpTestPeer&) = delete;
    UdpTestPeer& operator=(const UdpTestPeer&) = delete;

    int port() const { return port_; }
    // "127.0.0.1:<port>", the reply URL that reaches this peer.
    std::string url() const { return "127.0.0.1:" + std::to_string(port_); }

    void sendTo(int port, const Bytes& datagram) const
    {
        const sockaddr_in address = loopback(port);
        ::sendto(socket_, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                 sizeof(address));
    }

    std::optional<Bytes> receive(int timeoutMs) const
    {
        pollfd ready{socket_, POLLIN, 0};
        if (::poll(&ready, 1, timeoutMs) != 1) {
            return std::nullopt;
        }
        Bytes buffer(65536);
        const ssize_t size = ::recv(socket_, buffer.data(), buffer.size(), 0);
        if (size < 0) {
            return std::nullopt;
        }
        buffer.resize(static_cast<std::size_t>(size));
        return buffer;
    }

    // The next datagram described (see describeOsc), or "(nothing)" after the time-out.
    std::string receiveDescribed(int timeoutMs = 2000) const
    {
        const std::optional<Bytes> datagram = receive(timeoutMs);
        return datagram ? describeOsc(*datagram) : "(nothing)";
    }

    // Sends "/ping" to port until a reply arrives (the server may still be opening it);
    // the reply described, or "(nothing)" after timeoutMs.
    std::string pingUntilAnswered(int port, int timeoutMs = 3000) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        const Bytes ping = oscMessage("/ping", [this](auto& s) { s << url().c_str() << "/pong"; });
        while (std::chrono::steady_clock::now() < deadline) {
            sendTo(port, ping);
            if (const std::optional<Bytes> reply = receive(50)) {
                return describeOsc(*reply);
            }
        }
        return "(nothing)";
    }

    // True once a datagram to port is refused (nothing listens there), probing until
    // timeoutMs.
    static bool closedWithin(int port, int timeoutMs)
    {
        const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
        const sockaddr_in address = loopback(port);
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        bool refused = false;
        while (!refused && std::chrono::steady_clock::now() < deadline) {
            ::send(probe, "", 0, 0);  // an empty datagram: a listening server ignores it
            pollfd ready{probe, POLLIN, 0};
            if (::poll(&ready, 1, 50) == 1) {
                char byte = 0;
                refused = ::recv(probe, &byte, 1, 0) < 0 && errno == ECONNREFUSED;
            }
        }
        ::close(probe);
        return refused;
    }

    // A port nothing on 127.0.0.1 uses right now.
    static int freePort()
    {
        UdpTestPeer peer;
        return peer.port();
    }

private:
    static sockaddr_in loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        return address;
    }

    int socket_ = -1;
    int port_ = 0;
};
