// libFuzzer entry: calls every function the scripting interface adds to Lua (the MIDI
// helper's globals and the spectral bin functions) with arguments of fuzzed types and
// counts, first outside any frame and then from inside a running spectral script. Each
// input gets a fresh scripting helper on a fake plug-in, with its own script folder.

#include "LuaArgumentReader.h"
#include "engine/scripting/LiveInstances.h"
#include "scripting/ScriptedInstance.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kMaxCallsPerInput = 64;
constexpr const char* kFrameScript = "Fuzz frame";

// What the run under way is working through; the Lua side reaches it from fuzzCalls.
struct Run {
    LuaArgumentReader* reader = nullptr;
    const std::vector<std::string>* functions = nullptr;
    int callsLeft = 0;
};
Run current;

std::set<std::string> globalNames(lua_State* L, bool cFunctionsOnly)
{
    std::set<std::string> names;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX) != 0) {
        if (lua_type(L, -2) == LUA_TSTRING && (!cFunctionsOnly || lua_iscfunction(L, -1))) {
            names.insert(lua_tostring(L, -2));
        }
        lua_pop(L, 1);
    }
    return names;
}

// The C functions the scripting interface adds to a standard Lua state, print included,
// sendOSC left out.
std::vector<std::string> interfaceFunctions(lua_State* L)
{
    lua_State* plain = luaL_newstate();
    luaL_openlibs(plain);
    const std::set<std::string> standard = globalNames(plain, false);
    lua_close(plain);
    std::vector<std::string> functions{"print"};
    for (const std::string& name : globalNames(L, true)) {
        // sendOSC would look fuzzed host names up and send to them: the fuzzer must not
        // depend on, or reach into, the network.
        if (standard.count(name) == 0 && name != "fuzzCalls" && name != "sendOSC") {
            functions.push_back(name);
        }
    }
    return functions;
}

// Makes the calls the input describes until `count` are done or the input ends.
void makeCalls(lua_State* L, int count)
{
    for (int i = 0; i < count && current.callsLeft > 0 && !current.reader->empty(); ++i, --current.callsLeft) {
        const auto& functions = *current.functions;
        lua_getglobal(L, functions[current.reader->byte() % functions.size()].c_str());
        const int arguments = current.reader->byte() % 7;
        for (int a = 0; a < arguments; ++a) {
            current.reader->pushArgument(L);
        }
        if (lua_pcall(L, arguments, 0, 0) != 0) {
            lua_pop(L, 1);
        }
    }
}

// Called from the spectral script, inside the frame: the rest of the calls.
int fuzzCalls(lua_State* L)
{
    makeCalls(L, kMaxCallsPerInput);
    return 0;
}

int frameScriptIndex(ScriptedInstance& instance)
{
    const std::vector<std::string> names = instance.helper().spectral().completeAfterStartup();
    const auto found = std::find(names.begin(), names.end(), kFrameScript);
    return found == names.end() ? 0 : static_cast<int>(found - names.begin());
}

void runInput(const std::uint8_t* data, std::size_t size)
{
    ScriptedInstance instance;
    // Named midi.lua, it takes the built-in script's place: start-up stays short.
    instance.addScript("midi.lua", "addSpectralScript('Fuzz frame', function(t) fuzzCalls() end)\n");
    lua_State* L = instance.state();
    if (L == nullptr) {
        return;
    }
    const int index = frameScriptIndex(instance);
    QN::LiveInstances::add(&instance.helper());
    {
        // Held throughout, as the audio thread holds the state for a block: timers the calls
        // start wait their turn, and the frame below runs as it does in a block.
        while (!instance.helper().holdForAudio()) {
            instance.helper().endAudioBlock();
        }
        static const std::vector<std::string> functions = interfaceFunctions(L);
        LuaArgumentReader reader(data, size, L);
        current = Run{&reader, &functions, kMaxCallsPerInput};
        const int fftSize = 32 << (reader.byte() % 8);
        lua_register(L, "fuzzCalls", fuzzCalls);
        makeCalls(L, reader.byte() % 16);
        std::vector<float> spectrum(static_cast<std::size_t>(fftSize), 0.25f);
        instance.helper().spectral().runSpectralScript(index, spectrum.data(), fftSize);
        current = Run{};
        instance.helper().endAudioBlock();
    }
    QN::LiveInstances::remove(&instance.helper());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    runInput(data, size);
    return 0;
}
