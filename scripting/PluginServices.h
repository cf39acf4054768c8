#pragma once
// What the scripting, OSC and editor layers may ask of the plug-in object, without
// knowing the host binding. Called on: any thread (host, audio, timer, OSC, editor).

namespace QN {

class PluginServices {
public:
    virtual ~PluginServices() = default;
    // The plain value stored in the current program; 0 for an id outside the table.
    virtual float parameterValue(int id) = 0;
    // Stores a normalised value exactly as a host change does (editor and OSC are told,
    // the change effects run). Ids outside the table and non-finite values are ignored.
    virtual void setNormalizedParameter(int id, float normalized) = 0;
    // Tells the host about a change made inside the plug-in (automation), when the host
    // gave a callback.
    virtual void automateParameter(int id, float normalized) = 0;
    // Writes an indicator flag (0..7) of the display block, and reads it.
    virtual void setIndicator(int id, bool flag) = 0;
    virtual bool indicator(int id) = 0;
};

}  // namespace QN
