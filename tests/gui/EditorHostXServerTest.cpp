// Our editor host on X servers of the tests' own: a picture larger than the screen, and
// a server that goes away while the editor is open.

#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateXServer.h"
#include "tests/support/ScopedEnvironmentVariable.h"
#include "tests/tools/ToolProcess.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// Width and height from a PNG file's header; (0, 0) when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> pngSize(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header) || header[1] != 'P' || header[12] != 'I') return {};
    const auto read32 = [&](int at) {
        return std::uint32_t{header[at]} << 24 | std::uint32_t{header[at + 1]} << 16 |
               std::uint32_t{header[at + 2]} << 8 | std::uint32_t{header[at + 3]};
    };
    return {read32(16), read32(20)};
}

struct LargeShot {
    const char* name;
    std::optional<std::string> zoom;   // --zoom
    std::optional<std::string> scale;  // LUMENFOLD_SCALE
    std::uint32_t width, height;
};
void PrintTo(const LargeShot& shot, std::ostream* out) { *out << shot.name; }

class ScreenshotOnASmallScreen : public testing::TestWithParam<LargeShot> {};

TEST_P(ScreenshotOnASmallScreen, IsTheWholeEditor)
{
    const LargeShot& shot = GetParam();
    PrivateXServer server("1024x768");
    ASSERT_FALSE(server.name().empty());
    const ScopedEnvironmentVariable display("DISPLAY", server.name());
    const ScopedEnvironmentVariable software("LIBGL_ALWAYS_SOFTWARE", std::string("1"));
    const ScopedEnvironmentVariable scale("LUMENFOLD_SCALE", shot.scale);
    const std::string path = testing::TempDir() + "large-" + shot.name + ".png";
    std::vector<std::string> args = {"editor", "--screenshot", path, "--frames", "5"};
    if (shot.zoom) args.insert(args.end(), {"--zoom", *shot.zoom});
    args.push_back(LUMENFOLD_PLUGIN_PATH);
    ToolLimits limits;
    limits.timeoutSeconds = 90;
    const ToolResult result = runTool(LFTEST_HOST_TOOL, args, limits);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(pngSize(path), std::make_pair(shot.width, shot.height)) << result.out;
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(LargerThanTheScreen, ScreenshotOnASmallScreen,
                         testing::Values(LargeShot{"Zoom200", "200", std::nullopt, 2048, 1024},
                                         LargeShot{"ScaleNearFour", std::nullopt, "3.9999", 4096, 2048}),
                         [](const testing::TestParamInfo<LargeShot>& info) { return std::string(info.param.name); });

// The host's side, in the child: the editor open on a server that then goes away.
std::string loseTheServerUnderTheEditor()
{
    PrivateXServer server("1024x768");
    if (server.name().empty()) return "Xvfb did not start";
    setenv("DISPLAY", server.name().c_str(), 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    if (!plugin) return error;
    auto editor = lfhost::EditorHost::open(*plugin, &error);
    if (!editor) return error;
    editor->pumpFor(500);
    server.end();
    if (!editor->pumpUntil([&] { return editor->windowLost(); }, 10000)) return "the host did not see the loss";
    if (!editor->closeRequested()) return "a lost window does not end the host's loop";
    editor->pumpFor(300);  // the editor's idle calls go on meanwhile
    editor.reset();
    plugin.reset();
    return {};
}

TEST(EditorHostServerLoss, TheHostLearnsOfItAndClosesTheEditorCleanly)
{
    const ChildOutcome outcome = runInChild(std::chrono::seconds(60), loseTheServerUnderTheEditor);
    EXPECT_TRUE(outcome.survived()) << outcome.output;
}

}  // namespace
