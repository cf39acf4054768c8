#pragma once

#include "editor/toolkit/AbCompare.h"
#include "editor/toolkit/ControlParameterInfo.h"
#include "editor/toolkit/EditAction.h"
#include "editor/toolkit/EditRecorder.h"

#include <atomic>
#include <functional>
#include <vector>

namespace QN {

class PendingParameterChanges;
class PluginConnection;
class UIElement;

// The editor's parameter traffic: the rows of the connection's parameter list, the
// elements listening to each parameter, the waiting changes handed to them, the
// edit gestures the controls start and end, and the undo history and A/B compare made
// of those edits. Owned by Manager.
//
// Threads: everything on the host GUI thread, except editedParameter(), an atomic the
// render thread reads for the banner.
class ParameterListeners {
public:
    // Asked before a listener hears a change; true keeps the change from it.
    using Intercept = std::function<bool(UIElement* listener, int index, float value)>;

    ParameterListeners(PluginConnection& plugin, PendingParameterChanges& pending, Intercept intercept);
    ParameterListeners(const ParameterListeners&) = delete;
    ParameterListeners& operator=(const ParameterListeners&) = delete;

    // listener gets valueChanged for every change of the parameter (controls, and the
    // spectrum display for the bin levels).
    void addListener(int index, UIElement* listener);
    [[nodiscard]] bool hasListeners(int index) const;
    // Hands the waiting changes to their controls (idle and every drag).
    void deliverPendingChanges();
    // Pushes every listened parameter's current value to its controls.
    void refreshAllControls();
    [[nodiscard]] const ControlParameterInfo& parameterInfo(int index) const;
    // An index of the connection's parameter list.
    [[nodiscard]] bool isKnownParameter(int index) const;
    void setParameterFromControl(const ControlParameterInfo& info, float plain);
    // Stores a plain value without telling the host (bin drawing, layout bulk edits).
    void setParameterQuietly(const ControlParameterInfo& info, float plain);
    void beginGesture(int index);
    void endGesture(int index);
    // Ends whatever gesture is open (the release of the pressed element).
    void endOpenGesture();
    // The parameter of the open gesture, or -1. Called on: any thread.
    [[nodiscard]] int editedParameter() const { return editedParameter_.load(); }

    // The edit history and A/B compare (gestures, lone control edits and whole settings
    // are its steps). perform is true when the action changed something or switched.
    bool perform(EditAction action);
    // Opens an undo step that lasts until the press's release (endOpenGesture).
    void beginEditStep() { recorder_.openStep(); }
    // Runs change (a preset load) as one undo step over every value.
    void changeWholeSetting(const std::function<void()>& change);
    [[nodiscard]] AbCompare& abCompare() { return abCompare_; }
    [[nodiscard]] const EditHistory& history() const { return recorder_.history(); }

private:
    void deliver(int index, float value);
    // A control's edit: a step of its own outside a gesture.
    template <typename Set>
    void recordEdit(int index, bool quiet, Set&& set);
    bool playBack(const std::optional<EditHistory::Step>& step);

    PluginConnection& plugin_;
    PendingParameterChanges& pending_;
    Intercept intercept_;
    std::vector<ControlParameterInfo> infos_;
    std::vector<std::vector<UIElement*>> listeners_;
    std::atomic<int> editedParameter_{-1};
    bool gestureOwnsStep_ = false;  // the open gesture opened the undo step (host GUI thread)
    EditRecorder recorder_;
    AbCompare abCompare_;
};

}  // namespace QN
