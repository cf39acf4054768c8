#include "osc/UpdateRegistry.h"

namespace QN {

bool UpdateRegistry::add(const UpdateRegistration& registration)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto [first, last] = registrations_.equal_range(registration.index);
    for (auto it = first; it != last; ++it) {
        if (it->second == registration) {
            return false;
        }
    }
    registrations_.emplace(registration.index, registration);
    setFlag(registration.index, true);
    return true;
}

bool UpdateRegistry::remove(const UpdateRegistration& registration)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto [first, last] = registrations_.equal_range(registration.index);
    for (auto it = first; it != last; ++it) {
        if (it->second == registration) {
            registrations_.erase(it);
            setFlag(registration.index, registrations_.count(registration.index) != 0);
            return true;
        }
    }
    return false;
}

std::vector<UpdateRegistration> UpdateRegistry::registrationsFor(int index) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UpdateRegistration> copies;
    const auto [first, last] = registrations_.equal_range(index);
    for (auto it = first; it != last; ++it) {
        copies.push_back(it->second);
    }
    return copies;
}

std::vector<UpdateRegistration> UpdateRegistry::all() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UpdateRegistration> copies;
    copies.reserve(registrations_.size());
    for (const auto& entry : registrations_) {
        copies.push_back(entry.second);
    }
    return copies;
}

bool UpdateRegistry::isRegistered(int index) const
{
    return index >= 0 && index < kParameterSlots &&
           flags_[static_cast<std::size_t>(index)].load(std::memory_order_acquire) != 0;
}

void UpdateRegistry::setFlag(int index, bool registered)
{
    if (index >= 0 && index < kParameterSlots) {
        flags_[static_cast<std::size_t>(index)].store(registered ? 1 : 0, std::memory_order_release);
    }
}

}  // namespace QN
