#include "editor/toolkit/ParameterListeners.h"

#include "editor/toolkit/PendingParameterChanges.h"
#include "editor/toolkit/PluginConnection.h"
#include "editor/toolkit/UIElement.h"

#include <algorithm>
#include <utility>

namespace QN {

ParameterListeners::ParameterListeners(PluginConnection& plugin, PendingParameterChanges& pending, Intercept intercept)
    : plugin_(plugin),
      pending_(pending),
      intercept_(std::move(intercept)),
      recorder_(plugin),
      abCompare_(plugin, recorder_)
{
    const int count = std::max(plugin_.parameterCount(), 0);
    listeners_.resize(static_cast<std::size_t>(count));
    infos_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const ParameterInfo row = plugin_.parameterRow(i);
        infos_.push_back(ControlParameterInfo{i, row.name, row.unit, row.minValue, row.maxValue, row.defaultValue,
                                              &plugin_});
    }
}

void ParameterListeners::addListener(int index, UIElement* listener)
{
    if (!isKnownParameter(index) || infos_[static_cast<std::size_t>(index)].isInert()) return;
    listeners_[static_cast<std::size_t>(index)].push_back(listener);
    pending_.setListening(index, true);
}

bool ParameterListeners::hasListeners(int index) const
{
    return isKnownParameter(index) && !listeners_[static_cast<std::size_t>(index)].empty();
}

void ParameterListeners::deliver(int index, float value)
{
    if (!hasListeners(index)) return;
    const ControlParameterInfo& info = infos_[static_cast<std::size_t>(index)];
    for (UIElement* listener : listeners_[static_cast<std::size_t>(index)]) {
        if (!intercept_ || !intercept_(listener, index, value)) listener->valueChanged(info, value);
    }
}

void ParameterListeners::deliverPendingChanges()
{
    const bool complete = pending_.drain([this](int index, float value) { deliver(index, value); });
    if (!complete) refreshAllControls();
}

void ParameterListeners::refreshAllControls()
{
    const int count = std::min(plugin_.parameterCount(), static_cast<int>(infos_.size()));
    for (int index = 0; index < count; ++index) {
        if (hasListeners(index)) deliver(index, plugin_.plainValue(index));
    }
}

bool ParameterListeners::isKnownParameter(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < infos_.size();
}

const ControlParameterInfo& ParameterListeners::parameterInfo(int index) const
{
    return infos_.at(static_cast<std::size_t>(index));
}

template <typename Set>
void ParameterListeners::recordEdit(int index, bool quiet, Set&& set)
{
    const bool alone = !recorder_.stepOpen();
    if (alone) recorder_.openStep();
    recorder_.noteBefore(index, quiet);
    set();
    if (alone) recorder_.closeStep();
}

void ParameterListeners::setParameterFromControl(const ControlParameterInfo& info, float plain)
{
    recordEdit(info.index, false, [&] { plugin_.setPlainValueAutomated(info.index, plain); });
}

void ParameterListeners::setParameterQuietly(const ControlParameterInfo& info, float plain)
{
    recordEdit(info.index, true, [&] { plugin_.setPlainValue(info.index, plain); });
}

void ParameterListeners::beginGesture(int index)
{
    editedParameter_.store(index);
    // A gesture inside a press (a skin button's setParameter calls, a stroke started
    // afresh mid-drag) joins the press's step instead of ending it early.
    gestureOwnsStep_ = !recorder_.stepOpen();
    if (gestureOwnsStep_) recorder_.openStep();
    plugin_.beginEdit(index);
}

void ParameterListeners::endGesture(int index)
{
    int expected = index;
    if (!editedParameter_.compare_exchange_strong(expected, -1)) return;
    if (gestureOwnsStep_) recorder_.closeStep();
    gestureOwnsStep_ = false;
    plugin_.endEdit(index);
}

void ParameterListeners::endOpenGesture()
{
    const int edited = editedParameter_.exchange(-1);
    gestureOwnsStep_ = false;
    recorder_.closeStep();
    if (edited >= 0) plugin_.endEdit(edited);
}

void ParameterListeners::changeWholeSetting(const std::function<void()>& change)
{
    recorder_.recordWholeSet(change);
    refreshAllControls();
}

bool ParameterListeners::playBack(const std::optional<EditHistory::Step>& step)
{
    if (!step) return false;
    for (const EditHistory::Change& change : step->changes) deliver(change.index, plugin_.plainValue(change.index));
    plugin_.updateDisplay();
    return true;
}

bool ParameterListeners::perform(EditAction action)
{
    const auto followSwitch = [this](const EditHistory::Step& step) {
        if (step.abSwitch) abCompare_.followHistorySwitch();
    };
    switch (action) {
    case EditAction::Undo: return playBack(recorder_.undo(followSwitch));
    case EditAction::Redo: return playBack(recorder_.redo(followSwitch));
    case EditAction::SwitchAB: abCompare_.switchSetting(); break;
    case EditAction::CopyAToB: abCompare_.copy(AbCompare::Slot::A); break;
    case EditAction::CopyBToA: abCompare_.copy(AbCompare::Slot::B); break;
    case EditAction::None: return false;
    }
    refreshAllControls();
    plugin_.updateDisplay();
    return true;
}

}  // namespace QN
