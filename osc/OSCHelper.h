#pragma once
// The instance's OSC server: receiving and notifying threads, the port it listens on,
// and the parameters remote peers asked to be told about. The server itself arrives
// with the OSC control surface; until then the helper keeps the update registrations
// and the change queue so the parameter setter can already report to it.

#include "osc/SetParamQueue.h"

#include <array>
#include <atomic>

namespace QN {

class LuaMIDIHelper;

class OSCHelper {
public:
    using SetParamQueue = QN::SetParamQueue;
    static constexpr int kParameterSlots = 2081;

    explicit OSCHelper(LuaMIDIHelper* luaHelper);
    virtual ~OSCHelper();
    OSCHelper(const OSCHelper&) = delete;
    OSCHelper& operator=(const OSCHelper&) = delete;

    // Called on: the host thread (initialize, destruction).
    virtual void Start();
    virtual void Stop();
    // Called on: any thread that changes "OSC Port Offset" or selects a program.
    virtual void Listen(int port);
    virtual void StopListening();

    // Called on: any thread, after a parameter value was stored. Only tests a flag and,
    // when a peer registered for the id, queues the plain value for the notify thread.
    void parameterChanged(int id, float plainValue);

    void setUpdateRegistered(int id, bool registered);
    bool isUpdateRegistered(int id) const;
    SetParamQueue& setParamQueue() { return setParamQueue_; }

    // The port most recently asked for; 0 when not listening.
    int requestedPort() const { return requestedPort_.load(std::memory_order_relaxed); }

private:
    LuaMIDIHelper* luaHelper_;
    std::array<std::atomic<bool>, kParameterSlots> updateFlags_{};
    SetParamQueue setParamQueue_;
    std::atomic<int> requestedPort_{0};
};

}  // namespace QN
