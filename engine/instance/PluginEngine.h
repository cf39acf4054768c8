#pragma once
// The one face of a Lumenfold instance that every binding other than VST drives, in no
// format's terms: a block of audio with its timed events, the parameters through the one
// door, the state, the latency and the editor. The VST binding reaches the same instance
// through its own class chain; both end in the same calls, so every format gets the same
// sound, state, scripts, OSC and editor.
//
// Threads: main-thread calls (start, configure, setProcessing, state, texts, the editor)
// come from one host thread at a time; process from the audio thread; reset from any
// thread; plainValue, parameterRow and setPlainValue from any thread.

#include "engine/model/ParameterInfo.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class EngineEventSource;

class PluginEngine {
public:
    // The host knows the instance from here on: it hears values set by start-up scripts.
    virtual void start() = 0;
    // Rates that are not finite or not positive and block sizes below one are ignored.
    virtual void configure(double sampleRate, int maxBlockFrames) = 0;
    // Processing on (which also resets) or off.
    virtual void setProcessing(bool on) = 0;
    // The next block starts as a fresh instance's would; MIDI queued so far is dropped.
    // Called on: any thread, the audio thread included (no lock, no allocation).
    virtual void reset() = 0;
    // The current latency in samples (the FFT size).
    [[nodiscard]] virtual int latencySamples() const = 0;

    // Called on: the audio thread. Two channels each, separate or identical buffers. The
    // events are taken in order: MIDI plays at its frame, and the block is rendered in
    // pieces so that each parameter value applies from its own frame on.
    virtual void process(const float* const* inputs, float* const* outputs, int frames,
                         EngineEventSource& events) = 0;

    // The one door for plain values from a host: clamped into the range, an unknown id or
    // a value that is not finite refused (false). No automation is reported back.
    virtual bool setPlainValue(int id, double plain) = 0;
    [[nodiscard]] virtual float plainValue(int id) const = 0;
    // The row as this instance uses it (its own "Script Index" maximum). id must be valid.
    [[nodiscard]] virtual ParameterInfo parameterRow(int id) const = 0;
    // A value's text as hosts show it, with its unit label ("-18.06 dB").
    [[nodiscard]] virtual std::string valueText(int id, float plain) = 0;
    // A typed text back to a plain value in range; nullopt when unreadable.
    [[nodiscard]] virtual std::optional<float> parseValueText(int id, std::string_view text) = 0;

    // The state block. data stays valid until the next change.
    [[nodiscard]] virtual std::size_t saveState(const void** data) = 0;
    // Checked, corrected and applied; false, nothing changed, when refused.
    virtual bool loadState(const void* data, std::size_t size) = 0;
    // Applies factory preset `index` (engine/model/FactoryPresets.h) through the one door,
    // so the editor, OSC and the host hear every value that changes. False, nothing
    // changed, for an index out of range. Called on: host main thread.
    virtual bool loadFactoryPreset(int index) = 0;

    // The editor. Called on: host GUI thread. parent is an X11 Window.
    virtual bool editorSize(int* width, int* height) = 0;
    virtual bool openEditor(unsigned long parent) = 0;
    virtual void closeEditor() = 0;
    virtual void idleEditor() = 0;

    // Closes the instance (the editor, then the scripts) and frees it, on a thread of its
    // own when a script is stuck in a library call. Called on: host main thread, once.
    virtual void release() = 0;

protected:
    ~PluginEngine() = default;
};

// Owns an engine: release() instead of delete.
struct PluginEngineRelease {
    void operator()(PluginEngine* engine) const
    {
        if (engine != nullptr) engine->release();
    }
};
using PluginEnginePointer = std::unique_ptr<PluginEngine, PluginEngineRelease>;
