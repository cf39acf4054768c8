#pragma once
// What is known about a host name at one moment, without waiting for the system's
// lookup: its IPv4 address (host byte order), that it has none, or that the lookup is
// still running.

#include <cstdint>

namespace QN {

struct HostLookup {
    enum class State { Found, NotFound, Pending };

    State state = State::NotFound;
    std::uint32_t address = 0;  // when Found

    static HostLookup found(std::uint32_t address) { return {State::Found, address}; }
    static HostLookup notFound() { return {State::NotFound, 0}; }
    static HostLookup pending() { return {State::Pending, 0}; }
};

}  // namespace QN
