#include "tools/host/PluginInstance.h"

#include "tools/host/MidiEventList.h"
#include "tools/host/PluginLibrary.h"

#include <array>

namespace lfhost {
namespace {

// The instance whose entry call is running on this thread: the plug-in may call back
// before it has handed us its AEffect, or with an AEffect whose user field is not set yet.
thread_local PluginInstance* instanceBeingCreated = nullptr;

// Plug-ins are told to write at most 8 to 64 characters; hosts give far more so that
// a plug-in that overruns the published limits does not corrupt our stack.
constexpr std::size_t kTextBufferSize = 256;

class CreationScope {
public:
    explicit CreationScope(PluginInstance* instance) : previous_(instanceBeingCreated)
    {
        instanceBeingCreated = instance;
    }
    ~CreationScope() { instanceBeingCreated = previous_; }
    CreationScope(const CreationScope&) = delete;
    CreationScope& operator=(const CreationScope&) = delete;

private:
    PluginInstance* previous_;
};

}  // namespace

PluginInstance::PluginInstance(HostOptions options)
    : hostVersion_(options.hostVersion), recordCalls_(options.recordCalls), sampleRate_(options.sampleRate), blockSize_(options.blockSize)
{
}

std::unique_ptr<PluginInstance> PluginInstance::create(const std::string& soPath, std::string* error,
                                                       HostOptions options)
{
    std::unique_ptr<PluginLibrary> library = PluginLibrary::open(soPath, error);
    if (!library) return nullptr;

    std::unique_ptr<PluginInstance> instance(new PluginInstance(options));
    AEffect* effect = nullptr;
    {
        CreationScope scope(instance.get());
        effect = library->entry()(&PluginInstance::hostCallback);
    }
    if (!effect) {
        if (error) *error = soPath + ": the plug-in refused to start (its entry point returned null)";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        if (error) *error = soPath + ": the entry point did not return a VST effect record";
        return nullptr;
    }
    instance->library_ = std::move(library);
    instance->effect_ = effect;
    effect->user = instance.get();
    instance->latencyAtLastIoChange_.store(effect->initialDelay);
    instance->dispatch(effOpen);
    return instance;
}

PluginInstance::~PluginInstance()
{
    if (!effect_) return;
    // effClose destroys the plug-in's object: the record is gone after this call.
    effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    effect_ = nullptr;
}

PluginInstance* PluginInstance::instanceFor(AEffect* effect)
{
    if (effect && effect->user) return static_cast<PluginInstance*>(effect->user);
    return instanceBeingCreated;
}

VstIntPtr PluginInstance::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                       void* /*ptr*/, float opt)
{
    PluginInstance* instance = instanceFor(effect);
    if (!instance) return 0;  // a call we cannot attribute (e.g. a plug-in thread racing creation)
    if (instance->recordCalls_) instance->log_.record(HostCall{opcode, index, value, opt, std::this_thread::get_id()});
    return instance->answer(opcode);
}

VstIntPtr PluginInstance::answer(VstInt32 opcode)
{
    switch (opcode) {
    case audioMasterVersion:
        return hostVersion_;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_.load());
    case audioMasterGetBlockSize:
        return blockSize_.load();
    case audioMasterIOChanged:
        if (effect_) latencyAtLastIoChange_.store(effect_->initialDelay);
        return 1;
    case audioMasterWantMidi:
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterUpdateDisplay:
        return 1;
    default:
        return 0;  // audioMasterCanDo included: this host offers no optional features
    }
}

VstIntPtr PluginInstance::dispatch(int opcode, int index, VstIntPtr value, void* ptr, float opt)
{
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::dispatchForText(int opcode, int index)
{
    std::array<char, kTextBufferSize> text{};
    dispatch(opcode, index, 0, text.data());
    text.back() = '\0';
    return text.data();
}

std::string PluginInstance::effectName() { return dispatchForText(effGetEffectName, 0); }
std::string PluginInstance::vendorString() { return dispatchForText(effGetVendorString, 0); }
std::string PluginInstance::productString() { return dispatchForText(effGetProductString, 0); }
std::string PluginInstance::programName() { return dispatchForText(effGetProgramName, 0); }
std::string PluginInstance::parameterName(int index) { return dispatchForText(effGetParamName, index); }
std::string PluginInstance::parameterLabel(int index) { return dispatchForText(effGetParamLabel, index); }
std::string PluginInstance::parameterDisplay(int index) { return dispatchForText(effGetParamDisplay, index); }

int PluginInstance::vendorVersion() { return static_cast<int>(dispatch(effGetVendorVersion)); }
int PluginInstance::vstVersion() { return static_cast<int>(dispatch(effGetVstVersion)); }

bool PluginInstance::canDo(const std::string& capability)
{
    // The plug-in gets a writable copy: the ABI passes a plain char pointer.
    std::string text = capability;
    return dispatch(effCanDo, 0, 0, text.data()) > 0;
}

float PluginInstance::getParameter(int index) { return effect_->getParameter(effect_, index); }

bool PluginInstance::setParameterFromText(int index, const std::string& text)
{
    std::string writable = text;
    return dispatch(effString2Parameter, index, 0, writable.data()) != 0;
}

bool PluginInstance::canBeAutomated(int index) { return dispatch(effCanBeAutomated, index) != 0; }

void PluginInstance::setParameter(int index, float normalized) { effect_->setParameter(effect_, index, normalized); }

std::vector<std::uint8_t> PluginInstance::getChunk(bool isPreset)
{
    void* data = nullptr;
    const VstIntPtr size = dispatch(effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (size <= 0 || data == nullptr) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

VstIntPtr PluginInstance::setChunk(const void* data, std::size_t size, bool isPreset)
{
    return dispatch(effSetChunk, isPreset ? 1 : 0, static_cast<VstIntPtr>(size), const_cast<void*>(data));
}

void PluginInstance::setSampleRate(float sampleRate)
{
    sampleRate_.store(sampleRate);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
}

void PluginInstance::setBlockSize(int blockSize)
{
    blockSize_.store(blockSize);
    dispatch(effSetBlockSize, 0, blockSize);
}

void PluginInstance::resume() { dispatch(effMainsChanged, 0, 1); }
void PluginInstance::suspend() { dispatch(effMainsChanged, 0, 0); }

void PluginInstance::processReplacing(float** inputs, float** outputs, int frames)
{
    effect_->processReplacing(effect_, inputs, outputs, frames);
}

void PluginInstance::sendMidi(const std::vector<MidiMessage>& messages)
{
    MidiEventList list(messages);
    sendEvents(list.events());
}

void PluginInstance::sendEvents(VstEvents* events) { dispatch(effProcessEvents, 0, 0, events); }

}  // namespace lfhost
