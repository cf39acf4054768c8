// The renderer's command line, file formats, demo signal and output files.

#include "tools/render/AudioFile.h"
#include "tools/render/DemoSignal.h"
#include "tools/render/RenderError.h"
#include "tools/render/RenderJob.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/TemporaryOutputFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>

using lfrender::parseRenderOptions;
using lfrender::RenderError;

namespace {

TEST(RenderCommandLine, TwoFilesAreInputAndOutputOneIsTheOutputOnlyWithDemo)
{
    auto demo = parseRenderOptions({"--demo", "out.wav"});
    EXPECT_TRUE(demo.inputPath.empty());
    EXPECT_EQ(demo.outputPath, "out.wav");
    auto file = parseRenderOptions({"in.flac", "out.wav"});
    EXPECT_EQ(file.inputPath, "in.flac");
    EXPECT_EQ(file.outputPath, "out.wav");
    // One name alone could be an input that the demo signal would replace.
    EXPECT_THROW((void)parseRenderOptions({"mix.wav"}), RenderError);
    EXPECT_THROW((void)parseRenderOptions({"--demo", "in.wav", "out.wav"}), RenderError);
}

TEST(RenderCommandLine, OptionsMayComeAnywhereAndSetsKeepTheirOrder)
{
    auto options = parseRenderOptions({"--set", "FFT Size=2048", "in.wav", "--block", "64", "out.wav", "--set",
                                       "Input Gain=-12.5", "--sample-rate", "44100", "--state", "a.state",
                                       "--save-state", "b.state", "--plugin", "x.so"});
    ASSERT_EQ(options.assignments.size(), 2u);
    EXPECT_EQ(options.assignments[0], std::make_pair(std::string("FFT Size"), std::string("2048")));
    EXPECT_EQ(options.assignments[1], std::make_pair(std::string("Input Gain"), std::string("-12.5")));
    EXPECT_EQ(options.blockSize, 64);
    EXPECT_EQ(options.sampleRate, 44100.0f);
    EXPECT_EQ(options.statePath, "a.state");
    EXPECT_EQ(options.saveStatePath, "b.state");
    EXPECT_EQ(options.pluginPath, "x.so");
    EXPECT_EQ(options.inputPath, "in.wav");
}

TEST(RenderCommandLine, ValueAfterEqualsMayContainEquals)
{
    auto options = parseRenderOptions({"--demo", "out.wav", "--set", "Name=a=b"});
    EXPECT_EQ(options.assignments[0].second, "a=b");
}

TEST(RenderCommandLine, MalformedCommandLinesAreRefused)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"a.wav", "b.wav", "c.wav"},
             {"--demo", "out.wav", "--block", "0"},
             {"--demo", "out.wav", "--block", "12x"},
             {"--demo", "out.wav", "--block", "2000000"},
             {"--demo", "out.wav", "--sample-rate", "10"},
             {"--demo", "out.wav", "--sample-rate", "44,1"},
             {"--demo", "out.wav", "--set", "NoEquals"},
             {"--demo", "out.wav", "--set", "=5"},
             {"--demo", "out.wav", "--block"},
             {"--demo", "out.wav", "--frobnicate"}}) {
        EXPECT_THROW((void)parseRenderOptions(args), RenderError) << ::testing::PrintToString(args);
    }
}

TEST(OutputFormats, ExtensionChoosesTheContainerWithoutAnInput)
{
    const auto without = [](const char* path) { return lfrender::outputFormatFor(path, std::nullopt, std::nullopt, 2, 48000); };
    EXPECT_EQ(without("x.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(without("x.WAV"), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(without("x.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(without("x.aif"), SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    EXPECT_EQ(without("x.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    EXPECT_EQ(without("x.mp3"), SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
    EXPECT_THROW((void)without("x.mp4"), RenderError);
    EXPECT_THROW((void)without("noextension"), RenderError);
}

TEST(OutputFormats, InputFormatIsKeptUnlessTheExtensionNamesAnotherContainer)
{
    const auto from = [](const char* path, int input) { return lfrender::outputFormatFor(path, input, std::nullopt, 1, 44100); };
    EXPECT_EQ(from("out.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_THROW((void)from("out.data", SF_FORMAT_WAV | SF_FORMAT_PCM_16), RenderError);
    EXPECT_EQ(from("out.flac", SF_FORMAT_WAV | SF_FORMAT_PCM_16), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(from("out.flac", SF_FORMAT_WAV | SF_FORMAT_FLOAT), SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(from("out.wav", SF_FORMAT_OGG | SF_FORMAT_VORBIS), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

TEST(OutputFormats, BitsChooseTheSampleFormatWhereTheContainerHoldsIt)
{
    const auto with = [](const char* path, lfrender::SampleBits bits) {
        return lfrender::outputFormatFor(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, bits, 2, 48000);
    };
    EXPECT_EQ(with("o.wav", lfrender::SampleBits::Int24), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(with("o.aiff", lfrender::SampleBits::Float32), SF_FORMAT_AIFF | SF_FORMAT_FLOAT);
    EXPECT_EQ(with("o.flac", lfrender::SampleBits::Int16), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_THROW((void)with("o.flac", lfrender::SampleBits::Float32), RenderError);
    EXPECT_THROW((void)with("o.ogg", lfrender::SampleBits::Int16), RenderError);
    EXPECT_EQ(lfrender::parseSampleBits("32f"), lfrender::SampleBits::Float32);
    EXPECT_FALSE(lfrender::parseSampleBits("32"));
}

TEST(DemoSignal, FourSecondsOfStereoThatRepeatExactly)
{
    const auto first = lfrender::makeDemoSignal(48000.0f);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].size(), 192000u);
    EXPECT_EQ(first, lfrender::makeDemoSignal(48000.0f));
    EXPECT_NE(first[0], first[1]);
    float peak = 0.0f;
    for (const auto& channel : first)
        for (float s : channel) peak = std::max(peak, std::abs(s));
    EXPECT_GT(peak, 0.1f);
    EXPECT_LT(peak, 1.0f);  // no clipping in integer formats
    EXPECT_EQ(lfrender::makeDemoSignal(22050.0f)[1].size(), 88200u);
}

TEST(ChannelFitting, MonoFileGetsTheMeanStereoTheFirstTwo)
{
    const float left[] = {1.0f, 2.0f};
    const float right[] = {3.0f, 2.0f};
    const float* const outputs[] = {left, right};
    std::vector<float> mono(2), stereo(4);
    lfrender::interleaveFitted(outputs, 2, 2, 1, mono.data());
    EXPECT_EQ(mono, (std::vector<float>{2.0f, 2.0f}));
    lfrender::interleaveFitted(outputs, 2, 2, 2, stereo.data());
    EXPECT_EQ(stereo, (std::vector<float>{1.0f, 3.0f, 2.0f, 2.0f}));
    lfrender::interleaveFitted(outputs, 1, 2, 2, stereo.data());
    EXPECT_EQ(stereo, (std::vector<float>{1.0f, 1.0f, 2.0f, 2.0f}));
}

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("lumenfold-outputfile-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::size_t entries() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
    }

    std::filesystem::path folder;
};

TEST_F(OutputFile, AppearsUnderItsNameOnlyOnCommit)
{
    const auto target = folder / "result.bin";
    {
        lfrender::TemporaryOutputFile file(target.string());
        file.writeAll("abc", 3);
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_EQ(std::filesystem::path(file.temporaryPath()).parent_path(), folder);
        file.commit();
    }
    EXPECT_EQ(std::filesystem::file_size(target), 3u);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFile, VanishesWhenAbandoned)
{
    {
        lfrender::TemporaryOutputFile file((folder / "result.bin").string());
        file.writeAll("abc", 3);
    }
    EXPECT_EQ(entries(), 0u);
}

TEST_F(OutputFile, MissingFolderIsAnError)
{
    EXPECT_THROW(lfrender::TemporaryOutputFile((folder / "no" / "such.wav").string()), RenderError);
}

}  // namespace
