#include "editor/toolkit/EditHistory.h"

#include <algorithm>
#include <utility>

namespace QN {

EditHistory::EditHistory(std::size_t maxSteps, std::size_t maxChanges)
    : maxSteps_(std::max<std::size_t>(maxSteps, 1)), maxChanges_(std::max<std::size_t>(maxChanges, 1))
{
}

void EditHistory::record(Step step)
{
    auto& changes = step.changes;
    changes.erase(std::remove_if(changes.begin(), changes.end(), [](const Change& c) { return c.before == c.after; }),
                  changes.end());
    if (changes.empty()) return;
    for (const Step& dropped : undone_) storedChanges_ -= dropped.changes.size();
    undone_.clear();
    storedChanges_ += changes.size();
    done_.push_back(std::move(step));
    while (done_.size() > maxSteps_ || (storedChanges_ > maxChanges_ && done_.size() > 1)) dropOldest();
}

void EditHistory::dropOldest()
{
    storedChanges_ -= done_.front().changes.size();
    done_.pop_front();
}

std::optional<EditHistory::Step> EditHistory::undo()
{
    if (done_.empty()) return std::nullopt;
    undone_.push_back(std::move(done_.back()));
    done_.pop_back();
    return undone_.back();
}

std::optional<EditHistory::Step> EditHistory::redo()
{
    if (undone_.empty()) return std::nullopt;
    done_.push_back(std::move(undone_.back()));
    undone_.pop_back();
    return done_.back();
}

void EditHistory::clear()
{
    done_.clear();
    undone_.clear();
    storedChanges_ = 0;
}

}  // namespace QN
