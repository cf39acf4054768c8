#pragma once
// The format-neutral face of one Lumenfold instance, for the bindings other than VST.
// It owns a QuanTessamire built with an internal host callback and drives it through the
// very same entry points a VST host uses, so that every format gets the same sound,
// state, MIDI scripts, OSC and editor with no behaviour written twice. What the instance
// asks of its host (automation, gestures, latency) arrives at the binding's
// InstanceEvents.
//
// Threads: as for the VST instance. Main-thread calls (construction, open, activate,
// state, texts, the editor) come from one host thread at a time; process and queueMidi
// come from the audio thread; plainValue, parameterRow, valueText and setPlainValue are
// safe from any thread.

#include "plugin/core/ParameterInfo.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct AEffect;
struct VstMidiEvent;
class QuanTessamire;

class InstanceEvents {
public:
    virtual ~InstanceEvents() = default;
    // The editor, a MIDI script or an OSC message changed a value: the host should hear of
    // it. Called on: any thread (the audio thread for MIDI scripts; no allocation there).
    virtual void parameterEdited(int id) = 0;
    // The editor began or ended a drag of this parameter. Called on: host GUI thread.
    virtual void gestureBegan(int id) = 0;
    virtual void gestureEnded(int id) = 0;
    // The latency follows "FFT Size"; the host should read it again. Called on: any thread.
    virtual void latencyChanged() = 0;
};

class HostedInstance {
public:
    // Most MIDI events one process call takes; later ones are dropped with one line.
    static constexpr int kMaxMidiPerBlock = 256;

    // Null, with *error set, when the instance cannot be built.
    [[nodiscard]] static std::unique_ptr<HostedInstance> create(InstanceEvents& events, std::string* error);
    // Closes the instance the way a VST host's effClose does (scripts are stopped first).
    ~HostedInstance();
    HostedInstance(const HostedInstance&) = delete;
    HostedInstance& operator=(const HostedInstance&) = delete;

    // The host knows the instance from here on: it hears values set by start-up scripts.
    void open();
    void setSampleRate(double rate);
    void setBlockSize(int frames);
    // Processing on (resume, which also resets) or off (suspend).
    void setActive(bool active);
    // The next process starts as a fresh instance's would; MIDI queued for this block is
    // dropped. Called on: any thread, the audio thread included (no lock, no allocation).
    void reset();
    // The current latency in samples (the FFT size).
    [[nodiscard]] int latency() const;

    // Called on: the audio thread, before process(). offset is within the next block;
    // bytes holds one short MIDI message. False when the block already holds the maximum.
    bool queueMidi(int offset, const std::uint8_t* bytes, int size);
    // Called on: the audio thread. Separate or identical input and output buffers, two
    // channels each; the queued MIDI is dispatched at its offsets.
    void process(float* const* inputs, float* const* outputs, int frames);

    // The one door for plain values from a host: clamped into the range, non-finite
    // refused (false). No automation is reported back.
    bool setPlainValue(int id, double plain);
    [[nodiscard]] float plainValue(int id) const;
    // The row as this instance uses it (its own "Script Index" maximum). id must be valid.
    [[nodiscard]] ParameterInfo parameterRow(int id) const;
    // The display text of a value (as the VST display shows it, with its unit label).
    [[nodiscard]] std::string valueText(int id, float plain);
    // A typed text back to a plain value in range: numbers in the unit the display shows
    // (with or without it; dB for the mix levels), the list entries of indexed rows,
    // "On"/"Off" and "-inf". nullopt when unreadable.
    [[nodiscard]] std::optional<float> parseValueText(int id, const std::string& text);

    // The state block (the VST chunk). data stays valid until the next change.
    [[nodiscard]] std::size_t state(const void** data);
    // Checked, corrected and applied as a VST chunk is; false, nothing changed, when refused.
    bool setState(const void* data, std::size_t size);

    // The editor. Called on: host GUI thread. parent is an X11 Window.
    bool editorSize(int* width, int* height);
    bool openEditor(unsigned long parent);
    void closeEditor();
    void idleEditor();

    [[nodiscard]] AEffect* effect() const { return effect_; }

private:
    explicit HostedInstance(InstanceEvents& events);
    static std::intptr_t hostCallback(AEffect* effect, std::int32_t opcode, std::int32_t index, std::intptr_t value,
                                      void* ptr, float opt);
    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                           void* ptr = nullptr, float opt = 0.0f);

    InstanceEvents& events_;
    QuanTessamire* plugin_ = nullptr;
    AEffect* effect_ = nullptr;
    bool editorOpen_ = false;
    struct MidiBlock;
    std::unique_ptr<MidiBlock> midi_;
};
