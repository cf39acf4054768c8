#include "engine/vst/AudioEffect.h"

#include "engine/vst/GuardedCall.h"

#include "engine/model/ValueFormatting.h"
#include "engine/vst/AEffEditor.h"
#include "platform/ThreadName.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <thread>

namespace {

// How long effClose waits for scripts still running on other threads.
constexpr int kCloseWaitMs = 1000;

AudioEffect* objectOf(AEffect* effect) { return static_cast<AudioEffect*>(effect->object); }

// No exception may reach the host: each entry turns one into a line on standard error and
// the safe answer given.

void silence(float** outputs, VstInt32 frames, int channels)
{
    for (int c = 0; outputs != nullptr && frames > 0 && c < channels; ++c) {
        if (outputs[c] != nullptr) {
            std::fill(outputs[c], outputs[c] + frames, 0.0f);
        }
    }
}

}  // namespace

void AudioEffect::closeAndFree(AudioEffect* object)
{
    guarded("VST", "close", 0, [&] { return object->dispatcher(effClose, 0, 0, nullptr, 0.0f); });
    if (guarded("VST", "close", true, [&] { return object->prepareToClose(kCloseWaitMs); })) {
        guarded("VST", "close", 0, [&] {
            delete object;
            return 0;
        });
        return;
    }
    std::fputs("Lumenfold: a script is still busy inside a library call; the instance is freed once it returns\n",
               stderr);
    guarded("VST", "close", 0, [&] {
        std::thread([object] {
            platform::nameThisThread("lf-late-close");
            guarded("VST", "close", 0, [&] {
                delete object;
                return 0;
            });
        }).detach();
        return 0;
    });
}

namespace {

VstIntPtr dispatchTrampoline(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt)
{
    AudioEffect* object = objectOf(effect);
    if (opcode == effClose) {
        AudioEffect::closeAndFree(object);
        return 1;
    }
    return guarded("VST", "a host call", VstIntPtr{0}, [&] { return object->dispatcher(opcode, index, value, ptr, opt); });
}

void processTrampoline(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    guarded("VST", "process", 0, [&] {
        objectOf(effect)->process(inputs, outputs, frames);
        return 0;
    });
}

void processReplacingTrampoline(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    const int failed = guarded("VST", "processing", 1, [&] {
        objectOf(effect)->processReplacing(inputs, outputs, frames);
        return 0;
    });
    if (failed) {
        silence(outputs, frames, effect->numOutputs);
    }
}

void processDoubleReplacingTrampoline(AEffect* effect, double** inputs, double** outputs, VstInt32 frames)
{
    guarded("VST", "processing", 0, [&] {
        objectOf(effect)->processDoubleReplacing(inputs, outputs, frames);
        return 0;
    });
}

// Hosts speak 0..1 only: a value past either end is taken as that end and a non-finite
// one is ignored, so no host can push a gain or a size out of its range.
void setParameterTrampoline(AEffect* effect, VstInt32 index, float value)
{
    if (std::isnan(value)) {
        return;
    }
    guarded("VST", "setParameter", 0, [&] {
        objectOf(effect)->setParameter(index, std::clamp(value, 0.0f, 1.0f));
        return 0;
    });
}

float getParameterTrampoline(AEffect* effect, VstInt32 index)
{
    return guarded("VST", "getParameter", 0.0f, [&] { return objectOf(effect)->getParameter(index); });
}

void copyLimited(char* text, const std::string& value, VstInt32 maxLen)
{
    if (maxLen <= 0) {
        return;
    }
    copyText(text, value, static_cast<std::size_t>(maxLen - 1));
}

}  // namespace

AudioEffect::AudioEffect(AudioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster_(audioMaster), numPrograms_(numPrograms), numParams_(numParams)
{
    cEffect_.magic = kEffectMagic;
    cEffect_.dispatcher = dispatchTrampoline;
    cEffect_.process = processTrampoline;
    cEffect_.setParameter = setParameterTrampoline;
    cEffect_.getParameter = getParameterTrampoline;
    cEffect_.numPrograms = numPrograms;
    cEffect_.numParams = numParams;
    cEffect_.numInputs = 1;
    cEffect_.numOutputs = 2;
    cEffect_.ioRatio = 1.0f;
    cEffect_.object = this;
    cEffect_.version = 1;
    cEffect_.processReplacing = processReplacingTrampoline;
    cEffect_.processDoubleReplacing = processDoubleReplacingTrampoline;
}

AudioEffect::~AudioEffect() { delete editor_; }

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 1;
    case effSetProgram:
        if (value >= 0 && value < numPrograms_) {
            setProgram(static_cast<VstInt32>(value));
        }
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName:
        if (ptr) {
            setProgramName(static_cast<const char*>(ptr));
        }
        return 0;
    case effGetProgramName:
        if (ptr) {
            getProgramName(static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamLabel:
        if (ptr) {
            getParameterLabel(index, static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamDisplay:
        if (ptr) {
            getParameterDisplay(index, static_cast<char*>(ptr));
        }
        return 0;
    case effGetParamName:
        if (ptr) {
            getParameterName(index, static_cast<char*>(ptr));
        }
        return 0;
    case effGetVu: return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); return 0;
    case effMainsChanged:
        if (value) {
            resume();
        } else {
            suspend();
        }
        return 0;
    case effIdentify: return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        if (!ptr) {
            return 0;
        }
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        if (value < 0 || value > 0x7fffffff) {
            return 0;
        }
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default: return dispatchEditor(opcode, index, value, ptr, opt);
    }
}

VstIntPtr AudioEffect::dispatchEditor(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!editor_) {
        return 0;
    }
    switch (opcode) {
    case effEditGetRect: return (ptr && editor_->getRect(static_cast<ERect**>(ptr))) ? 1 : 0;
    case effEditOpen: return editor_->open(ptr) ? 1 : 0;
    case effEditClose: editor_->close(); return 0;
    case effEditIdle: editor_->idle(); return 0;
    case effEditKeyDown:
    case effEditKeyUp: {
        // The modifier keys come in opt; anything but a whole number of one byte counts as none.
        const unsigned char modifiers = opt >= 0.0f && opt <= 255.0f ? static_cast<unsigned char>(opt) : 0;
        VstKeyCode key{index, static_cast<unsigned char>(value), modifiers};
        const bool handled = opcode == effEditKeyDown ? editor_->onKeyDown(key) : editor_->onKeyUp(key);
        return handled ? 1 : 0;
    }
    case effSetEditKnobMode: return editor_->setKnobMode(static_cast<VstInt32>(value)) ? 1 : 0;
    default: return 0;
    }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getChunk(void**, bool) { return 0; }

VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) { return 0; }

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state) {
        cEffect_.flags |= flag;
    } else {
        cEffect_.flags &= ~flag;
    }
}

void AudioEffect::canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
void AudioEffect::canDoubleReplacing(bool state) { setFlag(effFlagsCanDoubleReplacing, state); }
void AudioEffect::programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
void AudioEffect::canMono(bool state) { setFlag(effFlagsCanMono, state); }
void AudioEffect::hasVu(bool) {}
void AudioEffect::hasClip(bool) {}

VstInt32 AudioEffect::getMasterVersion()
{
    const VstIntPtr version = callHost(audioMasterVersion);
    return version ? static_cast<VstInt32>(version) : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return sendToHost(opcode, index, value, ptr, opt);
}

VstIntPtr AudioEffect::sendToHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return audioMaster_ ? audioMaster_(&cEffect_, opcode, index, value, ptr, opt) : 0;
}

bool AudioEffect::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffect::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffect::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
bool AudioEffect::ioChanged() { return callHost(audioMasterIOChanged) != 0; }

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen)
{
    if (value <= 0.0f) {
        copyLimited(text, "-oo", maxLen);
    } else {
        float2string(20.0f * std::log10(value), text, maxLen);
    }
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen)
{
    const float hz = samples == 0.0f ? 0.0f : sampleRate_ / samples;
    float2string(hz, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen)
{
    float2string(samples * 1000.0f / sampleRate_, text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen)
{
    if (!std::isfinite(value) || value > 99999999.0f || value < -9999999.0f) {
        copyLimited(text, "Huge!", maxLen);
        return;
    }
    // Eight characters in all: the integer digits first, the rest for decimals.
    const double magnitude = std::fabs(static_cast<double>(value));
    const std::string integerPart = formatFixed(std::floor(magnitude), 0);
    const int used = static_cast<int>(integerPart.size()) + (value < 0.0f ? 1 : 0);
    const int decimals = used >= 7 ? 0 : 7 - used;
    std::string digits = formatFixed(magnitude, decimals);
    copyLimited(text, value < 0.0f ? "-" + digits : digits, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen)
{
    if (value >= 100000000 || value <= -100000000) {
        copyLimited(text, "Huge!", maxLen);
        return;
    }
    copyLimited(text, std::to_string(value), maxLen);
}
