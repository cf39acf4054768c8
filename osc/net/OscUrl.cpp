#include "osc/net/OscUrl.h"

namespace QN {

namespace {

constexpr std::string_view kScheme = "osc.udp://";

// Decimal digits only, 1..65535; -1 otherwise.
int parsePort(std::string_view digits)
{
    if (digits.empty() || digits.size() > 5) {
        return -1;
    }
    int port = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535 ? port : -1;
}

}  // namespace

std::optional<OscUrl> OscUrl::parse(std::string_view text, const char** error)
{
    text = text.substr(0, kMaxLength);
    if (text.substr(0, kScheme.size()) == kScheme) {
        text.remove_prefix(kScheme.size());
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        *error = "reply URL has no port";
        return std::nullopt;
    }
    const int port = parsePort(text.substr(colon + 1));
    if (port < 0) {
        *error = "invalid port in reply URL";
        return std::nullopt;
    }
    if (colon == 0) {
        *error = "reply URL has no host";
        return std::nullopt;
    }
    return OscUrl(std::string(text.substr(0, colon)), port);
}

}  // namespace QN
