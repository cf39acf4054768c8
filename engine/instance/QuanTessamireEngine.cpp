// QuanTessamire as the format-neutral engine: what the CLAP and LV2 bindings call. Each
// call ends where the VST binding's opcode for it ends, so all formats sound and store
// alike.

#include "engine/instance/QuanTessamire.h"

#include "engine/instance/EngineEventSource.h"
#include "engine/instance/EngineListener.h"
#include "engine/model/ParameterTable.h"
#include "engine/vst/AEffEditor.h"
#include "engine/vst/GuardedCall.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void QuanTessamire::configure(double sampleRate, int maxBlockFrames)
{
    if (std::isfinite(sampleRate) && sampleRate > 0.0 && sampleRate < 1.0e7) {
        setSampleRate(static_cast<float>(sampleRate));
    }
    if (maxBlockFrames > 0) {
        setBlockSize(maxBlockFrames);
    }
}

void QuanTessamire::setProcessing(bool on)
{
    if (on) {
        resume();
    } else {
        suspend();
    }
}

int QuanTessamire::latencySamples() const { return std::max(0, cEffect_.initialDelay); }

// The block is rendered in pieces that end where a parameter value changes; MIDI is
// queued at its frame within the piece it falls in.
void QuanTessamire::process(const float* const* inputs, float* const* outputs, int frames, EngineEventSource& events)
{
    const auto total = static_cast<std::uint32_t>(std::max(frames, 0));
    std::uint32_t done = 0;
    bool midiQueued = false;
    EngineEvent event;
    while (events.next(event)) {
        const std::uint32_t time = std::clamp(event.time, done, total);
        if (event.kind == EngineEvent::Kind::ParameterValue) {
            if (time > done) {
                renderPiece(inputs, outputs, done, time, midiQueued);
                done = time;
                midiQueued = false;
            }
            if (!setPlainValue(event.id, event.value)) events.refused(event);
        } else {
            const bool queued = event.midiSize > 0 &&
                                messageQueue_.writeMidi(event.midi[0], event.midi[1], event.midi[2],
                                                        static_cast<std::int32_t>(time - done));
            if (!queued) events.refused(event);
            midiQueued = true;
        }
    }
    renderPiece(inputs, outputs, done, total, midiQueued);
}

void QuanTessamire::renderPiece(const float* const* inputs, float* const* outputs, std::uint32_t from,
                                std::uint32_t to, bool midiQueued)
{
    if (midiQueued) messageQueue_.reportDrops();
    if (to <= from) return;
    float* in[2] = {const_cast<float*>(inputs[0]) + from, const_cast<float*>(inputs[1]) + from};
    float* out[2] = {outputs[0] + from, outputs[1] + from};
    const int frames = static_cast<int>(to - from);
    const int failed = guarded("engine", "processing", 1, [&] {
        processReplacing(in, out, frames);
        return 0;
    });
    if (failed) {
        for (float* channel : out) std::fill(channel, channel + frames, 0.0f);
    }
}

bool QuanTessamire::setPlainValue(int id, double plain)
{
    if (!std::isfinite(plain)) {
        return false;
    }
    return setParameterFromPlain(id, static_cast<float>(std::clamp(plain, -3.0e38, 3.0e38)), false);
}

float QuanTessamire::plainValue(int id) const { return isValidParameterId(id) ? QuanAuBase::plainValue(id) : 0.0f; }

std::size_t QuanTessamire::saveState(const void** data)
{
    void* chunk = nullptr;
    const VstInt32 size = getChunk(&chunk, false);
    if (data) *data = chunk;
    return chunk != nullptr && size > 0 ? static_cast<std::size_t>(size) : 0;
}

bool QuanTessamire::loadState(const void* data, std::size_t size)
{
    if (data == nullptr || size > 0x7fffffff) {
        std::printf("Lumenfold: state not loaded: %s\n", data == nullptr ? "no data" : "too large");
        std::fflush(stdout);
        return false;
    }
    return setChunk(const_cast<void*>(data), static_cast<VstInt32>(size), false) != 0;
}

bool QuanTessamire::editorSize(int* width, int* height)
{
    ERect* rect = nullptr;
    if (editor_ == nullptr || !editor_->getRect(&rect) || rect == nullptr) {
        return false;
    }
    if (width) *width = rect->right - rect->left;
    if (height) *height = rect->bottom - rect->top;
    return true;
}

bool QuanTessamire::openEditor(unsigned long parent)
{
    if (editor_ == nullptr || editorOpen_ || parent == 0) {
        return false;
    }
    editorOpen_ = editor_->open(reinterpret_cast<void*>(parent));
    return editorOpen_;
}

void QuanTessamire::closeEditor()
{
    if (editorOpen_) {
        editor_->close();
        editorOpen_ = false;
    }
}

void QuanTessamire::idleEditor()
{
    if (editorOpen_) {
        editor_->idle();
    }
}

void QuanTessamire::release()
{
    closeEditor();
    listener_.store(nullptr);
    AudioEffect::closeAndFree(this);
}

// A binding other than VST hears the four things its host needs through its listener;
// every other question gets the answer a plain VST 2.4 host would give.
VstIntPtr QuanTessamire::sendToHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!neutralHost_) {
        return QuanAuBase::sendToHost(opcode, index, value, ptr, opt);
    }
    switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterWantMidi: return 1;
    default: break;
    }
    EngineListener* listener = listener_.load();
    if (listener == nullptr) {
        return 0;
    }
    switch (opcode) {
    case audioMasterAutomate:
        if (isValidParameterId(index)) listener->parameterEdited(index);
        return 1;
    case audioMasterBeginEdit:
        if (isValidParameterId(index)) listener->gestureBegan(index);
        return 1;
    case audioMasterEndEdit:
        if (isValidParameterId(index)) listener->gestureEnded(index);
        return 1;
    case audioMasterIOChanged: listener->latencyChanged(); return 1;
    default: return 0;
    }
}
