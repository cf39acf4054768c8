// libFuzzer entry: OSC datagrams into the packet handler of one live instance, as if they
// had arrived on the listening port. No sockets: replies go to a network that counts and
// drops them (and resolves nothing but dotted addresses, so no name is ever looked up).
//
// An input is either
//  - one raw datagram from this machine, when it starts with '/' or '#' (the seeds of
//    fuzz/corpus/osc_packet are wire-format packets), or
//  - a request program: a sequence of datagrams from several senders, each a message or
//    a bundle (nested at times) of well-formed requests (registrations, "/getAll",
//    "/getAllRegistered", "/exec", "/call", "/get", "/set", "/ping") with reply URLs
//    naming the sender, this machine or other hosts, and switches of the access
//    preferences in between.
// The instance lives for the whole run, so registrations pile up across inputs. After
// every datagram the harness aborts when a bound is broken: more replies than the
// datagram's budget, a reply to a host other than the sender's while "OSC Reply To Any
// Host" is off, or more update registrations than allowed (per parameter or in total);
// after every input, when the live heap has grown past kHeapCeiling (the registrations
// at their bound take well under 1 MB, so only growth without bound gets there).
// scripts/fuzz.sh also caps the resident size of the whole run.

#include "engine/osc/OSCHelper.h"
#include "engine/osc/OscAccessPreferences.h"
#include "engine/model/ParameterTable.h"
#include "engine/scripting/PluginServices.h"

#include <oscpack/osc/OscOutboundPacketStream.h>
#include <sanitizer/allocator_interface.h>

#include <arpa/inet.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kLoopback = 0x7f000001u;
constexpr std::uint32_t kOwnAddress = 0x0a000001u;  // 10.0.0.1: an interface of this machine
constexpr std::uint32_t kSenders[] = {kLoopback, kOwnAddress, 0x0a000007u, 0xc0a80114u};
constexpr std::size_t kMaxDatagram = 4098;  // what the receive loop takes in one datagram
constexpr std::size_t kHeapCeiling = std::size_t(256) << 20;

[[noreturn]] void violated(const char* what)
{
    std::fprintf(stderr, "OSC bound violated: %s\n", what);
    std::abort();
}

bool isThisMachine(std::uint32_t address) { return (address >> 24) == 127 || address == kOwnAddress; }

// Counts what the handler sends during one datagram and checks where it goes.
class CountingNetwork : public QN::OscNetwork {
public:
    std::optional<std::uint32_t> resolve(const std::string& host) override
    {
        in_addr address{};
        if (inet_pton(AF_INET, host.c_str(), &address) != 1) {
            return std::nullopt;
        }
        return ntohl(address.s_addr);
    }
    std::unique_ptr<QN::OscDatagramChannel> open(const QN::OscEndpoint& to, const char**) override
    {
        return std::make_unique<Channel>(*this, to);
    }
    bool isOwnAddress(std::uint32_t address) override { return address == kOwnAddress; }

    void beginDatagram(std::uint32_t sender)
    {
        sender_ = sender;
        sent_ = 0;
    }
    int sent() const { return sent_; }

private:
    struct Channel : QN::OscDatagramChannel {
        Channel(CountingNetwork& network, QN::OscEndpoint to) : network(network), to(to) {}
        bool send(const char*, std::size_t) override
        {
            network.record(to);
            return true;
        }
        std::uint32_t localAddress() const override { return kLoopback; }
        CountingNetwork& network;
        QN::OscEndpoint to;
    };

    void record(const QN::OscEndpoint& to)
    {
        ++sent_;
        const bool sameHost = to.address == sender_ || (isThisMachine(sender_) && isThisMachine(to.address));
        if (!sameHost && !QN::OscAccessPreferences::replyToAnyHost()) {
            violated("a reply went to a host other than the sender's");
        }
    }

    std::uint32_t sender_ = kLoopback;
    int sent_ = 0;
};

struct Plugin : QN::PluginServices {
    std::array<float, kParameterCount> values{};
    float parameterValue(int id) override { return isValidParameterId(id) ? values[std::size_t(id)] : 0.0f; }
    bool setPlainParameter(int id, float plain) override
    {
        const auto admitted = isValidParameterId(id) ? admittedPlainValue(parameterInfo(id), plain) : std::nullopt;
        if (admitted) {
            values[std::size_t(id)] = *admitted;
        }
        return admitted.has_value();
    }
    ParameterInfo parameterRow(int id) const override { return parameterInfo(id); }
    void setIndicator(int, bool) override {}
    bool indicator(int) override { return false; }
};

// Lua is left out: "/exec", "/call" and notes then answer "no Lua support from OSC" once
// past the access rules; the Lua side of those requests has its own tests.
struct Harness {
    Harness() : osc(&plugin, nullptr, network) {}
    Plugin plugin;
    CountingNetwork network;
    QN::OSCHelper osc;
};

// Past the end of the input every byte reads as zero.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return position_ >= size_; }
    std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }
    int word() { return (byte() << 8) | byte(); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

class RequestProgram {
public:
    RequestProgram(Harness& harness, Reader& in) : harness_(harness), in_(in) {}

    void run()
    {
        while (!in_.empty()) {
            const std::uint8_t op = in_.byte();
            if (op % 8 == 0) {
                QN::OscAccessPreferences::setReplyToAnyHost((op & 0x10) != 0);
                QN::OscAccessPreferences::setAllowRemoteScripts((op & 0x20) != 0);
            } else {
                sendDatagram(kSenders[in_.byte() % std::size(kSenders)], 1 + op % 24, (op & 0x40) != 0);
            }
        }
    }

private:
    void sendDatagram(std::uint32_t sender, int requests, bool bundle)
    {
        sender_ = sender;
        std::vector<char> buffer(kMaxDatagram);
        osc::OutboundPacketStream packet(buffer.data(), buffer.size());
        try {
            if (bundle) {
                packet << osc::BeginBundleImmediate;
                for (int k = 0; k < requests; ++k) {
                    const bool nested = in_.byte() % 8 == 0;
                    if (nested) packet << osc::BeginBundleImmediate;
                    addRequest(packet);
                    if (nested) packet << osc::EndBundle;
                }
                packet << osc::EndBundle;
            } else {
                addRequest(packet);
            }
        } catch (const osc::OutOfBufferMemoryException&) {
            return;  // larger than one datagram: not sent
        }
        harness_.network.beginDatagram(sender);
        harness_.osc.requestHandler().handlePacket(packet.Data(), packet.Size(), QN::OscEndpoint{sender, 5000});
        check();
    }

    void addRequest(osc::OutboundPacketStream& packet)
    {
        const int id = parameterId();
        const std::string url = replyUrl();
        const std::string path = "/p" + std::to_string(in_.word() % 600);
        switch (in_.byte() % 10) {
        case 0:
        case 1:
            packet << osc::BeginMessage("/registerUpdate") << id << url.c_str() << path.c_str() << osc::EndMessage;
            touched_.push_back(id);
            break;
        case 2:
            packet << osc::BeginMessage("/unregisterUpdate") << id << url.c_str() << path.c_str() << osc::EndMessage;
            break;
        case 3: packet << osc::BeginMessage("/getAll") << url.c_str() << path.c_str() << osc::EndMessage; break;
        case 4: packet << osc::BeginMessage("/getAllRegistered") << osc::EndMessage; break;
        case 5: packet << osc::BeginMessage("/exec") << "print" << id << osc::EndMessage; break;
        case 6:
            packet << osc::BeginMessage("/call") << "tostring" << url.c_str() << path.c_str() << osc::EndMessage;
            break;
        case 7: packet << osc::BeginMessage("/get") << id << url.c_str() << path.c_str() << osc::EndMessage; break;
        case 8: packet << osc::BeginMessage("/set") << id << float(in_.byte()) << osc::EndMessage; break;
        default: packet << osc::BeginMessage("/ping") << url.c_str() << path.c_str() << osc::EndMessage; break;
        }
    }

    // Mostly a few parameters (so their own bound is reached), at times any id or one
    // outside the range.
    int parameterId()
    {
        const std::uint8_t kind = in_.byte();
        if (kind % 16 == 0) {
            return static_cast<std::int16_t>(in_.word());
        }
        return kind % 4 == 0 ? in_.word() % kParameterCount : kind % 24;
    }

    std::string replyUrl()
    {
        static const char* const kHosts[] = {"127.0.0.1", "10.0.0.1", "10.0.0.7", "10.0.0.8", "192.168.1.20",
                                             "127.0.0.2", "localhost", "osc.udp://10.0.0.7"};
        const std::uint8_t choice = in_.byte();
        std::string host;
        if (choice % 4 == 0) {
            host = std::to_string(sender_ >> 24) + "." + std::to_string((sender_ >> 16) & 0xFF) + "." +
                   std::to_string((sender_ >> 8) & 0xFF) + "." + std::to_string(sender_ & 0xFF);
        } else {
            host = kHosts[(choice / 4) % std::size(kHosts)];
        }
        const int port = choice % 32 == 1 ? in_.word() * 2 : 9000 + in_.byte() % 4;
        return host + ":" + std::to_string(port);
    }

    void check()
    {
        if (harness_.network.sent() > QN::OscRequestHandler::kReplyBudget) {
            violated("a datagram made more replies than its budget");
        }
        const QN::UpdateRegistry& registry = harness_.osc.updateRegistry();
        if (registry.size() > QN::UpdateRegistry::kMaxTotal) {
            violated("more update registrations than the total bound");
        }
        for (const int id : touched_) {
            if (registry.countFor(id) > QN::UpdateRegistry::kMaxPerParameter) {
                violated("more update registrations for one parameter than its bound");
            }
        }
        touched_.clear();
    }

    Harness& harness_;
    Reader& in_;
    std::uint32_t sender_ = kLoopback;
    std::vector<int> touched_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Harness* harness = new Harness();  // lives for the whole run
    QN::OscAccessPreferences::setReplyToAnyHost(false);
    QN::OscAccessPreferences::setAllowRemoteScripts(false);
    if (size > 0 && (data[0] == '/' || data[0] == '#')) {
        harness->network.beginDatagram(kLoopback);
        harness->osc.requestHandler().handlePacket(reinterpret_cast<const char*>(data), size);
        if (harness->network.sent() > QN::OscRequestHandler::kReplyBudget) {
            violated("a datagram made more replies than its budget");
        }
    } else {
        Reader in(data, size);
        RequestProgram(*harness, in).run();
    }
    if (__sanitizer_get_current_allocated_bytes() > kHeapCeiling) {
        violated("the live heap grew past its ceiling");
    }
    return 0;
}
