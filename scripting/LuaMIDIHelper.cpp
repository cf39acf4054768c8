#include "scripting/LuaMIDIHelper.h"

#include "platform/CLocaleScope.h"
#include "platform/Resources.h"
#include "platform/TimerQueue.h"
#include "plugin/ParameterTable.h"
#include "plugin/UserFolders.h"
#include "scripting/LiveInstances.h"
#include "scripting/LuaCall.h"
#include "scripting/LuaScriptFunctions.h"
#include "scripting/LuaTimers.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace QN {

namespace {

// Registry keys: the addresses of these strings, pushed as light userdata, which no
// script can forge.
const char kRefconKey[] = "QN::LuaMIDIHelper::kRefcon";
const char kParamLookupKey[] = "QN::LuaMIDIHelper::kParamLookup";

constexpr int kBuiltInScriptId = 136;
constexpr int kStopCheckInstructions = 10000;

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
};

// Runs every few thousand instructions: once the instance is being destroyed, any
// script still running on a timer or the OSC thread ends with an error.
void stopCheckHook(lua_State* L, lua_Debug*)
{
    LuaMIDIHelper* helper = LuaMIDIHelper::fromState(L);
    if (helper != nullptr && helper->stopRequested()) {
        luaL_error(L, "script stopped: the plug-in instance is closing");
    }
}

bool namedLikeMidiScript(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.compare(0, 8, "midi.lua") == 0;
}

}  // namespace

LuaMIDIHelper::LuaMIDIHelper(PluginServices* plugin, MessageQueue* queue)
    : plugin_(plugin), queue_(queue), timers_(std::make_unique<platform::TimerQueue>()), liveTimerQueue_(timers_.get())
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
        std::lock_guard<platform::PriorityInheritanceMutex> lock(luaLock_);
        liveTimerQueue_.store(nullptr, std::memory_order_release);
    }
    timers_.reset();  // waits for running callbacks; they take the timer lock themselves
    forgetTimersOf(this);
}

void LuaMIDIHelper::closeState()
{
    std::lock_guard<platform::PriorityInheritanceMutex> lock(luaLock_);
    if (L_ != nullptr) {
        lua_close(L_);
        L_ = nullptr;
    }
    delete parameterLookup_;
    parameterLookup_ = nullptr;
}

lua_State* LuaMIDIHelper::GetLuaState()
{
    std::lock_guard<platform::PriorityInheritanceMutex> lock(luaLock_);
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
    L_ = lua_newstate(LuaMemoryBudget::allocate, &memory_);
    if (L_ == nullptr) {
        L_ = luaL_newstate();  // interpreters that do not take our allocator
    } else {
        lua_atpanic(L_, reportPanic);
    }
    if (L_ == nullptr) {
        std::fputs("@@@ Lua is not available: scripts are off for this instance\n", stdout);
        return;
    }
    luaL_openlibs(L_);
    lua_register(L_, "print", script::print);
    registerGlobalFunctions();
    luaL_newmetatable(L_, kTimerMetatable);
    lua_pop(L_, 1);
    RegisterLuaFunctions();
    storeRegistryEntries();
    setVersionGlobals();
    lua_sethook(L_, stopCheckHook, LUA_MASKCOUNT, kStopCheckInstructions);
    runScripts();
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
    for (const Number& number : {Number{"majorVersion", 1}, Number{"minorVersion", 0}, Number{"dotVersion", 2},
                                 Number{"version", 10002}}) {
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
        LuaCallResult result;
        if (luaL_loadfile(L_, file.c_str()) != 0) {
            diagnosticPrint("failed to run file: %s\n", lua_tostring(L_, -1));
            lua_pop(L_, 1);
            continue;
        }
        if (!protectedCall(L_, 0, 0, LuaErrorPolicy::KeepMessage, &result)) {
            diagnosticPrint("failed to run file: %s\n", result.message);
        }
    }
}

void LuaMIDIHelper::runBuiltInScript()
{
    const auto resource = platform::findResource(platform::kResourceTypeScript, kBuiltInScriptId);
    if (!resource) {
        diagnosticPrint("failed to run buffer: %s\n", "the built-in midi.lua is missing");
        return;
    }
    LuaCallResult result;
    if (luaL_loadbuffer(L_, reinterpret_cast<const char*>(resource->data), resource->size, "midi.lua") != 0) {
        diagnosticPrint("failed to run buffer: %s\n", lua_tostring(L_, -1));
        lua_pop(L_, 1);
        return;
    }
    if (!protectedCall(L_, 0, 0, LuaErrorPolicy::KeepMessage, &result)) {
        diagnosticPrint("failed to run buffer: %s\n", result.message);
    }
}

void LuaMIDIHelper::diagnosticPrint(const char* format, const char* text)
{
    std::fputs("@@@ ", stdout);
    std::printf(format, text ? text : "");
    std::fflush(stdout);
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

void LuaMIDIHelper::callRegisteredFunction(int ref, std::initializer_list<lua_Number> args)
{
    std::lock_guard<platform::PriorityInheritanceMutex> lock(luaLock_);
    if (L_ == nullptr || stopRequested()) {
        return;
    }
    lua_rawgeti(L_, LUA_REGISTRYINDEX, ref);
    for (lua_Number arg : args) {
        lua_pushnumber(L_, arg);
    }
    protectedCall(L_, static_cast<int>(args.size()), 0, LuaErrorPolicy::Silent);
}

// Lists may grow while they are walked (a handler can register another), so they are
// walked by index and re-read at every step.
void LuaMIDIHelper::callList(const RefList& list, std::initializer_list<lua_Number> args)
{
    for (std::size_t i = 0;; ++i) {
        int ref = 0;
        {
            std::lock_guard<platform::PriorityInheritanceMutex> lock(luaLock_);
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
            std::lock_guard<platform::PriorityInheritanceMutex> lock(luaLock_);
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
