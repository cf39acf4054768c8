// lumenfold-render with the real plug-in, as a user runs it from a terminal.

#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
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
    const ToolResult result = render({path("demo.wav"), "--set", "Bin 10 Level=0"});
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
