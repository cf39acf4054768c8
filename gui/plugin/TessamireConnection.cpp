#include "gui/plugin/TessamireConnection.h"

#include "plugin/core/ParameterTable.h"
#include "plugin/core/CFArray.h"
#include "plugin/QuanTessamire.h"
#include "plugin/core/StatusCodes.h"

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
