// What a strict third-party validator does to a VST 2.4 plug-in, item by item, through our
// own host against the built Lumenfold.so: opening, programs, the editor (with audio
// running, with automation, with its state set from another thread, at a high density),
// processing at every sample rate and block size it tries, state, automation, parameter
// texts and ranges, parameter thread safety, the channel layout and random values.
// Every output must be finite, free of subnormals and bounded.
//
// Items already checked elsewhere are not repeated: the plug-in's identity and descriptor
// (PluginTest.DescriptorIsFilledAsHostsExpect, PluginTest.IdentifiesItself), opening the
// editor twice (Editor.OpensClosesAndOpensAgain) and allocations while processing
// (PluginvalRealtime in tests/realtime, where the allocation counter is).

#include "engine/abi/Vst2Abi.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr float kSampleRates[] = {44100.0f, 48000.0f, 96000.0f};
constexpr int kBlockSizes[] = {64, 128, 256, 512, 1024};
constexpr int kBlocksPerSetting = 10;
constexpr int kLargestBlock = 2 * 1024;
// Noise within +-1 through the default program comes out about as loud as it went in.
constexpr float kDefaultBound = 4.0f;
// Any setting: both gains at +36 dB, both mix levels at unity and every bin at its top
// give about 4000 for noise within +-1; the rest is room for the windows' ripple.
constexpr float kAnySettingBound = 2.0e4f;
constexpr int kFftSize = 3;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Host-side stereo buffers of the largest block any test plays, refilled with noise.
class NoiseBlock {
public:
    explicit NoiseBlock(unsigned seed) : generator_(seed)
    {
        for (int c = 0; c < 2; ++c) {
            in_[c].assign(kLargestBlock, 0.0f);
            out_[c].assign(kLargestBlock, 0.0f);
            inputs_[c] = in_[c].data();
            outputs_[c] = out_[c].data();
        }
    }

    // One block of fresh noise through the plug-in; the first bad output sample, or "".
    std::string play(lfhost::PluginInstance& plugin, int frames, float bound)
    {
        std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
        for (auto& channel : in_) {
            for (int i = 0; i < frames; ++i) channel[static_cast<std::size_t>(i)] = noise(generator_);
        }
        plugin.processReplacing(inputs_, outputs_, frames);
        for (const auto& channel : out_) {
            for (int i = 0; i < frames; ++i) heard_ += std::fabs(channel[static_cast<std::size_t>(i)]);
        }
        return firstBadSample(frames, bound);
    }
    // The summed magnitude of everything played so far: silence throughout is a fault too.
    [[nodiscard]] double heard() const { return heard_; }

private:
    std::string firstBadSample(int frames, float bound) const
    {
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < frames; ++i) {
                const float s = out_[c][static_cast<std::size_t>(i)];
                const bool bad = !std::isfinite(s) || std::fpclassify(s) == FP_SUBNORMAL || std::fabs(s) > bound;
                if (bad) return "channel " + std::to_string(c) + " frame " + std::to_string(i) + ": " + std::to_string(s);
            }
        }
        return "";
    }

    std::mt19937 generator_;
    double heard_ = 0.0;
    std::vector<float> in_[2];
    std::vector<float> out_[2];
    float* inputs_[2];
    float* outputs_[2];
};

struct ProcessSetting {
    float sampleRate;
    int blockSize;
    [[nodiscard]] std::string name() const
    {
        return std::to_string(static_cast<int>(sampleRate)) + " Hz, " + std::to_string(blockSize) + " frames";
    }
};

std::vector<ProcessSetting> everyProcessSetting()
{
    std::vector<ProcessSetting> settings;
    for (float rate : kSampleRates) {
        for (int block : kBlockSizes) settings.push_back({rate, block});
    }
    return settings;
}

std::unique_ptr<lfhost::PluginInstance> loadPlugin()
{
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

std::unique_ptr<lfhost::EditorHost> openEditor(lfhost::PluginInstance& plugin)
{
    std::string error;
    auto editor = lfhost::EditorHost::open(plugin, &error);
    EXPECT_TRUE(editor) << error;
    return editor;
}

class Pluginval : public testing::Test {
protected:
    // The opening tests time the process's first instance themselves.
    void SetUp() override
    {
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        if (name.rfind("OpenPlugin", 0) == 0) return;
        plugin = loadPlugin();
        ASSERT_TRUE(plugin);
    }

    // The host's preparation for a sample rate and block size, in the order hosts built on
    // the common plug-in frameworks use. A releasing host switches processing off first;
    // the others change both while processing stays on.
    void prepare(const ProcessSetting& setting, bool release)
    {
        if (release) {
            plugin->dispatch(effStopProcess);
            plugin->suspend();
        }
        plugin->setSampleRate(setting.sampleRate);
        plugin->setBlockSize(std::max(16, setting.blockSize));
        plugin->resume();
        plugin->dispatch(effStartProcess);
    }

    // Every setting in turn, each prepared with the prepared block size and played with
    // `played(prepared)` frames a block.
    void playEverySetting(bool release, int (*played)(int))
    {
        NoiseBlock noise(1);
        for (const ProcessSetting& setting : everyProcessSetting()) {
            prepare(setting, release);
            for (int b = 0; b < kBlocksPerSetting; ++b) {
                ASSERT_EQ(noise.play(*plugin, played(setting.blockSize), kDefaultBound), "") << setting.name();
            }
        }
        EXPECT_GT(noise.heard(), 1000.0) << "the noise came through";
    }

    // The parameters a host automates (all but a bypass, which this plug-in has none of).
    std::vector<int> automatableIds()
    {
        std::vector<int> ids;
        for (int id = 0; id < plugin->numParams(); ++id) {
            if (plugin->canBeAutomated(id)) ids.push_back(id);
        }
        return ids;
    }

    void setEveryParameterAtRandom(std::mt19937& generator)
    {
        std::uniform_real_distribution<float> anyValue(0.0f, 1.0f);
        for (int id = 0; id < plugin->numParams(); ++id) plugin->setParameter(id, anyValue(generator));
    }

    std::vector<float> allValues()
    {
        std::vector<float> values;
        for (int id = 0; id < plugin->numParams(); ++id) values.push_back(plugin->getParameter(id));
        return values;
    }

    std::unique_ptr<lfhost::PluginInstance> plugin;
};

int same(int frames) { return frames; }
int twice(int frames) { return 2 * frames; }

}  // namespace

// Each test runs in a process of its own (ctest), so the first instance here loads the
// library cold. The times are printed for the record; a hang is caught by the test's limit.
TEST_F(Pluginval, OpenPluginCold)
{
    const auto start = Clock::now();
    plugin = loadPlugin();
    const double openMs = millisecondsSince(start);
    ASSERT_TRUE(plugin);
    const auto closeStart = Clock::now();
    plugin.reset();
    const double closeMs = millisecondsSince(closeStart);
    std::printf("[pluginval] cold: open %.1f ms, close %.1f ms\n", openMs, closeMs);
}

// A second instance after the first has gone, made on this thread (a host's main thread)
// and driven a little later from another, as validators and hosts do.
TEST_F(Pluginval, OpenPluginWarm)
{
    loadPlugin().reset();
    const auto start = Clock::now();
    plugin = loadPlugin();
    const double openMs = millisecondsSince(start);
    ASSERT_TRUE(plugin);
    std::printf("[pluginval] warm: open %.1f ms\n", openMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    std::string problem;
    std::thread driver([&] {
        prepare({44100.0f, 512}, false);
        NoiseBlock noise(2);
        for (int b = 0; b < kBlocksPerSetting && problem.empty(); ++b) problem = noise.play(*plugin, 512, kDefaultBound);
    });
    driver.join();
    EXPECT_EQ(problem, "");
}

// Every program has a name; random selections and the return to the first leave the
// instance on the program it started with, playing.
TEST_F(Pluginval, PluginPrograms)
{
    const int count = plugin->effect()->numPrograms;
    ASSERT_GT(count, 0);
    for (int index = 0; index < count; ++index) {
        char name[256] = {};
        EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, index, 0, name), 1) << index;
        EXPECT_STRNE(name, "") << index;
    }
    const VstIntPtr first = plugin->dispatch(effGetProgram);
    ASSERT_GE(first, 0);
    std::mt19937 generator(3);
    std::uniform_int_distribution<int> anyProgram(0, count - 1);
    NoiseBlock noise(3);
    prepare({48000.0f, 256}, false);
    for (int i = 0; i < 5; ++i) {
        const int program = anyProgram(generator);
        plugin->dispatch(effSetProgram, 0, program);
        EXPECT_EQ(plugin->dispatch(effGetProgram), program);
        ASSERT_EQ(noise.play(*plugin, 256, kAnySettingBound), "") << "program " << program;
    }
    plugin->dispatch(effSetProgram, 0, first);
    EXPECT_EQ(plugin->dispatch(effGetProgram), first);
}

// The editor opens while the audio thread is already busy, and the sound stays sound.
TEST_F(Pluginval, EditorWhilstProcessing)
{
    prepare({44100.0f, 64}, true);
    std::atomic<bool> started{false}, done{false};
    std::string problem;
    std::thread audio([&] {
        NoiseBlock noise(4);
        while (!done.load() && problem.empty()) {
            problem = noise.play(*plugin, 64, kDefaultBound);
            started.store(true);
        }
    });
    while (!started.load()) std::this_thread::yield();
    {
        auto editor = openEditor(*plugin);
        EXPECT_TRUE(editor);  // not ASSERT: the audio thread must be joined first
        if (editor) editor->pumpFor(500);
    }
    done.store(true);
    audio.join();
    EXPECT_EQ(problem, "");
}

TEST_F(Pluginval, AudioProcessing) { playEverySetting(true, same); }

TEST_F(Pluginval, NonReleasingAudioProcessing) { playEverySetting(false, same); }

// Hosts may hand a block larger than they prepared for (this validator skips the check
// for VST, but real hosts do it).
TEST_F(Pluginval, LargerBlockThanPrepared) { playEverySetting(true, twice); }

// A state read, random values everywhere, the state set back: every value is back.
TEST_F(Pluginval, PluginState)
{
    const auto before = allValues();
    const auto state = plugin->getChunk();
    std::mt19937 generator(5);
    setEveryParameterAtRandom(generator);
    ASSERT_EQ(plugin->setChunk(state.data(), state.size()), 1);
    EXPECT_EQ(allValues(), before);
}

// One parameter at a time moved and the state set back: that parameter returns; at the
// end the state read again is the one the host set.
TEST_F(Pluginval, PluginStateRestoration)
{
    const auto state = plugin->getChunk();
    std::mt19937 generator(6);
    std::uniform_real_distribution<float> anyValue(0.0f, 1.0f);
    for (int id : automatableIds()) {
        const float original = plugin->getParameter(id);
        plugin->setParameter(id, anyValue(generator));
        ASSERT_EQ(plugin->setChunk(state.data(), state.size()), 1);
        ASSERT_NEAR(plugin->getParameter(id), original, 0.1f) << plugin->parameterName(id);
    }
    EXPECT_EQ(plugin->getChunk(), state);
}

// Ten random parameters before every 32-frame piece of each block, at every setting.
TEST_F(Pluginval, Automation)
{
    const std::vector<int> ids = automatableIds();
    std::mt19937 generator(7);
    std::uniform_int_distribution<std::size_t> anyIndex(0, ids.size() - 1);
    std::uniform_real_distribution<float> anyValue(0.0f, 1.0f);
    NoiseBlock noise(7);
    constexpr int kPiece = 32;
    for (const ProcessSetting& setting : everyProcessSetting()) {
        prepare(setting, true);
        for (int done = 0; done < setting.blockSize; done += kPiece) {
            for (int i = 0; i < 10; ++i) plugin->setParameter(ids[anyIndex(generator)], anyValue(generator));
            ASSERT_EQ(noise.play(*plugin, std::min(kPiece, setting.blockSize - done), kAnySettingBound), "")
                << setting.name();
        }
    }
}

// Every parameter moved a hundred times from a host thread of its own while the editor
// idles on this one: the editor follows without handing any value back to the host or
// changing one.
TEST_F(Pluginval, EditorAutomation)
{
    auto editor = openEditor(*plugin);
    ASSERT_TRUE(editor);
    plugin->clearCalls();
    std::atomic<bool> done{false};
    std::thread automation([&] {
        std::mt19937 generator(8);
        for (int round = 0; round < 100; ++round) {
            setEveryParameterAtRandom(generator);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        done.store(true);
    });
    editor->pumpUntil([&] { return done.load(); }, 20000);
    automation.join();
    const auto set = allValues();
    editor->pumpFor(300);
    EXPECT_EQ(allValues(), set);
    EXPECT_EQ(plugin->countCalls(audioMasterAutomate), 0);
}

// Every parameter: a name, a value within 0..1, a text at either end of its range that
// differs between the ends, and its own text read back to its own value.
TEST_F(Pluginval, AuvalLikeParameters)
{
    std::set<std::string> names;
    for (int id = 0; id < plugin->numParams(); ++id) {
        const std::string name = plugin->parameterName(id);
        EXPECT_FALSE(name.empty()) << id;
        if (name != "Dummy") {
            EXPECT_TRUE(names.insert(name).second) << "a second " << name;
        }
        EXPECT_TRUE(plugin->canBeAutomated(id)) << name;
        const float initial = plugin->getParameter(id);
        EXPECT_TRUE(initial >= 0.0f && initial <= 1.0f) << name;
        const std::string initialText = plugin->parameterDisplay(id);
        plugin->setParameter(id, 0.0f);
        const std::string lowest = plugin->parameterDisplay(id);
        plugin->setParameter(id, 1.0f);
        EXPECT_NE(plugin->parameterDisplay(id), lowest) << name;
        EXPECT_EQ(plugin->dispatch(effString2Parameter, id, 0, nullptr), 1) << name << " takes text";
        EXPECT_TRUE(plugin->setParameterFromText(id, initialText)) << name << " from \"" << initialText << '"';
        EXPECT_EQ(plugin->parameterDisplay(id), initialText) << name;
    }
    EXPECT_FALSE(plugin->canBeAutomated(-1));
    EXPECT_FALSE(plugin->canBeAutomated(plugin->numParams()));
    EXPECT_FALSE(plugin->setParameterFromText(-1, "1"));
    EXPECT_FALSE(plugin->setParameterFromText(kFftSize, "not a size"));
    EXPECT_EQ(plugin->parameterDisplay(kFftSize), "1024") << "a refused text changes nothing";
}

// The host sets the state from a background thread while the editor is open and idles
// on this thread; afterwards the state is the one set, and stays so.
TEST_F(Pluginval, BackgroundThreadState)
{
    auto editor = openEditor(*plugin);
    ASSERT_TRUE(editor);
    std::atomic<bool> done{false};
    std::vector<std::uint8_t> state;
    std::thread background([&] {
        state = plugin->getChunk();
        std::mt19937 generator(9);
        setEveryParameterAtRandom(generator);
        plugin->setChunk(state.data(), state.size());
        done.store(true);
    });
    editor->pumpUntil([&] { return done.load(); }, 10000);
    background.join();
    editor->pumpFor(500);
    EXPECT_EQ(plugin->getChunk(), state);
}

// The audio thread moves every parameter before each block while another thread (a
// host's editor) moves them too.
TEST_F(Pluginval, ParameterThreadSafety)
{
    prepare({44100.0f, 32}, true);
    std::atomic<bool> done{false};
    std::thread other([&] {
        std::mt19937 generator(10);
        while (!done.load()) setEveryParameterAtRandom(generator);
    });
    std::mt19937 generator(11);
    NoiseBlock noise(11);
    std::string problem;
    for (int b = 0; b < 100 && problem.empty(); ++b) {
        setEveryParameterAtRandom(generator);
        problem = noise.play(*plugin, 32, kAnySettingBound);
    }
    done.store(true);
    other.join();
    EXPECT_EQ(problem, "");
}

// Stereo in and out, whatever the host asks about pins and speaker arrangements; the
// main layout stays what it was.
TEST_F(Pluginval, BasicBus)
{
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    for (int opcode : {effGetInputProperties, effGetOutputProperties}) {
        for (int pin : {0, 1, 2, -1}) {
            std::vector<char> properties(128, 0x5a);  // a host's pin record
            plugin->dispatch(opcode, pin, 0, properties.data());
        }
    }
    std::vector<char> arrangement(512, 0);
    plugin->dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(arrangement.data()), arrangement.data());
    plugin->dispatch(effSetSpeakerArrangement, 0, 0, nullptr);
    EXPECT_EQ(plugin->numInputs(), 2);
    EXPECT_EQ(plugin->numOutputs(), 2);
    prepare({48000.0f, 128}, true);
    NoiseBlock noise(12);
    EXPECT_EQ(noise.play(*plugin, 128, kDefaultBound), "");
}

// The editor opens with processing switched off, and after the host set a sample rate
// and block size of zero; processing then starts normally.
TEST_F(Pluginval, EditorStress)
{
    plugin->suspend();
    openEditor(*plugin).reset();
    plugin->setSampleRate(0.0f);
    plugin->setBlockSize(0);
    {
        auto editor = openEditor(*plugin);
        ASSERT_TRUE(editor);
        editor->pumpFor(200);
    }
    prepare({44100.0f, 256}, false);
    NoiseBlock noise(13);
    for (int b = 0; b < kBlocksPerSetting; ++b) ASSERT_EQ(noise.play(*plugin, 256, kDefaultBound), "");
}

// The editor opens at the screen's density, from whichever source the desktop gives it,
// and at its own size when a source is unusable.
TEST_F(Pluginval, EditorDpiAwareness)
{
    struct DensityCase {
        const char* xftDpi;
        const char* gdkScale;
        int width;
    };
    const DensityCase cases[] = {
        {"", "", 1024}, {"192", "", 2048}, {"144", "", 1536}, {"", "2", 2048}, {"lots", "", 1024}, {"", "0", 1024},
    };
    unsetenv("LUMENFOLD_SCALE");
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window root = DefaultRootWindow(display);
    for (const DensityCase& c : cases) {
        const std::string resources = std::string("Xft.dpi:\t") + c.xftDpi + "\n";
        XChangeProperty(display, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources.c_str()), static_cast<int>(resources.size()));
        XSync(display, False);
        setenv("GDK_SCALE", c.gdkScale, 1);
        auto editor = openEditor(*plugin);
        ASSERT_TRUE(editor) << c.xftDpi << c.gdkScale;
        EXPECT_EQ(editor->width(), c.width) << "Xft.dpi " << c.xftDpi << ", GDK_SCALE " << c.gdkScale;
        EXPECT_EQ(editor->height(), c.width / 2);
        editor->pumpFor(100);
    }
    unsetenv("GDK_SCALE");
    XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
    XCloseDisplay(display);
}

// Every parameter at five random values: its value stays within 0..1, its text is
// printable, and the text read back gives the same text.
TEST_F(Pluginval, FuzzParameters)
{
    std::mt19937 generator(14);
    std::uniform_real_distribution<float> anyValue(0.0f, 1.0f);
    for (int id : automatableIds()) {
        for (int i = 0; i < 5; ++i) {
            plugin->setParameter(id, anyValue(generator));
            const float value = plugin->getParameter(id);
            ASSERT_TRUE(value >= 0.0f && value <= 1.0f) << id;
            const std::string text = plugin->parameterDisplay(id);
            ASSERT_FALSE(text.empty()) << id;
            for (char ch : text) ASSERT_TRUE(ch >= 0x20 && ch < 0x7f) << id << ": " << text;
            ASSERT_TRUE(plugin->setParameterFromText(id, text)) << id << ": " << text;
            ASSERT_EQ(plugin->parameterDisplay(id), text) << id;
        }
    }
}
