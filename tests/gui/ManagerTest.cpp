// The manager's routing of pointer, key and parameter traffic, without a window.

#include "FakePluginConnection.h"
#include "RecordingControl.h"

#include "editor/toolkit/Group.h"
#include "editor/toolkit/Manager.h"
#include "editor/toolkit/Modifiers.h"
#include "editor/toolkit/PendingParameterChanges.h"

#include <gtest/gtest.h>

#include <limits>
#include <thread>

namespace {

using QN::Box;
using QN::Point;

class ManagerTest : public testing::Test {
protected:
    ManagerTest()
    {
        manager.setSize(400, 200);
        QN::Manager::Hooks hooks;
        manager.setHooks(hooks);
    }

    // A group at (100, 50) whose own rectangle is 0..100 x 0..60 in window terms
    // 100..200 x 50..110, holding a control at 10..30 x 10..30 inside it.
    RecordingControl* groupWithControl(QN::Group** groupOut = nullptr)
    {
        auto* group = manager.make<QN::Group>();
        group->setPosition(100, 50);
        group->setOwnRect(Box::of(100, 50, 200, 110));
        manager.root().add(group);
        auto* control = manager.make<RecordingControl>(ParameterId::InputGain, Box::of(10, 10, 30, 30));
        group->add(control);
        if (groupOut) *groupOut = group;
        return control;
    }

    FakePluginConnection plugin;
    QN::PendingParameterChanges pending{kParameterCount};
    QN::Manager manager{plugin, pending};
};

TEST_F(ManagerTest, HoverEntersAControlInsideAGroupAndSetsItsParameterAsHovered)
{
    QN::Group* group = nullptr;
    RecordingControl* control = groupWithControl(&group);
    manager.hover(Point{120, 70});
    EXPECT_EQ(control->events, std::vector<std::string>{"enter"});
    EXPECT_EQ(manager.hoveredId(), ParameterId::InputGain);
    EXPECT_EQ(manager.hoveredElement(), control);
    EXPECT_TRUE(manager.isHovering(control));
}

TEST_F(ManagerTest, MovingFromAChildToEmptySpaceInsideTheGroupExitsOnlyTheChild)
{
    QN::Group* group = nullptr;
    RecordingControl* control = groupWithControl(&group);
    manager.hover(Point{120, 70});
    manager.hover(Point{180, 100});
    EXPECT_EQ(control->events, (std::vector<std::string>{"enter", "exit"}));
    EXPECT_EQ(manager.hoveredId(), -1);
    EXPECT_TRUE(manager.isHovering(group));
    manager.hover(Point{300, 150});
    EXPECT_FALSE(manager.isHovering(group));
    EXPECT_EQ(manager.hoveredElement(), nullptr);
}

TEST_F(ManagerTest, PressAndReleaseBracketAnEditGestureAndTellTheHost)
{
    RecordingControl* control = groupWithControl();
    manager.press(Point{115, 65}, 0);
    EXPECT_EQ(manager.parameters().editedParameter(), ParameterId::InputGain);
    manager.release(Point{115, 65}, 0);
    EXPECT_EQ(control->events, (std::vector<std::string>{"down 115,65 0", "up 115,65 0"}));
    EXPECT_EQ(plugin.log, (std::vector<std::string>{"begin 11", "end 11", "update"}));
    EXPECT_EQ(manager.parameters().editedParameter(), -1);
    EXPECT_EQ(manager.pressed(), nullptr);
}

TEST_F(ManagerTest, ReleaseFarOutsideTheWindowStillReachesThePressedElement)
{
    RecordingControl* control = groupWithControl();
    manager.press(Point{115, 65}, 0);
    manager.drag(Point{-40, 900}, 0);
    manager.release(Point{-50, 1000}, 0);
    ASSERT_EQ(control->events.size(), 3u);
    EXPECT_EQ(control->events.back(), "up -50,1000 0");
    EXPECT_EQ(plugin.log.back(), "update");
}

TEST_F(ManagerTest, ChangingModifiersDuringADragReanchorsIt)
{
    RecordingControl* control = groupWithControl();
    manager.press(Point{115, 65}, QN::ModifierShift);
    manager.drag(Point{115, 70}, QN::ModifierShift);
    manager.drag(Point{115, 75}, 0);
    const std::vector<std::string> expected{"down 115,65 512", "drag 115,70 512", "up 115,75 512", "down 115,75 0",
                                            "drag 115,75 0"};
    EXPECT_EQ(control->events, expected);
}

TEST_F(ManagerTest, PressOnNothingIsIgnoredAndMovesWithoutPressDoNotDrag)
{
    RecordingControl* control = groupWithControl();
    manager.press(Point{5, 5}, 0);
    manager.drag(Point{115, 65}, 0);
    manager.release(Point{115, 65}, 0);
    EXPECT_TRUE(control->events.empty());
    EXPECT_TRUE(plugin.log.empty());
}

TEST_F(ManagerTest, ChangesFromAnotherThreadReachControlsOnlyWhenDelivered)
{
    RecordingControl* control = groupWithControl();
    std::thread audio([this] {
        for (int i = 0; i < 100; ++i) pending.push(ParameterId::InputGain, static_cast<float>(i));
    });
    audio.join();
    EXPECT_TRUE(control->values.empty());
    manager.parameters().deliverPendingChanges();
    ASSERT_EQ(control->values.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(control->values[static_cast<std::size_t>(i)], static_cast<float>(i));
}

TEST_F(ManagerTest, ADragDeliversWaitingChangesBeforeMovingThePressedControl)
{
    RecordingControl* control = groupWithControl();
    manager.press(Point{115, 65}, 0);
    pending.push(ParameterId::InputGain, -3.0f);
    EXPECT_TRUE(control->values.empty());
    manager.drag(Point{115, 66}, 0);
    EXPECT_EQ(control->values, std::vector<float>{-3.0f});
}

TEST_F(ManagerTest, ChangesOfParametersWithoutListenersAreNotQueued)
{
    groupWithControl();
    pending.push(ParameterId::OutputGain, 1.0f);
    int delivered = 0;
    EXPECT_TRUE(pending.drain([&](int, float) { ++delivered; }));
    EXPECT_EQ(delivered, 0);
}

TEST_F(ManagerTest, AParameterWithAnAllZeroRangeNeverReachesAControl)
{
    // "Script Index" has no range until the plug-in knows its scripts.
    const int index = ParameterId::ScriptIndex;
    auto* control = manager.make<RecordingControl>(index, Box::of(0, 0, 10, 10));
    EXPECT_FALSE(manager.parameters().hasListeners(index));
    pending.push(index, 1.0f);
    manager.parameters().deliverPendingChanges();
    manager.parameters().refreshAllControls();
    EXPECT_TRUE(control->values.empty());
}

TEST_F(ManagerTest, AFullQueueFallsBackToRefreshingEveryControlFromThePlugin)
{
    RecordingControl* control = groupWithControl();
    for (std::size_t i = 0; i < QN::PendingParameterChanges::kCapacity + 10; ++i) {
        pending.push(ParameterId::InputGain, 1.0f);
    }
    plugin.setValue(ParameterId::InputGain, 7.5f);
    manager.parameters().deliverPendingChanges();
    ASSERT_EQ(control->values.size(), QN::PendingParameterChanges::kCapacity + 1);
    EXPECT_EQ(control->values.back(), 7.5f);
}

TEST_F(ManagerTest, ControlPositionIsLogarithmicForHertzAndLinearOtherwise)
{
    QN::ControlParameterInfo hertz{0, "f", ParameterUnit::Hertz, 20.0f, 20000.0f, 20.0f, nullptr};
    EXPECT_NEAR(hertz.normalized(632.455f), 0.5f, 1e-4f);
    QN::ControlParameterInfo linear{0, "g", ParameterUnit::Decibels, -80.0f, 20.0f, 0.0f, nullptr};
    EXPECT_NEAR(linear.normalized(-30.0f), 0.5f, 1e-6f);
}

TEST_F(ManagerTest, FocusMovesBetweenElementsAndAPressTakesItAway)
{
    struct Field : QN::UIElement {
        using UIElement::UIElement;
        bool keyChar(char c) override { return typed += c, true; }
        void loseFocus() override { ++losses; }
        std::string typed;
        int losses = 0;
    };
    auto* first = manager.make<Field>();
    auto* second = manager.make<Field>();
    manager.setFocus(first);
    manager.typeCharacter('4');
    manager.setFocus(second);
    manager.press(Point{1, 1}, 0);
    manager.typeCharacter('5');
    EXPECT_EQ(first->typed, "4");
    EXPECT_EQ(first->losses, 1);
    EXPECT_EQ(second->losses, 1);
    EXPECT_EQ(manager.focus(), nullptr);
}

TEST_F(ManagerTest, HoverTextsShareIdsForEqualTextsAndCountDownwards)
{
    QN::HoverTextTable& texts = manager.hoverTexts();
    texts.enter(-2, "Preferences");
    texts.enter(-3, "Capture preset");
    EXPECT_EQ(texts.registerText("Reset"), -4);
    EXPECT_EQ(texts.registerText("Preferences"), -2);
    EXPECT_EQ(texts.registerText("Random"), -5);
    ASSERT_NE(texts.find(-4), nullptr);
    EXPECT_EQ(*texts.find(-4), "Reset");
    EXPECT_EQ(texts.find(-9), nullptr);
}

TEST_F(ManagerTest, ReadoutCarriesTheHoveredParametersNameValueAndLabel)
{
    plugin.setValue(ParameterId::InputGain, -6.0f);
    const QN::Manager::ParameterReadout text = manager.readout(ParameterId::InputGain);
    EXPECT_EQ(text.name, "Input Gain");
    EXPECT_EQ(text.value, std::to_string(-6.0f));
    EXPECT_EQ(text.label, "dB");
    EXPECT_TRUE(manager.readout(-1).name.empty());
}

// The tooltip used to run the parts together ("Bin 22 Level 1.0001031.2Hz", "1.000(0.0 dB)").
TEST_F(ManagerTest, TheReadoutLineKeepsItsPartsApartAndItsUnitOnce)
{
    const QN::Manager::ParameterReadout bin{"Bin 22 Level", "1.000", "", "1031.2 Hz  C6 -25 cents"};
    EXPECT_EQ(bin.line(), "Bin 22 Level  1.000  1031.2 Hz  C6 -25 cents");
    const QN::Manager::ParameterReadout wet{"Wet Level", "-18.06 dB", "dB", ""};
    EXPECT_EQ(wet.line(), "Wet Level  -18.06 dB");
    const QN::Manager::ParameterReadout gain{"Input Gain", "-6.0", "dB", ""};
    EXPECT_EQ(gain.line(), "Input Gain  -6.0 dB");
}

// The layout's size and scale reach the window only through the manager: nonsense from
// a skin must still give a drawable window.
TEST_F(ManagerTest, TheWindowSizeStaysDrawableWhateverTheLayoutAsksFor)
{
    struct Case {
        int width, height;
        float scale;
        int pixelWidth, pixelHeight;
    };
    const Case cases[] = {
        {400, 200, 2.0f, 800, 400},
        {0, -5, 1.5f, 2, 2},
        {300, 100, 0.5f, 300, 100},
        {300, 100, std::numeric_limits<float>::quiet_NaN(), 300, 100},
        {300, 100, std::numeric_limits<float>::infinity(), 300, 100},
    };
    for (const Case& c : cases) {
        manager.setSize(c.width, c.height);
        manager.setScale(c.scale);
        EXPECT_GE(manager.width(), 1);
        EXPECT_GE(manager.height(), 1);
        EXPECT_GE(manager.scale(), 1.0f);
        EXPECT_EQ(manager.pixelWidth(), c.pixelWidth) << c.width << " at " << c.scale;
        EXPECT_EQ(manager.pixelHeight(), c.pixelHeight) << c.height << " at " << c.scale;
    }
}

}  // namespace
