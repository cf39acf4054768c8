// Every thread an instance has, busy at once: the host's audio thread with MIDI, a host
// automation thread, OSC requests and change notifications, script timers, and the editor
// with its idle calls and render thread. Run under ThreadSanitizer by `scripts/test.sh
// thread`; in the plain build it still proves nothing deadlocks or crashes.

#include "PluginFixture.h"
#include "UserScriptFolder.h"
#include "tests/osc/UdpTestPeer.h"
#include "tools/host/EditorHost.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {

constexpr int kOffset = 5;

// Threads that keep an instance busy until stopped.
class BusyInstance {
public:
    explicit BusyInstance(lfhost::PluginInstance& plugin, int oscPort) : plugin_(plugin), oscPort_(oscPort)
    {
        threads_.emplace_back([this] { audioLoop(); });
        threads_.emplace_back([this] { automationLoop(); });
        threads_.emplace_back([this] { oscLoop(); });
    }
    ~BusyInstance() { stop(); }
    void stop()
    {
        done_.store(true);
        joinFrom(0);
    }
    // Ends the host's own calls (audio, automation), as a host does before it closes the
    // instance; the OSC peer keeps sending.
    void stopHostCalls()
    {
        hostDone_.store(true);
        joinFrom(0, kHostThreads);
    }
    int oscReplies() const { return replies_.load(); }

private:
    static constexpr std::size_t kHostThreads = 2;  // audio and automation, started first

    void joinFrom(std::size_t first, std::size_t count = SIZE_MAX)
    {
        for (std::size_t i = first; i < threads_.size() && i - first < count; ++i) {
            if (threads_[i].joinable()) {
                threads_[i].join();
            }
        }
    }
    bool hostCallsEnded() const { return done_.load() || hostDone_.load(); }

    void audioLoop()
    {
        std::vector<float> in(256, 0.1f), left(256), right(256);
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {left.data(), right.data()};
        for (int block = 0; !hostCallsEnded(); ++block) {
            plugin_.sendMidi({{3, {0xB0, 3, static_cast<unsigned char>(block % 128)}}, {9, {0x90, 60, 100}}});
            plugin_.processReplacing(inputs, outputs, 256);
        }
    }
    void automationLoop()
    {
        std::mt19937 generator(11);
        std::uniform_int_distribution<int> anyId(1, 2080);
        std::uniform_real_distribution<float> anyValue(0.0f, 1.0f);
        while (!hostCallsEnded()) {
            plugin_.setParameter(anyId(generator), anyValue(generator));
        }
    }
    void oscLoop()
    {
        UdpTestPeer peer;
        const Bytes registerWet = oscMessage("/registerUpdate", [&](auto& s) { s << 2 << peer.url().c_str() << "/wet"; });
        peer.sendTo(oscPort_, registerWet);
        for (int i = 0; !done_.load(); ++i) {
            peer.sendTo(oscPort_, oscMessage("/set", [&](auto& s) { s << 2 << static_cast<float>(i % 10) / 10.0f; }));
            peer.sendTo(oscPort_, oscMessage("/get", [&](auto& s) { s << 40 << peer.url().c_str() << "/value"; }));
            peer.sendTo(oscPort_, oscMessage("/exec", [&](auto& s) { s << "bump"; }));
            while (peer.receive(1)) {
                replies_.fetch_add(1);
            }
        }
    }

    lfhost::PluginInstance& plugin_;
    int oscPort_;
    std::atomic<bool> done_{false};
    std::atomic<bool> hostDone_{false};
    std::atomic<int> replies_{0};
    std::vector<std::thread> threads_;
};

class StressTest : public testing::Test {
protected:
    void SetUp() override
    {
        base_ = UdpTestPeer::freePort() - kOffset;
        const std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanne";
        std::filesystem::create_directories(config);
        std::ofstream(config + "/com.corvanne.lumenfold.conf") << "OSC Base Port=" << base_ << "\n";
        scripts_.add("busy.lua", R"(
            bumps = 0
            function bump() bumps = bumps + 1 end
            function spin() local t = time() while time() - t < 3 do end end
            local started = false
            requestNoteOn(60, function()
                if not started then
                    started = true
                    requestPeriodicCallback(0.002, function() setParameter("Scripted 2", (bumps % 10) / 10) end)
                end
            end))");
        plugin = loadPlugin();
        ASSERT_TRUE(plugin);
        plugin->setParameter(0, static_cast<float>(kOffset) / 100.0f);
    }
    void TearDown() override
    {
        plugin.reset();
        std::filesystem::remove(std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanne/com.corvanne.lumenfold.conf");
    }
    int oscPort() const { return base_ + kOffset; }

    std::unique_ptr<lfhost::PluginInstance> plugin;

private:
    UserScriptFolder scripts_;
    int base_ = 0;
};

}  // namespace

TEST_F(StressTest, EveryThreadBusyOnOneInstance)
{
    BusyInstance busy(*plugin, oscPort());
    std::string error;
    auto editor = lfhost::EditorHost::open(*plugin, &error);
    ASSERT_TRUE(editor) << error;
    editor->pumpFor(3000);
    editor.reset();
    busy.stop();
    EXPECT_GT(busy.oscReplies(), 0) << "the OSC server answered while everything ran";
}

TEST_F(StressTest, EditorOpensAndClosesFiftyTimesWhileEverythingRuns)
{
    BusyInstance busy(*plugin, oscPort());
    for (int round = 0; round < 50; ++round) {
        std::string error;
        auto editor = lfhost::EditorHost::open(*plugin, &error);
        ASSERT_TRUE(editor) << error << " in round " << round;
        editor->pumpFor(40);
    }
    busy.stop();
}

// Each round: a fresh instance serving the port (the fixture's instance is closed first, so
// the port is free), its periodic timer started by a note, then an OSC request whose script
// runs for three seconds; closing the instance meanwhile must interrupt both promptly.
TEST_F(StressTest, ClosingWhileAnOscRequestAndATimerAreInFlight)
{
    plugin.reset();
    for (int round = 0; round < 5; ++round) {
        auto fresh = loadPlugin();
        ASSERT_TRUE(fresh);
        fresh->setParameter(0, static_cast<float>(kOffset) / 100.0f);
        UdpTestPeer peer;
        ASSERT_NE(peer.pingUntilAnswered(oscPort()), "(nothing)") << "round " << round;
        {
            BusyInstance busy(*fresh, oscPort());  // its audio thread plays the note that starts the timer
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        peer.sendTo(oscPort(), oscMessage("/exec", [](auto& s) { s << "spin"; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto start = std::chrono::steady_clock::now();
        fresh.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2))
            << "closing waited for the running request";
    }
}

// The host closes the instance with its editor open while its timer, its OSC server (with
// a peer still sending) and the editor's render thread run: the editor closes first, then
// the rest stops and is freed. Fifty rounds, each a fresh instance.
TEST_F(StressTest, ClosingWithTheEditorOpenFiftyTimesWhileEverythingRuns)
{
    plugin.reset();
    for (int round = 0; round < 50; ++round) {
        auto fresh = loadPlugin();
        ASSERT_TRUE(fresh);
        fresh->setParameter(0, static_cast<float>(kOffset) / 100.0f);
        BusyInstance busy(*fresh, oscPort());  // its audio thread plays the note that starts the timer
        std::string error;
        auto editor = lfhost::EditorHost::open(*fresh, &error);
        ASSERT_TRUE(editor) << error << " in round " << round;
        editor->pumpFor(40);
        busy.stopHostCalls();
        fresh.reset();
        editor->pluginClosed();
    }
}
