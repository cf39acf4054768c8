#include "engine/net/OscUrl.h"

namespace QN {

namespace {

constexpr std::string_view kScheme = "osc.udp://";

// The value of 1..maxDigits decimal digits; -1 for anything else.
int decimalValue(std::string_view digits, std::size_t maxDigits)
{
    if (digits.empty() || digits.size() > maxDigits) {
        return -1;
    }
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// Decimal digits only, 1..65535; -1 otherwise.
int parsePort(std::string_view digits)
{
    const int port = decimalValue(digits, 5);
    return port >= 1 && port <= 65535 ? port : -1;
}

// One part of a dotted address: 0..255, no leading zero; -1 otherwise.
int parseOctet(std::string_view digits)
{
    if (digits.size() > 1 && digits[0] == '0') {
        return -1;
    }
    const int value = decimalValue(digits, 3);
    return value <= 255 ? value : -1;
}

bool isLocalhost(std::string_view host)
{
    constexpr std::string_view kLocalhost = "localhost";
    if (host.size() != kLocalhost.size()) {
        return false;
    }
    for (std::size_t i = 0; i < host.size(); ++i) {
        const char c = host[i] >= 'A' && host[i] <= 'Z' ? static_cast<char>(host[i] - 'A' + 'a') : host[i];
        if (c != kLocalhost[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::uint32_t> OscUrl::literalAddress(std::string_view host)
{
    if (isLocalhost(host)) {
        return 0x7f000001u;
    }
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? host.find('.') : host.size();
        if (dot == std::string_view::npos) {
            return std::nullopt;
        }
        const int octet = parseOctet(host.substr(0, dot));
        if (octet < 0) {
            return std::nullopt;
        }
        address = (address << 8) | static_cast<std::uint32_t>(octet);
        host.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return address;
}

const char* OscUrl::split(std::string_view text, std::string_view* host, int* port)
{
    text = text.substr(0, kMaxLength);
    if (text.substr(0, kScheme.size()) == kScheme) {
        text.remove_prefix(kScheme.size());
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return "reply URL has no port";
    }
    *port = parsePort(text.substr(colon + 1));
    if (*port < 0) {
        return "invalid port in reply URL";
    }
    if (colon == 0) {
        return "reply URL has no host";
    }
    *host = text.substr(0, colon);
    return nullptr;
}

std::optional<OscUrl> OscUrl::parse(std::string_view text, const char** error)
{
    std::string_view host;
    int port = 0;
    if ((*error = split(text, &host, &port)) != nullptr) {
        return std::nullopt;
    }
    return OscUrl(std::string(host), port);
}

}  // namespace QN
