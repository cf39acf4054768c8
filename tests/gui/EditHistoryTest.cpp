// The editor's undo history and A/B compare, without a window: the history's rules, and
// the steps the parameter traffic makes of gestures, strokes, lone edits and whole settings.

#include "FakePluginConnection.h"

#include "editor/toolkit/EditAction.h"
#include "editor/toolkit/EditHistory.h"
#include "editor/toolkit/ParameterListeners.h"
#include "editor/toolkit/PendingParameterChanges.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using QN::EditAction;
using QN::EditHistory;

EditHistory::Step step(int index, float before, float after) { return {{{index, before, after}}, false}; }

float afterOf(const std::optional<EditHistory::Step>& s) { return s ? s->changes.at(0).after : -1.0f; }

TEST(EditHistory, UndoAndRedoWalkTheStepsInOrderAndANewStepDropsTheRedoSteps)
{
    EditHistory history;
    for (int i = 1; i <= 3; ++i) history.record(step(0, static_cast<float>(i - 1), static_cast<float>(i)));
    EXPECT_EQ(afterOf(history.undo()), 3.0f);
    EXPECT_EQ(afterOf(history.undo()), 2.0f);
    EXPECT_EQ(afterOf(history.redo()), 2.0f);
    EXPECT_EQ(history.redoCount(), 1u);
    history.record(step(1, 0.0f, 5.0f));
    EXPECT_EQ(history.redoCount(), 0u);
    EXPECT_FALSE(history.redo());
    EXPECT_EQ(afterOf(history.undo()), 5.0f);
    EXPECT_EQ(afterOf(history.undo()), 2.0f);
    EXPECT_EQ(afterOf(history.undo()), 1.0f);
    EXPECT_FALSE(history.undo());
}

TEST(EditHistory, AStepThatChangedNothingIsNoStep)
{
    EditHistory history;
    history.record(step(0, 0.5f, 0.5f));
    history.record({});
    EXPECT_EQ(history.undoCount(), 0u);
}

TEST(EditHistory, TheOldestStepsGoWhenEitherCapIsPassed)
{
    struct Case {
        std::size_t maxSteps, maxChanges;
        int steps, changesPerStep;
        std::size_t kept;
    };
    for (const Case& c : {Case{100, EditHistory::kMaxChanges, 150, 1, 100}, Case{100, 10, 8, 3, 3},
                          Case{100, 10, 2, 30, 1}}) {
        EditHistory history(c.maxSteps, c.maxChanges);
        for (int s = 0; s < c.steps; ++s) {
            EditHistory::Step made;
            for (int k = 0; k < c.changesPerStep; ++k) made.changes.push_back({k, 0.0f, static_cast<float>(s + 1)});
            history.record(made);
        }
        EXPECT_EQ(history.undoCount(), c.kept) << c.steps << " steps of " << c.changesPerStep;
        EXPECT_EQ(afterOf(history.undo()), static_cast<float>(c.steps)) << "the newest stays";
    }
}

TEST(EditAction, KeysAndSkinNamesMapToTheirActions)
{
    constexpr char kCtrlZ = 26, kCtrlY = 25, kCtrlB = 2;
    struct Case {
        char character;
        bool shift, alt;
        EditAction action;
    };
    for (const Case& c : {Case{kCtrlZ, false, false, EditAction::Undo}, Case{kCtrlZ, true, false, EditAction::Redo},
                          Case{kCtrlY, false, false, EditAction::Redo}, Case{kCtrlB, false, false, EditAction::SwitchAB},
                          Case{kCtrlB, true, false, EditAction::CopyAToB}, Case{kCtrlB, false, true, EditAction::CopyBToA},
                          Case{'z', false, false, EditAction::None}, Case{3, false, false, EditAction::None}}) {
        EXPECT_EQ(QN::editActionForKey(c.character, c.shift, c.alt), c.action) << static_cast<int>(c.character);
    }
    EXPECT_EQ(QN::editActionNamed("undo"), EditAction::Undo);
    EXPECT_EQ(QN::editActionNamed("copyBToA"), EditAction::CopyBToA);
    EXPECT_EQ(QN::editActionNamed("Undo"), EditAction::None);
}

class EditSteps : public testing::Test {
protected:
    const QN::ControlParameterInfo& info(int index) { return parameters.parameterInfo(index); }
    void knobGesture(int index, std::initializer_list<float> values)
    {
        parameters.beginGesture(index);
        for (float v : values) parameters.setParameterFromControl(info(index), v);
        parameters.endGesture(index);
    }
    // A drawn stroke: one gesture on the bin pressed, the bins passed over set quietly.
    void stroke(int firstBin, int lastBin, float level)
    {
        parameters.beginGesture(kBinLevelBase + firstBin);
        for (int bin = firstBin; bin <= lastBin; ++bin) {
            parameters.setParameterQuietly(info(kBinLevelBase + bin), level);
        }
        parameters.endOpenGesture();
    }
    float value(int index) { return plugin.plainValue(index); }
    bool undo() { return parameters.perform(EditAction::Undo); }
    bool redo() { return parameters.perform(EditAction::Redo); }

    FakePluginConnection plugin;
    QN::PendingParameterChanges pending{kParameterCount};
    QN::ParameterListeners parameters{plugin, pending, nullptr};
};

TEST_F(EditSteps, AKnobDragAStrokeAndAPresetLoadAreUndoneAndRedoneInOrder)
{
    const float dryBefore = value(ParameterId::DryLevel);
    knobGesture(ParameterId::DryLevel, {0.2f, 0.4f, 0.6f});
    stroke(10, 20, 0.25f);
    parameters.changeWholeSetting([&] {
        for (int bin = 0; bin < 2049; ++bin) plugin.setValue(kBinLevelBase + bin, 0.75f);
        plugin.setValue(ParameterId::DryLevel, 0.9f);
    });
    ASSERT_EQ(parameters.history().undoCount(), 3u);

    ASSERT_TRUE(undo());
    EXPECT_EQ(value(ParameterId::DryLevel), 0.6f);
    EXPECT_EQ(value(kBinLevelBase + 15), 0.25f);
    EXPECT_EQ(value(kBinLevelBase + 30), 1.0f);
    ASSERT_TRUE(undo());
    EXPECT_EQ(value(kBinLevelBase + 10), 1.0f);
    EXPECT_EQ(value(kBinLevelBase + 20), 1.0f);
    ASSERT_TRUE(undo());
    EXPECT_EQ(value(ParameterId::DryLevel), dryBefore);
    EXPECT_FALSE(undo());

    ASSERT_TRUE(redo());
    EXPECT_EQ(value(ParameterId::DryLevel), 0.6f);
    ASSERT_TRUE(redo());
    EXPECT_EQ(value(kBinLevelBase + 20), 0.25f);
    ASSERT_TRUE(redo());
    EXPECT_EQ(value(kBinLevelBase + 30), 0.75f);
    EXPECT_FALSE(redo());
    // The host heard the restored values as automation.
    EXPECT_FALSE(plugin.automated.empty());
}

TEST_F(EditSteps, UndoRestoresOnlyItsOwnValuesAndOutsideChangesAreNoSteps)
{
    const float dryBefore = value(ParameterId::DryLevel);
    knobGesture(ParameterId::DryLevel, {0.3f});
    plugin.setValue(ParameterId::InputGain, 3.0f);  // automation or a script
    EXPECT_EQ(parameters.history().undoCount(), 1u);
    ASSERT_TRUE(undo());
    EXPECT_EQ(value(ParameterId::InputGain), 3.0f);
    EXPECT_EQ(value(ParameterId::DryLevel), dryBefore);
}

// A skin button's function sets values with gestures of their own inside the press: the
// whole press is still one step, undone at once.
TEST_F(EditSteps, GesturesInsideAPressJoinItsStep)
{
    parameters.beginEditStep();
    knobGesture(ParameterId::DryLevel, {0.3f});
    knobGesture(kBinLevelBase + 5, {0.0f});
    parameters.endOpenGesture();
    EXPECT_EQ(parameters.history().undoCount(), 1u);
    ASSERT_TRUE(undo());
    EXPECT_EQ(value(kBinLevelBase + 5), 1.0f);
    EXPECT_NE(value(ParameterId::DryLevel), 0.3f);
}

TEST_F(EditSteps, ALoneEditIsAStepAndAHundredAndFiftyStepsKeepTheNewestHundred)
{
    for (int i = 1; i <= 150; ++i) {
        parameters.setParameterFromControl(info(kBinLevelBase), static_cast<float>(i) / 200.0f);
    }
    EXPECT_EQ(parameters.history().undoCount(), EditHistory::kMaxSteps);
    while (undo()) {
    }
    EXPECT_EQ(value(kBinLevelBase), 50.0f / 200.0f);
}

TEST_F(EditSteps, ABSwitchesKeepBothSettingsAndCopyAndUndoFollow)
{
    const float a = value(ParameterId::DryLevel);
    EXPECT_EQ(parameters.abCompare().shown(), QN::AbCompare::Slot::A);
    ASSERT_TRUE(parameters.perform(EditAction::SwitchAB));
    EXPECT_EQ(parameters.abCompare().shown(), QN::AbCompare::Slot::B);
    EXPECT_EQ(value(ParameterId::DryLevel), a);  // B starts as a copy of A
    knobGesture(ParameterId::DryLevel, {0.1f});
    ASSERT_TRUE(parameters.perform(EditAction::SwitchAB));
    EXPECT_EQ(value(ParameterId::DryLevel), a);
    ASSERT_TRUE(parameters.perform(EditAction::SwitchAB));
    EXPECT_EQ(value(ParameterId::DryLevel), 0.1f);

    // Undoing the last switch shows A again, with A's values; redo goes back to B.
    ASSERT_TRUE(undo());
    EXPECT_EQ(parameters.abCompare().shown(), QN::AbCompare::Slot::A);
    EXPECT_EQ(value(ParameterId::DryLevel), a);
    ASSERT_TRUE(redo());
    EXPECT_EQ(parameters.abCompare().shown(), QN::AbCompare::Slot::B);
    EXPECT_EQ(value(ParameterId::DryLevel), 0.1f);

    // Shown B: copying A to B brings A's values in, as one step; B to A then makes them equal.
    const std::size_t steps = parameters.history().undoCount();
    ASSERT_TRUE(parameters.perform(EditAction::CopyAToB));
    EXPECT_EQ(value(ParameterId::DryLevel), a);
    EXPECT_EQ(parameters.history().undoCount(), steps + 1);
    knobGesture(ParameterId::DryLevel, {0.7f});
    ASSERT_TRUE(parameters.perform(EditAction::CopyBToA));
    ASSERT_TRUE(parameters.perform(EditAction::SwitchAB));
    EXPECT_EQ(value(ParameterId::DryLevel), 0.7f);
}

}  // namespace
