// lumenfold-render's presets with the built plug-in: its programs listed with their
// descriptions, --preset by program name or file, --save-preset, and their refusals.

#include "tests/tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string fileText(const fs::path& path)
{
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class PresetRender : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lumenfold-preset-render-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    ToolResult render(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--plugin", LUMENFOLD_PLUGIN_PATH});
        return runTool(LUMENFOLD_RENDER_TOOL, args, ToolLimits{120.0, {}});
    }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& text) { std::ofstream(folder_ / name) << text; }

    fs::path folder_;
};

}  // namespace

TEST_F(PresetRender, ListsEveryProgramWithItsDescription)
{
    const ToolResult result = render({"--list-presets"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out.rfind("  0  Defaults", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("Rumble Cut"), std::string::npos);
    // Each line: number, name, then a description.
    std::istringstream listing(result.out);
    std::size_t lines = 0;
    for (std::string line; std::getline(listing, line); ++lines) EXPECT_GT(line.size(), 32u) << line;
    EXPECT_GT(lines, 1u);
}

TEST_F(PresetRender, AFileSetsEveryValueAndTheSavedPresetReadsBackTheSame)
{
    write("in.preset", "Lumenfold preset 1\n"
                       "name = Varied\n"
                       "Wet Level = 0.7 stored\n"
                       "FFT Size = 4096\n"
                       "Input Gain = -6 dB\n"
                       "Unknown Knob = 3\n"
                       "bins 5-39 = 0\n"
                       "bins 41-1000 = 0.25\n"
                       "end\n");
    const ToolResult first = render({"--demo", path("a.wav"), "--preset", path("in.preset"), "--save-preset", path("a.preset")});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.err.find("line 6 skipped (no parameter has this name): \"Unknown Knob = 3\""), std::string::npos);
    EXPECT_EQ(fileText(path("a.preset")), "Lumenfold preset 1\n"
                                          "name = Varied\n"
                                          "Wet Level = 0.7 stored\n"
                                          "FFT Size = 4096\n"
                                          "Input Gain = -6.000 dB\n"
                                          "bins 5-39 = 0.000\n"
                                          "bins 41-1000 = 0.250\n"
                                          "end\n");

    const ToolResult second = render({"--demo", path("b.wav"), "--preset", path("a.preset"), "--save-preset", path("b.preset")});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(fileText(path("b.preset")), fileText(path("a.preset")));
}

TEST_F(PresetRender, AProgramByNameComesBeforeSet)
{
    const ToolResult result = render({"--demo", path("a.wav"), "--preset", " rumble CUT", "--set", "Input Gain=-1 dB",
                                      "--save-preset", path("a.preset")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string saved = fileText(path("a.preset"));
    EXPECT_NE(saved.find("name = Rumble Cut\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Input Gain = -1.000 dB\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("bins 0-"), std::string::npos) << saved;
}

TEST_F(PresetRender, RefusedPresetsWriteNothing)
{
    write("broken.preset", "Lumenfold preset 1\nInput Gain = loud\nend\n");
    write("other.txt", "just some text\n");
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string errorPart;
    };
    const std::vector<Case> cases = {
        {{"--preset", "No Such Program"}, 2, "neither a program of the plug-in (\"Defaults\", "},
        {{"--preset", path("broken.preset")}, 1, "none of its value lines could be read; nothing is set"},
        {{"--preset", path("other.txt")}, 1, "not a Lumenfold preset"},
        {{"--save-preset", path("out.wav")}, 2, "--save-preset"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--demo", path("out.wav"), "--save-preset", path("saved.preset")};
        if (c.args.front() == "--save-preset") args.resize(2);
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ToolResult result = render(args);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_NE(result.err.find(c.errorPart), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(path("out.wav")));
        EXPECT_FALSE(fs::exists(path("saved.preset")));
    }
}
