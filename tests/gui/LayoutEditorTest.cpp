// The built-in layout and skins, driven through the plug-in's real ABI with synthetic
// pointer and key events on a private X server.

#include "AudioFeeder.h"
#include "UserFolderSandbox.h"
#include "osc/UdpTestPeer.h"

#include "platform/PreferenceStore.h"
#include "engine/model/ParameterTable.h"
#include "engine/abi/Vst2Abi.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {

constexpr int kTimeoutMs = 20000;

// Places in the built-in layout, window pixels from the top-left.
constexpr int kDryKnobX = 248, kDryKnobY = 450;
constexpr int kInputKnobX = 38, kInputKnobY = 450;
constexpr int kInputFieldX = 38, kInputFieldY = 476;
constexpr int kFftSizeX = 93, kFftSizeY = 476;
constexpr int kFftSizeLastItemY = 500;  // the menu's bottom item, "4096"
constexpr int kPrefsX = 55, kAllZeroX = 135, kButtonRowY = 52;
constexpr int kPortFieldX = 530, kPortFieldY = 280;
constexpr int kOkX = 512, kOkY = 424;
// The spectrum display with the linear axis and 513 bins: x 30 is bin 10, x 50 bin 20;
// y 150 lies in the upper half (level 1), y 500 below the display (level 0).
constexpr int kBin10X = 30, kBin20X = 50, kLevelOneY = 150, kLevelZeroY = 500;

class LayoutEditor : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
        ASSERT_TRUE(plugin) << error;
    }
    void open()
    {
        std::string error;
        editor = lfhost::EditorHost::open(*plugin, &error);
        ASSERT_TRUE(editor) << error;
        ASSERT_TRUE(editor->pumpUntil([&] { return !blank(); }, kTimeoutMs));
    }
    bool blank()
    {
        const auto shot = editor->capture();
        return !shot || shot->pixel(kDryKnobX, kDryKnobY)[0] == shot->pixel(5, 5)[0];
    }
    void click(int x, int y) { editor->click(x, y); }
    void drag(int fromX, int fromY, int toX, int toY) { editor->drag(fromX, fromY, toX, toY); }
    bool waitForValue(int index, float normalized)
    {
        return editor->pumpUntil([&] { return std::fabs(plugin->getParameter(index) - normalized) < 1e-4f; },
                                 kTimeoutMs);
    }

    UserFolderSandbox folders;
    std::unique_ptr<lfhost::PluginInstance> plugin;
    std::unique_ptr<lfhost::EditorHost> editor;
};

TEST_F(LayoutEditor, DraggingAKnob200PixelsUpFromZeroReachesOneWithOneEditGesture)
{
    open();
    plugin->clearCalls();
    drag(kDryKnobX, kDryKnobY, kDryKnobX, kDryKnobY - 200);
    EXPECT_TRUE(waitForValue(ParameterId::DryLevel, 1.0f));
    EXPECT_TRUE(plugin->waitForCall(audioMasterEndEdit, ParameterId::DryLevel, kTimeoutMs));
    EXPECT_EQ(plugin->countCalls(audioMasterBeginEdit), 1);
    EXPECT_GT(plugin->countCalls(audioMasterAutomate), 0);
    EXPECT_EQ(plugin->countCalls(audioMasterEndEdit), 1);
}

TEST_F(LayoutEditor, ShiftDragMovesAKnobATenthAsFar)
{
    open();
    editor->pressKey("Shift_L");
    drag(kDryKnobX, kDryKnobY, kDryKnobX, kDryKnobY - 200);
    editor->releaseKey("Shift_L");
    EXPECT_TRUE(waitForValue(ParameterId::DryLevel, 0.1f)) << plugin->getParameter(ParameterId::DryLevel);
}

TEST_F(LayoutEditor, AltClickRestoresAKnobsDefault)
{
    plugin->setParameter(ParameterId::InputGain, 0.1f);
    open();
    editor->pressKey("Alt_L");
    click(kInputKnobX, kInputKnobY);
    editor->releaseKey("Alt_L");
    EXPECT_TRUE(waitForValue(ParameterId::InputGain, plainToNormalized(ParameterId::InputGain, 0.0f)));
}

TEST_F(LayoutEditor, TheFftSizeDropDownSelectsTheItemReleasedOn)
{
    open();
    drag(kFftSizeX, kFftSizeY, kFftSizeX, kFftSizeLastItemY);
    EXPECT_TRUE(waitForValue(ParameterId::FftSize, 1.0f));
}

TEST_F(LayoutEditor, TypingANumberAndEnterIntoATextFieldSetsIt)
{
    open();
    click(kInputFieldX, kInputFieldY);
    editor->typeKeys({"minus", "1", "period", "5", "Return"});
    EXPECT_TRUE(waitForValue(ParameterId::InputGain, plainToNormalized(ParameterId::InputGain, -1.5f)));
}

TEST_F(LayoutEditor, TypedValuesOutsideTheRangeAreClampedAndShownAsStored)
{
    open();
    const struct {
        std::vector<std::string> keys;
        float normalized;
        const char* shown;
    } cases[] = {
        {{"minus", "1", "0", "0", "0", "Return"}, 0.0f, "-inf"},
        {{"9", "9", "Return"}, 1.0f, "36.00"},
    };
    for (const auto& c : cases) {
        plugin->clearCalls();
        click(kInputFieldX, kInputFieldY);
        editor->typeKeys(c.keys);
        EXPECT_TRUE(waitForValue(ParameterId::InputGain, c.normalized)) << c.shown;
        EXPECT_EQ(plugin->parameterDisplay(ParameterId::InputGain), c.shown);
        for (const auto& call : plugin->calls()) {
            if (call.opcode == audioMasterAutomate) {
                EXPECT_EQ(call.opt, c.normalized) << "the host hears the stored value";
            }
        }
    }
}

TEST_F(LayoutEditor, DrawingAcrossTheSpectrumSetsTheBinsAlongALineWithOneEditGesture)
{
    plugin->setParameter(ParameterId::ViewXAxis, 1.0f);  // linear axis
    for (int bin = 5; bin <= 25; ++bin) plugin->setParameter(kBinLevelBase + bin, 0.5f);
    open();
    plugin->clearCalls();
    drag(kBin10X, kLevelOneY, kBin20X, kLevelZeroY);
    ASSERT_TRUE(plugin->waitForCall(audioMasterEndEdit, lfhost::HostCallLog::kAnyIndex, kTimeoutMs));
    for (int bin = 10; bin <= 20; ++bin) {
        EXPECT_NEAR(plugin->getParameter(kBinLevelBase + bin), 1.0f - 0.1f * static_cast<float>(bin - 10), 1e-5f)
            << "bin " << bin;
    }
    EXPECT_FLOAT_EQ(plugin->getParameter(kBinLevelBase + 9), 0.5f);
    EXPECT_FLOAT_EQ(plugin->getParameter(kBinLevelBase + 21), 0.5f);
    EXPECT_EQ(plugin->countCalls(audioMasterBeginEdit), 1);
    EXPECT_EQ(plugin->countCalls(audioMasterEndEdit), 1);
    EXPECT_EQ(plugin->countCalls(audioMasterAutomate), 0);
}

TEST_F(LayoutEditor, TheAllZeroButtonSetsEveryBinLevelToZeroWithoutTellingTheHost)
{
    open();
    plugin->clearCalls();
    click(kAllZeroX, kButtonRowY);
    EXPECT_TRUE(waitForValue(kBinLevelBase, 0.0f));
    EXPECT_TRUE(waitForValue(kBinLevelBase + 2048, 0.0f));
    EXPECT_EQ(plugin->countCalls(audioMasterAutomate), 0);
}

TEST_F(LayoutEditor, ThePreferencesPanelChangesTheBasePortAndMovesTheServer)
{
    constexpr int kOffset = 3;
    // Two free ports; the bases are typed into the panel, so both have five digits.
    const int oldBase = UdpTestPeer::freePort() - kOffset;
    int newBase = oldBase;
    while (newBase == oldBase) newBase = UdpTestPeer::freePort() - kOffset;
    platform::writePreferenceInt("OSC Base Port", oldBase);
    plugin = nullptr;
    std::string error;
    plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);  // reads the base port
    ASSERT_TRUE(plugin) << error;
    plugin->setParameter(ParameterId::OscPortOffset, kOffset / 100.0f);
    UdpTestPeer peer;
    ASSERT_NE(peer.pingUntilAnswered(oldBase + kOffset), "(nothing)");
    open();
    click(kPrefsX, kButtonRowY);
    click(kPortFieldX, kPortFieldY);
    std::vector<std::string> keys(5, "BackSpace");
    for (char digit : std::to_string(newBase)) keys.emplace_back(1, digit);
    editor->typeKeys(keys);
    click(kOkX, kOkY);
    EXPECT_TRUE(editor->pumpUntil([&] { return peer.pingUntilAnswered(newBase + kOffset, 50) != "(nothing)"; },
                                  kTimeoutMs));
    EXPECT_TRUE(UdpTestPeer::closedWithin(oldBase + kOffset, kTimeoutMs));
    EXPECT_EQ(platform::readPreferenceInt("OSC Base Port", 0), newBase);
}

TEST_F(LayoutEditor, EscapeClosesThePreferencesPanelWithoutChangingThePort)
{
    open();
    click(kPrefsX, kButtonRowY);
    editor->typeKeys({"BackSpace", "9", "Escape"});
    editor->pumpFor(100);
    EXPECT_EQ(platform::readPreferenceInt("OSC Base Port", 7000), 7000);
    // With the panel gone the knobs take the pointer again.
    drag(kDryKnobX, kDryKnobY, kDryKnobX, kDryKnobY - 200);
    EXPECT_TRUE(waitForValue(ParameterId::DryLevel, 1.0f));
}

// The web address used to run past its button and the panel's edge.
TEST_F(LayoutEditor, TheWebAddressStaysInsideItsButton)
{
    // The button's row and the panel's edges, window pixels from the top-left.
    constexpr int kPanelLeftX = 364, kButtonLeftX = 374, kButtonRightX = 650, kPanelRightX = 660;
    constexpr int kButtonTopY = 150, kButtonBottomY = 170;
    open();
    click(kPrefsX, kButtonRowY);
    editor->pumpFor(200);
    const auto shot = editor->capture();
    ASSERT_TRUE(shot);
    EXPECT_TRUE(shot->savePng(std::string(LUMENFOLD_ARTIFACT_DIR) + "/editor-preferences.png"));
    int inside = 0, outside = 0;
    for (int y = kButtonTopY; y < kButtonBottomY; ++y) {
        for (int x = kPanelLeftX; x < kPanelRightX; ++x) {
            const bool text = shot->pixel(x, y)[0] > 150;
            (x < kButtonLeftX || x > kButtonRightX ? outside : inside) += text;
        }
    }
    EXPECT_GT(inside, 0) << "the address is drawn in its button";
    EXPECT_EQ(outside, 0) << "text beside the button";
}

void copySkin(const std::filesystem::path& to)
{
    const std::filesystem::path from = std::filesystem::path(LUMENFOLD_SOURCE_DIR) / "examples/skins/Compact/Contents/Resources";
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
        std::filesystem::copy_file(entry.path(), to / entry.path().filename(),
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

TEST_F(LayoutEditor, ASkinFromTheUserDataFolderReplacesTheLayout)
{
    copySkin(folders.skinResources("Compact"));
    platform::writePreferenceString("Skin", "Compact");
    std::string error;
    editor = lfhost::EditorHost::open(*plugin, &error);
    ASSERT_TRUE(editor) << error;
    EXPECT_EQ(editor->width(), 640);
    EXPECT_EQ(editor->height(), 360);
    // The skin's "Dry" knob turns the dry level like the built-in one.
    editor->pumpFor(300);
    drag(86, 298, 86, 98);
    EXPECT_TRUE(waitForValue(ParameterId::DryLevel, 1.0f));
}

TEST_F(LayoutEditor, ASkinWithBrokenTexturesAndAFailingLayoutStillOpens)
{
    const auto skin = folders.skinResources("Broken");
    std::ofstream(skin / "garbage.png") << "not an image";
    std::ofstream(skin / "gui.lua") << R"(
        function getWindowSize() return 300, 300 end
        function createUI()
            theKnobRenderer = knobRenderer(texture("garbage.png"), texture("missing.png"), 1, 1, 37)
            add(knob("Dry Level", "", 20, 20, 37))
            add(knob("No Such Parameter", "", 80, 20, 37))
            add(knob("Wet Level", "", 140, 20, 37))
        end)";
    platform::writePreferenceString("Skin", "Broken");
    std::string error;
    editor = lfhost::EditorHost::open(*plugin, &error);
    ASSERT_TRUE(editor) << error;
    EXPECT_EQ(editor->width(), 300);
    editor->pumpFor(300);
    // The knob made before the error works; the one after it was never made.
    drag(38, 261, 38, 61);
    EXPECT_TRUE(waitForValue(ParameterId::DryLevel, 1.0f));
    plugin->clearCalls();
    drag(158, 261, 158, 61);
    EXPECT_EQ(plugin->countCalls(audioMasterBeginEdit), 0);
}

// Brightness in the upper half of the spectrum display, where the analysis bars rise.
long spectrumInk(const lfhost::Screenshot& shot)
{
    long ink = 0;
    for (int y = 80; y < 230; y += 2) {
        for (int x = 20; x < 1000; x += 2) ink += shot.pixel(x, y)[0] + shot.pixel(x, y)[2];
    }
    return ink;
}

TEST_F(LayoutEditor, WithAudioPlayingTheDisplayShowsSpectraAndMetersAndIsSavedAsAPicture)
{
    // A few bins drawn down so the sliders show a shape too.
    for (int bin = 0; bin < 2049; ++bin) {
        plugin->setParameter(kBinLevelBase + bin, 0.55f + 0.4f * std::cos(static_cast<float>(bin) / 40.0f));
    }
    open();
    const long silent = spectrumInk(*editor->capture());
    AudioFeeder audio(*plugin);
    editor->movePointer(600, 200);
    EXPECT_TRUE(editor->pumpUntil([&] { return spectrumInk(*editor->capture()) > silent * 2 + 100000; }, kTimeoutMs));
    editor->pumpFor(1500);
    const auto shot = editor->capture();
    ASSERT_TRUE(shot);
    const auto* meter = shot->pixel(188, 500);  // bottom of the first input meter
    EXPECT_GT(meter[1], 100) << "the input meter shows no level";
    EXPECT_GT(shot->pixel(204, 500)[1], 100) << "the output meter shows no level";
    EXPECT_TRUE(shot->savePng(std::string(LUMENFOLD_ARTIFACT_DIR) + "/editor-default-layout.png"));
}

// Bright label pixels in a box given in layout pixels from the window's top-left.
int labelInk(const lfhost::Screenshot& shot, int scale, int left, int top, int right, int bottom)
{
    int ink = 0;
    for (int y = top * scale; y < bottom * scale; ++y) {
        for (int x = left * scale; x < right * scale; ++x) {
            const auto* p = shot.pixel(x, y);
            if (p[0] > 150 && p[1] > 150 && p[2] > 150) ++ink;
        }
    }
    return ink;
}

class ScaledLayoutEditor : public LayoutEditor, public testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        setenv("LUMENFOLD_SCALE", std::to_string(GetParam()).c_str(), 1);
        LayoutEditor::SetUp();
    }
    void TearDown() override { unsetenv("LUMENFOLD_SCALE"); }
};

TEST_P(ScaledLayoutEditor, TheDefaultLayoutScalesWithItsGridLabelsAndIsSavedAsAPicture)
{
    const int scale = GetParam();
    open();
    EXPECT_EQ(editor->width(), 1024 * scale);
    EXPECT_EQ(editor->height(), 512 * scale);
    AudioFeeder audio(*plugin);
    editor->pumpFor(1500);
    const auto shot = editor->capture();
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->width, 1024 * scale);
    // The frequency labels run along the display's top edge ("20 Hz" and "1k"), the
    // level labels down its left edge ("-100 dB") and the bin levels' scale down its
    // right edge ("x0.5"); the banner's left end, away from its version text, has none.
    EXPECT_GT(labelInk(*shot, scale, 94, 74, 130, 88), 10 * scale * scale) << "20 Hz";
    EXPECT_GT(labelInk(*shot, scale, 590, 74, 626, 88), 5 * scale * scale) << "1k";
    EXPECT_GT(labelInk(*shot, scale, 12, 163, 56, 177), 10 * scale * scale) << "-100 dB";
    EXPECT_GT(labelInk(*shot, scale, 970, 311, 1004, 325), 5 * scale * scale) << "x0.5";
    EXPECT_EQ(labelInk(*shot, scale, 200, 160, 260, 174), 0) << "nothing bright inside the bars";
    EXPECT_TRUE(shot->savePng(std::string(LUMENFOLD_ARTIFACT_DIR) + "/editor-default-layout-" +
                              std::to_string(scale * 100) + ".png"));
}

INSTANTIATE_TEST_SUITE_P(AtZoom, ScaledLayoutEditor, testing::Values(1, 2),
                         [](const testing::TestParamInfo<int>& info) { return std::to_string(info.param * 100); });

}  // namespace
