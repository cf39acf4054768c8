#include "engine/net/UdpOscNetwork.h"

#include "engine/net/HostResolver.h"
#include "engine/net/OscUrl.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace QN {

namespace {

sockaddr_in socketAddress(const OscEndpoint& endpoint)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(endpoint.address);
    address.sin_port = htons(static_cast<std::uint16_t>(endpoint.port));
    return address;
}

class UdpDatagramChannel : public OscDatagramChannel {
public:
    explicit UdpDatagramChannel(int socket) : socket_(socket) {}
    ~UdpDatagramChannel() override { ::close(socket_); }
    UdpDatagramChannel(const UdpDatagramChannel&) = delete;
    UdpDatagramChannel& operator=(const UdpDatagramChannel&) = delete;

    bool send(const char* data, std::size_t size) override
    {
        ssize_t sent = 0;
        do {
            sent = ::send(socket_, data, size, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent == static_cast<ssize_t>(size);
    }

    std::uint32_t localAddress() const override
    {
        sockaddr_in local{};
        socklen_t length = sizeof(local);
        if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
            return 0;
        }
        return ntohl(local.sin_addr.s_addr);
    }

private:
    int socket_;
};

// The system's lookup; it may take as long as the name servers let it. Called on: the
// resolver's thread only.
std::optional<std::uint32_t> lookUpInSystem(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const std::uint32_t result = ntohl(address->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return result;
}

}  // namespace

std::optional<std::uint32_t> UdpOscNetwork::resolve(const std::string& host)
{
    if (const std::optional<std::uint32_t> literal = OscUrl::literalAddress(host)) {
        return literal;
    }
    return resolver().resolveWithin(host, kLookupWait);
}

HostLookup UdpOscNetwork::lookUpWithoutWaiting(const std::string& host)
{
    if (const std::optional<std::uint32_t> literal = OscUrl::literalAddress(host)) {
        return HostLookup::found(*literal);
    }
    return resolver().lookUpNow(host);
}

void UdpOscNetwork::wakeOnLookups(platform::WakeFlags& flags, std::uint32_t flag) { resolver().subscribe(flags, flag); }

void UdpOscNetwork::stopWakingOnLookups(platform::WakeFlags& flags) { resolver().unsubscribe(flags); }

std::unique_ptr<OscDatagramChannel> UdpOscNetwork::open(const OscEndpoint& to, const char** error)
{
    if (to.port < 1 || to.port > 65535) {
        *error = "invalid port";
        return nullptr;
    }
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        *error = "unable to create udp socket";
        return nullptr;
    }
    const sockaddr_in address = socketAddress(to);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(socket);
        *error = "unable to connect udp socket";
        return nullptr;
    }
    try {
        return std::make_unique<UdpDatagramChannel>(socket);
    } catch (...) {
        ::close(socket);
        *error = "out of memory";
        return nullptr;
    }
}

bool UdpOscNetwork::isOwnAddress(std::uint32_t address)
{
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return false;
    }
    bool found = false;
    for (const ifaddrs* entry = interfaces; entry != nullptr && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            const auto* own = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            found = ntohl(own->sin_addr.s_addr) == address;
        }
    }
    ::freeifaddrs(interfaces);
    return found;
}

UdpOscNetwork& UdpOscNetwork::shared()
{
    static UdpOscNetwork network;
    return network;
}

HostResolver& UdpOscNetwork::resolver()
{
    // Never destroyed: its thread may be inside a lookup when the process ends.
    static HostResolver* const resolver = new HostResolver(&lookUpInSystem);
    return *resolver;
}

}  // namespace QN
