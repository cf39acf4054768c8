#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace QN {

// Host calls the editor made on a thread the host does not know (its idle stand-in),
// waiting in order for the host GUI thread to send them: edit gestures, automation
// reports and display refreshes. The parameter values themselves change at once; only
// telling the host waits.
//
// A fixed ring: nothing is allocated per call. Reports of one parameter that follow each
// other keep only the newest value (the host would stamp them all at the moment they are
// sent anyway). When the ring is nearly full a new gesture is dropped whole, its begin,
// reports and end together; the last kEndReserve slots are kept for ends, so an end whose
// begin went out or waits here is never dropped and the host never sees a begin without
// its end.
//
// Called on: the editor's threads (host GUI thread, stand-in). A small lock guards the
// ring; the caller sends what it pops with no lock held.
class HostCallQueue {
public:
    enum class Kind : std::uint8_t { BeginEdit, Automate, EndEdit, UpdateDisplay };
    struct Call {
        Kind kind = Kind::UpdateDisplay;
        int index = 0;
        float value = 0.0f;  // Automate: the host's 0..1 value
    };

    static constexpr std::size_t kCapacity = 1024;
    static constexpr std::size_t kEndReserve = 16;

    // Indices outside 0..parameterCount-1 are ignored.
    explicit HostCallQueue(int parameterCount);
    HostCallQueue(const HostCallQueue&) = delete;
    HostCallQueue& operator=(const HostCallQueue&) = delete;

    void beginEdit(int index);
    void automate(int index, float normalized);
    void endEdit(int index);
    void updateDisplay();

    // Takes the oldest waiting call; false when none waits.
    bool pop(Call& call);
    [[nodiscard]] bool empty() const;

private:
    [[nodiscard]] bool isKnown(int index) const;
    [[nodiscard]] bool hasRoomBeforeReserve() const { return count_ + kEndReserve < kCapacity; }
    [[nodiscard]] Call* newest();
    void append(const Call& call);

    mutable std::mutex mutex_;
    std::array<Call, kCapacity> ring_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    // Per parameter: its gesture's begin found no room, so its reports and end go too.
    std::vector<std::uint8_t> droppedGesture_;
    // A display refresh that found no room goes out once the ring is empty.
    bool displayOwed_ = false;
};

}  // namespace QN
