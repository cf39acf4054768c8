// lumenfold-render with the real plug-in, as a user runs it from a terminal.

#include "tests/integration/UserScriptFolder.h"
#include "tests/tools/MidiFileBytes.h"
#include "tests/tools/ToolProcess.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace fs = std::filesystem;

namespace {

struct Sound {
    std::vector<float> samples;  // interleaved
    int channels = 0;
};

void writeWav(const fs::path& path, const Sound& sound, int sampleRate = 48000)
{
    SF_INFO info{};
    info.channels = sound.channels;
    info.samplerate = sampleRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_float(file, sound.samples.data(), static_cast<sf_count_t>(sound.samples.size() / sound.channels));
    sf_close(file);
}

Sound readSound(const fs::path& path)
{
    SF_INFO info{};
    Sound sound;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return sound;
    }
    sound.channels = info.channels;
    sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, sound.samples.data(), info.frames);
    sf_close(file);
    return sound;
}

Sound music(int channels, int frames)
{
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
    Sound sound{std::vector<float>(static_cast<std::size_t>(channels * frames)), channels};
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const float t = static_cast<float>(i) / 48000.0f;
            sound.samples[static_cast<std::size_t>(i * channels + c)] =
                0.4f * std::sin(2.0f * 3.14159265f * (220.0f + 110.0f * c) * t) + noise(generator);
        }
    }
    return sound;
}

class RenderWithPlugin : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() /
                  ("lumenfold-render-real-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    ToolResult render(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--plugin", LUMENFOLD_PLUGIN_PATH});
        return runTool(LUMENFOLD_RENDER_TOOL, args);
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    // A fresh instance holding the state a render saved to `name`; null (with a failure
    // recorded) when it cannot be loaded.
    std::unique_ptr<lfhost::PluginInstance> instanceWithSavedState(const std::string& name) const
    {
        std::string error;
        auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
        EXPECT_NE(plugin, nullptr) << error;
        if (!plugin) return nullptr;
        std::vector<char> state(fs::file_size(path(name)));
        std::ifstream(path(name), std::ios::binary).read(state.data(), static_cast<std::streamsize>(state.size()));
        EXPECT_NE(plugin->setChunk(state.data(), state.size()), 0);
        return plugin;
    }
    std::size_t entryCount() const
    {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }
    void expectOneLineFailure(const ToolResult& result, std::size_t entriesBefore)
    {
        EXPECT_NE(result.exitCode, 0);
        EXPECT_EQ(result.err.rfind("lumenfold-render: ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(entryCount(), entriesBefore) << "no output left behind";
    }

private:
    fs::path folder_;
};

}  // namespace

TEST_F(RenderWithPlugin, DefaultProgramRoundTripsAWavWithinTheWindowRipple)
{
    const Sound input = music(2, 48000);
    writeWav(path("in.wav"), input);
    const ToolResult result = render({path("in.wav"), path("out.wav")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Sound output = readSound(path("out.wav"));
    ASSERT_EQ(output.channels, 2);
    ASSERT_EQ(output.samples.size(), input.samples.size());
    float worst = 0.0f;
    for (std::size_t i = 0; i < input.samples.size(); ++i) {
        worst = std::max(worst, std::fabs(output.samples[i] - input.samples[i]));
    }
    EXPECT_LT(worst, 1e-3f);
}

TEST_F(RenderWithPlugin, SettingsByNameChangeTheSound)
{
    writeWav(path("in.wav"), music(1, 24000));
    const ToolResult result =
        render({path("in.wav"), path("quiet.wav"), "--set", "FFT Size=256", "--set", "Output Gain=-80"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Sound output = readSound(path("quiet.wav"));
    ASSERT_EQ(output.channels, 1);
    for (float sample : output.samples) {
        ASSERT_EQ(sample, 0.0f) << "the wet path is silenced and the dry path is off";
    }
}

TEST_F(RenderWithPlugin, DemoSignalRendersWithoutAnInputFile)
{
    const ToolResult result = render({"--demo", path("demo.wav"), "--set", "Bin 10 Level=0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_GT(readSound(path("demo.wav")).samples.size(), 48000u);
}

TEST_F(RenderWithPlugin, BadRequestsFailInOneLineAndLeaveNothing)
{
    writeWav(path("in.wav"), music(2, 4800));
    writeWav(path("three.wav"), music(3, 4800));
    std::ofstream(path("text.wav")) << "not audio";
    const std::size_t before = entryCount();
    expectOneLineFailure(render({path("missing.wav"), path("a.wav")}), before);
    expectOneLineFailure(render({path("text.wav"), path("b.wav")}), before);
    expectOneLineFailure(render({path("three.wav"), path("c.wav")}), before);
    expectOneLineFailure(render({path("in.wav"), path("d.wav"), "--set", "Loudness=1"}), before);
    expectOneLineFailure(render({path("in.wav"), path("e.wav"), "--set", "FFT Size=1.5"}), before);
    expectOneLineFailure(render({path("in.wav"), path("f.wav"), "--set", "Wet Level=inf"}), before);
    expectOneLineFailure(render({path("in.wav"), path("g.wav"), "--state", path("missing.state")}), before);
}

TEST_F(RenderWithPlugin, EveryBadInputNamesTheFileAndTheReasonWithItsExitStatus)
{
    writeWav(path("in.wav"), music(2, 4800));
    std::ofstream(path("broken.mid"), std::ios::binary) << std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x10\0\x90", 24);
    fs::create_directories(path("folder.wav"));
    const std::size_t before = entryCount();
    const struct {
        std::vector<std::string> args;
        const char* reason;
        int status;
    } cases[] = {
        {{path("in.wav"), path("o.wav"), "--midi", path("broken.mid")}, "broken.mid cannot be used: a chunk claims 16 bytes", 1},
        {{path("in.wav"), path("o.wav"), "--midi", path("none.mid")}, "none.mid: it does not exist", 1},
        {{path("in.wav"), path("o.wav"), "--state", path("folder.wav")}, "folder.wav: it is a folder, not a file", 1},
        {{path("folder.wav"), path("o.wav")}, "folder.wav: it is a folder, not a file", 1},
        {{path("in.wav"), path("folder.wav")}, "folder.wav: it is a folder, not a file", 1},
        {{path("in.wav"), path("o.mp4")}, "cannot tell the format of", 2},
        {{path("in.wav"), path("o.flac"), "--bits", "32f"}, "cannot hold 32-bit float samples", 2},
        {{path("in.wav"), path("o.wav"), "--bits", "12"}, "--bits takes 16, 24 or 32f", 2},
        {{path("in.wav"), path("o.wav"), "--set", "Bin 9-2 Level=0"}, "runs backwards", 2},
        {{path("in.wav"), path("o.wav"), "--set", "Bin 2000-2100 Level=0"}, "unknown parameter \"Bin 2049 Level\"", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ToolResult result = render(c.args);
        expectOneLineFailure(result, before);
        EXPECT_EQ(result.exitCode, c.status);
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    }
}

TEST_F(RenderWithPlugin, ParametersAndScriptsAreListed)
{
    const ToolResult parameters = render({"--list-parameters"});
    ASSERT_EQ(parameters.exitCode, 0) << parameters.err;
    EXPECT_EQ(std::count(parameters.out.begin(), parameters.out.end(), '\n'), 2082);
    for (const char* line : {"id\tname\tunit\trange\tdefault\tvalue texts\n",
                             "\n0\tOSC Port Offset\t\t0 to 100\t0\t0=Off\n",
                             "\n3\tFFT Size\t\t0 to 7\t5\t0=32, 1=64, 2=128, 3=256, 4=512, 5=1024, 6=2048, 7=4096\n",
                             "\n11\tInput Gain\tdB\t-80 to 36\t0\t\n", "\n2080\tBin 2048 Level\t\t0 to 1\t1\t\n",
                             "\n1\tDry Level\tdB\t0 to 1\t0\t0=-inf dB, 1=0.000 dB\n"}) {
        EXPECT_NE(parameters.out.find(line), std::string::npos) << line;
    }
    const ToolResult scripts = render({"--list-scripts"});
    ASSERT_EQ(scripts.exitCode, 0) << scripts.err;
    for (const char* name : {"\tShift\n", "\tLow Pass\n", "\tGate\n"})
        EXPECT_NE(scripts.out.find(name), std::string::npos) << scripts.out;
}

TEST_F(RenderWithPlugin, ListingWithAStateShowsTheValuesItHolds)
{
    ASSERT_EQ(render({"--demo", path("o.wav"), "--set", "Wet Level=-6 dB", "--set", "FFT Size=256", "--set",
                      "Input Gain=-3", "--set", "Script Index=Gate", "--save-state", path("s.state")})
                  .exitCode,
              0);
    const ToolResult listed = render({"--list-parameters", "--state", path("s.state")});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    for (const char* line : {"id\tname\tunit\trange\tdefault\tstate\tvalue texts\n",
                             "\n2\tWet Level\tdB\t0 to 1\t1\t0.794328=-6.000 dB\t", "\n3\tFFT Size\t\t0 to 7\t5\t3=256\t",
                             "\n11\tInput Gain\tdB\t-80 to 36\t0\t-3\t\n", "\t6=Gate\t0=Off, 1=Shift"}) {
        EXPECT_NE(listed.out.find(line), std::string::npos) << line;
    }
    const ToolResult missing = render({"--list-parameters", "--state", path("none.state")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.state: it does not exist"), std::string::npos) << missing.err;
}

TEST_F(RenderWithPlugin, NamesAndTextsIgnoreCaseValuesTakeUnitsAndBinRangesSetEveryBin)
{
    writeWav(path("in.wav"), music(1, 4800));
    const ToolResult result =
        render({path("in.wav"), path("o.wav"), "--set", "input GAIN=-6 dB", "--set", "fft size=256", "--set",
                "View X Axis=LINEAR", "--set", "Bin 47-512 Level=0.5", "--save-state", path("s.state")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto plugin = instanceWithSavedState("s.state");
    ASSERT_NE(plugin, nullptr);
    EXPECT_FLOAT_EQ(plugin->getParameter(11), 74.0f / 116.0f);
    EXPECT_EQ(plugin->parameterDisplay(3), "256");
    EXPECT_EQ(plugin->parameterDisplay(4), "Linear");
    EXPECT_FLOAT_EQ(plugin->getParameter(32 + 46), 1.0f);
    EXPECT_FLOAT_EQ(plugin->getParameter(32 + 47), 0.5f);
    EXPECT_FLOAT_EQ(plugin->getParameter(32 + 512), 0.5f);
    EXPECT_FLOAT_EQ(plugin->getParameter(32 + 513), 1.0f);
}

TEST_F(RenderWithPlugin, SetIsForgivingAboutBlanksPercentagesAndFftSizesAndHelpfulWhenItRefuses)
{
    writeWav(path("in.wav"), music(1, 4800));
    const ToolResult result = render({path("in.wav"), path("o.wav"), "--set", " Input Gain = -6 dB ", "--set",
                                      "Wet Level=50%", "--set", "FFT Size=7", "--save-state", path("s.state")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto plugin = instanceWithSavedState("s.state");
    ASSERT_NE(plugin, nullptr);
    EXPECT_FLOAT_EQ(plugin->getParameter(11), 74.0f / 116.0f);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.5f);
    EXPECT_EQ(plugin->parameterDisplay(3), "4096");

    const std::size_t before = entryCount();
    const struct {
        const char* set;
        const char* reason;
    } refused[] = {
        {"Wet=0.5", "unknown parameter \"Wet\": did you mean \"Wet Level\"?"},
        {"Bin 5000 Level=0", "unknown parameter \"Bin 5000 Level\": \"Bin N Level\" takes N from 0 to 2048"},
        {"Script Index=Lowpass", "\"Low Pass\", \"High Pass\""},
        {"FFT Size=3000", "\"3000\" is not a value for \"FFT Size\": choose 32, 64, 128, 256, 512, 1024, 2048 or 4096"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.set);
        const ToolResult refusal = render({path("in.wav"), path("r.wav"), "--set", c.set});
        expectOneLineFailure(refusal, before);
        EXPECT_EQ(refusal.exitCode, 2);
        EXPECT_NE(refusal.err.find(c.reason), std::string::npos) << refusal.err;
    }
}

// The mix levels store fader positions: a bare number stays one, as command lines always
// meant; a number in dB, or "-inf", is their gain.
TEST_F(RenderWithPlugin, MixLevelsTakeFaderPositionsOrDecibels)
{
    writeWav(path("in.wav"), music(1, 4800));
    const struct {
        const char* wet;
        const char* dry;
        float wetValue, dryValue;
        const char* warning;
    } cases[] = {{"-6 dB", "0.25", std::pow(10.0f, -0.1f), 0.25f, ""},
                 {"-inf", "6 dB", 0.0f, 1.0f, "warning: 6 dB is outside \"Dry Level\" (0 to 1): using 1\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wet);
        const ToolResult result = render({path("in.wav"), path("o.wav"), "--set", std::string("Wet Level=") + c.wet,
                                          "--set", std::string("Dry Level=") + c.dry, "--save-state", path("s.state")});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        if (*c.warning) EXPECT_NE(result.err.find(c.warning), std::string::npos) << result.err;
        else EXPECT_EQ(result.err, "");
        const auto plugin = instanceWithSavedState("s.state");
        ASSERT_NE(plugin, nullptr);
        EXPECT_NEAR(plugin->getParameter(2), c.wetValue, 1e-5f);
        EXPECT_NEAR(plugin->getParameter(1), c.dryValue, 1e-5f);
    }
}

TEST_F(RenderWithPlugin, FixedPointOutputThatClipsIsNamedInOneWarningWithItsPeak)
{
    writeWav(path("in.wav"), music(2, 9600));
    const ToolResult loud = render({path("in.wav"), path("loud.wav"), "--bits", "16", "--set", "Output Gain=12 dB"});
    ASSERT_EQ(loud.exitCode, 0) << loud.err;
    EXPECT_EQ(std::count(loud.err.begin(), loud.err.end(), '\n'), 1) << loud.err;
    EXPECT_NE(loud.err.find("warning: " + path("loud.wav") + " clipped: its peak is 1."), std::string::npos) << loud.err;
    const ToolResult asFloat = render({path("in.wav"), path("float.wav"), "--bits", "32f", "--set", "Output Gain=12"});
    ASSERT_EQ(asFloat.exitCode, 0);
    EXPECT_EQ(asFloat.err, "") << "float samples hold the overs";
}

TEST_F(RenderWithPlugin, OutputFormatFollowsTheExtension)
{
    writeWav(path("in.wav"), music(2, 4800));
    const struct {
        const char* name;
        int format;
    } cases[] = {{"o.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24}, {"o.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
                 {"o.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS}, {"o.WAV", SF_FORMAT_WAV | SF_FORMAT_FLOAT}};
    for (const auto& c : cases) {
        ASSERT_EQ(render({path("in.wav"), path(c.name)}).exitCode, 0) << c.name;
        SF_INFO info{};
        SNDFILE* file = sf_open(path(c.name).c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << c.name;
        sf_close(file);
        EXPECT_EQ(info.format, c.format) << c.name;
        EXPECT_EQ(info.channels, 2) << c.name;
    }
}

// The renderer's --midi against the same messages sent through our host library by hand:
// controller 16 (the built-in script's "Output Gain") at 0 halfway turns the wet path to
// -80 dB, so the second half falls silent.
TEST_F(RenderWithPlugin, MidiFileDrivesTheBuiltInScriptAsTheHostLibraryDoes)
{
    constexpr int kFrames = 48000;
    constexpr int kEventFrame = 24000;  // tick 96 at 96 ticks a quarter and 120 bpm
    constexpr int kBlock = 1024;
    const Sound input = music(1, kFrames);
    writeWav(path("in.wav"), input);
    const MidiBytes song = midiFile({midiHeader(0, 1, 96), midiTrack({0x60, 0xb0, 16, 0, 0x00, 0xff, 0x2f, 0x00})});
    std::ofstream(path("song.mid"), std::ios::binary).write(reinterpret_cast<const char*>(song.data()), static_cast<std::streamsize>(song.size()));
    const ToolResult result = render({path("in.wav"), path("out.wav"), "--midi", path("song.mid")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Sound rendered = readSound(path("out.wav"));
    ASSERT_EQ(rendered.samples.size(), static_cast<std::size_t>(kFrames));

    std::string error;
    lfhost::HostOptions options;
    options.sampleRate = 48000.0f;
    options.blockSize = kBlock;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error, options);
    ASSERT_NE(plugin, nullptr) << error;
    plugin->setSampleRate(48000.0f);
    plugin->setBlockSize(kBlock);
    plugin->resume();
    const int latency = plugin->initialDelay();
    std::vector<float> in(kBlock), left(kBlock), right(kBlock), expected;
    for (int start = 0; start < kFrames + latency; start += kBlock) {
        for (int i = 0; i < kBlock; ++i) in[i] = start + i < kFrames ? input.samples[static_cast<std::size_t>(start + i)] : 0.0f;
        if (kEventFrame >= start && kEventFrame < start + kBlock) plugin->sendMidi({{kEventFrame - start, {0xb0, 16, 0}}});
        float* inputs[] = {in.data(), in.data()};
        float* outputs[] = {left.data(), right.data()};
        plugin->processReplacing(inputs, outputs, kBlock);
        for (int i = 0; i < kBlock; ++i) expected.push_back(0.5f * (left[static_cast<std::size_t>(i)] + right[static_cast<std::size_t>(i)]));
    }
    float loudBefore = 0.0f, loudAfter = 0.0f;
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_NEAR(rendered.samples[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i + latency)], 1e-6f) << i;
        (i < kEventFrame ? loudBefore : loudAfter) = std::max(i < kEventFrame ? loudBefore : loudAfter, std::fabs(rendered.samples[static_cast<std::size_t>(i)]));
    }
    EXPECT_GT(loudBefore, 0.3f);
    EXPECT_LT(loudAfter, 0.3f * 1e-3f) << "-80 dB after the controller";
}

TEST_F(RenderWithPlugin, StatesThatAreNotOursAreRefusedAndNothingIsWritten)
{
    writeWav(path("in.wav"), music(2, 4800));
    ASSERT_EQ(render({path("in.wav"), path("first.wav"), "--save-state", path("good.state")}).exitCode, 0);
    std::vector<char> good(fs::file_size(path("good.state")));
    std::ifstream(path("good.state"), std::ios::binary).read(good.data(), static_cast<std::streamsize>(good.size()));
    std::ofstream(path("half.state"), std::ios::binary).write(good.data(), static_cast<std::streamsize>(good.size() / 2));
    std::mt19937 generator(3);
    std::ofstream random(path("random.state"), std::ios::binary);
    for (std::size_t i = 0; i < good.size(); ++i) random.put(static_cast<char>(generator()));
    random.close();
    const std::size_t before = entryCount();
    for (const char* state : {"half.state", "random.state", "in.wav"}) {
        SCOPED_TRACE(state);
        const ToolResult result = render({path("in.wav"), path("out.wav"), "--state", path(state)});
        expectOneLineFailure(result, before);
        EXPECT_NE(result.err.find("not a state of this plug-in"), std::string::npos) << result.err;
    }
}

TEST_F(RenderWithPlugin, ValuesOutsideTheRangeAreClampedWithAWarning)
{
    writeWav(path("in.wav"), music(1, 4800));
    const ToolResult clamped = render({path("in.wav"), path("a.wav"), "--set", "Output Gain=200"});
    ASSERT_EQ(clamped.exitCode, 0) << clamped.err;
    EXPECT_NE(clamped.err.find("warning: 200 is outside \"Output Gain\" (-80 to 36): using 36"), std::string::npos)
        << clamped.err;
    ASSERT_EQ(render({path("in.wav"), path("b.wav"), "--set", "Output Gain=36"}).exitCode, 0);
    EXPECT_EQ(readSound(path("a.wav")).samples, readSound(path("b.wav")).samples);
}

// A spectral script that fails on every frame did nothing that was asked of it: the render
// says so and writes nothing, unless --allow-script-errors. The console's error comes
// first, once, with an exact count, the same on every run. A script that fails only now
// and then renders.
TEST_F(RenderWithPlugin, ScriptFailingOnEveryFrameFailsTheRenderUnlessAllowed)
{
    UserScriptFolder scripts;
    scripts.add("failing.lua", "addSpectralScript('Broken', function(t) error('broken on purpose') end)\n"
                               "local n = 0\n"
                               "addSpectralScript('Sometimes', function(t) n = n + 1\n"
                               "  if n % 2 == 0 then error('now and then') end end)\n");
    const std::size_t before = entryCount();
    const std::vector<std::string> broken = {"--demo", path("o.wav"), "--set", "Script Index=Broken"};
    const ToolResult failed = render(broken);
    EXPECT_EQ(failed.exitCode, 4);
    EXPECT_EQ(entryCount(), before) << "nothing is written";
    const std::size_t error = failed.err.find("failing.lua:1: broken on purpose\n(the line before was repeated ");
    EXPECT_NE(error, std::string::npos) << failed.err;
    EXPECT_EQ(failed.err.find("dropped"), std::string::npos) << failed.err;
    EXPECT_GT(failed.err.find("lumenfold-render: the spectral script \"Broken\" failed on every frame it ran"), error)
        << failed.err;
    EXPECT_EQ(render(broken).err, failed.err) << "the same render writes the same lines";

    std::vector<std::string> allowed = broken;
    allowed.push_back("--allow-script-errors");
    EXPECT_EQ(render(allowed).exitCode, 0);
    EXPECT_TRUE(fs::exists(path("o.wav")));
    EXPECT_EQ(render({"--demo", path("p.wav"), "--set", "Script Index=Sometimes"}).exitCode, 0);
}
