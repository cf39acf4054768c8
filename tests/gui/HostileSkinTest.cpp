// Skins that loop for ever (also when their state is closed), catch their own stop, do
// not compile, or show an image whose header claims 100000 x 100000 pixels. Each runs in a child process standing in for the
// host, with the script time limit set to 1 s in the test's own preferences: the host
// survives, effEditGetRect and effEditOpen (with and without a display) come back, and a
// failed skin leaves the built-in layout on screen at the built-in size. The time limits
// here only trip on a hang.

#include "UserFolderSandbox.h"
#include "support/ChildProcess.h"
#include "support/PngHeader.h"

#include "platform/PreferenceStore.h"
#include "engine/abi/Vst2Abi.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

namespace {

constexpr auto kHangLimit = std::chrono::seconds(90);
constexpr double kCallLimitSeconds = 20;
constexpr int kDrawTimeoutMs = 20000;

struct HostileSkin {
    const char* name;
    const char* script;
    const char* line;  // expected on standard error
    bool builtIn;      // the editor falls back to the built-in layout
};

const HostileSkin kSkins[] = {
    {"LoopsAtItsTop", "while true do end", "was stopped: ", true},
    {"LoopsInCreateUI", "function getWindowSize() return 1024, 512 end function createUI() while true do end end",
     "was stopped: ", true},
    {"CatchesItsOwnStop", "function getWindowSize() while true do pcall(function() while true do end end) end end",
     "was stopped: ", true},
    // Finalizers run with hooks off: every way to give something one is closed.
    {"LoopsWhenCollected",
     "function getWindowSize() return 1024, 512 end "
     "function getFont() return { { name = 'DejaVuSans.ttf', size = 12 } } end "
     "local function loop() while true do end end "
     "function createUI() "
     "  local l = label('x', 10, 10, 50, 12) local g = group('G') g:add(l) g:setPosition(100, 100) "
     "  pcall(function() getmetatable(l).__gc = loop end) "
     "  pcall(function() getmetatable(io.stdout).__gc = loop end) "
     "  pcall(function() local p = newproxy(true) getmetatable(p).__gc = loop kept = p end) "
     "  pcall(function() debug.getregistry()['QNgui.Element'].__gc = loop end) "
     "  pcall(function() debug.setmetatable(l, { __gc = loop }) end) "
     "end",
     "", false},
    {"DoesNotCompile", "function getWindowSize( return 300 end",
     "made no layout (failed to run buffer: [string \"gui.lua\"]:1: <name> or '...' expected near 'return'); "
     "using the built-in layout",
     true},
    // The host used to be told the skin's size and showed the built-in layout cropped to it.
    {"FailsInCreateUIAtItsOwnSize", "function getWindowSize() return 600, 320 end function createUI() error('no') end",
     "made no layout (createUI: [string \"gui.lua\"]:1: no); using the built-in layout", true},
    {"ShowsAHugeImage",
     "function getWindowSize() return 1024, 512 end "
     "function getFont() return { { name = 'DejaVuSans.ttf', size = 12 } } end "
     "function createUI() "
     "  theKnobRenderer = knobRenderer(texture('huge.png'), texture('huge.png'), 1, 1, 37) "
     "  setBackgroundColour(0.2, 0.6, 0.3) "
     "  local g = group('Huge') g:add(knob('Dry Level', '', 0, 0, 37)) g:setPosition(100, 100) "
     "end",
     "huge.png is not used: 100000 x 100000 pixels is larger than 4096 x 4096", false},
};

// Distinct colours in a coarse sample of the picture.
int distinctColours(const lfhost::Screenshot& shot)
{
    std::set<int> colours;
    for (int y = 0; y < shot.height; y += 4) {
        for (int x = 0; x < shot.width; x += 4) {
            const std::uint8_t* p = shot.pixel(x, y);
            colours.insert(p[0] << 16 | p[1] << 8 | p[2]);
        }
    }
    return static_cast<int>(colours.size());
}

// The built-in layout: many colours, and its first knob lighter than the tile beside it.
bool builtInLayoutShown(const lfhost::Screenshot& shot)
{
    const std::uint8_t* knob = shot.pixel(38, 442);
    const std::uint8_t* tile = shot.pixel(700, 52);
    return distinctColours(shot) > 50 && knob[0] + knob[1] + knob[2] > tile[0] + tile[1] + tile[2] + 60;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What the host does, checked as it goes; an empty text when all held.
std::string actAsHost(const HostileSkin& skin)
{
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    if (!plugin) return error;
    const auto timed = [](const char* call, auto&& run) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const double seconds = secondsSince(start);
        std::printf("%s: %.2f s\n", call, seconds);
        std::fflush(stdout);
        return seconds < kCallLimitSeconds;
    };

    ERect* rect = nullptr;
    VstIntPtr answered = 0;
    if (!timed("effEditGetRect while closed", [&] { answered = plugin->dispatch(effEditGetRect, 0, 0, &rect); }))
        return "effEditGetRect took too long";
    if (answered != 1 || !rect) return "effEditGetRect gave no rectangle";
    if (rect->right != 1024 || rect->bottom != 512) {
        return "effEditGetRect gave " + std::to_string(rect->right) + " x " + std::to_string(rect->bottom);
    }

    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", ":9999", 1);
    if (!timed("effEditOpen without a display", [&] {
            answered = plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{0x200001}));
        }))
        return "effEditOpen without a display took too long";
    setenv("DISPLAY", display.c_str(), 1);
    plugin->dispatch(effEditClose);
    if (answered != 0) return "effEditOpen without a display answered " + std::to_string(answered);

    std::unique_ptr<lfhost::EditorHost> editor;
    if (!timed("effEditGetRect and effEditOpen", [&] { editor = lfhost::EditorHost::open(*plugin, &error); }))
        return "opening took too long";
    if (!editor) return "the editor did not open: " + error;
    const bool drawn = editor->pumpUntil([&] {
        const auto shot = editor->capture();
        return shot && (skin.builtIn ? builtInLayoutShown(*shot) : distinctColours(*shot) > 1);
    }, kDrawTimeoutMs);
    if (!drawn) return skin.builtIn ? "the built-in layout was not drawn" : "nothing was drawn";
    if (!timed("effEditClose", [&] { editor->closeEditor(); })) return "closing took too long";
    return "";
}

class HostileSkinTest : public testing::TestWithParam<HostileSkin> {};

TEST_P(HostileSkinTest, TheHostSurvivesAndGetsControlBack)
{
    const HostileSkin& skin = GetParam();
    UserFolderSandbox folders;
    const auto resources = folders.skinResources(skin.name);
    std::ofstream(resources / "gui.lua") << skin.script;
    const std::vector<std::uint8_t> huge = pngHeaderOnly(100000, 100000);
    std::ofstream(resources / "huge.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(huge.data()), static_cast<std::streamsize>(huge.size()));
    platform::writePreferenceString("Skin", skin.name);
    platform::writePreferenceInt("Script Time Limit", 1);

    const ChildOutcome outcome = runInChild(kHangLimit, [&] { return actAsHost(skin); });
    EXPECT_TRUE(outcome.survived()) << outcome.output;
    EXPECT_NE(outcome.output.find(skin.line), std::string::npos) << outcome.output;
    if (skin.builtIn) {
        EXPECT_NE(outcome.output.find(std::string(skin.name) + "/Contents/Resources/gui.lua)"), std::string::npos)
            << "the line names the skin file: " << outcome.output;
    }
    std::printf("%s", outcome.output.c_str());
}

INSTANTIATE_TEST_SUITE_P(Skins, HostileSkinTest, testing::ValuesIn(kSkins),
                         [](const testing::TestParamInfo<HostileSkin>& info) { return std::string(info.param.name); });

}  // namespace
