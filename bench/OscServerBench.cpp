// The OSC server of the built plug-in over loopback UDP:
//  - "/set" throughput without loss: windows of 32 "/set" messages, each window closed by
//    a "/get" round trip; every message must reach the host as automation.
//  - "/get" round trip: one request, wait for its reply; the median is reported.
// Runs in its own configuration and data folders with a free base port.

#include "../tests/osc/OscBytes.h"
#include "../tests/osc/UdpTestPeer.h"
#include "tools/host/PluginInstance.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

constexpr int kAutomate = 0;
constexpr int kWindow = 32;
constexpr int kScripted2 = 16;

struct Server {
    Server()
    {
        char pattern[] = "/tmp/lumenfold-bench-XXXXXX";
        root = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
        port = UdpTestPeer::freePort();
        std::filesystem::create_directories(root + "/config/Corvanne");
        std::ofstream(root + "/config/Corvanne/com.corvanne.lumenfold.conf") << "OSC Base Port=" << port - 1 << "\n";
        std::string error;
        plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
        if (plugin) {
            plugin->setParameter(0, 0.01f);  // offset 1
            ready = peer.pingUntilAnswered(port) != "(nothing)";
        }
    }
    ~Server()
    {
        plugin.reset();
        std::filesystem::remove_all(root);
    }

    // One "/get" and its reply; false after a 2 s time-out.
    bool roundTrip()
    {
        peer.sendTo(port, get);
        return peer.receive(2000).has_value();
    }

    std::string root;
    int port = 0;
    bool ready = false;
    UdpTestPeer peer;
    std::unique_ptr<lfhost::PluginInstance> plugin;
    Bytes get = oscMessage("/get", [this](auto& s) { s << kScripted2 << peer.url().c_str() << "/r"; });
};

Server& server()
{
    static Server instance;
    return instance;
}

void BM_OscSetWithoutLoss(benchmark::State& state)
{
    Server& osc = server();
    if (!osc.ready) {
        state.SkipWithError("the plug-in's OSC server did not answer");
        return;
    }
    std::vector<Bytes> sets;
    for (int k = 0; k < kWindow; ++k) {
        sets.push_back(oscMessage("/set", [k](auto& s) { s << kScripted2 << float(k) / kWindow; }));
    }
    osc.plugin->clearCalls();
    long long sent = 0;
    for (auto _ : state) {
        for (const Bytes& set : sets) {
            osc.peer.sendTo(osc.port, set);
        }
        sent += kWindow;
        if (!osc.roundTrip()) {
            state.SkipWithError("no reply to the closing /get");
            return;
        }
    }
    const long long arrived = osc.plugin->countCalls(kAutomate);
    state.counters["lost"] = static_cast<double>(sent - arrived);
    state.SetItemsProcessed(sent);
}
BENCHMARK(BM_OscSetWithoutLoss)->UseRealTime()->MinTime(2.0);

void BM_OscGetRoundTrip(benchmark::State& state)
{
    Server& osc = server();
    if (!osc.ready) {
        state.SkipWithError("the plug-in's OSC server did not answer");
        return;
    }
    std::vector<double> microseconds;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!osc.roundTrip()) {
            state.SkipWithError("no reply to /get");
            return;
        }
        microseconds.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(microseconds.begin(), microseconds.begin() + long(microseconds.size() / 2), microseconds.end());
    state.counters["median_us"] = microseconds[microseconds.size() / 2];
}
BENCHMARK(BM_OscGetRoundTrip)->UseRealTime()->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
