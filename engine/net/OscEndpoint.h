#pragma once
// An IPv4 UDP endpoint: address in host byte order (127.0.0.1 is 0x7f000001) and port.

#include <cstdint>

namespace QN {

struct OscEndpoint {
    std::uint32_t address = 0;
    int port = 0;

    friend bool operator==(const OscEndpoint&, const OscEndpoint&) = default;
};

}  // namespace QN
