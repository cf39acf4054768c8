#pragma once
// What the engine tells the binding that hosts it: the host should hear of a changed
// value, of the editor's drags, of a new latency. The VST binding hears the same through
// its host callback; the other bindings implement this.

class EngineListener {
public:
    virtual ~EngineListener() = default;
    // The editor, a MIDI script or an OSC message changed a value: the host should hear of
    // it. Called on: any thread (the audio thread for MIDI scripts; no allocation there).
    virtual void parameterEdited(int id) = 0;
    // The editor began or ended a drag of this parameter. Called on: host GUI thread.
    virtual void gestureBegan(int id) = 0;
    virtual void gestureEnded(int id) = 0;
    // The latency follows "FFT Size"; the host should read it again. Called on: any thread.
    virtual void latencyChanged() = 0;
};
