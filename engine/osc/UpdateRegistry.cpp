#include "engine/osc/UpdateRegistry.h"

#include <algorithm>

namespace QN {

UpdateRegistry::AddResult UpdateRegistry::add(const UpdateRegistration& registration)
{
    if (!validIndex(registration.index)) {
        return AddResult::ParameterFull;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UpdateRegistration>& listeners = byParameter_[static_cast<std::size_t>(registration.index)];
    if (std::find(listeners.begin(), listeners.end(), registration) != listeners.end()) {
        return AddResult::AlreadyThere;
    }
    if (listeners.size() >= kMaxPerParameter) {
        return AddResult::ParameterFull;
    }
    if (total_ >= kMaxTotal) {
        return AddResult::RegistryFull;
    }
    listeners.push_back(registration);
    ++total_;
    setFlag(registration.index, true);
    return AddResult::Added;
}

bool UpdateRegistry::remove(const UpdateRegistration& registration)
{
    if (!validIndex(registration.index)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UpdateRegistration>& listeners = byParameter_[static_cast<std::size_t>(registration.index)];
    const auto found = std::find(listeners.begin(), listeners.end(), registration);
    if (found == listeners.end()) {
        return false;
    }
    listeners.erase(found);
    --total_;
    if (listeners.empty()) {
        // Gives the memory back: a peer cannot leave 2081 grown arrays behind.
        std::vector<UpdateRegistration>().swap(listeners);
        setFlag(registration.index, false);
    }
    return true;
}

std::vector<UpdateRegistration> UpdateRegistry::registrationsFor(int index) const
{
    if (!validIndex(index)) {
        return {};
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return byParameter_[static_cast<std::size_t>(index)];
}

std::vector<UpdateRegistration> UpdateRegistry::all() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UpdateRegistration> copies;
    copies.reserve(total_);
    for (const std::vector<UpdateRegistration>& listeners : byParameter_) {
        copies.insert(copies.end(), listeners.begin(), listeners.end());
    }
    return copies;
}

std::size_t UpdateRegistry::size() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return total_;
}

std::size_t UpdateRegistry::countFor(int index) const
{
    if (!validIndex(index)) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    return byParameter_[static_cast<std::size_t>(index)].size();
}

bool UpdateRegistry::isRegistered(int index) const
{
    return validIndex(index) && flags_[static_cast<std::size_t>(index)].load(std::memory_order_acquire) != 0;
}

void UpdateRegistry::setFlag(int index, bool registered)
{
    if (validIndex(index)) {
        flags_[static_cast<std::size_t>(index)].store(registered ? 1 : 0, std::memory_order_release);
    }
}

}  // namespace QN
