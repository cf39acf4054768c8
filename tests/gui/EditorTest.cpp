// The plug-in's editor opened through its real ABI in a host window, on a private X
// server with software GL.

#include "editor/toolkit/PluginConnection.h"
#include "platform/EditorWindow.h"
#include "engine/model/ParameterTable.h"
#include "engine/abi/Vst2Abi.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>
#include <set>

namespace {

constexpr int kTimeoutMs = 20000;
// Where the built-in layout puts its first knob ("Input Gain") and its banner, in
// window pixels from the top-left, and a spot where only the background tile shows.
constexpr int kFirstKnobX = 38, kFirstKnobY = 450;
constexpr int kBannerRowY = 16;
constexpr int kTileX = 700, kTileY = 52;

std::unique_ptr<lfhost::PluginInstance> loadPlugin()
{
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    EXPECT_TRUE(plugin) << error;
    return plugin;
}

std::unique_ptr<lfhost::EditorHost> openEditor(lfhost::PluginInstance& plugin, int screenY = 0)
{
    std::string error;
    auto editor = lfhost::EditorHost::open(plugin, &error, 0, screenY);
    EXPECT_TRUE(editor) << error;
    return editor;
}

// Distinct colours in a coarse sample of the picture: a blank window has one.
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

bool waitForPicture(lfhost::EditorHost& editor)
{
    return editor.pumpUntil([&] {
        const auto shot = editor.capture();
        return shot && distinctColours(*shot) > 50;
    }, kTimeoutMs);
}

// Summed brightness of the banner's text row, right half (where the read-out goes).
long readoutInk(const lfhost::Screenshot& shot)
{
    long ink = 0;
    for (int y = kBannerRowY - 10; y <= kBannerRowY + 6; ++y) {
        for (int x = shot.width / 2; x < shot.width - 30; ++x) {
            const std::uint8_t* p = shot.pixel(x, y);
            ink += p[0] + p[1] + p[2];
        }
    }
    return ink;
}

TEST(Editor, ReportsTheBuiltInSizeBeforeTheFirstOpen)
{
    auto plugin = loadPlugin();
    ERect* rect = nullptr;
    ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 512);
    EXPECT_EQ(rect->right, 1024);
}

TEST(Editor, DrawsBackgroundBannerAndKnobsWithinAFewFrames)
{
    auto plugin = loadPlugin();
    auto editor = openEditor(*plugin);
    ASSERT_TRUE(editor);
    ASSERT_TRUE(waitForPicture(*editor));
    const auto shot = editor->capture();
    ASSERT_TRUE(shot);
    // The banner strip is lighter than the tile below it.
    const std::uint8_t* banner = shot->pixel(30, kBannerRowY);
    const std::uint8_t* tile = shot->pixel(kTileX, kTileY);
    EXPECT_GT(banner[0] + banner[1] + banner[2], tile[0] + tile[1] + tile[2]);
    // The knob is lighter still.
    const std::uint8_t* knob = shot->pixel(kFirstKnobX, kFirstKnobY - 8);
    EXPECT_GT(knob[0] + knob[1] + knob[2], tile[0] + tile[1] + tile[2] + 60);
}

TEST(Editor, OpensClosesAndOpensAgain)
{
    auto plugin = loadPlugin();
    for (int round = 0; round < 2; ++round) {
        auto editor = openEditor(*plugin);
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->childWindowCount(), 1);
        EXPECT_TRUE(waitForPicture(*editor)) << "round " << round;
        editor->closeEditor();
        EXPECT_EQ(editor->childWindowCount(), 0) << "round " << round;
    }
}

TEST(Editor, TwoInstancesOpenAtOnceAndBothClose)
{
    auto first = loadPlugin();
    auto second = loadPlugin();
    auto firstEditor = openEditor(*first);
    auto secondEditor = openEditor(*second, 512);  // below the first
    ASSERT_TRUE(firstEditor && secondEditor);
    EXPECT_TRUE(waitForPicture(*firstEditor));
    EXPECT_TRUE(waitForPicture(*secondEditor));
    firstEditor->closeEditor();
    EXPECT_EQ(firstEditor->childWindowCount(), 0);
    EXPECT_TRUE(waitForPicture(*secondEditor));  // still drawing
    secondEditor->closeEditor();
    EXPECT_EQ(secondEditor->childWindowCount(), 0);
}

void expectReadoutOnHover()
{
    auto plugin = loadPlugin();
    auto editor = openEditor(*plugin);
    ASSERT_TRUE(editor);
    editor->movePointer(kTileX, kTileY);
    ASSERT_TRUE(waitForPicture(*editor));
    const long before = readoutInk(*editor->capture());
    editor->movePointer(kFirstKnobX, kFirstKnobY);
    EXPECT_TRUE(editor->pumpUntil([&] { return readoutInk(*editor->capture()) > before + 20000; }, kTimeoutMs));
}

TEST(Editor, HoveringAKnobShowsItsReadoutInTheBanner)
{
    expectReadoutOnHover();
}

// A system without the font configuration library: the editor draws with its built-in font.
TEST(Editor, WithoutFontConfigTheReadoutIsStillDrawn)
{
    struct SwitchedOff {
        SwitchedOff() { setenv("LUMENFOLD_WITHOUT_FONTCONFIG", "1", 1); }
        ~SwitchedOff() { unsetenv("LUMENFOLD_WITHOUT_FONTCONFIG"); }
    } switchedOff;
    expectReadoutOnHover();
}

TEST(Editor, PressThenReleaseOutsideTheWindowStillEndsTheEdit)
{
    auto plugin = loadPlugin();
    auto editor = openEditor(*plugin);
    ASSERT_TRUE(editor);
    ASSERT_TRUE(waitForPicture(*editor));
    editor->movePointer(kFirstKnobX, kFirstKnobY);
    editor->pumpFor(100);
    editor->pressButton();
    ASSERT_TRUE(editor->pumpUntil([&] { return plugin->countCalls(audioMasterBeginEdit) > 0; }, kTimeoutMs));
    editor->movePointer(kFirstKnobX, editor->height() + 150);  // below the window
    editor->releaseButton();
    ASSERT_TRUE(editor->pumpUntil([&] { return plugin->countCalls(audioMasterEndEdit) > 0; }, kTimeoutMs));
    bool endedInputGain = false;
    for (const auto& call : plugin->calls()) {
        if (call.opcode == audioMasterEndEdit && call.index == ParameterId::InputGain) endedInputGain = true;
    }
    EXPECT_TRUE(endedInputGain);
    EXPECT_GT(plugin->countCalls(audioMasterUpdateDisplay), 0);
    // The drag moved the pointer down: the knob turned the gain down and told the host.
    EXPECT_GT(plugin->countCalls(audioMasterAutomate), 0);
}

TEST(Editor, HostAutomationReachesTheKnobOnIdle)
{
    auto plugin = loadPlugin();
    auto editor = openEditor(*plugin);
    ASSERT_TRUE(editor);
    ASSERT_TRUE(waitForPicture(*editor));
    const auto knobPixels = [&] {
        const auto shot = editor->capture();
        std::vector<int> sum;
        for (int y = kFirstKnobY - 20; y < kFirstKnobY + 20; ++y) {
            for (int x = kFirstKnobX - 20; x < kFirstKnobX + 20; ++x) sum.push_back(shot->pixel(x, y)[0]);
        }
        return sum;
    };
    const auto before = knobPixels();
    std::thread automation([&] { plugin->setParameter(ParameterId::InputGain, 1.0f); });
    automation.join();
    EXPECT_TRUE(editor->pumpUntil([&] { return knobPixels() != before; }, kTimeoutMs));
}

TEST(Editor, OpenWithoutADisplayFailsWithoutCrashing)
{
    auto plugin = loadPlugin();
    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", ":9999", 1);
    testing::internal::CaptureStderr();
    const VstIntPtr opened = plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{0x200001}));
    const std::string err = testing::internal::GetCapturedStderr();
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(err.rfind("Error: ", 0), 0u) << err;
    EXPECT_EQ(plugin->dispatch(effEditIdle), 0);
    plugin->dispatch(effEditClose);
}

TEST(Editor, OpenWithABogusParentWindowFailsWithoutCrashing)
{
    auto plugin = loadPlugin();
    testing::internal::CaptureStderr();
    const VstIntPtr opened = plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{0x7ffff1}));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(opened, 0);
    EXPECT_NE(err.find("Error: "), std::string::npos);
}

TEST(EditorWindow, CountsOpenWindowsAcrossEditorsBackToZero)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 200, 0, 0, 0);
    XSync(display, False);
    EXPECT_EQ(platform::EditorWindow::openCount(), 0);
    {
        platform::EditorWindow first, second;
        std::string error;
        ASSERT_TRUE(first.open(parent, 300, 200, &error)) << error;
        ASSERT_TRUE(second.open(parent, 300, 200, &error)) << error;
        EXPECT_EQ(platform::EditorWindow::openCount(), 2);
        first.close();
        EXPECT_EQ(platform::EditorWindow::openCount(), 1);
    }
    EXPECT_EQ(platform::EditorWindow::openCount(), 0);
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}

}  // namespace
