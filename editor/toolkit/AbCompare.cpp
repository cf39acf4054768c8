#include "editor/toolkit/AbCompare.h"

#include "editor/toolkit/EditRecorder.h"
#include "editor/toolkit/PluginConnection.h"

#include <utility>

namespace QN {
namespace {
AbCompare::Slot otherSlot(AbCompare::Slot slot)
{
    return slot == AbCompare::Slot::A ? AbCompare::Slot::B : AbCompare::Slot::A;
}
}  // namespace

AbCompare::AbCompare(PluginConnection& plugin, EditRecorder& recorder)
    : plugin_(plugin), recorder_(recorder), kept_(recorder.values()), leftOut_(kept_.size(), false)
{
}

void AbCompare::leaveOut(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= leftOut_.size()) return;
    leftOut_[static_cast<std::size_t>(index)] = true;
}

std::vector<float> AbCompare::settingValues() const { return recorder_.values(); }

void AbCompare::show(const std::vector<float>& values)
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int index = static_cast<int>(i);
        if (!leftOut_[i] && plugin_.plainValue(index) != values[i]) plugin_.setPlainValueAutomated(index, values[i]);
    }
}

void AbCompare::switchSetting()
{
    std::vector<float> leaving = settingValues();
    recorder_.recordWholeSet([this] { show(kept_); }, true);
    kept_ = std::move(leaving);
    shown_ = otherSlot(shown_);
}

void AbCompare::copy(Slot from)
{
    if (from == shown_) {
        kept_ = settingValues();
        return;
    }
    const std::vector<float> source = kept_;
    recorder_.recordWholeSet([&] { show(source); });
}

void AbCompare::followHistorySwitch()
{
    kept_ = settingValues();
    shown_ = otherSlot(shown_);
}

}  // namespace QN
