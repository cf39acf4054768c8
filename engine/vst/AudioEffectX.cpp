#include "engine/vst/AudioEffectX.h"

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter: return string2parameter(index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetNumProgramCategories: return getNumCategories();
    case effGetProgramNameIndexed:
        return (ptr && getProgramNameIndexed(static_cast<VstInt32>(value), index, static_cast<char*>(ptr))) ? 1 : 0;
    case effConnectInput:
    case effConnectOutput: return 1;
    case effGetInputProperties: return getInputProperties(index, ptr) ? 1 : 0;
    case effGetOutputProperties: return getOutputProperties(index, ptr) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<void*>(value), ptr) ? 1 : 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSize(static_cast<VstInt32>(value));
        setSampleRate(opt);
        return 1;
    case effSetBypass: return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName: return (ptr && getEffectName(static_cast<char*>(ptr))) ? 1 : 0;
    case effGetVendorString: return (ptr && getVendorString(static_cast<char*>(ptr))) ? 1 : 0;
    case effGetProductString: return (ptr && getProductString(static_cast<char*>(ptr))) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
    case effGetTailSize: return getGetTailSize();
    case effGetParameterProperties: return getParameterProperties(index, ptr) ? 1 : 0;
    case effKeysRequired: return 1;
    case effGetVstVersion: return getVstVersion();
    case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, ptr);
    case effBeginSetProgram: return beginSetProgram() ? 1 : 0;
    case effEndSetProgram: return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement:
        if (value) {
            *reinterpret_cast<void**>(value) = nullptr;
        }
        if (ptr) {
            *static_cast<void**>(ptr) = nullptr;
        }
        return 0;
    case effSetTotalSampleToProcess: return setTotalSampleToProcess(static_cast<VstInt32>(value));
    default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

bool AudioEffectX::wantEvents(VstInt32 filter) { return callHost(audioMasterWantMidi, 0, filter) != 0; }

bool AudioEffectX::sendVstEventsToHost(VstEvents* events)
{
    return callHost(audioMasterProcessEvents, 0, 0, events) != 0;
}
