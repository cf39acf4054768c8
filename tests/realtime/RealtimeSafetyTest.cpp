// What processReplacing of the built plug-in costs the audio thread: heap allocations,
// frees and mutex locks, counted by the interposed allocator and lock functions of
// this executable (see AudioThreadProbe.h). The audio path does none of them: not without
// scripts, not with MIDI handlers, not with spectral scripts, the user's own that build
// tables and strings every frame included (Lua's memory comes from the instance's pool,
// and the state is shared through atomics).

#include "AudioThreadProbe.h"
#include "PluginFixture.h"
#include "UserScriptFolder.h"
#include "tools/host/MidiEventList.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kDryLevel = 1;
constexpr int kFftSize = 3;
constexpr int kScriptIndex = 13;
constexpr int kFirstBinLevel = 32;
constexpr int kChannels = 2;

// Host-side buffers, made before any block is measured.
class Signal {
public:
    explicit Signal(int frames) : data_(kChannels, std::vector<float>(static_cast<std::size_t>(frames)))
    {
        std::mt19937 generator(11);
        std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
        for (auto& channel : data_) {
            for (float& sample : channel) {
                sample = noise(generator);
            }
        }
        out_ = data_;
        for (int c = 0; c < kChannels; ++c) {
            inputs_[c] = data_[static_cast<std::size_t>(c)].data();
            outputs_[c] = out_[static_cast<std::size_t>(c)].data();
        }
    }
    float** inputs() { return inputs_; }
    float** outputs() { return outputs_; }

private:
    std::vector<std::vector<float>> data_;
    std::vector<std::vector<float>> out_;
    float* inputs_[kChannels];
    float* outputs_[kChannels];
};

void add(AudioThreadCounts& sum, const AudioThreadCounts& more)
{
    sum.allocations += more.allocations;
    sum.frees += more.frees;
    sum.locks += more.locks;
    sum.contendedLocks += more.contendedLocks;
    sum.hostCallbacks += more.hostCallbacks;
}

std::string describe(const AudioThreadCounts& c)
{
    return "allocations " + std::to_string(c.allocations) + ", frees " + std::to_string(c.frees) + ", locks " +
           std::to_string(c.locks) + " (contended " + std::to_string(c.contendedLocks) + "), host callbacks " + std::to_string(c.hostCallbacks);
}

// A user's spectral script that allocates every frame: tables, a closure and strings.
constexpr const char* kBuilderScript = R"(
addSpectralScript("Builder", function(t)
  local peaks = {}
  for i = 1, 8 do peaks[i] = { bin = i * 4, level = getBin(i * 4) } end
  table.sort(peaks, function(a, b) return a.level > b.level end)
  lastFrame = string.format("%d bins, loudest %d", t.maxBin, peaks[1].bin) .. string.rep("*", #peaks)
end))";

class RealtimeSafety : public PluginTest {
protected:
    static constexpr int kScriptCount = 7;  // the built-in script's six, then "Builder"

    RealtimeSafety() { scripts_.add("builder.lua", kBuilderScript); }

    void SetUp() override
    {
        PluginTest::SetUp();
        plugin->setSampleRate(44100.0f);
        plugin->setBlockSize(512);
        plugin->resume();
    }

    // Processes blocks on this thread, marked as the audio thread while the plug-in runs.
    // Events, when given, are delivered before every block, as hosts do.
    AudioThreadCounts processBlocks(int blocks, int frames, lfhost::MidiEventList* events = nullptr)
    {
        Signal signal(frames);
        AudioThreadCounts total;
        AudioThreadProbe probe;
        for (int b = 0; b < blocks; ++b) {
            if (events != nullptr) {
                plugin->sendEvents(events->events());
            }
            plugin->processReplacing(signal.inputs(), signal.outputs(), frames);
        }
        add(total, probe.take());
        return total;
    }

    // Selects the spectral script of that position in "Script Index"; returns its name.
    std::string selectScript(int index, int scriptCount)
    {
        plugin->setParameter(kScriptIndex, static_cast<float>(index) / static_cast<float>(scriptCount));
        return plugin->parameterDisplay(kScriptIndex);
    }

    static void report(const std::string& what, const AudioThreadCounts& counts, int blocks)
    {
        std::printf("[realtime] %s over %d blocks: %s\n", what.c_str(), blocks, describe(counts).c_str());
    }

    static void expectNothing(const AudioThreadCounts& counts, const std::string& what)
    {
        EXPECT_EQ(counts.allocations, 0u) << what << ": " << describe(counts);
        EXPECT_EQ(counts.frees, 0u) << what << ": " << describe(counts);
        EXPECT_EQ(counts.locks, 0u) << what << ": " << describe(counts);
    }

private:
    UserScriptFolder scripts_;
};

// Keeps the compiler from leaving out an allocation that is freed at once.
void* volatile sink = nullptr;

TEST(AudioThreadProbeSelfTest, CountsAllocationsFreesAndLocksOfTheMarkedThreadOnly)
{
    std::mutex plain;
    AudioThreadCounts counts;
    {
        AudioThreadProbe probe;
        sink = new int(3);
        delete static_cast<int*>(sink);
        sink = std::malloc(16);
        std::free(sink);
        std::lock_guard<std::mutex> lock(plain);
        counts = probe.take();
    }
    EXPECT_EQ(counts.allocations, 2u);
    EXPECT_EQ(counts.frees, 2u);
    EXPECT_EQ(counts.locks, 1u);
    sink = new int(4);  // unmarked: not counted anywhere
    delete static_cast<int*>(sink);
}

TEST_F(RealtimeSafety, ProbeSeesAllocationsMadeInsideThePlugin)
{
    // The "Script Index" texts are a list object the plug-in makes on the heap for each query.
    char text[256] = {};
    AudioThreadCounts counts;
    {
        AudioThreadProbe probe;
        plugin->dispatch(effGetParamDisplay, 13, 0, text);
        counts = probe.take();
    }
    EXPECT_STRNE(text, "");
    EXPECT_GE(counts.allocations, 1u);
    EXPECT_EQ(counts.allocations, counts.frees);
}

TEST_F(RealtimeSafety, ProcessingWithoutAScriptNeitherAllocatesNorLocks)
{
    // From the very first block, at every FFT size and at awkward block sizes, with the
    // host moving bin levels between blocks.
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> level(0.0f, 1.0f);
    AudioThreadCounts total;
    int blocks = 0;
    for (int sizeIndex = 0; sizeIndex < 8; ++sizeIndex) {
        plugin->setParameter(kFftSize, static_cast<float>(sizeIndex) / 7.0f);
        for (int frames : {1, 64, 512, 4097}) {
            const int count = frames == 1 ? 300 : 3 + 8192 / frames;
            for (int b = 0; b < count; b += 3) {
                plugin->setParameter(kFirstBinLevel + b % 64, level(generator));
                add(total, processBlocks(3, frames));
                blocks += 3;
            }
        }
    }
    report("no script, no MIDI", total, blocks);
    EXPECT_EQ(total.allocations, 0u) << describe(total);
    EXPECT_EQ(total.frees, 0u) << describe(total);
    EXPECT_EQ(total.locks, 0u) << describe(total);
    EXPECT_EQ(total.hostCallbacks, 0u) << describe(total);
}

TEST_F(RealtimeSafety, MidiNotesWithoutHandlersTakeNoLock)
{
    std::vector<lfhost::MidiMessage> notes;
    for (int i = 0; i < 8; ++i) {
        notes.push_back({i * 60, {static_cast<unsigned char>(i % 2 ? 0x80 : 0x90), 60, 100}});
    }
    lfhost::MidiEventList events(notes);
    constexpr int kBlocks = 50;
    const AudioThreadCounts total = processBlocks(kBlocks, 512, &events);
    report("8 note events per block, no handler", total, kBlocks);
    expectNothing(total, "notes");
}

// More events than the queue holds: the ones past its capacity are dropped and reported in
// one line per block, posted to the console without allocating, locking or writing.
TEST_F(RealtimeSafety, MidiFloodPastTheQueueAllocatesNothingAndReportsOncePerBlock)
{
    constexpr int kEvents = 3000;
    std::vector<lfhost::MidiMessage> notes;
    for (int i = 0; i < kEvents; ++i) {
        notes.push_back({i * 512 / kEvents, {0x90, 60, 100}});
    }
    lfhost::MidiEventList events(notes);
    constexpr int kBlocks = 4;
    testing::internal::CaptureStderr();
    const AudioThreadCounts total = processBlocks(kBlocks, 512, &events);
    plugin.reset();  // the console's writer puts the lines out; closing writes what it still holds
    const std::string lines = testing::internal::GetCapturedStderr();
    report(std::to_string(kEvents) + " note events per block, no handler", total, kBlocks);
    expectNothing(total, "a flood of notes");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), kBlocks) << lines;
}

TEST_F(RealtimeSafety, ControllerThatTheBuiltInScriptMapsToALevelAllocatesNothing)
{
    // Controller 2 drives "Dry Level" through the built-in script's controller handler.
    std::vector<lfhost::MidiMessage> controllers;
    for (int i = 0; i < 4; ++i) {
        controllers.push_back({i * 100, {0xB0, 2, static_cast<unsigned char>(20 + 30 * i)}});
    }
    lfhost::MidiEventList events(controllers);
    constexpr int kWarmUp = 50;
    constexpr int kBlocks = 2500;  // 10 000 events, 5000 frames
    (void)processBlocks(kWarmUp, 512, &events);
    const AudioThreadCounts total = processBlocks(kBlocks, 512, &events);
    report("4 controller events per block (Dry Level)", total, kBlocks);
    EXPECT_NEAR(plugin->getParameter(kDryLevel), 110.0f / 127.0f, 1e-4f) << "the handler ran";
    expectNothing(total, "built-in MIDI map");
}

// Each built-in script and a user's script that builds tables and strings every frame, for
// 10 000 frames after a warm-up in which the pool and the collector settle.
TEST_F(RealtimeSafety, SpectralScriptsNeitherAllocateNorLock)
{
    constexpr int kWarmUp = 200;
    // Each channel transforms a frame every half FFT size.
    const int framesPerBlock = kChannels * 512 / (plugin->initialDelay() / 2);
    ASSERT_GT(framesPerBlock, 0);
    const int blocks = 10000 / framesPerBlock;
    testing::internal::CaptureStderr();
    for (int index = 1; index <= kScriptCount; ++index) {
        const std::string name = selectScript(index, kScriptCount);
        (void)processBlocks(kWarmUp, 512);
        const AudioThreadCounts total = processBlocks(blocks, 512);
        report("spectral script \"" + name + "\"", total, blocks);
        expectNothing(total, name);
    }
    EXPECT_EQ(selectScript(kScriptCount, kScriptCount), "Builder");
    plugin.reset();  // writes out what the console still holds
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "no script failed, none ran out of memory";
}

// Controllers on parameters whose change does more than store a value: "FFT Size" (3,
// on controller 4) tells the host about the new latency; "OSC Port Offset" (0, on
// controller 0) moves the OSC server, waking its threads without a lock. Neither takes
// any lock.
TEST_F(RealtimeSafety, ControllersOnFftSizeAndOscPortAllocateNothing)
{
    for (int controller : {4, 0}) {
        std::vector<lfhost::MidiMessage> controllers;
        for (int i = 0; i < 4; ++i) {
            const auto value = static_cast<unsigned char>(20 + 30 * i);
            controllers.push_back({i * 100, {0xB0, static_cast<unsigned char>(controller), value}});
        }
        lfhost::MidiEventList events(controllers);
        const int parameter = controller == 4 ? 3 : 0;  // "FFT Size", "OSC Port Offset"
        const float before = plugin->getParameter(parameter);
        constexpr int kBlocks = 50;
        const AudioThreadCounts total = processBlocks(kBlocks, 512, &events);
        report("4 events per block on controller " + std::to_string(controller), total, kBlocks);
        EXPECT_NE(plugin->getParameter(parameter), before) << controller << ": the handler ran";
        expectNothing(total, "controller " + std::to_string(controller));
    }
}

}  // namespace
