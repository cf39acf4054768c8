#pragma once

#include "editor/toolkit/EditHistory.h"

#include <functional>
#include <optional>
#include <vector>

namespace QN {

class PluginConnection;

// Turns the editor's own edits into EditHistory steps and plays steps back. A step is
// open from the start of a gesture to its end (a knob drag, a drawn stroke); a value the
// editor sets outside a gesture is a step of its own. Only the values the editor touched
// go into a step, so changes from automation, scripts or OSC are never undone by it.
// Undo and redo set the values as the edit did: through the plug-in's automated setter,
// as a control does, so the host hears them, or quietly where the edit was quiet.
//
// Threads: host GUI thread only.
class EditRecorder {
public:
    explicit EditRecorder(PluginConnection& plugin);

    // Nested opens join the open step.
    void openStep();
    // Before the editor changes a value: remembers the value it had when the step began.
    void noteBefore(int index, bool quiet);
    // Reads the touched values' new values and records the step.
    void closeStep();
    [[nodiscard]] bool stepOpen() const { return open_; }
    // Runs change as one step over every value (a preset load, an A/B switch).
    void recordWholeSet(const std::function<void()>& change, bool abSwitch = false);
    // Runs beforeApply, then applies the step's values; the step applied, for the
    // controls to follow.
    using StepHook = std::function<void(const EditHistory::Step&)>;
    std::optional<EditHistory::Step> undo(const StepHook& beforeApply);
    std::optional<EditHistory::Step> redo(const StepHook& beforeApply);
    // Every current value, in index order.
    [[nodiscard]] std::vector<float> values() const;
    [[nodiscard]] const EditHistory& history() const { return history_; }

private:
    void apply(const EditHistory::Change& change, float value);

    PluginConnection& plugin_;
    EditHistory history_;
    bool open_ = false;
    std::vector<EditHistory::Change> touched_;
    std::vector<bool> isTouched_;
};

}  // namespace QN
