#pragma once
// One plug-in instance as our host sees it: created through the library's entry point,
// opened, and closed again by the destructor. Every host callback the instance makes is
// answered here and recorded in order, from whatever thread the plug-in makes it on.
//
// Threads: the dispatcher wrappers, processReplacing and sendMidi follow the plug-in's
// rules (one host thread at a time for dispatch, one audio thread for processing); the
// call-log accessors and the callback itself are safe from any thread.

#include "engine/abi/Vst2Abi.h"
#include "tools/host/HostCall.h"
#include "tools/host/HostCallLog.h"
#include "tools/host/HostOptions.h"
#include "tools/host/MidiMessage.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lfhost {

class PluginLibrary;

class PluginInstance {
public:
    // Null with *error set when the library cannot be loaded, the entry point returns
    // null (for instance because hostVersion is 0) or the record is not an AEffect.
    [[nodiscard]] static std::unique_ptr<PluginInstance> create(const std::string& soPath, std::string* error,
                                                                HostOptions options = {});
    ~PluginInstance();

    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    [[nodiscard]] AEffect* effect() const { return effect_; }
    VstIntPtr dispatch(int opcode, int index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);

    // Descriptor fields, read live from the plug-in's record.
    [[nodiscard]] int numInputs() const { return effect_->numInputs; }
    [[nodiscard]] int numOutputs() const { return effect_->numOutputs; }
    [[nodiscard]] int numParams() const { return effect_->numParams; }
    [[nodiscard]] int initialDelay() const { return effect_->initialDelay; }
    [[nodiscard]] int uniqueId() const { return effect_->uniqueID; }
    [[nodiscard]] int flags() const { return effect_->flags; }
    [[nodiscard]] int version() const { return effect_->version; }
    // The initial delay as read at creation and again at every audioMasterIOChanged.
    [[nodiscard]] int latencyAtLastIoChange() const { return latencyAtLastIoChange_.load(); }

    [[nodiscard]] std::string effectName();
    [[nodiscard]] std::string vendorString();
    [[nodiscard]] std::string productString();
    [[nodiscard]] int vendorVersion();
    [[nodiscard]] int vstVersion();
    [[nodiscard]] bool canDo(const std::string& capability);

    [[nodiscard]] std::string parameterName(int index);
    [[nodiscard]] std::string parameterLabel(int index);
    [[nodiscard]] std::string parameterDisplay(int index);
    [[nodiscard]] float getParameter(int index);
    void setParameter(int index, float normalized);
    // A typed text as the host's text entry hands it over (effString2Parameter); false
    // when the plug-in does not take it.
    bool setParameterFromText(int index, const std::string& text);
    [[nodiscard]] bool canBeAutomated(int index);

    [[nodiscard]] std::vector<std::uint8_t> getChunk(bool isPreset = false);
    VstIntPtr setChunk(const void* data, std::size_t size, bool isPreset = false);
    [[nodiscard]] std::string programName();

    void setSampleRate(float sampleRate);
    [[nodiscard]] float sampleRate() const { return sampleRate_.load(); }
    void setBlockSize(int blockSize);
    void resume();
    void suspend();

    // Called on: the audio thread (the caller's), with numInputs/numOutputs buffers.
    void processReplacing(float** inputs, float** outputs, int frames);
    // Called on: the audio thread, before the block the events belong to.
    void sendMidi(const std::vector<MidiMessage>& messages);
    void sendEvents(VstEvents* events);

    // The recorded host callbacks. Called on: any thread.
    [[nodiscard]] std::vector<HostCall> calls() const { return log_.calls(); }
    void clearCalls() { log_.clear(); }
    [[nodiscard]] int countCalls(int opcode) const { return log_.count(opcode); }
    // index HostCallLog::kAnyIndex matches any index.
    [[nodiscard]] bool waitForCall(int opcode, int index, int timeoutMs) const
    {
        return log_.waitFor(opcode, index, timeoutMs);
    }

private:
    explicit PluginInstance(HostOptions options);

    // The host callback handed to the plug-in. Called on: any plug-in thread.
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt);
    static PluginInstance* instanceFor(AEffect* effect);
    VstIntPtr answer(VstInt32 opcode);
    [[nodiscard]] std::string dispatchForText(int opcode, int index);

    std::unique_ptr<PluginLibrary> library_;
    AEffect* effect_ = nullptr;
    const int hostVersion_;
    const bool recordCalls_;
    std::atomic<float> sampleRate_;
    std::atomic<int> blockSize_;
    std::atomic<int> latencyAtLastIoChange_{0};
    HostCallLog log_;
};

}  // namespace lfhost
