// lumenfold-render and lumenfold-host run as a user runs them, with the test plug-in.

#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

struct SoundFile {
    std::vector<float> interleaved;
    int channels = 0;
    int sampleRate = 0;
    int format = 0;
};

void writeSound(const fs::path& path, const SoundFile& sound)
{
    SF_INFO info{};
    info.channels = sound.channels;
    info.samplerate = sound.sampleRate;
    info.format = sound.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, sound.interleaved.data(), static_cast<sf_count_t>(sound.interleaved.size()) / sound.channels);
    sf_close(file);
}

SoundFile readSound(const fs::path& path)
{
    SF_INFO info{};
    SoundFile sound;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return sound;
    sound.interleaved.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, sound.interleaved.data(), info.frames);
    sf_close(file);
    sound.channels = info.channels;
    sound.sampleRate = info.samplerate;
    sound.format = info.format;
    return sound;
}

SoundFile noiseFile(int channels, int frames, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT)
{
    std::mt19937 engine(42);
    SoundFile sound;
    sound.channels = channels;
    sound.sampleRate = 44100;
    sound.format = format;
    sound.interleaved.resize(static_cast<std::size_t>(channels * frames));
    for (float& s : sound.interleaved) s = static_cast<float>(engine() % 2001) / 4000.0f - 0.25f;
    return sound;
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 ("lumenfold-render-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    ToolResult render(std::vector<std::string> args)
    {
        args.push_back("--plugin");
        args.push_back(LFTEST_GAIN_PLUGIN);
        return runTool(LFTEST_RENDER_TOOL, args);
    }

    std::string path(const char* name) const { return (folder / name).string(); }

    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The failure contract: non-zero exit, exactly one line naming the tool, no output.
    void expectCleanFailure(const ToolResult& result, const std::vector<std::string>& entriesBefore,
                            const std::string& reasonPart)
    {
        EXPECT_NE(result.exitCode, 0);
        EXPECT_EQ(result.err.rfind("lumenfold-render: ", 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(reasonPart), std::string::npos) << result.err;
        EXPECT_EQ(folderEntries(), entriesBefore);
    }

    fs::path folder;
};

TEST_F(RenderTool, StereoFileComesBackUnchangedThroughUnityGain)
{
    const SoundFile input = noiseFile(2, 3000);
    writeSound(path("in.wav"), input);
    const ToolResult result = render({path("in.wav"), path("out.wav"), "--set", "Latency=0.123", "--block", "100"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const SoundFile output = readSound(path("out.wav"));
    EXPECT_EQ(output.format, input.format);
    EXPECT_EQ(output.sampleRate, 44100);
    EXPECT_EQ(output.interleaved, input.interleaved);  // latency of 123 samples compensated
}

TEST_F(RenderTool, MonoFileStaysMonoAndTakesTheGain)
{
    const SoundFile input = noiseFile(1, 500);
    writeSound(path("in.wav"), input);
    const ToolResult result = render({path("in.wav"), path("out.wav"), "--set", "Gain=0.25"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const SoundFile output = readSound(path("out.wav"));
    ASSERT_EQ(output.channels, 1);
    ASSERT_EQ(output.interleaved.size(), input.interleaved.size());
    for (std::size_t i = 0; i < input.interleaved.size(); ++i)
        EXPECT_FLOAT_EQ(output.interleaved[i], 0.5f * input.interleaved[i]);
}

TEST_F(RenderTool, KeepsFlacAndItsSampleFormat)
{
    writeSound(path("in.flac"), noiseFile(2, 800, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    const ToolResult result = render({path("in.flac"), path("out.flac")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const SoundFile output = readSound(path("out.flac"));
    EXPECT_EQ(output.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const SoundFile input = readSound(path("in.flac"));
    ASSERT_EQ(output.interleaved.size(), input.interleaved.size());
    // TPDF dither moves a sample by at most one 16-bit step.
    for (std::size_t i = 0; i < input.interleaved.size(); ++i)
        ASSERT_NEAR(output.interleaved[i], input.interleaved[i], 1.0f / 32768.0f) << i;
}

TEST_F(RenderTool, DemoSignalWithoutInputAtTheRequestedRate)
{
    const ToolResult result = render({path("demo.aiff"), "--sample-rate", "22050"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const SoundFile output = readSound(path("demo.aiff"));
    EXPECT_EQ(output.channels, 2);
    EXPECT_EQ(output.sampleRate, 22050);
    EXPECT_EQ(output.format, SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    EXPECT_EQ(output.interleaved.size(), 2u * 4u * 22050u);
}

TEST_F(RenderTool, SavedStateRestoresTheSettings)
{
    writeSound(path("in.wav"), noiseFile(2, 200));
    ASSERT_EQ(render({path("in.wav"), path("a.wav"), "--set", "Gain=0.3", "--save-state", path("s.state")}).exitCode, 0);
    ASSERT_EQ(render({path("in.wav"), path("b.wav"), "--state", path("s.state")}).exitCode, 0);
    const SoundFile a = readSound(path("a.wav"));
    EXPECT_EQ(a.interleaved, readSound(path("b.wav")).interleaved);
    EXPECT_NE(a.interleaved, readSound(path("in.wav")).interleaved);
    EXPECT_EQ(fs::file_size(path("s.state")), 16u);
}

TEST_F(RenderTool, EveryErrorIsOneLineAndLeavesNoOutput)
{
    writeSound(path("in.wav"), noiseFile(2, 100));
    writeSound(path("three.wav"), noiseFile(3, 100));
    std::ofstream(path("text.wav")) << "this is not audio\n";
    std::ofstream(path("bad.state")) << "not a state chunk";
    std::ofstream(path("empty.state"));
    const auto before = folderEntries();

    const std::string in = path("in.wav");
    const std::string out = path("out.wav");
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{path("missing.wav"), out}, "cannot read"},
        {{path("text.wav"), out}, "cannot read"},
        {{path("three.wav"), out}, "3 channels"},
        {{in, out, "--set", "Volume=1"}, "unknown parameter"},
        {{in, out, "--set", "Gain=nan"}, "finite number"},
        {{in, out, "--set", "Gain=loud"}, "not a value"},
        {{in, out, "--state", path("missing.state")}, "cannot read state file"},
        {{in, out, "--state", path("empty.state")}, "is empty"},
        {{in, out, "--state", path("bad.state")}, "refused it"},
        {{in, out, "--block", "0"}, "--block"},
        {{in, out, "--sample-rate", "fast"}, "--sample-rate"},
        {{in, out, "--sample-rate", "48000"}, "differs"},
        {{path("demo.mp4")}, "cannot tell the format"},
        {{in, path("no/such/folder/out.wav")}, "cannot create"},
        {{in, out, "--save-state", path("no/such/folder/s.state")}, "cannot create"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        expectCleanFailure(render(c.args), before, c.reason);
    }
}

TEST_F(RenderTool, PluginThatFailsToLoadIsReportedInOneLine)
{
    const auto before = folderEntries();
    const ToolResult result =
        runTool(LFTEST_RENDER_TOOL, {path("out.wav"), "--plugin", path("Missing.so")});
    expectCleanFailure(result, before, "Missing.so");
}

TEST(HostTool, PrintsWhatAHostSees)
{
    const ToolResult result = runTool(LFTEST_HOST_TOOL, {LFTEST_GAIN_PLUGIN});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (const char* expected : {"Test Gain", "Lumenfold Tests", "Test Gain Product", "1234", "2400", "'LFtg'",
                                 "0x30", "2/2", "Parameters:      3", "Latency", "samples", "Test Program",
                                 "16 bytes", "receiveVstMidiEvent: yes"}) {
        EXPECT_NE(result.out.find(expected), std::string::npos) << expected << "\n" << result.out;
    }
}

TEST(HostTool, LoadFailureIsOneLineAndNonZero)
{
    const ToolResult result = runTool(LFTEST_HOST_TOOL, {"/nonexistent/Lumenfold.so"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(result.err.rfind("lumenfold-host: ", 0), 0u) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
    EXPECT_EQ(result.out, "");
}

}  // namespace
