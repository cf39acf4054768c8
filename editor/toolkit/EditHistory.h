#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

namespace QN {

// The editor's undo and redo steps. A step holds, for every parameter it changed, the
// value before and after; undo hands back the step to restore its "before" values, redo
// the one to apply its "after" values. A new step drops whatever could be redone. The
// oldest steps go first when either the step count or the total number of stored
// values passes its cap, so the memory stays bounded whatever the edits.
//
// Threads: host GUI thread only.
class EditHistory {
public:
    struct Change {
        int index;
        float before;
        float after;
        // Set without telling the host (a bulk bin edit): undo and redo do the same.
        bool quiet = false;
    };
    struct Step {
        std::vector<Change> changes;
        // An A/B switch: undoing or redoing it switches the compared setting back too.
        bool abSwitch = false;
    };

    static constexpr std::size_t kMaxSteps = 100;
    // A hundred steps of every value of a 2081-parameter plug-in.
    static constexpr std::size_t kMaxChanges = kMaxSteps * 2081;

    explicit EditHistory(std::size_t maxSteps = kMaxSteps, std::size_t maxChanges = kMaxChanges);

    // Keeps the changes whose value moved; a step without any is no step.
    void record(Step step);
    [[nodiscard]] std::optional<Step> undo();
    [[nodiscard]] std::optional<Step> redo();
    [[nodiscard]] std::size_t undoCount() const { return done_.size(); }
    [[nodiscard]] std::size_t redoCount() const { return undone_.size(); }
    [[nodiscard]] std::size_t storedChanges() const { return storedChanges_; }
    void clear();

private:
    void dropOldest();

    std::size_t maxSteps_;
    std::size_t maxChanges_;
    std::deque<Step> done_;
    std::vector<Step> undone_;
    std::size_t storedChanges_ = 0;
};

}  // namespace QN
