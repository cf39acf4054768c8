#pragma once

#include "platform/MultiProducerRing.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

namespace QN {

// Parameter changes waiting for the editor's controls: (index, plain value) pairs in
// arrival order, written by whatever thread set the parameter and drained on the
// host GUI thread. Only indices that some control listens to are kept.
//
// A bounded multi-producer ring: push never allocates, locks or waits, so the audio
// thread may call it. When the ring is full the change
// is dropped and the next drain reports it, and the editor then refreshes every
// control from the plug-in's current values, so nothing is lost for good.
class PendingParameterChanges {
public:
    static constexpr std::size_t kCapacity = 4096;  // a power of two

    explicit PendingParameterChanges(int parameterCount);
    PendingParameterChanges(const PendingParameterChanges&) = delete;
    PendingParameterChanges& operator=(const PendingParameterChanges&) = delete;

    // Called on: host GUI thread (while the layout registers its controls).
    void setListening(int index, bool listening);
    // Nobody listens any more and whatever waits is dropped. Called on: host GUI thread.
    void stopListening();
    [[nodiscard]] bool isListening(int index) const;

    // Called on: any thread, including the audio thread.
    void push(int index, float value);

    // Hands every waiting pair to sink in arrival order. False when changes were dropped
    // since the last drain. Called on: host GUI thread (one drainer at a time).
    bool drain(const std::function<void(int, float)>& sink);

private:
    struct Change {
        int index = 0;
        float value = 0.0f;
    };

    std::vector<std::atomic<bool>> listening_;
    platform::MultiProducerRing<Change, kCapacity> ring_;
    std::atomic<bool> overflowed_{false};
};

}  // namespace QN
