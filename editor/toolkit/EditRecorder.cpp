#include "editor/toolkit/EditRecorder.h"

#include "editor/toolkit/PluginConnection.h"

#include <algorithm>
#include <utility>

namespace QN {

EditRecorder::EditRecorder(PluginConnection& plugin)
    : plugin_(plugin), isTouched_(static_cast<std::size_t>(std::max(plugin.parameterCount(), 0)), false)
{
}

void EditRecorder::openStep() { open_ = true; }

void EditRecorder::noteBefore(int index, bool quiet)
{
    if (!open_ || index < 0 || static_cast<std::size_t>(index) >= isTouched_.size()) return;
    if (isTouched_[static_cast<std::size_t>(index)]) return;
    isTouched_[static_cast<std::size_t>(index)] = true;
    const float value = plugin_.plainValue(index);
    touched_.push_back({index, value, value, quiet});
}

void EditRecorder::closeStep()
{
    if (!open_) return;
    open_ = false;
    EditHistory::Step step;
    step.changes = std::move(touched_);
    touched_.clear();
    for (EditHistory::Change& change : step.changes) {
        change.after = plugin_.plainValue(change.index);
        isTouched_[static_cast<std::size_t>(change.index)] = false;
    }
    history_.record(std::move(step));
}

void EditRecorder::recordWholeSet(const std::function<void()>& change, bool abSwitch)
{
    closeStep();
    const std::vector<float> before = values();
    change();
    const std::vector<float> after = values();
    EditHistory::Step step;
    step.abSwitch = abSwitch;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] != after[i]) step.changes.push_back({static_cast<int>(i), before[i], after[i]});
    }
    history_.record(std::move(step));
}

std::optional<EditHistory::Step> EditRecorder::undo(const StepHook& beforeApply)
{
    closeStep();
    std::optional<EditHistory::Step> step = history_.undo();
    if (step) {
        if (beforeApply) beforeApply(*step);
        for (auto c = step->changes.rbegin(); c != step->changes.rend(); ++c) apply(*c, c->before);
    }
    return step;
}

std::optional<EditHistory::Step> EditRecorder::redo(const StepHook& beforeApply)
{
    closeStep();
    std::optional<EditHistory::Step> step = history_.redo();
    if (step) {
        if (beforeApply) beforeApply(*step);
        for (const EditHistory::Change& c : step->changes) apply(c, c.after);
    }
    return step;
}

void EditRecorder::apply(const EditHistory::Change& change, float value)
{
    if (change.quiet) {
        plugin_.setPlainValue(change.index, value);
    } else {
        plugin_.setPlainValueAutomated(change.index, value);
    }
}

std::vector<float> EditRecorder::values() const
{
    std::vector<float> all(isTouched_.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = plugin_.plainValue(static_cast<int>(i));
    return all;
}

}  // namespace QN
