#pragma once
// The spectral scripts: Lua functions registered by name with addSpectralScript and
// selected by "Script Index". The kernel runs the selected one on every frame's working
// spectrum; while it runs, the bin functions (getBin, setBin, ...) reach that frame.
//
// The list is appended to by scripts (under the Lua lock, on whichever thread runs the
// script) and read by the kernel (audio thread) under the same lock.

#include "dsp/SpectralScriptRunner.h"
#include "engine/scripting/LuaHeaders.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace QN {
class LuaMIDIHelper;
class PluginServices;
}  // namespace QN

struct SpectralScriptEntry {
    std::string name;
    int functionRef = 0;  // Lua registry reference; 0: no function ("Off")
};

// The frame a running spectral script works on: n = N/2, the Nyquist bin.
struct SpectralFrameContext {
    float* spectrum = nullptr;
    int n = 0;
};

class SpectralScriptList final : public SpectralScriptRunner {
public:
    SpectralScriptList(QN::LuaMIDIHelper& helper, QN::PluginServices& plugin);

    // Registers addSpectralScript and the bin functions in the helper's state, makes the
    // list reachable from them and creates the frame table. Called while the state is being created.
    void registerLuaFunctions(lua_State* L);

    // Called on: the audio thread. Runs entry scriptIndex on the spectrum, if it has a
    // function, telling it the overlap (2, 4 or 8) and hop in its frame table; a script error
    // goes to the console and is counted (framesFailed).
    void runSpectralScript(int scriptIndex, float* spectrum, int fftSize, int overlap = 2) override;

    // After the start-up scripts ran: puts "Off" first when anything registered.
    // Returns the names as they stand then (host thread).
    std::vector<std::string> completeAfterStartup();

    // Called from Lua (under the Lua lock).
    bool append(const char* name, int functionRef);
    const SpectralFrameContext* currentFrame() const { return frame_.spectrum ? &frame_ : nullptr; }
    SpectralFrameContext* currentFrame() { return frame_.spectrum ? &frame_ : nullptr; }
    static SpectralScriptList* fromState(lua_State* L);

    std::size_t size() const { return entries_.size(); }

    // Frames a script function was run on, and those on which it failed, since the list
    // was made. Written on the audio thread, read on any thread.
    std::uint64_t framesRun() const { return framesRun_.load(std::memory_order_relaxed); }
    std::uint64_t framesFailed() const { return framesFailed_.load(std::memory_order_relaxed); }

private:
    static int callForFrame(lua_State* L);
    // n = N/2; overlap: frames per frame length, a frame every 2n / overlap samples.
    void pushFrameTable(lua_State* L, int n, int overlap);

    QN::LuaMIDIHelper& helper_;
    QN::PluginServices& plugin_;
    std::vector<SpectralScriptEntry> entries_;
    SpectralFrameContext frame_;
    int frameTableRef_ = LUA_NOREF;
    std::atomic<std::uint64_t> framesRun_{0};
    std::atomic<std::uint64_t> framesFailed_{0};
};
