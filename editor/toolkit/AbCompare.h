#pragma once

#include <vector>

namespace QN {

class EditRecorder;
class PluginConnection;

// Two settings to compare: A, the one shown when the editor opened, and B, a copy of it.
// The shown one lives in the plug-in; the other is kept here with all its values. A
// switch and a copy that changes the shown values are undo steps of the recorder.
//
// Threads: host GUI thread only.
class AbCompare {
public:
    enum class Slot { A, B };

    AbCompare(PluginConnection& plugin, EditRecorder& recorder);

    // A value that is no part of a setting (where the instance listens): never switched.
    void leaveOut(int index);
    // Shows the other setting; the one left keeps its values.
    void switchSetting();
    // Copies setting from into the other one; when from is the shown one nothing audible changes.
    void copy(Slot from);
    [[nodiscard]] Slot shown() const { return shown_; }
    // An undone or redone switch: the shown values become the kept setting and the other
    // slot is shown; the history then sets its values.
    void followHistorySwitch();

private:
    void show(const std::vector<float>& values);
    [[nodiscard]] std::vector<float> settingValues() const;

    PluginConnection& plugin_;
    EditRecorder& recorder_;
    std::vector<float> kept_;
    std::vector<bool> leftOut_;
    Slot shown_ = Slot::A;
};

}  // namespace QN
