// Undo, redo and A/B compare in the open editor: real pointer drags and key presses on a
// private X server, the values read back through the plug-in as a host reads them.

#include "UserFolderSandbox.h"

#include "platform/PreferenceStore.h"
#include "engine/abi/Vst2Abi.h"
#include "engine/model/ParameterTable.h"
#include "tools/host/EditorHost.h"
#include "tools/host/PluginInstance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kTimeoutMs = 20000;
// Places in the built-in layout, window pixels from the top-left (as LayoutEditorTest).
constexpr int kDryKnobX = 248, kDryKnobY = 450;
// The spectrum display with the linear axis: x 30 is bin 10, x 50 bin 20; y 150 is level 1.
constexpr int kBin10X = 30, kBin20X = 50, kLevelOneY = 150, kLevelZeroY = 500;

class EditHistoryEditor : public testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
        ASSERT_TRUE(plugin) << error;
        plugin->setParameter(ParameterId::ViewXAxis, 1.0f);  // linear axis
        for (int bin = 5; bin <= 25; ++bin) plugin->setParameter(kBinLevelBase + bin, 0.5f);
        dryBefore = plugin->getParameter(ParameterId::DryLevel);
        editor = lfhost::EditorHost::open(*plugin, &error);
        ASSERT_TRUE(editor) << error;
        ASSERT_TRUE(editor->pumpUntil([&] { return picture(); }, kTimeoutMs));
    }
    bool picture()
    {
        const auto shot = editor->capture();
        return shot && shot->pixel(kDryKnobX, kDryKnobY)[0] != shot->pixel(5, 5)[0];
    }
    void drag(int fromX, int fromY, int toX, int toY) { editor->drag(fromX, fromY, toX, toY); }
    // Ctrl (and maybe Shift) held while key is typed.
    void controlKey(const std::string& key, bool shift = false)
    {
        editor->pressKey("Control_L");
        if (shift) editor->pressKey("Shift_L");
        editor->typeKeys({key});
        if (shift) editor->releaseKey("Shift_L");
        editor->releaseKey("Control_L");
        editor->pumpFor(60);
    }
    bool waitForValue(int index, float normalized)
    {
        return editor->pumpUntil([&] { return std::fabs(plugin->getParameter(index) - normalized) < 1e-4f; },
                                 kTimeoutMs);
    }

    UserFolderSandbox folders;
    std::unique_ptr<lfhost::PluginInstance> plugin;
    std::unique_ptr<lfhost::EditorHost> editor;
    float dryBefore = 0.0f;
};

TEST_F(EditHistoryEditor, AKnobDragAndADrawnStrokeAreUndoneAndRedoneInOrderFromTheKeyboard)
{
    drag(kDryKnobX, kDryKnobY, kDryKnobX, kDryKnobY - 200);
    ASSERT_TRUE(waitForValue(ParameterId::DryLevel, 1.0f));
    drag(kBin10X, kLevelOneY, kBin20X, kLevelZeroY);
    ASSERT_TRUE(waitForValue(kBinLevelBase + 10, 1.0f));

    struct Step {
        const char* key;
        bool shift;
        int index;
        float expected;
        bool automated;
    };
    // Undo the stroke, then the drag; redo both with the two redo keys.
    for (const Step& s :
         {Step{"z", false, kBinLevelBase + 10, 0.5f, false}, Step{"z", false, ParameterId::DryLevel, dryBefore, true},
          Step{"y", false, ParameterId::DryLevel, 1.0f, true}, Step{"z", true, kBinLevelBase + 10, 1.0f, false}}) {
        plugin->clearCalls();
        controlKey(s.key, s.shift);
        EXPECT_TRUE(waitForValue(s.index, s.expected))
            << "Ctrl+" << (s.shift ? "Shift+" : "") << s.key << ": " << plugin->getParameter(s.index);
        // The history sets values as the edit did: a knob's as automation the host hears,
        // a drawn stroke's quietly (a stroke over many bins is no burst of automation).
        EXPECT_EQ(plugin->countCalls(audioMasterAutomate) > 0, s.automated) << s.key;
    }
    EXPECT_FLOAT_EQ(plugin->getParameter(kBinLevelBase + 20), 0.0f);
    EXPECT_FLOAT_EQ(plugin->getParameter(ParameterId::DryLevel), 1.0f);
}

TEST_F(EditHistoryEditor, CtrlBSwitchesBetweenTwoSettingsAndCtrlShiftBCopiesAToB)
{
    drag(kDryKnobX, kDryKnobY, kDryKnobX, kDryKnobY - 200);
    ASSERT_TRUE(waitForValue(ParameterId::DryLevel, 1.0f));
    controlKey("b");  // to B, still the setting the editor opened with
    EXPECT_TRUE(waitForValue(ParameterId::DryLevel, dryBefore));
    controlKey("b");  // back to A, with the drag
    EXPECT_TRUE(waitForValue(ParameterId::DryLevel, 1.0f));
    controlKey("b", true);  // A to B
    controlKey("b");
    editor->pumpFor(120);
    EXPECT_FLOAT_EQ(plugin->getParameter(ParameterId::DryLevel), 1.0f);
}

// A skin of the preset menu alone (as PresetMenuTest): the menu, and the panel's rows under it.
constexpr const char* kPresetSkin = R"(
function getWindowSize() return 400, 320 end
function getFont() return { { name = "DejaVuSans.ttf", size = 12 } } end
function createUI()
    setBackgroundColour(0.1, 0.1, 0.15)
    add(presetMenu(10, 290, 200, 20))
end
)";
constexpr int kMenuX = 100, kMenuY = 20;
constexpr int kRowX = 140, kFirstRowY = 44, kRowStep = 16;

TEST(EditHistoryPresets, APresetChosenInThePanelIsOneStepUndoneAndRedone)
{
    constexpr int kPreset = 5;  // with no user presets the rows are the programs in order
    UserFolderSandbox folders;
    std::ofstream(folders.skinResources("Presets") / "gui.lua") << kPresetSkin;
    platform::writePreferenceString("Skin", "Presets");
    std::string error;
    auto plugin = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    auto reference = lfhost::PluginInstance::create(LUMENFOLD_PLUGIN_PATH, &error);
    ASSERT_TRUE(plugin && reference) << error;
    auto values = [](lfhost::PluginInstance& instance) {
        std::vector<float> all;
        for (int id = 0; id < kParameterCount; ++id) all.push_back(instance.getParameter(id));
        return all;
    };
    const std::vector<float> before = values(*plugin);
    reference->dispatch(effSetProgram, 0, kPreset);
    const std::vector<float> preset = values(*reference);
    ASSERT_NE(before, preset);

    auto editor = lfhost::EditorHost::open(*plugin, &error);
    ASSERT_TRUE(editor) << error;
    ASSERT_TRUE(editor->pumpUntil([&] { return editor->capture()->pixel(kMenuX, kMenuY)[0] > 150; }, kTimeoutMs));
    const auto click = [&](int x, int y) {
        editor->click(x, y);
        editor->pumpFor(90);  // the menu redraws after a load
    };
    click(kMenuX, kMenuY);
    click(kRowX, kFirstRowY + kPreset * kRowStep);
    ASSERT_TRUE(editor->pumpUntil([&] { return values(*plugin) == preset; }, kTimeoutMs));
    editor->typeKeys({"Escape"});  // the history keys wait while the panel is open
    editor->pumpFor(100);
    for (const char* key : {"z", "y"}) {
        editor->pressKey("Control_L");
        editor->typeKeys({key});
        editor->releaseKey("Control_L");
        const std::vector<float>& expected = key[0] == 'z' ? before : preset;
        EXPECT_TRUE(editor->pumpUntil([&] { return values(*plugin) == expected; }, kTimeoutMs)) << "Ctrl+" << key;
    }
}

}  // namespace
