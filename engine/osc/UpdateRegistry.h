#pragma once
// The update registrations of one instance and the per-parameter flags the parameter
// setter tests. The registrations are changed by the OSC thread and read by the notify
// thread under one lock; the flags are lock-free bytes (set while a parameter has at least
// one registration) so the setter, which may run on the audio thread, never takes the lock.
//
// Every registration makes the instance send a datagram per change, so their number is
// bounded: at most kMaxPerParameter listeners per parameter and kMaxTotal in all. Each
// parameter keeps its listeners in a small array of its own, so finding a registration
// looks at no more than kMaxPerParameter entries however many there are in all.

#include "engine/osc/UpdateRegistration.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace QN {

class UpdateRegistry {
public:
    static constexpr int kParameterSlots = 2081;
    // A few controllers, each with a few views of the same control.
    static constexpr std::size_t kMaxPerParameter = 16;
    // Every control parameter (32) for eight peers; with paths of at most 1 KB this keeps
    // the registry under 300 KB, and one /getAllRegistered within a datagram's reply budget.
    static constexpr std::size_t kMaxTotal = 256;

    enum class AddResult { Added, AlreadyThere, ParameterFull, RegistryFull };

    // Called on: OSC thread. The same registration twice is kept once.
    AddResult add(const UpdateRegistration& registration);
    // Called on: OSC thread. Removes the equal registration; false when none.
    bool remove(const UpdateRegistration& registration);

    // Copies, so that sending happens without the lock. Called on: notify and OSC threads.
    std::vector<UpdateRegistration> registrationsFor(int index) const;
    // Every registration, ascending index, registration order within one index.
    std::vector<UpdateRegistration> all() const;

    // Called on: any thread but the audio thread (takes the lock).
    std::size_t size() const;
    std::size_t countFor(int index) const;

    // Called on: any thread (the flag alone; no lock, no allocation).
    bool isRegistered(int index) const;
    void setFlag(int index, bool registered);

private:
    static bool validIndex(int index) { return index >= 0 && index < kParameterSlots; }

    mutable std::mutex mutex_;
    std::array<std::vector<UpdateRegistration>, kParameterSlots> byParameter_;
    std::size_t total_ = 0;
    std::array<std::atomic<std::uint8_t>, kParameterSlots> flags_{};
};

}  // namespace QN
