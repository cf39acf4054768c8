// A small plug-in for testing our host library through the real ABI: stereo gain with a
// delay line as latency, three parameters, a 16-byte state chunk, an event log, and a
// vendor-specific hook that makes it call the host from a thread of its own.
//
// Parameters: 0 "Gain" (output = 2 * value * input, so the default 0.5 passes audio
// unchanged), 1 "Latency" (round(value * 1000) samples of delay, reported as
// initialDelay), 2 "Mode" (three steps like an indexed parameter: stored and read back as
// round(2 * value) / 2, shown as "Soft", "Hard", "Wild").
// Every setParameter reports itself with audioMasterAutomate; a latency change also
// sends audioMasterIOChanged, like a plug-in whose FFT size changed.

#include "engine/abi/Vst2Abi.h"
#include "tests/tools/TestPluginHooks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kParameterCount = 3;
constexpr int kGain = 0;
constexpr int kLatency = 1;
constexpr int kMode = 2;
constexpr int kMaxLatency = 1000;
constexpr int kModeSteps = 2;
constexpr const char* kModeNames[kModeSteps + 1] = {"Soft", "Hard", "Wild"};
constexpr const char* kParameterNames[kParameterCount] = {"Gain", "Latency", "Mode"};

struct StateChunk {
    char tag[4];
    float values[kParameterCount];
};

class TestGainPlugin {
public:
    explicit TestGainPlugin(AudioMasterCallback host) : host_(host)
    {
        effect_.magic = kEffectMagic;
        effect_.dispatcher = &dispatchThunk;
        effect_.process = &processThunk;
        effect_.setParameter = &setParameterThunk;
        effect_.getParameter = &getParameterThunk;
        effect_.numPrograms = 1;
        effect_.numParams = kParameterCount;
        effect_.numInputs = 2;
        effect_.numOutputs = 2;
        effect_.flags = effFlagsCanReplacing | effFlagsProgramChunks;
        effect_.ioRatio = 1.0f;
        effect_.object = this;
        effect_.uniqueID = fourCharCode('L', 'F', 't', 'g');
        effect_.version = 7;
        effect_.processReplacing = &processThunk;
        // Hosts must cope with callbacks that carry the record before the entry returns.
        host_(&effect_, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
    }

    ~TestGainPlugin() { joinWorker(); }

    AEffect* effect() { return &effect_; }

private:
    static TestGainPlugin* self(AEffect* effect) { return static_cast<TestGainPlugin*>(effect->object); }

    static VstIntPtr dispatchThunk(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
    {
        return self(e)->dispatch(opcode, index, value, ptr, opt);
    }
    static void processThunk(AEffect* e, float** in, float** out, VstInt32 frames) { self(e)->process(in, out, frames); }
    static void setParameterThunk(AEffect* e, VstInt32 index, float value) { self(e)->setParameter(index, value); }
    static float getParameterThunk(AEffect* e, VstInt32 index) { return self(e)->getParameter(index); }

    VstIntPtr callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, float opt)
    {
        return host_(&effect_, opcode, index, value, nullptr, opt);
    }

    static VstIntPtr copyText(void* ptr, const char* text)
    {
        std::strcpy(static_cast<char*>(ptr), text);
        return 1;
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
    {
        switch (opcode) {
        case effClose: delete this; return 1;
        case effGetParamName: return copyText(ptr, index >= 0 && index < kParameterCount ? kParameterNames[index] : "");
        case effGetParamLabel: return copyText(ptr, index == kLatency ? "samples" : "");
        case effGetParamDisplay: return copyText(ptr, display(index).c_str());
        case effGetProgramName: return copyText(ptr, "Test Program");
        case effGetEffectName: return copyText(ptr, "Test Gain");
        case effGetVendorString: return copyText(ptr, "Lumenfold Tests");
        case effGetProductString: return copyText(ptr, "Test Gain Product");
        case effGetVendorVersion: return 1234;
        case effGetVstVersion: return 2400;
        case effCanDo: return std::strcmp(static_cast<const char*>(ptr), "receiveVstMidiEvent") == 0 ? 1 : 0;
        case effGetChunk: return getChunk(ptr);
        case effSetChunk: return setChunk(ptr, value);
        case effProcessEvents: logEvents(static_cast<const VstEvents*>(ptr)); return 1;
        case effMainsChanged: if (value) callHost(audioMasterWantMidi, 0, 1, 0.0f); return 0;
        case effSetSampleRate: sampleRate_ = opt; return 0;
        case effSetBlockSize: blockSize_ = static_cast<int>(value); return 0;
        case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
        default: return 0;
        }
    }

    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt)
    {
        switch (index) {
        case kHookReadEventLog: {
            std::lock_guard lock(logMutex_);
            const std::size_t size = std::min(eventLog_.size(), static_cast<std::size_t>(value > 0 ? value - 1 : 0));
            std::memcpy(ptr, eventLog_.data(), size);
            static_cast<char*>(ptr)[size] = '\0';
            return static_cast<VstIntPtr>(size);
        }
        case kHookAutomateFromThread:
            joinWorker();
            worker_ = std::thread([this, value, opt] { callHost(audioMasterAutomate, static_cast<VstInt32>(value), 0, opt); });
            return 1;
        case kHookAskHost: return callHost(static_cast<VstInt32>(value), 0, 0, 0.0f);
        case kHookHostSampleRate: return static_cast<VstIntPtr>(sampleRate_);
        case kHookHostBlockSize: return blockSize_;
        default: return 0;
        }
    }

    void joinWorker()
    {
        if (worker_.joinable()) worker_.join();
    }

    std::string display(VstInt32 index) const
    {
        char text[32] = {};
        if (index == kGain) std::snprintf(text, sizeof text, "%.2f", 2.0 * values_[kGain]);
        else if (index == kLatency) std::snprintf(text, sizeof text, "%d", latency());
        else if (index == kMode) return kModeNames[modeIndex()];
        return text;
    }

    int modeIndex() const { return static_cast<int>(std::lround(values_[kMode] * kModeSteps)); }

    int latency() const { return static_cast<int>(std::lround(values_[kLatency] * kMaxLatency)); }

    void setParameter(VstInt32 index, float value)
    {
        if (index < 0 || index >= kParameterCount) return;
        values_[index] = index == kMode ? std::floor(value * kModeSteps + 0.5f) / kModeSteps : value;
        callHost(audioMasterAutomate, index, 0, value);
        if (index == kLatency) updateLatency();
    }

    float getParameter(VstInt32 index) const
    {
        return index >= 0 && index < kParameterCount ? values_[index] : 0.0f;
    }

    void updateLatency()
    {
        if (latency() == effect_.initialDelay) return;
        effect_.initialDelay = latency();
        callHost(audioMasterIOChanged, 0, 0, 0.0f);
    }

    VstIntPtr getChunk(void* ptr)
    {
        std::memcpy(chunk_.tag, "TGch", 4);
        std::copy(std::begin(values_), std::end(values_), chunk_.values);
        *static_cast<void**>(ptr) = &chunk_;
        return sizeof chunk_;
    }

    VstIntPtr setChunk(const void* data, VstIntPtr size)
    {
        StateChunk incoming{};
        if (size != static_cast<VstIntPtr>(sizeof incoming)) return 0;
        std::memcpy(&incoming, data, sizeof incoming);
        if (std::memcmp(incoming.tag, "TGch", 4) != 0) return 0;
        std::copy(std::begin(incoming.values), std::end(incoming.values), values_);
        updateLatency();
        return 1;
    }

    void logEvents(const VstEvents* events)
    {
        std::lock_guard lock(logMutex_);
        char line[128];
        for (VstInt32 i = 0; i < events->numEvents; ++i) {
            const VstEvent* event = events->events[i];
            std::snprintf(line, sizeof line, "type=%d size=%d delta=%d", event->type, event->byteSize, event->deltaFrames);
            eventLog_ += line;
            if (event->type == kVstMidiType) {
                const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
                std::snprintf(line, sizeof line, " bytes=%02x %02x %02x", midi->midiData[0] & 0xff,
                              midi->midiData[1] & 0xff, midi->midiData[2] & 0xff);
                eventLog_ += line;
            } else if (event->type == kVstSysExType) {
                const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
                std::snprintf(line, sizeof line, " dump=%d first=%02x", sysex->dumpBytes, sysex->sysexDump[0] & 0xff);
                eventLog_ += line;
            }
            eventLog_ += '\n';
        }
    }

    // Delay lines sized for the largest latency; each channel reads what it wrote
    // `latency` samples ago.
    void process(float** in, float** out, VstInt32 frames)
    {
        const int delay = latency();
        const float gain = 2.0f * values_[kGain];
        for (int c = 0; c < 2; ++c) {
            std::vector<float>& line = delayLines_[c];
            for (VstInt32 i = 0; i < frames; ++i) {
                const std::size_t write = (position_ + static_cast<std::size_t>(i)) % line.size();
                line[write] = in[c][i];
                const std::size_t read = (write + line.size() - static_cast<std::size_t>(delay)) % line.size();
                out[c][i] = gain * line[read];
            }
        }
        position_ = (position_ + static_cast<std::size_t>(frames)) % delayLines_[0].size();
    }

    AudioMasterCallback host_;
    AEffect effect_{};
    float values_[kParameterCount] = {0.5f, 0.0f, 0.0f};
    StateChunk chunk_{};
    float sampleRate_ = 44100.0f;
    int blockSize_ = 1024;
    std::vector<float> delayLines_[2] = {std::vector<float>(kMaxLatency + 1), std::vector<float>(kMaxLatency + 1)};
    std::size_t position_ = 0;
    std::mutex logMutex_;
    std::string eventLog_;
    std::thread worker_;
};

AEffect* createPlugin(AudioMasterCallback host)
{
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    return (new TestGainPlugin(host))->effect();
}

}  // namespace

#ifdef LFTEST_ENTRY_MAIN_ONLY
// A plug-in that exports only the old entry name; `main` cannot be declared directly in
// C++, so the symbol is named through an assembler label.
extern "C" __attribute__((visibility("default"))) AEffect* legacyPluginEntry(AudioMasterCallback host) __asm__("main");
extern "C" AEffect* legacyPluginEntry(AudioMasterCallback host) { return createPlugin(host); }
#else
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(AudioMasterCallback host)
{
    return createPlugin(host);
}
#endif
