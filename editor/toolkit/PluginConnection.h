#pragma once

#include "editor/toolkit/ConsoleLine.h"
#include "platform/MessageOutput.h"
#include "engine/model/ParameterInfo.h"

#include <charconv>
#include <optional>
#include <string>
#include <vector>

struct DisplayBlock;
struct lua_State;

namespace QN {

// What the editor needs of the plug-in it shows. The view adapts the plug-in object to
// it, which keeps the toolkit free of the host binding.
// Called on: the host GUI thread, except where noted.
class PluginConnection {
public:
    virtual ~PluginConnection() = default;

    virtual int parameterCount() = 0;
    // The parameter's row as this instance uses it (its own "Script Index" maximum).
    virtual ParameterInfo parameterRow(int index) = 0;
    // The current plain value in the current program. Called on: GUI or render thread.
    virtual float plainValue(int index) = 0;
    // Stores a plain value and reports it to the host as automation.
    virtual void setPlainValueAutomated(int index, float plain) = 0;
    // Stores a plain value without telling the host.
    virtual void setPlainValue(int index, float plain) = 0;
    // The texts of an indexed parameter's values, in value order; empty without a list.
    virtual std::vector<std::string> valueStrings(int) { return {}; }
    // The spectra, meters and view settings the audio thread publishes; null when the
    // plug-in has none. Valid for the connection's life.
    virtual DisplayBlock* displayBlock() { return nullptr; }
    virtual void beginEdit(int index) = 0;
    virtual void endEdit(int index) = 0;
    virtual void updateDisplay() = 0;
    // While set, what this thread tells the host through the connection (gestures,
    // automation reports, display refreshes) waits, in order, for sendDeferredHostCalls;
    // the values still change at once. The editor sets it around the work of its idle
    // stand-in, a thread the host does not know. Called on: that thread.
    virtual void deferHostCallsOnThisThread(bool /*defer*/) {}
    // Sends what waits, in order. Called on: host GUI thread.
    virtual void sendDeferredHostCalls() {}
    // The host-facing value text and unit label. Called on: the render thread.
    virtual std::string displayText(int index) = 0;
    virtual std::string unitLabel(int index) = 0;
    // What a value field shows: the value with its unit. Called on: the render thread.
    virtual std::string controlText(int index) { return displayText(index); }
    // A text typed into a value field, in the unit controlText shows, as a plain value;
    // nullopt when it is no value. By default a plain number ('.' as the point).
    // Called on: host GUI thread.
    virtual std::optional<float> plainFromTyped(int, const std::string& typed)
    {
        float value = 0.0f;
        const char* end = typed.data() + typed.size();
        const auto [stop, error] = std::from_chars(typed.data(), end, value);
        if (typed.empty() || error != std::errc() || stop != end) return std::nullopt;
        return value;
    }
    // Called on: the render thread.
    virtual float sampleRate() = 0;
    // The instance's last script output and errors, oldest first.
    // Called on: the GUI or render thread.
    virtual std::vector<ConsoleLine> consoleLines() { return {}; }
    virtual void clearConsole() {}
    // A line of the editor's own (a skin that failed) for the console, which also writes
    // it to standard error. Called on: host GUI thread.
    virtual void postConsoleError(const std::string& /*source*/, const std::string& text)
    {
        platform::writeDebugOutput((text + "\n").c_str());
    }
    // Makes a skin's print() write to the instance's console, as the scripts' own does;
    // without one it goes to standard error. Called on: host GUI thread, as the state is made.
    virtual void attachConsole(lua_State* /*L*/) {}
};

}  // namespace QN
