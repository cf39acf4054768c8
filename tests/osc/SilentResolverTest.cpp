// Host names are never looked up on the OSC receive thread or the audio thread. Each test
// runs in a child process inside a private network namespace whose only name server
// (127.0.0.1:53) reads every query and never answers, so a lookup there takes the
// system's full time-out (10 s); what must stay prompt is timed against that.
// Needs root (CI runs as root); skips otherwise.

#include "OscServerFixture.h"
#include "support/ChildProcess.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

constexpr const char* kSilentName = "reply-host.invalid";
constexpr const char* kNotPermitted = "private network namespaces are not permitted here: ";

// Makes this process's network and mounts its own: loopback up, and a resolv.conf naming
// a name server that swallows every query. Empty on success, else why not.
std::string enterSilentNetwork(const std::string& folder)
{
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
        return std::string(kNotPermitted) + "unshare: " + std::strerror(errno);
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return std::string(kNotPermitted) + "private mounts: " + std::strerror(errno);
    }
    const std::string resolvConf = folder + "/resolv.conf";
    std::ofstream(resolvConf) << "nameserver 127.0.0.1\noptions timeout:5 attempts:2\n";
    if (::mount(resolvConf.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0) {
        return std::string(kNotPermitted) + "bind mount: " + std::strerror(errno);
    }
    ifreq loopback{};
    std::strncpy(loopback.ifr_name, "lo", IFNAMSIZ - 1);
    const int control = ::socket(AF_INET, SOCK_DGRAM, 0);
    loopback.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    const bool up = ::ioctl(control, SIOCSIFFLAGS, &loopback) == 0;
    ::close(control);
    if (!up) {
        return "cannot bring lo up";
    }
    const int silent = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in dns{};
    dns.sin_family = AF_INET;
    dns.sin_port = htons(53);
    dns.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(silent, reinterpret_cast<sockaddr*>(&dns), sizeof(dns)) != 0) {
        return "cannot bind the silent name server";
    }
    std::thread([silent] {
        char query[512];
        while (::recv(silent, query, sizeof(query), 0) >= 0) {
        }
    }).detach();
    return "";
}

class SilentResolverTest : public OscServerTest {
protected:
    using Body = std::function<std::string(lfhost::PluginInstance&, UdpTestPeer&)>;

    // Runs body in a child inside the silent network, with a peer of its own and a loaded
    // plug-in (with the user script script(peer), if any) listening on base + 5 and
    // answering a numeric /ping.
    void runInSilentNetwork(const Body& body, const std::function<std::string(const UdpTestPeer&)>& script = {})
    {
        const std::string folder = std::getenv("XDG_CONFIG_HOME");
        const ChildOutcome outcome = runInChild(std::chrono::seconds(40), [&]() -> std::string {
            if (std::string why = enterSilentNetwork(folder); !why.empty()) {
                std::printf("%s\n", why.c_str());
                return why.starts_with(kNotPermitted) ? "" : why;
            }
            UdpTestPeer childPeer;
            if (script) {
                addScript("named.lua", script(childPeer));
            }
            auto plugin = load();
            if (!plugin) {
                return "the plug-in did not load";
            }
            setOffset(*plugin, 5);
            if (childPeer.pingUntilAnswered(base + 5) != pong(base + 5)) {
                return "no answer to a numeric /ping";
            }
            return body(*plugin, childPeer);
        });
        if (outcome.output.find(kNotPermitted) != std::string::npos) {
            GTEST_SKIP() << outcome.output;
        }
        EXPECT_TRUE(outcome.survived()) << outcome.output;
    }
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST_F(SilentResolverTest, AReplyHostNameDoesNotMakeTheServerDeaf)
{
    runInSilentNetwork([this](lfhost::PluginInstance&, UdpTestPeer& peer) -> std::string {
        const std::string named = std::string(kSilentName) + ":9000";
        peer.sendTo(base + 5, oscMessage("/get", [&](auto& s) { s << 11 << named.c_str() << "/named"; }));
        const auto start = std::chrono::steady_clock::now();
        peer.sendTo(base + 5, oscMessage("/get", [&](auto& s) { s << 11 << peer.url().c_str() << "/r"; }));
        const std::string reply = peer.receiveDescribed(1000);
        if (reply != "/r i:11 f:0") {
            return "a numeric /get after one naming a host got " + reply + " after " +
                   std::to_string(secondsSince(start)) + " s";
        }
        return "";
    });
}

TEST_F(SilentResolverTest, SendOscToANameInANoteHandlerDoesNotHoldUpProcessing)
{
    const auto script = [](const UdpTestPeer& peer) {
        return "requestNoteOn(60, function(c, n, v)\n"
               "  sendOSC('" + std::string(kSilentName) + ":9000', '/named', {n})\n"
               "  sendOSC('" + peer.url() + "', '/after', {n})\n"
               "end)\n";
    };
    runInSilentNetwork(
        [](lfhost::PluginInstance& plugin, UdpTestPeer& peer) -> std::string {
            std::vector<float> in(256), left(in.size()), right(in.size());
            float* inputs[2] = {in.data(), in.data()};
            float* outputs[2] = {left.data(), right.data()};
            plugin.sendMidi({{0, {0x90, 60, 100}}});
            const auto start = std::chrono::steady_clock::now();
            plugin.processReplacing(inputs, outputs, static_cast<int>(in.size()));
            const double took = secondsSince(start);
            if (took > 1.0) {
                return "the block with the note took " + std::to_string(took) + " s";
            }
            const std::string after = peer.receiveDescribed(1000);
            if (after != "/after f:60") {
                return "the message to a numeric address got " + after;
            }
            return "";
        },
        script);
}
