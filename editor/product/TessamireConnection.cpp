#include "editor/product/TessamireConnection.h"

#include "editor/product/ControlValueText.h"

#include "engine/model/ParameterTable.h"
#include "engine/model/CFArray.h"
#include "engine/instance/QuanTessamire.h"
#include "engine/model/StatusCodes.h"
#include "engine/scripting/ScriptConsole.h"

#include <algorithm>

namespace {
// Hosts give plug-ins at least this much room for a value text; so do we.
constexpr int kTextBufferSize = 256;
}  // namespace

TessamireConnection::TessamireConnection(QuanTessamire& plugin) : plugin_(plugin), hostCalls_(kParameterCount) {}

int TessamireConnection::parameterCount() { return plugin_.getAeffect()->numParams; }

ParameterInfo TessamireConnection::parameterRow(int index) { return plugin_.parameterRow(index); }

float TessamireConnection::plainValue(int index)
{
    return isValidParameterId(index) ? plugin_.plainValue(index) : 0.0f;
}

// On the host's threads whatever waits goes out first, so that the host hears
// everything in the order the editor did it.
void TessamireConnection::setPlainValueAutomated(int index, float plain)
{
    if (!defersHostCalls()) {
        sendDeferredHostCalls();
        plugin_.setParameterFromPlain(index, plain, true);
        return;
    }
    // The sound follows the control now; the host hears of it on its own thread.
    if (plugin_.setParameterFromPlain(index, plain, false)) hostCalls_.automate(index, automationValue(index));
}

void TessamireConnection::beginEdit(int index)
{
    hostCall([&] { hostCalls_.beginEdit(index); }, [&] { plugin_.beginEdit(index); });
}

void TessamireConnection::endEdit(int index)
{
    hostCall([&] { hostCalls_.endEdit(index); }, [&] { plugin_.endEdit(index); });
}

void TessamireConnection::updateDisplay()
{
    hostCall([&] { hostCalls_.updateDisplay(); }, [&] { plugin_.updateDisplay(); });
}

void TessamireConnection::deferHostCallsOnThisThread(bool defer)
{
    deferringThread_.store(defer ? std::this_thread::get_id() : std::thread::id());
}

bool TessamireConnection::defersHostCalls() const { return deferringThread_.load() == std::this_thread::get_id(); }

void TessamireConnection::sendDeferredHostCalls()
{
    if (defersHostCalls()) return;
    QN::HostCallQueue::Call call;
    while (hostCalls_.pop(call)) send(call);
}

void TessamireConnection::send(const QN::HostCallQueue::Call& call)
{
    using Kind = QN::HostCallQueue::Kind;
    switch (call.kind) {
    case Kind::BeginEdit: plugin_.beginEdit(call.index); break;
    case Kind::Automate: plugin_.callHost(audioMasterAutomate, call.index, 0, nullptr, call.value); break;
    case Kind::EndEdit: plugin_.endEdit(call.index); break;
    case Kind::UpdateDisplay: plugin_.updateDisplay(); break;
    }
}

float TessamireConnection::automationValue(int index)
{
    return std::clamp(plainToNormalized(plugin_.parameterRow(index), plugin_.plainValue(index)), 0.0f, 1.0f);
}

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
