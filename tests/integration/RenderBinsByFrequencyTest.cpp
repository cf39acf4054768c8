// lumenfold-render's --set by frequency with the real plug-in: the bins are those of the
// FFT size set before and of the render's sample rate.

#include "tests/tools/ToolProcess.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kBinLevelBase = 32;

class RenderBinsByFrequency : public testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("lumenfold-render-hz-" + std::string(testing::UnitTest::GetInstance()
                                                                                          ->current_test_info()
                                                                                          ->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Renders the demo at 44100 Hz with the settings; the run's result and, when it
    // succeeded, an instance holding the state it saved.
    ToolResult render(const std::vector<std::string>& sets, std::unique_ptr<lfhost::PluginInstance>* saved = nullptr)
    {
        const std::string state = (folder_ / "s.state").string();
        std::vector<std::string> args = {"--demo", (folder_ / "o.wav").string(), "--sample-rate", "44100",
                                         "--save-state", state, "--plugin", LUMENFOLD_PLUGIN_PATH};
        for (const std::string& set : sets) args.insert(args.end(), {"--set", set});
        const ToolResult result = runTool(LUMENFOLD_RENDER_TOOL, args);
        if (saved != nullptr && result.exitCode == 0) {
            std::string error;
            *saved = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
            std::vector<char> bytes(fs::file_size(state));
            std::ifstream(state, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            EXPECT_NE((*saved)->setChunk(bytes.data(), bytes.size()), 0);
        }
        return result;
    }

private:
    fs::path folder_;
};

}  // namespace

// At 44100 Hz a bin of size 256 is 172.27 Hz wide.
TEST_F(RenderBinsByFrequency, RangesAndNotesSetTheBinsOfTheFftSizeInEffect)
{
    std::unique_ptr<lfhost::PluginInstance> plugin;
    const ToolResult result = render({"FFT Size=256", "1k-2k Hz=0", "300-400Hz=50%", "A4=0.25"}, &plugin);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    ASSERT_NE(plugin, nullptr);
    const struct {
        int bin;
        float level;
    } expected[] = {{1, 1.0f}, {2, 0.5f}, {3, 0.25f}, {4, 1.0f}, {5, 1.0f}, {6, 0.0f}, {11, 0.0f}, {12, 1.0f}};
    for (const auto& e : expected) EXPECT_FLOAT_EQ(plugin->getParameter(kBinLevelBase + e.bin), e.level) << e.bin;
    // 1000..2000 Hz are bins 6 to 11, 300..400 Hz holds bin 2 (344.5 Hz) and A4 (440 Hz)
    // is nearest bin 3 (516.8 Hz).
    EXPECT_EQ(result.err, "");

    const ToolResult late = render({"1k-2k Hz=0", "FFT Size=256"});
    EXPECT_EQ(late.exitCode, 0) << late.err;
    EXPECT_NE(late.err.find("\"1k-2k Hz\" was mapped to bins at FFT size 1024"), std::string::npos) << late.err;

    const ToolResult refused = render({"20k-30k Hz=0"});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_NE(refused.err.find("20000 to 30000 Hz: a frequency is above the highest bin"), std::string::npos)
        << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
}
