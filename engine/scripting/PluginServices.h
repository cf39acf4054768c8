#pragma once
// What the scripting, OSC and editor layers may ask of the plug-in object, without
// knowing the host binding. Called on: any thread (host, audio, timer, OSC, editor).

#include "engine/model/ParameterInfo.h"

#include <string>

namespace QN {

class PluginServices {
public:
    virtual ~PluginServices() = default;
    // The plain value stored in the current program; 0 for an id outside the table.
    virtual float parameterValue(int id) = 0;
    // Sets a plain value as a host change does (editor and OSC are told, the change
    // effects run) and reports it to the host as automation. The value is clamped to the
    // parameter's range; false, and nothing changes, for an id outside the table or a
    // value that is not finite (the caller reports it in its own way).
    virtual bool setPlainParameter(int id, float plain) = 0;
    // The parameter's row as this instance uses it (its own "Script Index" maximum).
    // id must be valid.
    virtual ParameterInfo parameterRow(int id) const = 0;
    // The current value's display text with its unit label, as hosts show it ("-18.06 dB",
    // "1024", "Off"); empty where the plug-in has no texts. id must be valid. Not on the
    // audio thread (it allocates).
    virtual std::string parameterText(int) { return {}; }
    // The sample rate the instance runs at (where the bins sit in Hz); 0 where unknown.
    virtual float sampleRate() { return 0.0f; }
    // Writes an indicator flag (0..7) of the display block, and reads it.
    virtual void setIndicator(int id, bool flag) = 0;
    virtual bool indicator(int id) = 0;
};

}  // namespace QN
