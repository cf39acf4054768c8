// User preset files: what they hold, that they read back exactly, and how broken, newer,
// cut and oversized files are read (named lines, nothing applied when nothing is usable).

#include "engine/model/PresetFile.h"
#include "engine/model/ValueFormatting.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

float& valueOf(ProgramValues& content, int id) { return content.values[static_cast<std::size_t>(id)]; }

ProgramValues named(const char* name)
{
    ProgramValues content = PresetFile::defaults();
    copyText(content.name.data(), name, ProgramValues::kNameSize - 1);
    return content;
}

void setBins(ProgramValues& content, int first, int last, float value)
{
    for (int bin = first; bin <= last; ++bin) valueOf(content, kBinLevelBase + bin) = value;
}

// Settings whose texts take each path: displayed text, bare number, stored number.
ProgramValues variedContent()
{
    ProgramValues content = named("Low Notch");
    valueOf(content, ParameterId::WetLevel) = 0.7f;            // fader: not exact as dB text
    valueOf(content, ParameterId::DryLevel) = 0.0f;            // "-inf"
    valueOf(content, ParameterId::InputGain) = -6.02f;
    valueOf(content, ParameterId::OutputGain) = 1.0f / 3.0f;  // more digits than shown
    valueOf(content, ParameterId::FftSize) = 2;
    valueOf(content, ParameterId::Overlap) = 1;
    valueOf(content, ParameterId::ViewSmoothing) = 0;          // "Off"
    valueOf(content, ParameterId::Scripted1) = -7;
    setBins(content, 5, 39, 0.0f);
    setBins(content, 40, 40, 0.5f);
    setBins(content, 41, 1000, 1e-7f);
    setBins(content, 2048, 2048, 0.123456789f);
    return content;
}

void expectSameContent(const ProgramValues& read, const ProgramValues& written)
{
    for (int id = 0; id < kParameterCount; ++id)
        EXPECT_EQ(read.values[static_cast<std::size_t>(id)], written.values[static_cast<std::size_t>(id)]) << "id " << id;
    EXPECT_STREQ(read.name.data(), written.name.data());
}

}  // namespace

TEST(PresetFile, ValuesReadBackExactly)
{
    for (const ProgramValues& content : {PresetFile::defaults(), named("Only A Name"), variedContent()}) {
        const std::string text = PresetFile::text(content);
        const PresetFile::Reading reading = PresetFile::parse(text);
        ASSERT_TRUE(reading.usable()) << reading.refusal;
        EXPECT_TRUE(reading.messages.empty()) << text;
        expectSameContent(reading.content, content);
    }
}

TEST(PresetFile, HoldsOnlyWhatDiffersFromTheDefaultsWithBinsInRuns)
{
    ProgramValues content = named("Low Notch");
    valueOf(content, ParameterId::InputGain) = -6.0f;
    valueOf(content, ParameterId::FftSize) = 7;
    setBins(content, 5, 39, 0.0f);
    setBins(content, 40, 40, 0.5f);
    EXPECT_EQ(PresetFile::text(content), "Lumenfold preset 1\n"
                                         "name = Low Notch\n"
                                         "FFT Size = 4096\n"
                                         "Input Gain = -6.000 dB\n"
                                         "bins 5-39 = 0.000\n"
                                         "bins 40 = 0.500\n"
                                         "end\n");
}

struct DamagedFile {
    const char* what;
    std::string text;
    bool usable;
    std::vector<std::string> messageStarts;  // in order
};

void PrintTo(const DamagedFile& file, std::ostream* out) { *out << file.what; }

class PresetFileDamage : public testing::TestWithParam<DamagedFile> {};

TEST_P(PresetFileDamage, NamesEverySkippedLineAndAppliesNothingWhenNothingIsUsable)
{
    const DamagedFile& file = GetParam();
    const PresetFile::Reading reading = PresetFile::parse(file.text);
    EXPECT_EQ(reading.usable(), file.usable) << reading.refusal;
    ASSERT_EQ(reading.messages.size(), file.messageStarts.size()) << testing::PrintToString(reading.messages);
    for (std::size_t k = 0; k < file.messageStarts.size(); ++k)
        EXPECT_EQ(reading.messages[k].rfind(file.messageStarts[k], 0), 0u) << reading.messages[k];
    if (file.usable) EXPECT_EQ(reading.content.values[ParameterId::InputGain], -3.0f);
}

const std::string kGain = "Input Gain = -3 dB\n";

INSTANTIATE_TEST_SUITE_P(
    Files, PresetFileDamage,
    testing::Values(
        DamagedFile{"newer", "Lumenfold preset 7\n" + kGain + "Frobnicate = 3\nbins 0-1 = shiny\nend\n", true,
                    {"written in preset format 7", "line 3 skipped (no parameter has this name): \"Frobnicate = 3\"",
                     "line 4 skipped (not a bin level"}},
        DamagedFile{"cut short", "Lumenfold preset 1\n" + kGain + "bins 5-3", true,
                    {"line 3 skipped (no \"NAME = VALUE\")", "the file has no \"end\" line"}},
        DamagedFile{"bad values", "Lumenfold preset 1\n" + kGain + "bins 7-5000 = 0\nOutput Gain = nan stored\n"
                    "Dummy = 1\nInput Gain = 3 apples\n" + std::string(2000, 'x') + "\nend\nWet Level = 0\n", true,
                    {"line 3 skipped (bins are numbered", "line 4 skipped (not a value", "line 5 skipped (no parameter",
                     "line 6 skipped (not a value", "line 7 skipped (longer than 1024", "line 9 skipped (after the"}},
        DamagedFile{"no header", kGain + "end\n", false, {}},
        DamagedFile{"empty", "", false, {}},
        DamagedFile{"header cut", "Lumenfo", false, {}},
        DamagedFile{"every value broken", "Lumenfold preset 1\nname = Kept\nInput Gain = loud\nend\n", false,
                    {"line 3 skipped"}}),
    [](const testing::TestParamInfo<DamagedFile>& info) {
        std::string name = info.param.what;
        for (char& c : name) c = c == ' ' ? '_' : c;
        return name;
    });

TEST(PresetFile, AHostileFileIsReadWithinItsLimits)
{
    std::string many = "Lumenfold preset 1\n" + kGain;
    for (int k = 0; k < 1000; ++k) many += "bogus line\n";
    const PresetFile::Reading reading = PresetFile::parse(many);
    EXPECT_TRUE(reading.usable());
    ASSERT_EQ(reading.messages.size(), PresetFile::kMaxNamedLines + 2);  // + "more" + no end
    EXPECT_EQ(reading.messages[PresetFile::kMaxNamedLines], "980 more lines skipped");

    char path[] = "/tmp/lumenfold-preset-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(path) << "Lumenfold preset 1\n" << std::string(PresetFile::kMaxFileBytes, '#');
    EXPECT_FALSE(PresetFile::read(path).usable());
    std::ofstream(path) << PresetFile::text(variedContent());
    expectSameContent(PresetFile::read(path).content, variedContent());
    std::remove(path);
    EXPECT_FALSE(PresetFile::read("/nonexistent/preset").usable());
}
