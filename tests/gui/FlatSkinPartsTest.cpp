// What the "Flat" skin is made of, without a window: the skins the preferences panel
// offers (the built-in layout, the skins installed with the plug-in, then the user's, each
// marked so that the user sees which is which), the meters' dB scale and where a knob
// drawn as shapes points.

#include "FakePluginConnection.h"
#include "UserFolderSandbox.h"

#include "editor/product/PluginLuaGui.h"
#include "editor/product/PreferencesPanel.h"
#include "editor/product/TKmanager.h"
#include "editor/toolkit/PembKnob.h"
#include "editor/toolkit/PendingParameterChanges.h"
#include "editor/toolkit/VectorKnobRenderer.h"
#include "editor/toolkit/VectorMeters.h"
#include "engine/model/DisplayBlock.h"
#include "platform/PreferenceStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

using Choice = PreferencesPanel::SkinChoice;

// A layout built without a window from the skin the "Skin" preference names.
class SkinLayout : public testing::Test {
protected:
    SkinLayout() { plugin.display = &block; }
    void build(const std::string& skin)
    {
        platform::writePreferenceString("Skin", skin);
        builder = std::make_unique<PluginLuaGui>(plugin, [] {});
        builder->buildUI(manager);
    }
    std::string global(const char* name)
    {
        lua_State* L = builder->luaState();
        lua_getglobal(L, name);
        const char* text = lua_tostring(L, -1);
        std::string result = text ? text : "nil";
        lua_pop(L, 1);
        return result;
    }
    int knobs()
    {
        int n = 0;
        for (const auto& element : manager.elements()) n += dynamic_cast<QN::PembKnob*>(element.get()) != nullptr;
        return n;
    }

    UserFolderSandbox folders;
    DisplayBlock block;
    FakePluginConnection plugin;
    QN::PendingParameterChanges pending{kParameterCount};
    TKmanager manager{plugin, pending};
    std::unique_ptr<PluginLuaGui> builder;
};

TEST_F(SkinLayout, FlatComesFromThePluginItselfAndMakesEveryKnob)
{
    build("Flat");
    EXPECT_TRUE(builder->isSkin());
    EXPECT_TRUE(builder->skinFolder().empty());
    EXPECT_FALSE(builder->skinFailed());
    EXPECT_EQ(knobs(), 14);  // as many as the built-in layout
}

TEST_F(SkinLayout, VectorMetersRefuseScalesOutsideTheirRanges)
{
    std::ofstream(folders.skinResources("Test") / "gui.lua") << R"(
        local function try(f, ...) local ok, message = pcall(f, ...) return ok and "made" or message end
        function createUI()
            theKnobRenderer = vectorKnobRenderer(2, -1, 0/0)
            add(knob("Dry Level", "", 0, 0, 37))
            good = try(vectorMeters, 6, 80, -48, 6)
            noHeight = try(vectorMeters, 6)
            nanWidth = try(vectorMeters, 0/0, 80)
            deepFloor = try(vectorMeters, 6, 80, -200)
            zeroStep = try(vectorMeters, 6, 80, -60, 0)
        end)";
    build("Test");
    EXPECT_EQ(global("good"), "made");
    for (const char* bad : {"noHeight", "nanWidth", "deepFloor", "zeroStep"}) {
        EXPECT_NE(global(bad), "made") << bad;
        EXPECT_NE(global(bad).find("meter"), std::string::npos) << global(bad);
    }
    EXPECT_EQ(knobs(), 1);
}

TEST(SkinChoices, InstalledSkinsComeFirstAndAUserFolderCannotShadowThem)
{
    UserFolderSandbox folders;
    for (const char* name : {"Compact", "Flat", "Aqua"}) {
        std::ofstream(folders.skinResources(name) / "gui.lua") << "function createUI() end\n";
    }
    (void)folders.skinResources("NoScript");  // a folder without gui.lua is no skin
    const std::vector<Choice> expected{{"", true}, {"Flat", true}, {"Aqua", false}, {"Compact", false}};
    EXPECT_EQ(PreferencesPanel::skinChoices(), expected);
    EXPECT_EQ(PreferencesPanel::describe({"", true}), "Standard (installed)");
    EXPECT_EQ(PreferencesPanel::describe({"Flat", true}), "Flat (installed)");
    EXPECT_EQ(PreferencesPanel::describe({"Compact", false}), "Compact (yours)");
}

TEST(VectorMeters, BarsAndMarksFollowTheDecibelScale)
{
    const QN::VectorMeters meters(6, 60, -60.0f, 6.0f);
    const struct {
        float level;
        float height;
    } cases[] = {{1.0f, 60.0f}, {0.1f, 40.0f}, {0.001f, 0.0f}, {4.0f, 60.0f},
                 {0.0f, 0.0f}, {-1.0f, 0.0f}, {std::nanf(""), 0.0f}};
    for (const auto& c : cases) EXPECT_NEAR(meters.barHeight(c.level), c.height, 1e-3f) << c.level;
    const std::vector<float> marks = meters.markHeights();
    ASSERT_EQ(marks.size(), 10u);  // 0 dB down to -54 dB; the floor itself is the foot
    EXPECT_FLOAT_EQ(marks.front(), 60.0f);
    EXPECT_FLOAT_EQ(marks.back(), 6.0f);
}

TEST(VectorKnobRenderer, ThePointerRunsClockwiseFromLowerLeftToLowerRight)
{
    constexpr float kPi = static_cast<float>(M_PI);
    const struct {
        float position;
        float screen;
    } cases[] = {{0.0f, 5 * kPi / 4}, {0.5f, kPi / 2}, {1.0f, -kPi / 4}};
    for (const auto& c : cases) {
        EXPECT_NEAR(QN::VectorKnobRenderer::screenAngle(QN::PembKnob::angleFor(c.position)), c.screen, 1e-5f);
    }
}

}  // namespace
