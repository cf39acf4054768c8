#include "engine/scripting/LuaMIDIHelper.h"

#include "platform/CLocaleScope.h"
#include "platform/Resources.h"
#include "platform/TimerQueue.h"
#include "engine/model/ParameterTable.h"
#include "platform/UserFolders.h"
#include "engine/scripting/LiveInstances.h"
#include "engine/scripting/LuaCall.h"
#include "engine/scripting/LuaScriptFunctions.h"
#include "engine/scripting/LuaTimers.h"
#include "engine/scripting/ScriptSandbox.h"
#include "Version.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

namespace QN {

namespace {

// Registry keys: the addresses of these strings, pushed as light userdata, which no
// script can forge.
const char kRefconKey[] = "QN::LuaMIDIHelper::kRefcon";
const char kParamLookupKey[] = "QN::LuaMIDIHelper::kParamLookup";

constexpr int kBuiltInScriptId = 136;

constexpr std::int64_t kSkipReportIntervalNs = 1000000000;
// The collector's time on the audio thread after one run, and what one step pays for (the
// allocation between two of the collector's own steps).
constexpr std::int64_t kAudioCollectNs = 100000;
constexpr std::size_t kCollectStepBytes = 1024;

std::int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// getAudioThreadStats(): what the audio thread met while sharing the state with timers and
// OSC requests, as a table.
int getAudioThreadStats(lua_State* L)
{
    const LuaMIDIHelper* helper = LuaMIDIHelper::fromState(L);
    const LuaMIDIHelper::AudioThreadStats stats = helper ? helper->audioThreadStats() : LuaMIDIHelper::AudioThreadStats{};
    lua_createtable(L, 0, 7);
    const struct {
        const char* name;
        lua_Number value;
    } fields[] = {
        {"longestWait", static_cast<lua_Number>(stats.waits.longestNs) / 1e9},
        {"longestWallWait", static_cast<lua_Number>(stats.waits.longestWallNs) / 1e9},
        {"waits", static_cast<lua_Number>(stats.waits.waits)},
        {"giveUps", static_cast<lua_Number>(stats.waits.giveUps)},
        {"skippedFrames", static_cast<lua_Number>(stats.skippedFrames)},
        {"heldBackBlocks", static_cast<lua_Number>(stats.heldBackBlocks)},
        {"memoryRefusals", static_cast<lua_Number>(stats.memoryRefusals)},
    };
    for (const auto& field : fields) {
        lua_pushnumber(L, field.value);
        lua_setfield(L, -2, field.name);
    }
    return 1;
}

struct NamedFunction {
    const char* name;
    lua_CFunction function;
};

constexpr NamedFunction kGlobalFunctions[] = {
    {"setParameter", script::setParameter},
    {"getParameter", script::getParameter},
    {"getParameterID", script::getParameterID},
    {"getParameterMinMax", script::getParameterMinMax},
    {"getParameterUnit", script::getParameterUnit},
    {"getParameterName", script::getParameterName},
    {"isParameterUsed", script::isParameterUsed},
    {"getNumParameters", script::getNumParameters},
    {"sendOSC", script::sendOSC},
    {"setOthersParameter", script::setOthersParameter},
    {"getOthersParameter", script::getOthersParameter},
    {"setBinLevelsHz", script::setBinLevelsHz},
    {"getBinForHz", script::getBinForHz},
    {"requestAllNoteOn", script::requestAllNoteOn},
    {"requestAllNoteOff", script::requestAllNoteOff},
    {"requestAllCC", script::requestAllCC},
    {"requestAllNRPN", script::requestAllNRPN},
    {"requestAllProgramChange", script::requestAllProgramChange},
    {"requestAllPolyPressure", script::requestAllPolyPressure},
    {"requestNoteOn", script::requestNoteOn},
    {"requestNoteOff", script::requestNoteOff},
    {"requestCC", script::requestCC},
    {"requestNRPN", script::requestNRPN},
    {"requestPitchWheel", script::requestPitchWheel},
    {"requestChannelPressure", script::requestChannelPressure},
    {"requestProgramChange", script::requestProgramChange},
    {"requestPolyPressure", script::requestPolyPressure},
    {"time", script::time},
    {"requestTimedCallback", script::requestTimedCallback},
    {"requestPeriodicCallback", script::requestPeriodicCallback},
    {"cancelTimer", script::cancelTimer},
    {"setGUIBoolValue", script::setGUIBoolValue},
    {"getGUIBoolValue", script::getGUIBoolValue},
    {"setOthersGUIBoolValue", script::setOthersGUIBoolValue},
    {"getOthersGUIBoolValue", script::getOthersGUIBoolValue},
    {"registerOSCPathForParameter", script::registerOSCPathForParameter},
    {"registerOSCPathForParameterNormalized", script::registerOSCPathForParameterNormalized},
    {"registerOSCPathForFunction", script::registerOSCPathForFunction},
    {"getAudioThreadStats", getAudioThreadStats},
    {"savePreset", script::savePreset},
    {"loadPreset", script::loadPreset},
};

bool namedLikeMidiScript(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.compare(0, 8, "midi.lua") == 0;
}

}  // namespace

LuaMIDIHelper::LuaMIDIHelper(PluginServices* plugin, MessageQueue* queue, ScriptOscBridge* oscBridge)
    : plugin_(plugin), queue_(queue), oscBridge_(oscBridge), timers_(std::make_unique<platform::TimerQueue>()), liveTimerQueue_(timers_.get())
{
}

LuaMIDIHelper::~LuaMIDIHelper()
{
    requestStop();
    stopTimers();
    closeState();
}

void LuaMIDIHelper::stopTimers()
{
    {
        // No script is inside a timer function while the Lua lock is held, so none can
        // still be using the queue after this.
        std::lock_guard<QN::ScriptStateGate> lock(gate_);
        liveTimerQueue_.store(nullptr, std::memory_order_release);
    }
    timers_.reset();  // waits for running callbacks; they take the timer lock themselves
    forgetTimersOf(this);
}

void LuaMIDIHelper::closeState()
{
    std::lock_guard<QN::ScriptStateGate> lock(gate_);
    if (L_ != nullptr) {
        lua_close(L_);
        L_ = nullptr;
        audioL_ = nullptr;
    }
    delete parameterLookup_;
    parameterLookup_ = nullptr;
}

lua_State* LuaMIDIHelper::GetLuaState()
{
    std::lock_guard<QN::ScriptStateGate> lock(gate_);
    if (L_ == nullptr && !creationAttempted_) {
        creationAttempted_ = true;
        createState();
    }
    return L_;
}

static int reportPanic(lua_State* L)
{
    const char* message = lua_tostring(L, -1);
    std::fprintf(stdout, "@@@ Lua panic: %s\n", message ? message : "(no message)");
    std::fflush(stdout);
    return 0;
}

void LuaMIDIHelper::createState()
{
    platform::CLocaleScope numbersWithPoints;
    L_ = lua_newstate(LuaMemoryPool::allocate, &memory_);
    if (L_ == nullptr) {
        L_ = luaL_newstate();  // interpreters that do not take our allocator
    } else {
        lua_atpanic(L_, reportPanic);
    }
    if (L_ == nullptr) {
        std::fputs("@@@ Lua is not available: scripts are off for this instance\n", stdout);
        return;
    }
    watchdog_.setBudget(LuaWatchdog::budgetFromPreferences());
    watchdog_.attach(L_, &gate_);
    console_.attach(L_);
    if (!protectedCCall(L_, setUpInterface, this, LuaErrorPolicy::Silent) || !restrictScriptLibraries(L_) ||
        !protectedCCall(L_, LuaWatchdog::makeStopsUncatchable, nullptr, LuaErrorPolicy::Silent)) {
        std::fputs("@@@ Lua could not start (not enough memory): scripts are off for this instance\n", stdout);
        lua_close(L_);
        L_ = nullptr;
        audioL_ = nullptr;  // a thread of the state just closed
        return;
    }
    runScripts();
}

// Everything a new state needs before the scripts run, in protected mode.
int LuaMIDIHelper::setUpInterface(lua_State* L)
{
    auto* helper = static_cast<LuaMIDIHelper*>(lua_touserdata(L, 1));
    luaL_openlibs(L);
    lua_register(L, "print", script::print);
    helper->registerGlobalFunctions();
    luaL_newmetatable(L, kTimerMetatable);
    lua_pushliteral(L, "locked");  // no script may give timers a finalizer
    lua_setfield(L, -2, "__metatable");
    lua_pop(L, 1);
    helper->RegisterLuaFunctions();
    helper->storeRegistryEntries();
    // The audio thread's Lua thread: while a timer's or OSC request's script is parked on
    // the main thread, the audio thread's scripts run here.
    helper->audioL_ = lua_newthread(L);
    luaL_ref(L, LUA_REGISTRYINDEX);
    helper->setVersionGlobals();
    return 0;
}

void LuaMIDIHelper::registerGlobalFunctions()
{
    for (const NamedFunction& entry : kGlobalFunctions) {
        lua_register(L_, entry.name, entry.function);
    }
}

void LuaMIDIHelper::storeRegistryEntries()
{
    lua_pushlightuserdata(L_, const_cast<char*>(kRefconKey));
    lua_pushlightuserdata(L_, this);
    lua_rawset(L_, LUA_REGISTRYINDEX);

    // Inserted in index order, so a repeated name ("Dummy") maps to its highest index.
    parameterLookup_ = new std::unordered_map<std::string, int>();
    for (int id = 0; id < kParameterCount; ++id) {
        (*parameterLookup_)[parameterInfo(id).name] = id;
    }
    lua_pushlightuserdata(L_, const_cast<char*>(kParamLookupKey));
    lua_pushlightuserdata(L_, parameterLookup_);
    lua_rawset(L_, LUA_REGISTRYINDEX);
}

void LuaMIDIHelper::setVersionGlobals()
{
    struct Flag {
        const char* name;
        bool value;
    };
    for (const Flag& flag : {Flag{"isMac", false}, Flag{"isWin", true}, Flag{"isVST", true}, Flag{"isAU", false}}) {
        lua_pushboolean(L_, flag.value);
        lua_setglobal(L_, flag.name);
    }
    struct Number {
        const char* name;
        int value;
    };
    for (const Number& number : {Number{"majorVersion", version::kMajor}, Number{"minorVersion", version::kMinor},
                                 Number{"dotVersion", version::kDot}, Number{"version", version::kScriptNumber}}) {
        lua_pushnumber(L_, number.value);
        lua_setglobal(L_, number.name);
    }
}

void LuaMIDIHelper::runScripts()
{
    std::vector<std::string> files;
    listScriptFiles(files);
    bool userMidiScript = false;
    for (const std::string& file : files) {
        userMidiScript = userMidiScript || namedLikeMidiScript(file);
    }
    if (!userMidiScript) {
        runBuiltInScript();
    }
    for (const std::string& file : files) {
        runChunk(file.c_str(), "failed to run file: %s\n");
    }
}

namespace {

// The chunk to run at start-up: a file, or the built-in script from memory.
struct StartUpChunk {
    const char* path = nullptr;
    const char* text = nullptr;
    std::size_t size = 0;
    const char* name = nullptr;
};

// Loads and runs one start-up chunk inside the protection.
int runStartUpChunk(lua_State* L)
{
    const auto* chunk = static_cast<const StartUpChunk*>(lua_touserdata(L, 1));
    const int loaded = chunk->path != nullptr ? luaL_loadfile(L, chunk->path)
                                              : luaL_loadbuffer(L, chunk->text, chunk->size, chunk->name);
    if (loaded != 0) {
        return lua_error(L);
    }
    lua_call(L, 0, 0);
    return 0;
}

}  // namespace

// One start-up chunk under its own time budget: a script that runs too long is stopped
// with one line naming it, and the instance goes on without the rest of it.
void LuaMIDIHelper::runChunk(const char* source, const char* failureFormat)
{
    const auto resource = source == nullptr ? platform::findResource(platform::kResourceTypeScript, kBuiltInScriptId)
                                            : std::nullopt;
    if (source == nullptr && !resource) {
        diagnosticPrint(failureFormat, "the built-in midi.lua is missing");
        return;
    }
    StartUpChunk chunk;
    if (source != nullptr) {
        chunk.path = source;
    } else {
        chunk.text = reinterpret_cast<const char*>(resource->data);
        chunk.size = resource->size;
        chunk.name = "midi.lua";
    }
    LuaCallResult result;
    LuaWatchdog::Entry entry(watchdog_, L_);
    if (!protectedCCall(L_, runStartUpChunk, &chunk, LuaErrorPolicy::KeepMessage, &result)) {
        diagnosticPrint(failureFormat, result.message);
    }
}

void LuaMIDIHelper::runBuiltInScript() { runChunk(nullptr, "failed to run buffer: %s\n"); }

void LuaMIDIHelper::diagnosticPrint(const char* format, const char* text)
{
    char line[ScriptConsole::kTextBytes];
    std::snprintf(line, sizeof(line), "@@@ ");
    std::snprintf(line + 4, sizeof(line) - 4, format, text ? text : "");
    console_.post("", line);
}

void LuaMIDIHelper::diagnosticPrint(lua_State* L, const char* format, const char* text)
{
    if (LuaMIDIHelper* helper = fromState(L)) {
        helper->diagnosticPrint(format, text);
    }
}

LuaMIDIHelper* LuaMIDIHelper::fromState(lua_State* L)
{
    lua_pushlightuserdata(L, const_cast<char*>(kRefconKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    auto* helper = static_cast<LuaMIDIHelper*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return helper;
}

int LuaMIDIHelper::lookupParameterName(lua_State* L, const char* name)
{
    lua_pushlightuserdata(L, const_cast<char*>(kParamLookupKey));
    lua_rawget(L, LUA_REGISTRYINDEX);
    const auto* lookup = static_cast<const std::unordered_map<std::string, int>*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    if (lookup == nullptr || name == nullptr) {
        return -1;
    }
    // The key is built from a C string of the state; a failed allocation here must not
    // unwind through Lua, so treat it as "not found".
    try {
        const auto found = lookup->find(name);
        return found == lookup->end() ? -1 : found->second;
    } catch (...) {
        return -1;
    }
}

bool LuaMIDIHelper::IsParameterUsed(int) { return true; }

void LuaMIDIHelper::callRegisteredFunction(int ref, std::initializer_list<lua_Number> args, const char* source)
{
    std::lock_guard<QN::ScriptStateGate> lock(gate_);
    if (L_ == nullptr || stopRequested()) {
        return;
    }
    // Neither reading a registry slot nor pushing numbers onto the stack's guaranteed
    // slots allocates, so nothing here can fail outside the protected call.
    lua_State* L = stateForCaller();
    const std::size_t usedBefore = memoryUsed();
    {
        LuaWatchdog::Entry entry(watchdog_, L);
        lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
        for (lua_Number arg : args) {
            lua_pushnumber(L, arg);
        }
        LuaCallResult result;
        if (!protectedCall(L, static_cast<int>(args.size()), 0, LuaErrorPolicy::KeepMessage, &result)) {
            console_.postError(source, result.message);
        }
    }
    if (L == audioL_) {
        collectAfterAudioRun(usedBefore);
    }
}

bool LuaMIDIHelper::holdForAudio()
{
    if (gate_.heldByAudio()) {
        return true;
    }
    if (!gate_.holdForAudio()) {
        return false;
    }
    memory_.setRealtime(true);
    // The collector runs on the audio thread only in collectAfterAudioRun's steps.
    if (audioL_ != nullptr) {
        lua_gc(audioL_, LUA_GCSTOP, 0);
    }
    return true;
}

void LuaMIDIHelper::endAudioBlock()
{
    if (gate_.heldByAudio()) {
        if (audioL_ != nullptr) {
            lua_gc(audioL_, LUA_GCRESTART, 0);
        }
        memory_.setRealtime(false);
        memoryKeeper_.askWhenWanted();
    }
    gate_.endAudioBlock();
    reportSkipsWhenDue();
}

bool LuaMIDIHelper::readyForEvents()
{
    if (holdForAudio()) {
        return true;
    }
    heldBackBlocks_.fetch_add(1, std::memory_order_relaxed);
    return false;
}

void LuaMIDIHelper::collectAfterAudioRun(std::size_t usedBefore)
{
    const std::size_t used = memoryUsed();
    gcDebt_ += used > usedBefore ? used - usedBefore : 0;
    if (gcDebt_ < kCollectStepBytes || audioL_ == nullptr) {
        return;
    }
    // A step may run a finalizer, which may fail: the steps run in protected mode (its
    // closure is made once, so entering allocates nothing).
    (void)protectedCCall(audioL_, collectSteps, this, LuaErrorPolicy::Silent);
    // A step leaves automatic collection on again; off it stays while the block runs.
    lua_gc(audioL_, LUA_GCSTOP, 0);
}

int LuaMIDIHelper::collectSteps(lua_State* L)
{
    auto* helper = static_cast<LuaMIDIHelper*>(lua_touserdata(L, 1));
    const std::int64_t deadline = steadyNs() + kAudioCollectNs;
    while (helper->gcDebt_ >= kCollectStepBytes) {
        helper->gcDebt_ -= kCollectStepBytes;
        lua_gc(L, LUA_GCSTEP, 0);
        if (steadyNs() > deadline) {
            break;
        }
    }
    return 0;
}

// Called on: the audio thread. The console ring takes the line without locks.
void LuaMIDIHelper::reportSkipsWhenDue()
{
    const std::uint64_t frames = skippedFrames_.load(std::memory_order_relaxed);
    const std::uint64_t blocks = heldBackBlocks_.load(std::memory_order_relaxed);
    if (frames + blocks == reportedSkips_) {
        return;
    }
    const std::int64_t now = steadyNs();
    if (now - lastSkipReportNs_ < kSkipReportIntervalNs) {
        return;
    }
    lastSkipReportNs_ = now;
    reportedSkips_ = frames + blocks;
    char line[ScriptConsole::kTextBytes];
    std::snprintf(line, sizeof line,
                  "@@@ a script on another thread kept the audio thread waiting: so far %llu spectral frames "
                  "ran without their script and MIDI waited for the next block %llu times\n",
                  static_cast<unsigned long long>(frames), static_cast<unsigned long long>(blocks));
    console_.post("audio thread", line);
}

LuaMIDIHelper::AudioThreadStats LuaMIDIHelper::audioThreadStats() const
{
    return {gate_.audioWaits(), skippedFrames_.load(std::memory_order_relaxed),
            heldBackBlocks_.load(std::memory_order_relaxed), memory_.realtimeFailures()};
}

bool LuaMIDIHelper::reserveTimerMemory() { return memory_.reserveBytes(kTimerRecordBytes); }

void LuaMIDIHelper::returnTimerMemory() { memory_.returnBytes(kTimerRecordBytes); }

void LuaMIDIHelper::releaseTimer(int functionRef)
{
    std::lock_guard<QN::ScriptStateGate> lock(gate_);
    if (L_ != nullptr) {
        luaL_unref(L_, LUA_REGISTRYINDEX, functionRef);
        returnTimerMemory();
    }
}

// Lists may grow while they are walked (a handler can register another), so they are
// walked by index and re-read at every step.
void LuaMIDIHelper::callList(const RefList& list, std::initializer_list<lua_Number> args)
{
    for (std::size_t i = 0;; ++i) {
        int ref = 0;
        {
            std::lock_guard<QN::ScriptStateGate> lock(gate_);
            if (i >= list.size()) {
                return;
            }
            ref = list[i];
        }
        callRegisteredFunction(ref, args);
    }
}

void LuaMIDIHelper::callKeyed(const KeyedRefs& map, int key, std::initializer_list<lua_Number> args)
{
    for (std::size_t i = 0;; ++i) {
        int ref = 0;
        {
            std::lock_guard<QN::ScriptStateGate> lock(gate_);
            const auto found = map.find(key);
            if (found == map.end() || i >= found->second.size()) {
                return;
            }
            ref = found->second[i];
        }
        callRegisteredFunction(ref, args);
    }
}

void LuaMIDIHelper::NoteOn(int channel, int note, int velocity)
{
    const std::initializer_list<lua_Number> args = {lua_Number(channel + 1), lua_Number(note), lua_Number(velocity)};
    callList(requests_.allNoteOn, args);
    callKeyed(requests_.noteOn, note, args);
}

void LuaMIDIHelper::NoteOff(int channel, int note, int velocity)
{
    const std::initializer_list<lua_Number> args = {lua_Number(channel + 1), lua_Number(note), lua_Number(velocity)};
    callList(requests_.allNoteOff, args);
    callKeyed(requests_.noteOff, note, args);
}

void LuaMIDIHelper::ControlChange(int channel, int controller, int value)
{
    switch (controller) {
    case 99: nrpn_.numberMsb = value; break;
    case 98: nrpn_.numberLsb = value; break;
    case 6:
        nrpn_.dataMsb = value;
        dispatchNrpn(channel);
        break;
    case 38:
        nrpn_.dataLsb = value;
        dispatchNrpn(channel);
        break;
    default: break;
    }
    const std::initializer_list<lua_Number> args = {lua_Number(channel + 1), lua_Number(controller), lua_Number(value)};
    callList(requests_.allCC, args);
    callKeyed(requests_.cc, controller, args);
}

void LuaMIDIHelper::dispatchNrpn(int channel)
{
    const int number = nrpn_.numberMsb * 128 + nrpn_.numberLsb;
    const int value = nrpn_.dataMsb * 128 + nrpn_.dataLsb;
    const std::initializer_list<lua_Number> args = {lua_Number(channel + 1), lua_Number(number), lua_Number(value)};
    callList(requests_.allNRPN, args);
    callKeyed(requests_.nrpn, number, args);
}

void LuaMIDIHelper::PitchWheel(int channel, int lsb, int msb)
{
    callList(requests_.pitchWheel, {lua_Number(channel + 1), lua_Number(msb * 128 + lsb)});
}

void LuaMIDIHelper::ProgramChange(int channel, int program)
{
    const std::initializer_list<lua_Number> args = {lua_Number(channel + 1), lua_Number(program)};
    callList(requests_.allProgramChange, args);
    callKeyed(requests_.programChange, program, args);
}

void LuaMIDIHelper::ChannelPressure(int channel, int pressure)
{
    callList(requests_.channelPressure, {lua_Number(channel + 1), lua_Number(pressure)});
}

void LuaMIDIHelper::PolyPressure(int channel, int note, int pressure)
{
    const std::initializer_list<lua_Number> args = {lua_Number(channel + 1), lua_Number(note), lua_Number(pressure)};
    callList(requests_.allPolyPressure, args);
    callKeyed(requests_.polyPressure, note, args);
}

}  // namespace QN
