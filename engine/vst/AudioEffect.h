#pragma once
// The 2.0 layer of the host binding: the descriptor handed to the host, the dispatcher
// for the 2.0 opcodes, the host-callback wrappers and the string helpers.
// The dispatcher and parameter calls may come on any host thread; processReplacing on
// the host's audio thread.

#include "engine/abi/Vst2Abi.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(AudioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    // Closes the instance as effClose does (close, then prepareToClose) and frees it, on a
    // thread of its own when something is still busy. Called on: the host's thread.
    static void closeAndFree(AudioEffect* object);
    // Called on the host's thread after effClose: stops what may still run on other
    // threads and waits for it up to the time given. False when something is still busy:
    // the object is then freed on a thread of its own once it is done, so that the host's
    // close call never waits longer than that.
    virtual bool prepareToClose(int /*waitMs*/) { return true; }
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float sampleRate) { sampleRate_ = sampleRate; }
    virtual void setBlockSize(VstInt32 blockSize) { blockSize_ = blockSize; }
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double**, double**, VstInt32) {}
    virtual void setParameter(VstInt32, float) {}
    virtual float getParameter(VstInt32) { return 0.0f; }
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual VstInt32 getProgram() { return curProgram_; }
    virtual void setProgram(VstInt32 program) { curProgram_ = program; }
    virtual void setProgramName(const char*) {}
    virtual void getProgramName(char* name) { *name = 0; }
    virtual void getParameterLabel(VstInt32, char* label) { *label = 0; }
    virtual void getParameterDisplay(VstInt32, char* text) { *text = 0; }
    virtual void getParameterName(VstInt32, char* text) { *text = 0; }
    virtual VstInt32 getChunk(void** data, bool isPreset);
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset);
    virtual void setUniqueID(VstInt32 id) { cEffect_.uniqueID = id; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect_.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect_.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true);
    virtual void canDoubleReplacing(bool state = true);
    virtual void programsAreChunks(bool state = true);
    virtual void setInitialDelay(VstInt32 delay) { cEffect_.initialDelay = delay; }
    virtual AEffEditor* getEditor() { return editor_; }
    virtual AEffect* getAeffect() { return &cEffect_; }
    virtual float getSampleRate() { return sampleRate_; }
    virtual VstInt32 getBlockSize() { return blockSize_; }
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32) { return true; }
    virtual bool isOutputConnected(VstInt32) { return true; }
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);
    virtual void process(float**, float**, VstInt32) {}
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state = true);
    virtual void hasClip(bool state = true);
    virtual void canMono(bool state = true);
    virtual void setRealtimeQualities(VstInt32 qualities) { cEffect_.realQualities = qualities; }
    virtual void setOfflineQualities(VstInt32 qualities) { cEffect_.offQualities = qualities; }

    // Host-callback wrappers: 0 / false when there is no host callback.
    bool beginEdit(VstInt32 index);
    bool endEdit(VstInt32 index);
    bool updateDisplay();
    bool ioChanged();
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);

protected:
    // Where every host call goes; an instance hosted by another binding answers here.
    virtual VstIntPtr sendToHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void setEditor(AEffEditor* editor) { editor_ = editor; }
    void setFlag(VstInt32 flag, bool state);

    AudioMasterCallback audioMaster_;
    AEffEditor* editor_ = nullptr;
    float sampleRate_ = 44100.0f;
    VstInt32 blockSize_ = 1024;
    VstInt32 numPrograms_;
    VstInt32 numParams_;
    VstInt32 curProgram_ = 0;
    AEffect cEffect_{};

private:
    VstIntPtr dispatchEditor(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
};
