#pragma once
// The instance's OSC server. Two threads of its own:
//  - the OSC thread waits for a restart or quit request; on a restart it binds the
//    requested port (base port + "OSC Port Offset") and runs the receive loop, handing
//    every datagram to the request handler, until the loop is broken;
//  - the notify thread sends the queued parameter changes to the peers that registered
//    for them, breaks a receive loop whose port is no longer wanted, and sends the answers
//    that waited for their reply host's lookup (PendingReplies).
// Listen and StopListening may be called on the audio thread (a MIDI script can change
// parameter 0), so they only record the request and signal events; all socket work
// happens on the two threads.
//
// Scripts add OSC addresses through the ScriptOscBridge interface (registerOSCPath...).

#include "engine/net/OscNetwork.h"
#include "engine/osc/OscRequestHandler.h"
#include "engine/osc/PendingReplies.h"
#include "engine/osc/ScriptPathTable.h"
#include "engine/osc/SetParamQueue.h"
#include "engine/osc/UpdateRegistry.h"
#include "platform/Event.h"
#include "platform/WakeFlags.h"
#include "engine/scripting/ScriptOscBridge.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace QN {

class LuaMIDIHelper;
class OscReceiveLoop;
class PluginServices;

class OSCHelper : public ScriptOscBridge {
public:
    using SetParamQueue = QN::SetParamQueue;
    static constexpr int kParameterSlots = UpdateRegistry::kParameterSlots;
    static constexpr int kStopWaitMs = 5000;

    // plugin and luaHelper may be null (then parameter and Lua requests fail). Makes
    // itself the scripts' OSC bridge. Called on: host thread, while the instance is built.
    OSCHelper(PluginServices* plugin, LuaMIDIHelper* luaHelper);
    // The same with another network (tests).
    OSCHelper(PluginServices* plugin, LuaMIDIHelper* luaHelper, OscNetwork& network);
    ~OSCHelper() override;
    OSCHelper(const OSCHelper&) = delete;
    OSCHelper& operator=(const OSCHelper&) = delete;

    // Called on: host thread (initialize, cleanup, destruction).
    virtual void Start();
    virtual void Stop();
    // port: base port + offset. Called on: any thread that changes "OSC Port Offset" or
    // selects a program, the audio thread included (no allocation, no socket work).
    virtual void Listen(int port);
    virtual void StopListening();

    // Called on: any thread, after a parameter value was stored. Only tests a flag and,
    // when a peer registered for the id, queues the plain value and signals the notify
    // thread.
    void parameterChanged(int id, float plainValue);

    void setUpdateRegistered(int id, bool registered) { updates_.setFlag(id, registered); }
    bool isUpdateRegistered(int id) const { return updates_.isRegistered(id); }
    SetParamQueue& setParamQueue() { return setParamQueue_; }
    const UpdateRegistry& updateRegistry() const { return updates_; }

    // The port most recently asked for; 0 when not listening.
    int requestedPort() const { return port_.load(std::memory_order_acquire); }
    // The port of the running receive loop; 0 when none. Called on: any thread.
    int activePort() const { return activePort_.load(std::memory_order_acquire); }
    OscRequestHandler& requestHandler() { return handler_; }

    // ScriptOscBridge. Called on: whichever thread runs the script (under the Lua lock).
    int scriptRegisterPathForParameter(lua_State* L, bool normalized) override;
    int scriptRegisterPathForFunction(lua_State* L) override;

private:
    void startThreads();
    void oscThreadMain();
    void notifyThreadMain();
    void serveRequestedPort();
    void runLoop(std::uint32_t bindAddress, int port, unsigned generation);
    std::uint32_t bindAddress();
    void drainNotifications();
    void publishLoop(OscReceiveLoop* loop, int port, unsigned generation);
    void breakStaleLoop();
    void breakActiveLoop();
    static void joinThread(std::thread& thread, platform::Event& finished, const char* name);

    // Why the OSC thread and the notify thread wake up. Raised without a lock, since Listen
    // and parameterChanged run on the audio thread when a MIDI script moves parameters.
    enum OscWake : std::uint32_t { kOscQuit = 1, kOscRestart = 2 };
    enum NotifyWake : std::uint32_t {
        kNotifyQuit = 1,
        kNotifyPending = 2,
        kNotifyLoopBreak = 4,
        kNotifyLookups = 8,  // an answer waits for a lookup, or a lookup ended
    };
    platform::WakeFlags oscWake_;
    platform::WakeFlags notifyWake_;

    LuaMIDIHelper* luaHelper_;
    OscNetwork& network_;
    UpdateRegistry updates_;
    ScriptPathTable paths_;
    SetParamQueue setParamQueue_;
    PendingReplies pendingReplies_{notifyWake_, kNotifyLookups};
    bool wakingOnLookups_ = false;  // host thread (Start, Stop)
    OscRequestHandler handler_;
    platform::Event oscFinished_, notifyFinished_;
    std::thread oscThread_, notifyThread_;

    // port_ and requestGeneration_ are written by Listen/StopListening/Stop and read by
    // the OSC and notify threads. Every request bumps the generation, so a loop opened
    // for an older request knows it is stale.
    std::atomic<int> port_{0};
    std::atomic<unsigned> requestGeneration_{0};

    // The running receive loop; guarded by loopMutex_ (OSC thread, notify thread, Stop).
    std::mutex loopMutex_;
    OscReceiveLoop* activeLoop_ = nullptr;
    unsigned activeGeneration_ = 0;
    std::atomic<int> activePort_{0};
};

}  // namespace QN
