#include "gui/plugin/TessamireConnection.h"

#include "gui/plugin/ControlValueText.h"

#include "plugin/core/ParameterTable.h"
#include "plugin/core/CFArray.h"
#include "plugin/QuanTessamire.h"
#include "plugin/core/StatusCodes.h"
#include "scripting/ScriptConsole.h"

namespace {
// Hosts give plug-ins at least this much room for a value text; so do we.
constexpr int kTextBufferSize = 256;
}  // namespace

int TessamireConnection::parameterCount() { return plugin_.getAeffect()->numParams; }

ParameterInfo TessamireConnection::parameterRow(int index) { return plugin_.parameterRow(index); }

float TessamireConnection::plainValue(int index)
{
    return isValidParameterId(index) ? plugin_.plainValue(index) : 0.0f;
}

void TessamireConnection::setPlainValueAutomated(int index, float plain)
{
    plugin_.setParameterFromPlain(index, plain, true);
}

void TessamireConnection::beginEdit(int index) { plugin_.beginEdit(index); }

void TessamireConnection::endEdit(int index) { plugin_.endEdit(index); }

void TessamireConnection::updateDisplay() { plugin_.updateDisplay(); }

std::string TessamireConnection::displayText(int index)
{
    char text[kTextBufferSize] = {};
    plugin_.getParameterDisplay(index, text);
    return text;
}

std::string TessamireConnection::unitLabel(int index)
{
    char text[kTextBufferSize] = {};
    plugin_.getParameterLabel(index, text);
    return text;
}

std::string TessamireConnection::controlText(int index)
{
    if (!isValidParameterId(index)) return {};
    const std::string text = ControlValueText::text(parameterInfo(index), plainValue(index));
    return text.empty() ? displayText(index) : text;
}

// What the field shows, typed back: the same reading as a host's text entry.
std::optional<float> TessamireConnection::plainFromTyped(int index, const std::string& typed)
{
    return plugin_.plainFromText(index, typed);
}

float TessamireConnection::sampleRate() { return plugin_.getSampleRate(); }

void TessamireConnection::setPlainValue(int index, float plain) { plugin_.setParameterFromPlain(index, plain, false); }

std::vector<std::string> TessamireConnection::valueStrings(int index)
{
    std::vector<std::string> texts;
    CFArrayHolder list;
    if (plugin_.getParameterValueStrings(0, index, list.out()) != kNoErr || !list.get()) return texts;
    for (int i = 0; i < list.get()->count(); ++i) texts.push_back(list.get()->at(i)->text());
    return texts;
}

DisplayBlock* TessamireConnection::displayBlock() { return plugin_.displayBlock(); }

void TessamireConnection::changeOscBasePort(int port)
{
    QuanTessamire::setOscBasePort(port);
    // Setting the offset again is what moves a server to base port + offset.
    plugin_.setParameterFromPlain(ParameterId::OscPortOffset, plugin_.plainValue(ParameterId::OscPortOffset), false);
}

std::vector<QN::ConsoleLine> TessamireConnection::consoleLines()
{
    std::vector<QN::ConsoleLine> lines;
    for (auto& line : plugin_.scriptConsole().history()) {
        lines.push_back({std::move(line.source), std::move(line.text), line.error, line.repeats, line.number});
    }
    return lines;
}

void TessamireConnection::clearConsole() { plugin_.scriptConsole().clear(); }

void TessamireConnection::attachConsole(lua_State* L) { plugin_.scriptConsole().attach(L); }

void TessamireConnection::postConsoleError(const std::string& source, const std::string& text)
{
    plugin_.scriptConsole().postError(source.c_str(), text.c_str());
}
