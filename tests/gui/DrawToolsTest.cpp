// The spectrum display's drawing tools (line, smooth, range), driven through the manager
// without a window: the bin levels each drag leaves and the one undo step it makes.

#include "FakePluginConnection.h"

#include "editor/product/WaveformDisplay.h"
#include "editor/toolkit/EditAction.h"
#include "editor/toolkit/Group.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/Modifiers.h"
#include "editor/toolkit/PendingParameterChanges.h"
#include "engine/model/DisplayBlock.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using QN::EditAction;
using QN::Point;
using Tool = QN::WaveformDisplay::DrawTool;

constexpr int kLine = QN::ModifierControl | QN::ModifierShift;
constexpr int kSmooth = QN::ModifierShift | QN::ModifierAlt;
constexpr int kRange = QN::ModifierControl | QN::ModifierAlt;

class DrawTools : public testing::Test {
protected:
    DrawTools()
    {
        manager.setSize(1024, 512);
        manager.setHooks(QN::Manager::Hooks{});
        block.fftSizeIndex.store(5);  // 513 bins
        block.frequencyAxisLog.store(false);
        display = manager.make<QN::WaveformDisplay>(0, 0, 513, 100, &block);
        manager.root().add(display);
        for (int bin = 0; bin < 513; ++bin) setBin(bin, 0.5f);
    }
    void setBin(int bin, float value)
    {
        plugin.setValue(kBinLevelBase + bin, value);
        display->valueChanged(manager.parameters().parameterInfo(kBinLevelBase + bin), value);
    }
    // The x of a bin's centre and the y of a level, with the linear axis.
    static Point at(int bin, float level) { return {static_cast<float>(bin) + 0.5f, level * 50.0f}; }
    float bin(int k) { return plugin.plainValue(kBinLevelBase + k); }
    void stroke(const std::vector<Point>& points, int modifiers)
    {
        manager.press(points.front(), modifiers);
        for (std::size_t i = 1; i < points.size(); ++i) manager.drag(points[i], modifiers);
        manager.release(points.back(), modifiers);
    }
    void expectAllHalfAfterUndo()
    {
        ASSERT_TRUE(manager.parameters().perform(EditAction::Undo));
        for (int k = 0; k < 513; ++k) ASSERT_FLOAT_EQ(bin(k), 0.5f) << k;
    }

    FakePluginConnection plugin;
    QN::PendingParameterChanges pending{kParameterCount};
    QN::Manager manager{plugin, pending};
    DisplayBlock block;
    QN::WaveformDisplay* display = nullptr;
};

TEST(DrawToolChoice, TwoModifiersChooseATool)
{
    struct Case {
        int modifiers;
        Tool tool;
    };
    for (const Case& c : {Case{0, Tool::Freehand}, Case{QN::ModifierShift, Tool::Freehand},
                          Case{QN::ModifierControl, Tool::Freehand}, Case{QN::ModifierAlt, Tool::Freehand},
                          Case{kLine, Tool::Line}, Case{kSmooth, Tool::Smooth}, Case{kRange, Tool::Range},
                          Case{kLine | QN::ModifierAlt, Tool::Freehand}}) {
        EXPECT_EQ(QN::WaveformDisplay::toolFor(c.modifiers), c.tool) << c.modifiers;
    }
}

TEST_F(DrawTools, LineFollowsThePointerRestoresLeftBinsAndIsOneUndoStep)
{
    // Out to bin 40 first, then back to 30: bins 31..40 return to their levels.
    stroke({at(10, 0.0f), at(40, 0.3f), at(30, 0.8f)}, kLine);
    EXPECT_NEAR(bin(10), 0.0f, 1e-5f);
    EXPECT_NEAR(bin(20), 0.4f, 1e-5f);  // midpoint
    EXPECT_NEAR(bin(30), 0.8f, 1e-5f);
    for (int k : {9, 31, 35, 40}) EXPECT_FLOAT_EQ(bin(k), 0.5f) << k;
    expectAllHalfAfterUndo();
}

TEST_F(DrawTools, LineIsStraightOnTheLogAxis)
{
    block.frequencyAxisLog.store(true);
    const QN::Box box = display->box();
    const Point from = display->column(50, box).centre(), to = display->column(200, box).centre();
    stroke({{from.x, 0.0f}, {to.x, 50.0f}}, kLine);
    // The bin at the middle x gets the middle level, not the bin halfway in number.
    const int middle = display->pointToBin({(from.x + to.x) / 2, 10}, box).bin;
    const float t = (display->column(middle, box).centre().x - from.x) / (to.x - from.x);
    EXPECT_NEAR(bin(middle), t, 1e-4f);
    EXPECT_GT(bin(125), 0.55f);  // on the log axis bin 125 lies past the middle
    expectAllHalfAfterUndo();
}

TEST_F(DrawTools, SmoothingReducesASpikeOncePerBinAndIsOneUndoStep)
{
    setBin(100, 1.0f);
    stroke({at(95, 0.2f), at(105, 0.2f), at(95, 0.9f), at(105, 0.9f)}, kSmooth);
    // (4 * 0.5 + 1) / 5: averages of the levels at the press, so passing again changes nothing.
    EXPECT_NEAR(bin(100), 0.6f, 1e-5f);
    EXPECT_NEAR(bin(98), 0.6f, 1e-5f);
    EXPECT_NEAR(bin(97), 0.5f, 1e-5f);
    EXPECT_FLOAT_EQ(bin(94), 0.5f);
    ASSERT_TRUE(manager.parameters().perform(EditAction::Undo));
    EXPECT_FLOAT_EQ(bin(100), 1.0f);
    EXPECT_FLOAT_EQ(bin(98), 0.5f);
}

TEST_F(DrawTools, RangeIsFlatAtThePointerLevelOutsideUntouchedAndIsOneUndoStep)
{
    stroke({at(60, 0.1f), at(90, 0.3f), at(70, 0.8f)}, kRange);
    for (int k = 60; k <= 70; ++k) EXPECT_NEAR(bin(k), 0.8f, 1e-5f) << k;
    for (int k : {59, 71, 90}) EXPECT_FLOAT_EQ(bin(k), 0.5f) << k;
    // Leftwards from the press too.
    stroke({at(60, 0.1f), at(50, 0.2f)}, kRange);
    for (int k = 50; k <= 60; ++k) EXPECT_NEAR(bin(k), 0.2f, 1e-5f) << k;
    ASSERT_TRUE(manager.parameters().perform(EditAction::Undo));
    expectAllHalfAfterUndo();
}

}  // namespace
