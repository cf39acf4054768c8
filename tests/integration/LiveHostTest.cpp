// lumenfold-live as a user runs it, headless, against a JACK server of the test's own
// (jackd's dummy back end, started here under a name no other test uses and stopped
// after). The test is itself a JACK client: it plays a tone and MIDI into the instance
// and records what comes back; OSC requests travel over UDP on 127.0.0.1.

#include "tests/integration/UserScriptFolder.h"
#include "tests/osc/UdpTestPeer.h"
#include "tests/support/PrivateXServer.h"
#include "tests/tools/ToolProcess.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 48000;
constexpr int kOffset = 5;
constexpr int kDryLevelId = 1;
constexpr float kToneLevel = 0.5f;
constexpr int kRecordFrames = kRate;  // one second
constexpr auto kDeadline = std::chrono::seconds(15);

bool waitUntil(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

pid_t spawn(const std::vector<std::string>& command)
{
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

int endAndWait(pid_t pid, int signal = SIGTERM)
{
    if (pid <= 0) return -1;
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The test's own client: a tone into the instance, a controller on request, and the
// instance's first output recorded.
class ProbeClient {
public:
    bool open()
    {
        client_ = jack_client_open(("probe-" + std::to_string(getpid())).c_str(), JackNoStartServer, nullptr);
        if (!client_) return false;
        for (int c = 0; c < 2; ++c) {
            tone_[c] = jack_port_register(client_, ("tone_" + std::to_string(c + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                          JackPortIsOutput, 0);
        }
        midi_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        heard_ = jack_port_register(client_, "heard", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        recording_.assign(kRecordFrames, 0.0f);
        jack_set_process_callback(client_, &ProbeClient::process, this);
        return jack_activate(client_) == 0;
    }
    ~ProbeClient()
    {
        if (client_) jack_client_close(client_);
    }

    bool connectTo(const std::string& live)
    {
        const std::string self = jack_get_client_name(client_);
        return waitUntil([&] {
            bool all = true;
            for (const char* pair : {"1", "2"})
                all &= connect(self + ":tone_" + pair, live + ":in_" + pair);
            all &= connect(self + ":midi_out", live + ":midi_in");
            all &= connect(live + ":out_1", self + ":heard");
            return all;
        });
    }

    void sendController(int controller, int value)
    {
        controller_.store(controller);
        controllerValue_.store(value);
        sendPending_.store(true);
    }

    // Records one second from now on and answers its RMS level.
    float recordedLevel()
    {
        recorded_.store(0);
        recordPending_.store(true);
        if (!waitUntil([&] { return recorded_.load() >= kRecordFrames; })) return -1.0f;
        double sum = 0.0;
        for (float s : recording_) sum += static_cast<double>(s) * s;
        return static_cast<float>(std::sqrt(sum / kRecordFrames));
    }

private:
    bool connect(const std::string& from, const std::string& to)
    {
        const int result = jack_connect(client_, from.c_str(), to.c_str());
        return result == 0 || result == EEXIST;
    }

    static int process(jack_nframes_t frames, void* self)
    {
        static_cast<ProbeClient*>(self)->run(static_cast<int>(frames));
        return 0;
    }

    void run(int frames)
    {
        for (int c = 0; c < 2; ++c) {
            auto* out = static_cast<float*>(jack_port_get_buffer(tone_[c], static_cast<jack_nframes_t>(frames)));
            for (int i = 0; i < frames; ++i)
                out[i] = kToneLevel * static_cast<float>(std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(phase_ + i) / kRate));
        }
        phase_ = (phase_ + frames) % kRate;
        void* midi = jack_port_get_buffer(midi_, static_cast<jack_nframes_t>(frames));
        jack_midi_clear_buffer(midi);
        if (sendPending_.exchange(false)) {
            const jack_midi_data_t message[3] = {0xb0, static_cast<jack_midi_data_t>(controller_.load()),
                                                 static_cast<jack_midi_data_t>(controllerValue_.load())};
            jack_midi_event_write(midi, 0, message, 3);
        }
        const auto* in = static_cast<const float*>(jack_port_get_buffer(heard_, static_cast<jack_nframes_t>(frames)));
        if (!recordPending_.load()) return;
        const int done = recorded_.load();
        const int take = std::min(frames, kRecordFrames - done);
        std::copy_n(in, take, recording_.begin() + done);
        recorded_.store(done + take);
        if (done + take >= kRecordFrames) recordPending_.store(false);
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* tone_[2] = {};
    jack_port_t* midi_ = nullptr;
    jack_port_t* heard_ = nullptr;
    int phase_ = 0;
    std::vector<float> recording_;
    std::atomic<int> recorded_{0};
    std::atomic<bool> recordPending_{false};
    std::atomic<bool> sendPending_{false};
    std::atomic<int> controller_{0};
    std::atomic<int> controllerValue_{0};
};

class LiveHost : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        jack_set_error_function([](const char*) {});  // the server's absence is expected while it starts
        jack_set_info_function([](const char*) {});
        serverName_ = "lumenfold-test-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", serverName_.c_str(), 1);
        setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
        server_ = spawn({"jackd", "--no-realtime", "-n", serverName_, "-d", "dummy", "-r", std::to_string(kRate), "-p",
                         "256"});
        // The server is up once a client can join it.
        serverUp_ = waitUntil([] {
            jack_client_t* client = jack_client_open("lumenfold-probe", JackNoStartServer, nullptr);
            if (client) jack_client_close(client);
            return client != nullptr;
        });
    }
    static void TearDownTestSuite() { endAndWait(server_); }

    void SetUp() override
    {
        ASSERT_TRUE(serverUp_) << "jackd -d dummy did not start";
        folder_ = fs::path(std::getenv("XDG_CONFIG_HOME")).parent_path() /
                  testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(folder_);
        base_ = UdpTestPeer::freePort() - kOffset;
        const std::string config = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Corvanne";
        fs::create_directories(config);
        std::ofstream(config + "/com.corvanne.lumenfold.conf") << "OSC Base Port=" << base_ << "\n";
    }
    void TearDown() override { endAndWait(live_, SIGKILL); }

    std::string statePath() const { return (folder_ / "live.state").string(); }
    std::string clientName() const
    {
        return "lf-live-" + std::to_string(getpid());
    }

    // Starts lumenfold-live headless with the test's state file and OSC offset, and waits
    // until it answers OSC.
    bool startLive(bool editor = false)
    {
        std::vector<std::string> command = {LUMENFOLD_LIVE_TOOL, "--name", clientName(), "--offset",
                                            std::to_string(kOffset), "--state", statePath(), "--plugin",
                                            LUMENFOLD_PLUGIN_PATH};
        if (!editor) command.push_back("--no-editor");
        live_ = spawn(command);
        return peer_.pingUntilAnswered(base_ + kOffset, 10000) != "(nothing)";
    }
    int stopLive(int signal = SIGTERM)
    {
        const int status = endAndWait(live_, signal);
        live_ = -1;
        return status;
    }

    std::string get(int id)
    {
        peer_.sendTo(base_ + kOffset, oscMessage("/get", [&](auto& s) { s << id << peer_.url().c_str() << "/value"; }));
        return peer_.receiveDescribed();
    }
    void set(int id, float value)
    {
        peer_.sendTo(base_ + kOffset, oscMessage("/set", [&](auto& s) { s << id << value; }));
    }

    static inline std::string serverName_;
    static inline pid_t server_ = -1;
    static inline bool serverUp_ = false;
    fs::path folder_;
    int base_ = 0;
    pid_t live_ = -1;
    UdpTestPeer peer_;
};

TEST_F(LiveHost, AudioPassesThroughAndAControllerMovesAParameter)
{
    ASSERT_TRUE(startLive());
    ProbeClient probe;
    ASSERT_TRUE(probe.open());
    ASSERT_TRUE(probe.connectTo(clientName()));
    // The default program is all wet with every bin at 1: the tone comes back whole.
    EXPECT_NEAR(probe.recordedLevel(), kToneLevel / std::sqrt(2.0f), 0.01f);
    // The built-in MIDI script maps controller 2 to "Dry Level": 127 is its maximum.
    probe.sendController(2, 127);
    EXPECT_TRUE(waitUntil([&] { return get(kDryLevelId) == "/value i:1 f:1"; })) << get(kDryLevelId);
    EXPECT_NEAR(probe.recordedLevel(), 2.0f * kToneLevel / std::sqrt(2.0f), 0.02f) << "dry and wet add up";
    EXPECT_EQ(stopLive(), 0);
}

TEST_F(LiveHost, StateIsSavedOnSigtermAndLoadedAtTheNextStart)
{
    ASSERT_TRUE(startLive());
    set(kDryLevelId, 0.25f);
    ASSERT_TRUE(waitUntil([&] { return get(kDryLevelId) == "/value i:1 f:0.25"; }));
    EXPECT_EQ(stopLive(), 0);
    ASSERT_TRUE(fs::exists(statePath()));

    ASSERT_TRUE(startLive());
    EXPECT_EQ(get(kDryLevelId), "/value i:1 f:0.25");
    EXPECT_EQ(stopLive(), 0);
}

TEST_F(LiveHost, ForeignStateIsOneErrorAndStaysUntouched)
{
    std::ofstream(statePath()) << "not a state of ours";
    const ToolResult result = runTool(LUMENFOLD_LIVE_TOOL, {"--no-editor", "--name", clientName(), "--state",
                                                            statePath(), "--plugin", LUMENFOLD_PLUGIN_PATH});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "lumenfold-live: state file " + statePath() +
                              " is not a state of this plug-in (the plug-in refused it)\n");
    EXPECT_EQ(fs::file_size(statePath()), 19u);
}

// The state is saved only at the end: where that cannot work, the start is refused, so a
// session's settings are never lost at its end.
TEST_F(LiveHost, AStateThatCouldNotBeSavedRefusesTheStart)
{
    std::ofstream(folder_ / "file") << "x";
    fs::create_directories(folder_ / "folder.state");
    const struct {
        std::string state, err;
    } cases[] = {
        {(folder_ / "missing" / "x.state").string(),
         "cannot create " + (folder_ / "missing" / "x.state").string() + ": its folder does not exist"},
        {(folder_ / "file" / "x.state").string(), "a part of its folder's path is a file, not a folder"},
        {(folder_ / "folder.state").string(), "it is a folder, not a file"},
    };
    for (const auto& c : cases) {
        const ToolResult result =
            runTool(LUMENFOLD_LIVE_TOOL, {"--no-editor", "--name", clientName(), "--state", c.state, "--plugin",
                                          LUMENFOLD_PLUGIN_PATH});
        EXPECT_EQ(result.exitCode, 1) << c.state;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(result.out, "") << "it started";
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2) << "a file was left";
}

TEST_F(LiveHost, NoServerIsOneClearError)
{
    setenv("JACK_DEFAULT_SERVER", "lumenfold-no-such-server", 1);
    const ToolResult result = runTool(LUMENFOLD_LIVE_TOOL, {"--no-editor", "--plugin", LUMENFOLD_PLUGIN_PATH});
    setenv("JACK_DEFAULT_SERVER", serverName_.c_str(), 1);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.err, "lumenfold-live: no JACK server is running (start one with jackd, or run PipeWire's JACK)\n");
}

// JACK cancels its process thread when the client is deactivated. With a spectral script
// keeping that thread inside the plug-in, at the system calls where a cancellation lands,
// most of the time, every end signal must still end the program cleanly with its state saved.
TEST_F(LiveHost, EveryEndSignalSavesTheStateWhileAScriptKeepsTheAudioThreadBusy)
{
    UserScriptFolder scripts;
    scripts.add("busy.lua", R"(
        addSpectralScript("Busy", function(t)
            for i = 1, 3000 do local f = io.open("/dev/null", "w") f:write("x") f:close() end
        end)
        setParameter("Script Index", 7))");
    for (int round = 0; round < 2; ++round) {
        for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
            fs::remove(statePath());
            ASSERT_TRUE(startLive());
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            EXPECT_EQ(stopLive(signal), 0) << strsignal(signal);
            EXPECT_TRUE(fs::exists(statePath())) << strsignal(signal);
        }
    }
}

TEST_F(LiveHost, ASecondInstanceOnTheSameNameOrStateFileIsRefused)
{
    ASSERT_TRUE(startLive());
    const std::string otherState = (folder_ / "other.state").string();
    const struct {
        std::string name, state;
        int exitCode;
        std::string err;
    } cases[] = {
        {clientName(), otherState, 3,
         "lumenfold-live: a JACK client with this name runs already (another lumenfold-live?); choose another --name\n"},
        {clientName() + "-b", statePath(), 1,
         "lumenfold-live: state file " + statePath() +
             " is in use by another lumenfold-live; give each instance a state file of its own\n"},
    };
    for (const auto& c : cases) {
        const ToolResult second = runTool(LUMENFOLD_LIVE_TOOL, {"--no-editor", "--name", c.name, "--state", c.state,
                                                                "--plugin", LUMENFOLD_PLUGIN_PATH});
        EXPECT_EQ(second.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(second.err, c.err);
    }
    EXPECT_FALSE(fs::exists(otherState));
    EXPECT_EQ(stopLive(), 0);
}

TEST_F(LiveHost, LosingTheDisplayWithTheEditorOpenSavesTheState)
{
    PrivateXServer display("1024x768");
    ASSERT_FALSE(display.name().empty()) << "Xvfb did not start";
    setenv("DISPLAY", display.name().c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    ASSERT_TRUE(startLive(true));
    ProbeClient probe;  // JACK connects only active clients: the editor is open by then
    ASSERT_TRUE(probe.open());
    ASSERT_TRUE(probe.connectTo(clientName()));
    set(kDryLevelId, 0.25f);
    ASSERT_TRUE(waitUntil([&] { return get(kDryLevelId) == "/value i:1 f:0.25"; }));
    // While the render thread still builds its GL context, GL itself cannot survive the
    // server's end; once it draws, everything must.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    display.end();
    int status = 0;
    ASSERT_TRUE(waitUntil([&] { return waitpid(live_, &status, WNOHANG) == live_; })) << "still running";
    live_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    ASSERT_TRUE(startLive());
    EXPECT_EQ(get(kDryLevelId), "/value i:1 f:0.25");
    EXPECT_EQ(stopLive(), 0);
}

}  // namespace
