#include "engine/osc/OSCHelper.h"

#include "engine/osc/OscLog.h"
#include "engine/osc/OscPortUnavailable.h"
#include "engine/osc/OscReceiveLoop.h"
#include "engine/osc/ScriptOscRegistration.h"
#include "engine/net/OscOutbox.h"
#include "engine/net/UdpOscNetwork.h"
#include "platform/PreferenceStore.h"
#include "platform/ThreadName.h"
#include "engine/scripting/LuaMIDIHelper.h"

#include <oscpack/osc/OscException.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <system_error>

namespace QN {

namespace {

// Sets an event when it goes out of scope: a thread's "I have ended" signal.
class SignalOnExit {
public:
    explicit SignalOnExit(platform::Event& event) : event_(event) {}
    ~SignalOnExit() { event_.set(); }
    SignalOnExit(const SignalOnExit&) = delete;
    SignalOnExit& operator=(const SignalOnExit&) = delete;

private:
    platform::Event& event_;
};

}  // namespace

OSCHelper::OSCHelper(PluginServices* plugin, LuaMIDIHelper* luaHelper)
    : OSCHelper(plugin, luaHelper, UdpOscNetwork::shared())
{
}

OSCHelper::OSCHelper(PluginServices* plugin, LuaMIDIHelper* luaHelper, OscNetwork& network)
    : luaHelper_(luaHelper),
      network_(network),
      handler_(plugin, luaHelper, updates_, paths_, network, pendingReplies_)
{
    // The scripts' sendOSC may first run on the audio thread, which must not make the
    // outbox (it allocates and starts a thread).
    OscOutbox::shared();
}

OSCHelper::~OSCHelper() { Stop(); }

void OSCHelper::Start()
{
    if (oscThread_.joinable()) {
        std::fputs("Warning: Attempt to recreate OSC task\n", stdout);
        std::fflush(stdout);
        return;
    }
    startThreads();
    // A port asked for before the start (or kept over a Stop) is opened now, and
    // notifications queued while stopped are sent (their queue only signals when it was
    // written, and Stop took that signal).
    if (port_.load(std::memory_order_acquire) != 0) {
        oscWake_.raise(kOscRestart);
    }
    notifyWake_.raise(kNotifyPending);
}

void OSCHelper::startThreads()
{
    network_.wakeOnLookups(notifyWake_, kNotifyLookups);
    wakingOnLookups_ = true;
    try {
        oscThread_ = std::thread([this] { oscThreadMain(); });
    } catch (const std::system_error& error) {
        std::printf("failed to create OSC thread: %d\n", error.code().value());
        std::fflush(stdout);
        return;
    }
    try {
        notifyThread_ = std::thread([this] { notifyThreadMain(); });
    } catch (const std::system_error& error) {
        std::printf("failed to create OSC notify thread: %d\n", error.code().value());
        std::fflush(stdout);
    }
}

void OSCHelper::Stop()
{
    if (wakingOnLookups_) {
        network_.stopWakingOnLookups(notifyWake_);
        wakingOnLookups_ = false;
    }
    if (!oscThread_.joinable() && !notifyThread_.joinable()) {
        return;
    }
    requestGeneration_.fetch_add(1, std::memory_order_acq_rel);
    oscWake_.raise(kOscQuit);
    notifyWake_.raise(kNotifyQuit);
    breakActiveLoop();
    joinThread(oscThread_, oscFinished_, "OSC");
    joinThread(notifyThread_, notifyFinished_, "OSC notify");
    pendingReplies_.clear();
    // Signals the threads did not take must not reach the next Start; a port asked for
    // meanwhile is opened by Start (port_ keeps it).
    oscWake_.take();
    notifyWake_.take();
}

// Threads cannot be ended from outside safely: running Lua is interrupted by the
// scripting helper's stop request, and after kStopWaitMs we say so and keep waiting.
void OSCHelper::joinThread(std::thread& thread, platform::Event& finished, const char* name)
{
    if (!thread.joinable()) {
        return;
    }
    if (!finished.wait(kStopWaitMs)) {
        std::printf("%s thread did not end within %d ms; still waiting for it\n", name, kStopWaitMs);
        std::fflush(stdout);
    }
    thread.join();
    finished.wait(0);
}

void OSCHelper::Listen(int port)
{
    if (port == 0) {
        StopListening();
        return;
    }
    port_.store(port, std::memory_order_release);
    requestGeneration_.fetch_add(1, std::memory_order_acq_rel);
    oscWake_.raise(kOscRestart);
    notifyWake_.raise(kNotifyLoopBreak);
}

void OSCHelper::StopListening()
{
    port_.store(0, std::memory_order_release);
    requestGeneration_.fetch_add(1, std::memory_order_acq_rel);
    notifyWake_.raise(kNotifyLoopBreak);
}

void OSCHelper::parameterChanged(int id, float plainValue)
{
    if (updates_.isRegistered(id) && setParamQueue_.Write(id, plainValue)) {
        notifyWake_.raise(kNotifyPending);
    }
}

// Called on: OSC thread.
void OSCHelper::oscThreadMain()
{
    platform::nameThisThread("lf-osc-rx");
    SignalOnExit finished(oscFinished_);
    for (;;) {
        const std::uint32_t reasons = oscWake_.wait(-1);
        if ((reasons & kOscQuit) != 0) {
            return;
        }
        if ((reasons & kOscRestart) != 0) {
            serveRequestedPort();
        }
    }
}

// Called on: OSC thread. Errors end this receive loop only; the thread waits for the
// next restart.
void OSCHelper::serveRequestedPort()
{
    const unsigned generation = requestGeneration_.load(std::memory_order_acquire);
    const int port = port_.load(std::memory_order_acquire);
    if (port == 0) {
        return;
    }
    try {
        if (port < 1 || port > 65535) {
            throw std::runtime_error("port out of range: base port + offset must be 1 to 65535");
        }
        runLoop(bindAddress(), port, generation);
    } catch (const OscPortUnavailable& error) {
        OscLog::line(error.what());
    } catch (const osc::Exception& error) {
        OscLog::taskError("osc::Exception", error.what());
    } catch (const std::exception& error) {
        OscLog::taskError("std::runtime_error", error.what());
    }
}

void OSCHelper::runLoop(std::uint32_t address, int port, unsigned generation)
{
    OscReceiveLoop loop(address, port, handler_, [this, generation] {
        return requestGeneration_.load(std::memory_order_acquire) == generation;
    });
    handler_.setListeningPort(port);
    publishLoop(&loop, port, generation);
    try {
        loop.run();
    } catch (...) {
        publishLoop(nullptr, 0, 0);
        throw;
    }
    publishLoop(nullptr, 0, 0);
}

// "OSC Bind Address": empty or absent means every interface; otherwise a dotted
// address or a host name of this machine (for example 127.0.0.1 to stay local).
std::uint32_t OSCHelper::bindAddress()
{
    const std::optional<std::string> text = platform::readPreferenceString("OSC Bind Address");
    if (!text || text->empty()) {
        return 0;
    }
    const std::optional<std::uint32_t> address = network_.resolve(*text);
    if (!address) {
        throw std::runtime_error("cannot resolve OSC Bind Address '" + *text + "'");
    }
    return *address;
}

void OSCHelper::publishLoop(OscReceiveLoop* loop, int port, unsigned generation)
{
    std::lock_guard<std::mutex> lock(loopMutex_);
    activeLoop_ = loop;
    activeGeneration_ = generation;
    activePort_.store(port, std::memory_order_release);
}

// Called on: notify thread, after Listen or StopListening.
void OSCHelper::breakStaleLoop()
{
    std::lock_guard<std::mutex> lock(loopMutex_);
    if (activeLoop_ != nullptr && activeGeneration_ != requestGeneration_.load(std::memory_order_acquire)) {
        activeLoop_->breakAsync();
    }
}

// Called on: host thread (Stop).
void OSCHelper::breakActiveLoop()
{
    std::lock_guard<std::mutex> lock(loopMutex_);
    if (activeLoop_ != nullptr) {
        activeLoop_->breakAsync();
    }
}

// Called on: notify thread.
void OSCHelper::notifyThreadMain()
{
    platform::nameThisThread("lf-osc-notify");
    SignalOnExit finished(notifyFinished_);
    for (;;) {
        // Sleeps without a limit unless an answer waits for its host's lookup.
        const std::uint32_t reasons = notifyWake_.wait(pendingReplies_.msUntilFirstDeadline());
        if ((reasons & kNotifyQuit) != 0) {
            return;
        }
        if ((reasons & kNotifyLoopBreak) != 0) {
            breakStaleLoop();
        }
        if ((reasons & kNotifyPending) != 0) {
            drainNotifications();
        }
        pendingReplies_.serve(network_);
    }
}

// Called on: notify thread. A notification that cannot be built or sent is skipped.
void OSCHelper::drainNotifications()
{
    SetParamQueue::Entry entry;
    while (setParamQueue_.take(entry)) {
        try {
            for (const UpdateRegistration& registration : updates_.registrationsFor(entry.index)) {
                if (!OscRequestHandler::sendUpdate(network_, registration.endpoint, registration.path, entry.index,
                                                   entry.value)) {
                    OscLog::line("unable to send an OSC update notification");
                }
            }
        } catch (const std::exception& error) {
            OscLog::line(error.what());
        }
    }
}

int OSCHelper::scriptRegisterPathForParameter(lua_State* L, bool normalized)
{
    return ScriptOscRegistration::registerParameterPath(L, paths_, normalized);
}

int OSCHelper::scriptRegisterPathForFunction(lua_State* L)
{
    return ScriptOscRegistration::registerFunctionPath(L, paths_);
}

}  // namespace QN
