#include "plugin/HostedInstance.h"

#include "platform/Cpu.h"
#include "plugin/core/ParameterTable.h"
#include "plugin/QuanTessamire.h"
#include "plugin/core/ValueFormatting.h"
#include "plugin/vst/Vst2Abi.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

// The VST event list with room for a whole block's MIDI, filled on the audio thread with
// no allocation. Its head has the published VstEvents layout.
struct HostedInstance::MidiBlock {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[kMaxMidiPerBlock] = {};
    VstMidiEvent storage[kMaxMidiPerBlock] = {};
    bool overflowReported = false;
};

HostedInstance::HostedInstance(InstanceEvents& events) : events_(events) {}

std::unique_ptr<HostedInstance> HostedInstance::create(InstanceEvents& events, std::string* error)
{
    if (!platform::hasSse2()) {
        if (error) *error = "Corvanne Lumenfold requires a processor with SSE2 capability";
        return nullptr;
    }
    std::unique_ptr<HostedInstance> instance(new HostedInstance(events));
    try {
        instance->midi_ = std::make_unique<MidiBlock>();
        instance->plugin_ = new QuanTessamire(&HostedInstance::hostCallback);
    } catch (const std::exception& failure) {
        if (error) *error = std::string("Lumenfold could not start: ") + failure.what();
        return nullptr;
    }
    instance->effect_ = instance->plugin_->getAeffect();
    instance->effect_->user = instance.get();
    return instance;
}

HostedInstance::~HostedInstance()
{
    if (effect_ != nullptr) {
        closeEditor();
        effect_->user = nullptr;  // later calls from lingering threads find no binding
        // effClose frees the instance, or hands it to a thread of its own when a script is
        // stuck in a library call: the same road as for a VST host.
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    }
}

std::intptr_t HostedInstance::hostCallback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                           std::intptr_t, void*, float)
{
    auto* self = effect != nullptr ? static_cast<HostedInstance*>(effect->user) : nullptr;
    switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterWantMidi: return 1;
    default: break;
    }
    if (self == nullptr) {
        return 0;
    }
    switch (opcode) {
    case audioMasterAutomate:
        if (isValidParameterId(index)) self->events_.parameterEdited(index);
        return 1;
    case audioMasterBeginEdit:
        if (isValidParameterId(index)) self->events_.gestureBegan(index);
        return 1;
    case audioMasterEndEdit:
        if (isValidParameterId(index)) self->events_.gestureEnded(index);
        return 1;
    case audioMasterIOChanged: self->events_.latencyChanged(); return 1;
    default: return 0;
    }
}

std::intptr_t HostedInstance::dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr,
                                       float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void HostedInstance::open() { dispatch(effOpen); }

void HostedInstance::setSampleRate(double rate)
{
    if (std::isfinite(rate) && rate > 0.0 && rate < 1.0e7) {
        dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    }
}

void HostedInstance::setBlockSize(int frames)
{
    if (frames > 0) {
        dispatch(effSetBlockSize, 0, frames);
    }
}

void HostedInstance::setActive(bool active) { dispatch(effMainsChanged, 0, active ? 1 : 0); }

void HostedInstance::reset()
{
    midi_->numEvents = 0;
    plugin_->requestReset();
}

int HostedInstance::latency() const { return std::max(0, effect_->initialDelay); }

bool HostedInstance::queueMidi(int offset, const std::uint8_t* bytes, int size)
{
    MidiBlock& block = *midi_;
    if (bytes == nullptr || size < 1 || size > 3 || offset < 0) {
        return false;
    }
    if (block.numEvents >= kMaxMidiPerBlock) {
        return false;
    }
    VstMidiEvent& event = block.storage[block.numEvents];
    event = VstMidiEvent{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = offset;
    for (int i = 0; i < size; ++i) {
        event.midiData[i] = static_cast<char>(bytes[i]);
    }
    block.events[block.numEvents] = reinterpret_cast<VstEvent*>(&event);
    ++block.numEvents;
    return true;
}

void HostedInstance::process(float* const* inputs, float* const* outputs, int frames)
{
    MidiBlock& block = *midi_;
    if (block.numEvents > 0) {
        dispatch(effProcessEvents, 0, 0, &block);
        block.numEvents = 0;
    }
    if (frames > 0) {
        effect_->processReplacing(effect_, const_cast<float**>(inputs), const_cast<float**>(outputs), frames);
    }
}

bool HostedInstance::setPlainValue(int id, double plain)
{
    if (!std::isfinite(plain)) {
        return false;
    }
    return plugin_->setParameterFromPlain(id, static_cast<float>(std::clamp(plain, -3.0e38, 3.0e38)), false);
}

float HostedInstance::plainValue(int id) const
{
    return isValidParameterId(id) ? plugin_->plainValue(id) : 0.0f;
}

ParameterInfo HostedInstance::parameterRow(int id) const { return plugin_->parameterRow(id); }

std::string HostedInstance::valueText(int id, float plain) { return plugin_->labelledDisplayTextOf(id, plain); }

std::optional<float> HostedInstance::parseValueText(int id, const std::string& typed)
{
    return plugin_->plainFromText(id, typed);
}

std::size_t HostedInstance::state(const void** data)
{
    void* chunk = nullptr;
    const std::intptr_t size = dispatch(effGetChunk, 0, 0, &chunk);
    if (data) *data = chunk;
    return chunk != nullptr && size > 0 ? static_cast<std::size_t>(size) : 0;
}

bool HostedInstance::setState(const void* data, std::size_t size)
{
    if (data == nullptr || size > 0x7fffffff) {
        std::printf("Lumenfold: state not loaded: %s\n", data == nullptr ? "no data" : "too large");
        std::fflush(stdout);
        return false;
    }
    return dispatch(effSetChunk, 0, static_cast<std::intptr_t>(size), const_cast<void*>(data)) != 0;
}

bool HostedInstance::editorSize(int* width, int* height)
{
    ERect* rect = nullptr;
    if (dispatch(effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr) {
        return false;
    }
    if (width) *width = rect->right - rect->left;
    if (height) *height = rect->bottom - rect->top;
    return true;
}

bool HostedInstance::openEditor(unsigned long parent)
{
    if (editorOpen_ || parent == 0) {
        return false;
    }
    editorOpen_ = dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) != 0;
    return editorOpen_;
}

void HostedInstance::closeEditor()
{
    if (editorOpen_) {
        dispatch(effEditClose);
        editorOpen_ = false;
    }
}

void HostedInstance::idleEditor()
{
    if (editorOpen_) {
        dispatch(effEditIdle);
    }
}
