// libFuzzer entry: arbitrary bytes into the OSC packet handler, as if they had arrived
// on the listening port. No sockets: replies go to a network that drops them (and
// resolves nothing but dotted addresses, so no name is ever looked up).

#include "osc/OSCHelper.h"
#include "plugin/ParameterTable.h"
#include "scripting/PluginServices.h"

#include <arpa/inet.h>

#include <array>
#include <cstdint>

namespace {

class DroppingNetwork : public QN::OscNetwork {
public:
    std::optional<std::uint32_t> resolve(const std::string& host) override
    {
        in_addr address{};
        if (inet_pton(AF_INET, host.c_str(), &address) != 1) {
            return std::nullopt;
        }
        return ntohl(address.s_addr);
    }
    std::unique_ptr<QN::OscDatagramChannel> open(const QN::OscEndpoint&, const char**) override
    {
        return std::make_unique<Channel>();
    }

private:
    struct Channel : QN::OscDatagramChannel {
        bool send(const char*, std::size_t) override { return true; }
        std::uint32_t localAddress() const override { return 0x7f000001u; }
    };
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

// Lua is left out: the plug-in loads it with RTLD_DEEPBIND, which AddressSanitizer
// cannot run with. "/exec", "/call", notes and script addresses then answer "no Lua
// support from OSC"; the Lua side of those requests has its own tests.
struct Harness {
    Harness() : osc(&plugin, nullptr, network) {}
    Plugin plugin;
    DroppingNetwork network;
    QN::OSCHelper osc;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Harness* harness = new Harness();  // lives for the whole run
    harness->osc.requestHandler().handlePacket(reinterpret_cast<const char*>(data), size);
    return 0;
}
