#pragma once
// The instance's scripting helper. It owns the one Lua state that MIDI scripts,
// spectral scripts and OSC share, registers the scripting interface, runs the built-in
// "midi.lua" (or the user's) and every user script at start, and is afterwards the
// single way into that state: MIDI handlers (audio thread), timers (timer worker),
// OSC requests (OSC thread) and spectral scripts (audio thread) all hold the state's gate
// (luaLock()) for the whole call. The audio thread takes it with holdForAudio, never
// waiting long, and runs on a Lua thread of its own (see ScriptStateGate).

#include "engine/scripting/LuaHeaders.h"
#include "engine/scripting/LuaMemoryKeeper.h"
#include "engine/scripting/LuaMemoryPool.h"
#include "engine/scripting/LuaWatchdog.h"
#include "engine/scripting/MessageQueue.h"
#include "engine/scripting/MidiReceiver.h"
#include "engine/scripting/MidiRequests.h"
#include "engine/scripting/ScriptConsole.h"
#include "engine/scripting/ScriptStateGate.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>

namespace platform {
class TimerQueue;
}

namespace QN {

class PluginServices;
class ScriptOscBridge;

class LuaMIDIHelper : public MidiReceiver {
public:
    static constexpr const char* kTimerMetatable = "QN::LuaMIDIHelper::Timer";

    // oscBridge: where the scripts' OSC functions go; null leaves them without an OSC server.
    LuaMIDIHelper(PluginServices* plugin, MessageQueue* queue, ScriptOscBridge* oscBridge = nullptr);
    // Stops running Lua (timers, OSC), waits for timer callbacks, closes the state.
    ~LuaMIDIHelper() override;
    LuaMIDIHelper(const LuaMIDIHelper&) = delete;
    LuaMIDIHelper& operator=(const LuaMIDIHelper&) = delete;

    // MIDI operations. Called on: the audio thread (queued events) and the OSC thread
    // (notes). Each registered function is called under the Lua lock.
    void NoteOn(int channel, int note, int velocity) override;
    void NoteOff(int channel, int note, int velocity) override;
    void ControlChange(int channel, int controller, int value) override;
    void PitchWheel(int channel, int lsb, int msb) override;
    void PolyPressure(int channel, int note, int pressure) override;
    void ProgramChange(int channel, int program) override;
    void ChannelPressure(int channel, int pressure) override;
    virtual bool IsParameterUsed(int index);
    virtual void SetGUIBoolValue(int id, bool flag) = 0;
    virtual bool GetGUIBoolValue(int id) = 0;
    // Adds the subclass's own functions to the state while it is being created.
    virtual void RegisterLuaFunctions() {}

    // Creates the state and runs the start-up scripts (host thread, once, while the
    // instance is built). The instance calls it when its parts are made.
    void start() { GetLuaState(); }
    // The state; the first call creates it as start() does. Null when Lua cannot be loaded.
    lua_State* GetLuaState();
    // Lowers the memory ceiling of the state (tests); bytes.
    void setMemoryLimit(std::size_t bytes) { memory_.setLimit(bytes); }
    ScriptStateGate& luaLock() { return gate_; }
    // The Lua thread for the caller's entry: the audio thread's own while it holds the
    // state, else the main one. The caller holds the state.
    lua_State* stateForCaller() const { return gate_.heldByAudio() ? audioL_ : L_; }

    // The audio thread's side. holdForAudio takes the state for the rest of the block (see
    // ScriptStateGate); false when another thread could not let go in time, and the block
    // then goes on without scripts. endAudioBlock lets go, and at most once a second posts a
    // line counting what went without scripts. Called on: the audio thread.
    bool holdForAudio();
    void endAudioBlock();
    // A spectral frame that ran without its script because the state was busy.
    void noteSkippedFrame() { skippedFrames_.fetch_add(1, std::memory_order_relaxed); }
    // MIDI events wait in the queue for the next block while the state is busy.
    bool readyForEvents() override;
    // Pays the collector for what the audio thread's run allocated, in small steps and
    // for a bounded time: never a full collection there.
    void collectAfterAudioRun(std::size_t usedBefore);
    std::size_t memoryUsed() const { return memory_.used(); }

    // What the audio thread met while sharing the state. Called on: any thread.
    struct AudioThreadStats {
        ScriptStateGate::AudioWaits waits;
        std::uint64_t skippedFrames = 0;
        std::uint64_t heldBackBlocks = 0;
        std::uint64_t memoryRefusals = 0;  // allocations the pool refused the audio thread
    };
    AudioThreadStats audioThreadStats() const;

    ScriptOscBridge* oscBridge() const { return oscBridge_; }
    PluginServices* plugin() const { return plugin_; }
    MidiRequests& requests() { return requests_; }
    // The script timers' queue; null once the timers were stopped.
    platform::TimerQueue* timerQueue() const { return liveTimerQueue_.load(std::memory_order_acquire); }

    // Makes any Lua code running now or later on another thread raise an error soon, so
    // that timer and OSC threads can end (instance destruction). Called on: host thread.
    void requestStop() { watchdog_.requestStop(); }
    // Ends every script timer, waiting for callbacks that are running (they are stopped
    // by requestStop's hook); no timer fires afterwards. Called on: host thread.
    void stopTimers();
    bool stopRequested() const { return watchdog_.stopRequested(); }
    // Every entry into the state makes one watchdog entry (the caller holds the Lua lock).
    LuaWatchdog& watchdog() { return watchdog_; }
    // Where print and script errors go.
    ScriptConsole& console() { return console_; }

    // Calls the registry function ref with number arguments under the Lua lock; an error
    // goes to the console, marked with what ran (source: "MIDI handler", "timer").
    void callRegisteredFunction(int ref, std::initializer_list<lua_Number> args, const char* source = "MIDI handler");
    // What a script timer costs against the state's memory ceiling while it lives: its
    // record and the platform timer are outside the state, but a script must not be able
    // to grow them without bound. The caller holds the Lua lock.
    static constexpr std::size_t kTimerRecordBytes = 256;
    bool reserveTimerMemory();
    void returnTimerMemory();
    // A timer that is done: its function reference and its memory are given back. Takes
    // the Lua lock.
    void releaseTimer(int functionRef);

    // The helper a Lua state belongs to (through the state's registry).
    static LuaMIDIHelper* fromState(lua_State* L);
    // Looks a parameter name up in the state's name map; -1 when absent.
    static int lookupParameterName(lua_State* L, const char* name);

    // "@@@ " and the formatted text as one console line (script and registration
    // problems). Called on: any thread.
    void diagnosticPrint(const char* format, const char* text);
    // The same for the helper of a state, from inside a Lua call.
    static void diagnosticPrint(lua_State* L, const char* format, const char* text);

protected:
    // The state while it is being created (for RegisterLuaFunctions) and afterwards.
    lua_State* luaState() const { return L_; }
    // Closes the state (nothing when it is closed already); a subclass whose members the
    // state's functions reach calls it in its own destructor.
    void closeState();

private:
    void createState();
    static int setUpInterface(lua_State* L);
    void registerGlobalFunctions();
    void storeRegistryEntries();
    void setVersionGlobals();
    void runScripts();
    void runBuiltInScript();
    void runChunk(const char* source, const char* failureFormat);
    void callList(const RefList& list, std::initializer_list<lua_Number> args);
    void callKeyed(const KeyedRefs& map, int key, std::initializer_list<lua_Number> args);
    void dispatchNrpn(int channel);
    void reportSkipsWhenDue();
    static int collectSteps(lua_State* L);

    // First, so that it outlives the state closed in the destructor.
    LuaMemoryPool memory_;
    LuaMemoryKeeper memoryKeeper_{memory_};
    PluginServices* plugin_;
    MessageQueue* queue_;
    ScriptOscBridge* oscBridge_;
    lua_State* L_ = nullptr;
    lua_State* audioL_ = nullptr;  // a thread of L_, kept in its registry
    bool creationAttempted_ = false;
    ScriptStateGate gate_;
    MidiRequests requests_;
    NrpnState nrpn_;
    std::unique_ptr<platform::TimerQueue> timers_;
    std::atomic<platform::TimerQueue*> liveTimerQueue_{nullptr};
    std::unordered_map<std::string, int>* parameterLookup_ = nullptr;
    LuaWatchdog watchdog_;
    ScriptConsole console_;

    std::atomic<std::uint64_t> skippedFrames_{0};
    std::atomic<std::uint64_t> heldBackBlocks_{0};
    std::size_t gcDebt_ = 0;                // audio thread only
    std::int64_t lastSkipReportNs_ = 0;     // audio thread only
    std::uint64_t reportedSkips_ = 0;       // audio thread only
};

}  // namespace QN
