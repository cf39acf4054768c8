#pragma once
// A network that records what would have been sent instead of sending it. It resolves
// dotted addresses and "localhost" only, so tests never look names up; this machine's own
// interface addresses are the ones a test puts in ownAddresses.

#include "engine/net/OscNetwork.h"
#include "OscBytes.h"

#include <arpa/inet.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class RecordingNetwork : public QN::OscNetwork {
public:
    struct Datagram {
        QN::OscEndpoint to;
        Bytes bytes;
    };

    std::optional<std::uint32_t> resolve(const std::string& host) override
    {
        if (host == "localhost") {
            return 0x7f000001u;
        }
        in_addr address{};
        if (inet_pton(AF_INET, host.c_str(), &address) != 1) {
            return std::nullopt;
        }
        return ntohl(address.s_addr);
    }

    std::unique_ptr<QN::OscDatagramChannel> open(const QN::OscEndpoint& to, const char**) override
    {
        ++socketsOpened;
        return std::make_unique<Channel>(*this, to);
    }

    bool isOwnAddress(std::uint32_t address) override { return ownAddresses.count(address) != 0; }

    // Every datagram, described (see describeOsc), in sending order.
    std::vector<std::string> described() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> lines;
        for (const Datagram& datagram : sent_) {
            lines.push_back(describeOsc(datagram.bytes));
        }
        return lines;
    }
    std::vector<Datagram> sent() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return sent_;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sent_.clear();
    }

    int socketsOpened = 0;
    std::set<std::uint32_t> ownAddresses;

private:
    class Channel : public QN::OscDatagramChannel {
    public:
        Channel(RecordingNetwork& network, QN::OscEndpoint to) : network_(network), to_(to) {}
        bool send(const char* data, std::size_t size) override
        {
            std::lock_guard<std::mutex> lock(network_.mutex_);
            network_.sent_.push_back({to_, Bytes(data, data + size)});
            return true;
        }
        std::uint32_t localAddress() const override { return 0x7f000001u; }

    private:
        RecordingNetwork& network_;
        QN::OscEndpoint to_;
    };

    mutable std::mutex mutex_;
    std::vector<Datagram> sent_;
};
