#include "engine/net/OscOutbox.h"

#include "engine/net/UdpOscNetwork.h"
#include "platform/MessageOutput.h"
#include "platform/ThreadName.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace QN {

OscOutbox::OscOutbox(OscNetwork& network) : network_(network)
{
    std::thread([this] { run(); }).detach();
}

OscOutbox::PostResult OscOutbox::post(std::string_view host, int port, const char* data, std::size_t size)
{
    if (host.size() > kMaxHostLength) {
        return PostResult::HostTooLong;
    }
    if (size > kMaxMessageSize) {
        return PostResult::MessageTooLarge;
    }
    const bool queued = ring_.push([&](Outgoing& cell) {
        std::memcpy(cell.host, host.data(), host.size());
        cell.host[host.size()] = '\0';
        cell.port = port;
        cell.size = size;
        std::memcpy(cell.data, data, size);
    });
    if (!queued) {
        return PostResult::QueueFull;
    }
    wake_.raise(kPosted);
    return PostResult::Queued;
}

OscOutbox& OscOutbox::shared()
{
    // Never destroyed: messages may still be queued when the process ends.
    static OscOutbox* const outbox = new OscOutbox(UdpOscNetwork::shared());
    return *outbox;
}

void OscOutbox::run()
{
    platform::nameThisThread("lf-osc-send");
    network_.wakeOnLookups(wake_, kLookupEnded);
    for (;;) {
        wake_.wait(msUntilFirstDeadline());
        takePosted();
        serveWaiting();
    }
}

// Sleeps for ever while no message waits for a lookup.
int OscOutbox::msUntilFirstDeadline() const
{
    if (waiting_.empty()) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(waiting_.front().deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void OscOutbox::takePosted()
{
    while (ring_.pop([this](const Outgoing& message) { dispatch(message); })) {
    }
}

void OscOutbox::dispatch(const Outgoing& message)
{
    try {
        const std::string host(message.host);
        const HostLookup known = isWaitingFor(host) ? HostLookup::pending() : network_.lookUpWithoutWaiting(host);
        switch (known.state) {
        case HostLookup::State::Found:
            deliver(known.address, host, message.port, message.data, message.size);
            break;
        case HostLookup::State::NotFound:
            report(host, message.port, "cannot resolve host");
            break;
        case HostLookup::State::Pending:
            if (waiting_.size() >= kMaxWaiting) {
                report(host, message.port, "too many messages wait for host lookups");
                break;
            }
            waiting_.push_back(Waiting{host, message.port, std::vector<char>(message.data, message.data + message.size),
                                       Clock::now() + OscNetwork::kLookupWait});
            break;
        }
    } catch (const std::exception&) {
        report(message.host, message.port, "not enough memory");
    }
}

// Sends, in order, what waited for hosts that are known now; drops what waited too long.
void OscOutbox::serveWaiting()
{
    const Clock::time_point now = Clock::now();
    for (auto it = waiting_.begin(); it != waiting_.end();) {
        const HostLookup known = network_.lookUpWithoutWaiting(it->host);
        if (known.state == HostLookup::State::Pending && now < it->deadline) {
            ++it;
            continue;
        }
        if (known.state == HostLookup::State::Found) {
            deliver(known.address, it->host, it->port, it->data.data(), it->data.size());
        } else {
            report(it->host, it->port,
                   known.state == HostLookup::State::Pending ? "host lookup took too long" : "cannot resolve host");
        }
        it = waiting_.erase(it);
    }
}

bool OscOutbox::isWaitingFor(const std::string& host) const
{
    return std::any_of(waiting_.begin(), waiting_.end(), [&host](const Waiting& w) { return w.host == host; });
}

void OscOutbox::deliver(std::uint32_t address, const std::string& host, int port, const char* data, std::size_t size)
{
    const char* error = nullptr;
    const std::unique_ptr<OscDatagramChannel> channel = network_.open(OscEndpoint{address, port}, &error);
    if (!channel) {
        report(host, port, error);
    } else if (!channel->send(data, size)) {
        report(host, port, "unable to send");
    }
}

void OscOutbox::report(const std::string& host, int port, const char* why)
{
    const std::string line = "sendOSC to " + host + ":" + std::to_string(port) + ": " + why + "; message dropped\n";
    platform::writeDebugOutput(line.c_str());
}

}  // namespace QN
