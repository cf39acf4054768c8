#pragma once
// The editor as the host binding sees it. The plug-in's own editor derives from it;
// this base answers the editor opcodes for a plug-in whose window cannot open.
// Called on: the host GUI thread, except parameterChanged (any thread).

#include "engine/abi/Vst2Abi.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect_(effect) {}
    virtual ~AEffEditor() = default;
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual bool getRect(ERect** rect)
    {
        *rect = &rect_;
        return true;
    }
    virtual bool open(void* parentWindow)
    {
        systemWindow_ = parentWindow;
        return false;
    }
    virtual void close() { systemWindow_ = nullptr; }
    virtual bool isOpen() { return systemWindow_ != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode&) { return false; }
    virtual bool onKeyUp(VstKeyCode&) { return false; }
    virtual bool setKnobMode(VstInt32) { return false; }
    // Called on: any thread that stored a parameter value.
    virtual void parameterChanged(int, float) {}

protected:
    AudioEffect* effect_;
    void* systemWindow_ = nullptr;
    ERect rect_{0, 0, 512, 1024};
};
