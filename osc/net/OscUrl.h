#pragma once
// A reply URL as remote peers and scripts write it: "osc.udp://host:port", where the
// "osc.udp://" prefix may be left out. At most 1024 characters are looked at. Parsing
// only splits the text; the host is resolved by the network (OscNetwork::resolve).

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

    const std::string& host() const { return host_; }
    int port() const { return port_; }

private:
    OscUrl(std::string host, int port) : host_(std::move(host)), port_(port) {}

    std::string host_;
    int port_;
};

}  // namespace QN
