#pragma once
// The 2.x layer of the host binding: plug-in property queries, MIDI events and the
// further host-callback wrappers.

#include "engine/vst/AudioEffect.h"

class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    virtual VstInt32 processEvents(VstEvents*) { return 0; }
    // Only the parameters there are: a host that asks past the end learns there is none.
    virtual bool canParameterBeAutomated(VstInt32 index) { return index >= 0 && index < numParams_; }
    // A host's typed text for a parameter; a null text asks whether the parameter takes text.
    virtual bool string2parameter(VstInt32, char*) { return false; }
    virtual VstInt32 getNumCategories() { return 1; }
    virtual bool getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
    virtual bool getInputProperties(VstInt32, void*) { return false; }
    virtual bool getOutputProperties(VstInt32, void*) { return false; }
    virtual VstPlugCategory getPlugCategory() { return kPlugCategEffect; }
    virtual bool setSpeakerArrangement(void*, void*) { return false; }
    virtual bool setBypass(bool) { return false; }
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32, VstIntPtr, void*, float) { return 0; }
    virtual VstInt32 canDo(const char*) { return 0; }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual bool getParameterProperties(VstInt32, void*) { return false; }
    virtual VstInt32 getVstVersion() { return 2400; }
    virtual VstInt32 getCurrentMidiProgram(VstInt32, void*) { return -1; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }

    // Host-callback wrappers.
    bool wantEvents(VstInt32 filter = 1);
    bool sendVstEventsToHost(VstEvents* events);
};
