#pragma once
// The update registrations of one instance and the per-parameter flags the parameter
// setter tests. The multimap is changed by the OSC thread and read by the notify thread
// under one lock; the flags are lock-free bytes (set while a parameter has at least one
// registration) so the setter, which may run on the audio thread, never takes the lock.

#include "osc/UpdateRegistration.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace QN {

class UpdateRegistry {
public:
    static constexpr int kParameterSlots = 2081;

    // Called on: OSC thread. False when the same registration already exists.
    bool add(const UpdateRegistration& registration);
    // Called on: OSC thread. Removes the first equal registration; false when none.
    bool remove(const UpdateRegistration& registration);

    // Copies, so that sending happens without the lock. Called on: notify and OSC threads.
    std::vector<UpdateRegistration> registrationsFor(int index) const;
    // Every registration, ascending index, registration order within one index.
    std::vector<UpdateRegistration> all() const;

    // Called on: any thread (the flag alone; no lock, no allocation).
    bool isRegistered(int index) const;
    void setFlag(int index, bool registered);

private:
    mutable std::mutex mutex_;
    std::multimap<int, UpdateRegistration> registrations_;
    std::array<std::atomic<std::uint8_t>, kParameterSlots> flags_{};
};

}  // namespace QN
