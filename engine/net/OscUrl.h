#pragma once
// A reply URL as remote peers and scripts write it: "osc.udp://host:port", where the
// "osc.udp://" prefix may be left out. At most 1024 characters are looked at. Parsing
// only splits the text; a host name is looked up by the network (OscNetwork), off the
// threads that must not wait.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace QN {

class OscUrl {
public:
    static constexpr std::size_t kMaxLength = 1024;

    // Nothing, with *error set to a fixed text, when the URL has no usable port (a reply
    // to port 0 or to a port beyond 65535 cannot arrive anywhere) or no host.
    static std::optional<OscUrl> parse(std::string_view text, const char** error);
    // The same without copying (the audio thread may not allocate): host points into
    // text. Null, or the fixed error text.
    static const char* split(std::string_view text, std::string_view* host, int* port);

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    // The address the host names without any lookup: a dotted IPv4 address (host byte
    // order) or "localhost" (always this machine's loopback address); nothing for a name
    // that has to be looked up.
    std::optional<std::uint32_t> literalAddress() const { return literalAddress(host_); }
    static std::optional<std::uint32_t> literalAddress(std::string_view host);

private:
    OscUrl(std::string host, int port) : host_(std::move(host)), port_(port) {}

    std::string host_;
    int port_;
};

}  // namespace QN
