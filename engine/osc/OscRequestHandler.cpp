#include "engine/osc/OscRequestHandler.h"

#include "engine/osc/OscAccessPreferences.h"
#include "engine/osc/OscLog.h"
#include "engine/net/OscPacketValidator.h"
#include "engine/net/OscUrl.h"
#include "engine/osc/ScriptPathTable.h"
#include "engine/osc/UpdateRegistry.h"
#include "engine/model/BinFrequency.h"
#include "engine/model/ParameterTable.h"
#include "engine/scripting/LuaMIDIHelper.h"
#include "engine/scripting/PluginServices.h"
#include "engine/scripting/UserPresets.h"
#include "Version.h"

#include <oscpack/ip/IpEndpointName.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace QN {

namespace {

using Stream = osc::ReceivedMessageArgumentStream;

// The arguments every reply request carries.
struct ReplyTo {
    const char* url = nullptr;
    const char* path = nullptr;
};

Stream& operator>>(Stream& args, ReplyTo& reply) { return args >> reply.url >> reply.path; }

// Checked before anything is set, so that a refused message changes nothing.
void checkFinite(float value)
{
    if (!std::isfinite(value)) {
        throw osc::Exception("value is not a finite number");
    }
}

int checkedId(osc::int32 id, const char* error)
{
    if (!isValidParameterId(id)) {
        throw osc::Exception(error);
    }
    return id;
}

// velocity x 127 truncated, low 8 bits (a float beyond any int is treated as 0).
int midiVelocity(float velocity)
{
    const double scaled = static_cast<double>(velocity) * 127.0;
    if (!std::isfinite(scaled) || std::fabs(scaled) > 1.0e15) {
        return 0;
    }
    return static_cast<int>(static_cast<long long>(scaled) & 0xFF);
}

void appendResults(osc::OutboundPacketStream& packet, const LuaCallResults& results)
{
    for (int k = 0; k < results.count; ++k) {
        const LuaCallResults::Value& value = results.values[k];
        if (value.isString) {
            packet << (results.text + value.textOffset);
        } else {
            packet << value.number;
        }
    }
}

}  // namespace

// The fixed address space, in the order addresses are compared. "/getAllRegistered"
// counts its replies itself: they depend on the registrations.
const OscRequestHandler::Route OscRequestHandler::kRoutes[] = {
    {"/ping", &OscRequestHandler::ping, 1, Route::Peers::Any},
    {"/set", &OscRequestHandler::set, 0, Route::Peers::Any},
    {"/setBinLevelsHz", &OscRequestHandler::setBinLevelsHz, 0, Route::Peers::Any},
    {"/get", &OscRequestHandler::get, 1, Route::Peers::Any},
    {"/getAll", &OscRequestHandler::getAll, kEveryParameter, Route::Peers::Any},
    {"/getAllRegistered", &OscRequestHandler::getAllRegistered, 0, Route::Peers::Any},
    {"/getNumParameters", &OscRequestHandler::getNumParameters, 1, Route::Peers::Any},
    {"/isParameterUsed", &OscRequestHandler::isParameterUsed, 1, Route::Peers::Any},
    {"/getInfo", &OscRequestHandler::getInfo, 1, Route::Peers::Any},
    {"/getText", &OscRequestHandler::getText, 1, Route::Peers::Any},
    {"/registerUpdate", &OscRequestHandler::registerUpdate, 0, Route::Peers::Any},
    {"/unregisterUpdate", &OscRequestHandler::unregisterUpdate, 0, Route::Peers::Any},
    {"/exec", &OscRequestHandler::exec, 0, Route::Peers::RunsScripts},
    {"/call", &OscRequestHandler::call, 1, Route::Peers::RunsScripts},
    {"/startNote", &OscRequestHandler::startNote, 0, Route::Peers::Any},
    {"/stopNote", &OscRequestHandler::stopNote, 0, Route::Peers::Any},
    {"/savePreset", &OscRequestHandler::savePreset, 0, Route::Peers::TouchesFiles},
    {"/loadPreset", &OscRequestHandler::loadPreset, 0, Route::Peers::TouchesFiles},
};

// Refusal of an answering request past the datagram's reply budget; logged once per
// datagram so that a bundle of many refused requests makes one line.
class OscRequestHandler::ReplyBudgetUsedUp : public osc::Exception {
public:
    ReplyBudgetUsedUp()
        : osc::Exception("reply budget of this datagram used up; its later answering requests are refused")
    {
    }
};

OscRequestHandler::OscRequestHandler(PluginServices* plugin, LuaMIDIHelper* lua, UpdateRegistry& updates,
                                     ScriptPathTable& paths, OscNetwork& network, PendingReplies& pending)
    : plugin_(plugin),
      lua_(lua),
      updates_(updates),
      paths_(paths),
      network_(network),
      pending_(pending),
      luaRequests_(lua)
{
}

void OscRequestHandler::ProcessPacket(const char* data, int size, const IpEndpointName& remoteEndpoint)
{
    sender_ = OscEndpoint{static_cast<std::uint32_t>(remoteEndpoint.address), remoteEndpoint.port};
    repliesLeft_ = kReplyBudget;
    budgetRefusalLogged_ = false;
    try {
        if (const char* error = OscPacketValidator::check(data, size > 0 ? static_cast<std::size_t>(size) : 0)) {
            OscLog::taskError("osc::Exception", error);
            return;
        }
        osc::OscPacketListener::ProcessPacket(data, size, remoteEndpoint);
    } catch (const osc::Exception& error) {
        OscLog::taskError("osc::Exception", error.what());
    } catch (const std::exception& error) {
        OscLog::taskError("std::runtime_error", error.what());
    }
}

void OscRequestHandler::handlePacket(const char* data, std::size_t size, const OscEndpoint& from)
{
    if (size > static_cast<std::size_t>(0x7FFFFFFC)) {
        OscLog::taskError("osc::Exception", "invalid packet size");
        return;
    }
    ProcessPacket(data, static_cast<int>(size), IpEndpointName(static_cast<unsigned long>(from.address), from.port));
}

void OscRequestHandler::ProcessMessage(const osc::ReceivedMessage& message, const IpEndpointName& remoteEndpoint)
{
    try {
        dispatch(message, remoteEndpoint);
    } catch (const ReplyBudgetUsedUp& error) {
        if (!budgetRefusalLogged_) {
            budgetRefusalLogged_ = true;
            OscLog::messageError(message.AddressPattern(), error.what());
        }
    } catch (const osc::Exception& error) {
        OscLog::messageError(message.AddressPattern(), error.what());
    } catch (const std::exception& error) {
        OscLog::messageError(message.AddressPattern(), error.what());
    }
}

void OscRequestHandler::dispatch(const osc::ReceivedMessage& message, const IpEndpointName& remoteEndpoint)
{
    const std::string address = message.AddressPattern();
    if (applyParameterPath(address, message)) {
        return;
    }
    // Entries are never removed, so an address that has functions now still has them
    // when they are called.
    if (paths_.hasFunctions(address)) {
        requireScriptPeer();
        callFunctionPath(address, message);
        return;
    }
    for (const Route& route : kRoutes) {
        if (address == route.address) {
            if (route.peers == Route::Peers::RunsScripts) {
                requireScriptPeer();
            } else if (route.peers == Route::Peers::TouchesFiles) {
                requireScriptPeer("preset files are read and written only for this machine (OSC Allow Remote Scripts is off)");
            }
            requireReplies(route.replies == kEveryParameter ? usedParameterCount() : route.replies);
            (this->*route.handler)(message);
            return;
        }
    }
    HandleUnknownMessage(address.c_str(), message, remoteEndpoint);
}

void OscRequestHandler::requireScriptPeer(const char* refusal) const
{
    if (!OscAccessPreferences::allowRemoteScripts() && !isThisMachine(sender_.address)) {
        throw osc::Exception(refusal);  // oscpack keeps the pointer: a literal
    }
}

void OscRequestHandler::requireReplies(int count) const
{
    if (count > repliesLeft_) {
        throw ReplyBudgetUsedUp();
    }
}

int OscRequestHandler::usedParameterCount()
{
    int count = 0;
    for (int id = 0; id < kParameterCount; ++id) {
        count += IsParameterUsed(id) ? 1 : 0;
    }
    return count;
}

// The loopback range is this machine whatever the interfaces say.
bool OscRequestHandler::isThisMachine(std::uint32_t address) const
{
    return (address >> 24) == 127 || network_.isOwnAddress(address);
}

// The sender's own host; a program on this machine may also name another address of it.
bool OscRequestHandler::mayReplyTo(std::uint32_t address) const
{
    return OscAccessPreferences::replyToAnyHost() || address == sender_.address ||
           (isThisMachine(sender_.address) && isThisMachine(address));
}

// The rule for an answer that waited for its host's lookup: names come from this machine
// only, so the sender is this machine.
bool OscRequestHandler::mayReplyFromThisMachineTo(std::uint32_t address) const
{
    return OscAccessPreferences::replyToAnyHost() || isThisMachine(address);
}

// Unknown addresses are reported, so a peer with a typing error learns why nothing
// happens; nothing else is done.
void OscRequestHandler::HandleUnknownMessage(const char* address, const osc::ReceivedMessage&, const IpEndpointName&)
{
    OscLog::messageError(address, "unknown address");
}

bool OscRequestHandler::IsParameterUsed(int) { return true; }

bool OscRequestHandler::applyParameterPath(const std::string& address, const osc::ReceivedMessage& message)
{
    const std::vector<ScriptPathTable::Bindings> entries = paths_.parameterEntries(address);
    if (entries.empty()) {
        return false;
    }
    std::vector<float> values(entries.front().size());
    Stream args = message.ArgumentStream();
    for (float& value : values) {
        args >> value;
        checkFinite(value);
    }
    args >> osc::EndMessage;
    for (const ScriptPathTable::Bindings& entry : entries) {
        for (std::size_t k = 0; k < entry.size() && k < values.size(); ++k) {
            setPlainValue(entry[k].index, boundPlainValue(entry[k], values[k]));
        }
    }
    return true;
}

bool OscRequestHandler::callFunctionPath(const std::string& address, const osc::ReceivedMessage& message)
{
    const std::vector<int> functions = paths_.functions(address);
    if (functions.empty()) {
        return false;
    }
    for (const int ref : functions) {
        if (const char* error = luaRequests_.callRegistered(ref, message.ArgumentsBegin(), message.ArgumentsEnd())) {
            throw osc::Exception(error);
        }
    }
    return true;
}

void OscRequestHandler::ping(const osc::ReceivedMessage& message)
{
    ReplyTo reply;
    Stream args = message.ArgumentStream();
    args >> reply >> osc::EndMessage;
    const ReplyTarget target = replyTarget(reply.url);
    checkFits(reply.path);
    const int port = listeningPort_.load(std::memory_order_relaxed);
    answer(target, "/ping", 1, [this, path = std::string(reply.path), port](const OscEndpoint& to) {
        const std::unique_ptr<OscDatagramChannel> channel = openReply(to);
        const std::uint32_t local = channel->localAddress();
        char url[64];
        std::snprintf(url, sizeof(url), "osc.udp://%u.%u.%u.%u:%d", (local >> 24) & 0xFF, (local >> 16) & 0xFF,
                      (local >> 8) & 0xFF, local & 0xFF, port);
        char versionText[48];
        std::snprintf(versionText, sizeof(versionText), "Lumenfold %s", version::kText);
        char buffer[kMessageBufferSize];
        osc::OutboundPacketStream packet(buffer, sizeof(buffer));
        packet << osc::BeginMessage(path.c_str()) << url << versionText << osc::EndMessage;
        send(*channel, packet);
    });
}

// The message is built now (the values as they are when asked), sent when the host is known.
template <class... Values>
void OscRequestHandler::replyWith(const char* request, const char* url, const char* path, const Values&... values)
{
    const ReplyTarget target = replyTarget(url);
    char buffer[kMessageBufferSize];
    osc::OutboundPacketStream packet(buffer, sizeof(buffer));
    packet << osc::BeginMessage(path);
    (packet << ... << values);
    packet << osc::EndMessage;
    answer(target, request, 1, [this, bytes = std::string(packet.Data(), packet.Size())](const OscEndpoint& to) {
        if (!openReply(to)->send(bytes.data(), bytes.size())) {
            throw osc::Exception("unable to send reply");
        }
    });
}

void OscRequestHandler::set(const osc::ReceivedMessage& message)
{
    osc::int32 id = 0;
    float value = 0.0f;
    message.ArgumentStream() >> id >> value >> osc::EndMessage;
    checkFinite(value);
    setPlainValue(checkedId(id, "parameter id out of range in set"), value);
}

// Mapped with the instance's FFT size and sample rate when the message arrives; a range
// the bins do not cover is refused whole.
void OscRequestHandler::setBinLevelsHz(const osc::ReceivedMessage& message)
{
    float loHz = 0.0f;
    float hiHz = 0.0f;
    float value = 0.0f;
    message.ArgumentStream() >> loHz >> hiHz >> value >> osc::EndMessage;
    checkFinite(value);
    if (plugin_ == nullptr) {
        return;
    }
    const std::optional<BinFrequency> bins =
        BinFrequency::forStoredFftSize(plugin_->parameterValue(ParameterId::FftSize), plugin_->sampleRate());
    if (!bins) {
        throw osc::Exception("the sample rate is not known yet");
    }
    if (bins->rangeProblem(loHz, hiHz) != nullptr) {
        char text[256];
        bins->describeRangeProblem(loHz, hiHz, text, sizeof text);
        throw std::runtime_error(text);
    }
    const BinRange range = *bins->binsIn(loHz, hiHz);
    for (int bin = range.first; bin <= range.last; ++bin) {
        setPlainValue(kBinLevelBase + bin, value);
    }
}

void OscRequestHandler::get(const osc::ReceivedMessage& message)
{
    osc::int32 id = 0;
    ReplyTo reply;
    message.ArgumentStream() >> id >> reply >> osc::EndMessage;
    checkedId(id, "parameter id out of range in get");
    replyWith("/get", reply.url, reply.path, id, plugin_ ? plugin_->parameterValue(id) : 0.0f);
}

void OscRequestHandler::getAll(const osc::ReceivedMessage& message)
{
    ReplyTo reply;
    Stream args = message.ArgumentStream();
    args >> reply >> osc::EndMessage;
    const ReplyTarget target = replyTarget(reply.url);
    checkFits(reply.path);
    answer(target, "/getAll", usedParameterCount(), [this, path = std::string(reply.path)](const OscEndpoint& to) {
        const std::unique_ptr<OscDatagramChannel> channel = openReply(to);
        char buffer[kMessageBufferSize];
        for (int id = 0; id < kParameterCount; ++id) {
            if (!IsParameterUsed(id)) {
                continue;
            }
            osc::OutboundPacketStream packet(buffer, sizeof(buffer));
            packet << osc::BeginMessage(path.c_str()) << id << (plugin_ ? plugin_->parameterValue(id) : 0.0f)
                   << osc::EndMessage;
            send(*channel, packet);
        }
    });
}

void OscRequestHandler::getAllRegistered(const osc::ReceivedMessage& message)
{
    message.ArgumentStream() >> osc::EndMessage;
    std::vector<UpdateRegistration> registrations = updates_.all();
    std::erase_if(registrations, [this](const UpdateRegistration& r) { return !mayReplyTo(r.endpoint.address); });
    requireReplies(static_cast<int>(registrations.size()));
    repliesLeft_ -= static_cast<int>(registrations.size());
    bool allSent = true;
    for (const UpdateRegistration& registration : registrations) {
        const float value = plugin_ ? plugin_->parameterValue(registration.index) : 0.0f;
        allSent = sendUpdate(network_, registration.endpoint, registration.path, registration.index, value) && allSent;
    }
    if (!allSent) {
        throw osc::Exception("unable to send to every registration");
    }
}

void OscRequestHandler::getNumParameters(const osc::ReceivedMessage& message)
{
    ReplyTo reply;
    Stream args = message.ArgumentStream();
    args >> reply >> osc::EndMessage;
    replyWith("/getNumParameters", reply.url, reply.path, osc::int32(kParameterCount));
}

void OscRequestHandler::isParameterUsed(const osc::ReceivedMessage& message)
{
    osc::int32 id = 0;
    ReplyTo reply;
    message.ArgumentStream() >> id >> reply >> osc::EndMessage;
    checkedId(id, "parameter id out of range in isParameterUsed");
    replyWith("/isParameterUsed", reply.url, reply.path, id, IsParameterUsed(id));
}

void OscRequestHandler::getInfo(const osc::ReceivedMessage& message)
{
    osc::int32 id = 0;
    ReplyTo reply;
    message.ArgumentStream() >> id >> reply >> osc::EndMessage;
    checkedId(id, "parameter id out of range in getInfo");
    if (!IsParameterUsed(id)) {
        throw osc::Exception("parameter id is unused");
    }
    const ParameterInfo row = plugin_ ? plugin_->parameterRow(id) : parameterInfo(id);
    replyWith("/getInfo", reply.url, reply.path, id, row.minValue, row.maxValue, row.defaultValue, row.name,
              static_cast<osc::int32>(row.unit));
}

// The text as hosts show it, taken when asked: a peer shows what the host shows.
void OscRequestHandler::getText(const osc::ReceivedMessage& message)
{
    osc::int32 id = 0;
    ReplyTo reply;
    message.ArgumentStream() >> id >> reply >> osc::EndMessage;
    checkedId(id, "parameter id out of range in getText");
    const std::string text = plugin_ ? plugin_->parameterText(id) : std::string();
    replyWith("/getText", reply.url, reply.path, id, text.c_str());
}

void OscRequestHandler::registerUpdate(const osc::ReceivedMessage& message)
{
    osc::int32 id = 0;
    ReplyTo reply;
    message.ArgumentStream() >> id >> reply >> osc::EndMessage;
    checkedId(id, "parameter id out of range in registerUpdate");
    const ReplyTarget target = replyTarget(reply.url);
    // A path that no notification could carry is refused now rather than failing on
    // every later change.
    checkFits(reply.path);
    answer(target, "/registerUpdate", 0, [this, id, path = std::string(reply.path)](const OscEndpoint& to) {
        switch (updates_.add(UpdateRegistration{id, to, path})) {
        case UpdateRegistry::AddResult::ParameterFull:
            throw osc::Exception("too many update registrations for this parameter");
        case UpdateRegistry::AddResult::RegistryFull:
            throw osc::Exception("too many update registrations");
        case UpdateRegistry::AddResult::Added:
        case UpdateRegistry::AddResult::AlreadyThere:
            break;
        }
    });
}

void OscRequestHandler::unregisterUpdate(const osc::ReceivedMessage& message)
{
    osc::int32 id = 0;
    ReplyTo reply;
    message.ArgumentStream() >> id >> reply >> osc::EndMessage;
    checkedId(id, "parameter id out of range in unregisterUpdate");
    answer(replyTarget(reply.url), "/unregisterUpdate", 0,
           [this, id, path = std::string(reply.path)](const OscEndpoint& to) {
               updates_.remove(UpdateRegistration{id, to, path});
           });
}

void OscRequestHandler::exec(const osc::ReceivedMessage& message)
{
    auto it = message.ArgumentsBegin();
    if (it == message.ArgumentsEnd()) {
        throw osc::MissingArgumentException();
    }
    const char* function = (it++)->AsString();
    if (const char* error = luaRequests_.exec(function, it, message.ArgumentsEnd())) {
        throw osc::Exception(error);
    }
}

void OscRequestHandler::call(const osc::ReceivedMessage& message)
{
    auto it = message.ArgumentsBegin();
    const char* strings[3] = {};  // function name, reply URL, reply path
    for (const char*& text : strings) {
        if (it == message.ArgumentsEnd()) {
            throw osc::MissingArgumentException();
        }
        text = (it++)->AsString();
    }
    // The reply address is checked before the function runs, so a request that cannot
    // be answered has no effect.
    const ReplyTarget target = replyTarget(strings[1]);
    checkFits(strings[2]);
    const auto results = std::make_unique<LuaCallResults>();
    if (const char* error = luaRequests_.call(strings[0], it, message.ArgumentsEnd(), *results)) {
        throw osc::Exception(error);
    }
    char buffer[kMessageBufferSize];
    osc::OutboundPacketStream packet(buffer, sizeof(buffer));
    packet << osc::BeginMessage(strings[2]);
    appendResults(packet, *results);
    packet << osc::EndMessage;
    answer(target, "/call", 1, [this, bytes = std::string(packet.Data(), packet.Size())](const OscEndpoint& to) {
        if (!openReply(to)->send(bytes.data(), bytes.size())) {
            throw osc::Exception("unable to send reply");
        }
    });
}

void OscRequestHandler::startNote(const osc::ReceivedMessage& message)
{
    osc::int32 note = 0;
    float velocity = 0.0f;
    message.ArgumentStream() >> note >> velocity >> osc::EndMessage;
    lua().NoteOn(1, note, midiVelocity(velocity));
}

void OscRequestHandler::stopNote(const osc::ReceivedMessage& message)
{
    osc::int32 note = 0;
    float velocity = 0.0f;
    message.ArgumentStream() >> note >> velocity >> osc::EndMessage;
    lua().NoteOff(1, note, midiVelocity(velocity));
}

// A file name in the presets folder only (UserPresets), whoever asks: a peer can write
// and read nowhere else. Lines a load skipped are logged like errors, one each.
void OscRequestHandler::savePreset(const osc::ReceivedMessage& message)
{
    const char* name = nullptr;
    message.ArgumentStream() >> name >> osc::EndMessage;
    if (plugin_ == nullptr) {
        throw osc::Exception("no plug-in to save a preset of");
    }
    const UserPresets::Outcome outcome = UserPresets::save(*plugin_, name);
    if (!outcome.ok()) {
        throw std::runtime_error(outcome.error);  // osc::Exception would keep a pointer into outcome
    }
}

void OscRequestHandler::loadPreset(const osc::ReceivedMessage& message)
{
    const char* name = nullptr;
    message.ArgumentStream() >> name >> osc::EndMessage;
    if (plugin_ == nullptr) {
        throw osc::Exception("no plug-in to load a preset into");
    }
    const UserPresets::Outcome outcome = UserPresets::load(*plugin_, name);
    for (const std::string& line : outcome.messages) {
        OscLog::messageError(message.AddressPattern(), line);
    }
    if (!outcome.ok()) {
        throw std::runtime_error(outcome.error);  // osc::Exception would keep a pointer into outcome
    }
}

LuaMIDIHelper& OscRequestHandler::lua()
{
    if (lua_ == nullptr) {
        throw osc::Exception("no Lua support from OSC");
    }
    return *lua_;
}

// As scripts' setParameter does: through the plug-in's one door, which clamps to the
// range and tells the host.
void OscRequestHandler::setPlainValue(int id, float plain)
{
    if (plugin_ != nullptr) {
        plugin_->setPlainParameter(id, plain);
    }
}

float OscRequestHandler::boundPlainValue(const ParameterBinding& binding, float value) const
{
    if (!binding.normalized || plugin_ == nullptr) {
        return value;
    }
    const ParameterInfo row = plugin_->parameterRow(binding.index);
    const double plain = row.minValue + static_cast<double>(value) * (row.maxValue - row.minValue);
    return static_cast<float>(std::clamp<double>(plain, -FLT_MAX, FLT_MAX));
}

// A dotted address (or "localhost") is checked at once. A name is accepted from this
// machine only and never looked up here: its address comes from the network's kept
// answers, or later (answer parks the reply).
OscRequestHandler::ReplyTarget OscRequestHandler::replyTarget(const char* url)
{
    const char* error = nullptr;
    const std::optional<OscUrl> parsed = OscUrl::parse(url, &error);
    if (!parsed) {
        throw osc::Exception(error);
    }
    ReplyTarget target{parsed->host(), parsed->port(), parsed->literalAddress()};
    if (!target.address) {
        if (!isThisMachine(sender_.address)) {
            throw osc::Exception("reply host must be a numeric address for requests from other machines");
        }
        const HostLookup known = network_.lookUpWithoutWaiting(target.host);
        if (known.state == HostLookup::State::NotFound) {
            throw osc::Exception("cannot resolve reply host");
        }
        if (known.state == HostLookup::State::Found) {
            target.address = known.address;
        }
    }
    if (target.address && !mayReplyTo(*target.address)) {
        throw osc::Exception("reply host is not the sender's host (OSC Reply To Any Host is off)");
    }
    return target;
}

void OscRequestHandler::answer(const ReplyTarget& target, const char* request, int replies, Answer answer)
{
    requireReplies(replies);
    if (target.address) {
        repliesLeft_ -= replies;
        answer(OscEndpoint{*target.address, target.port});
        return;
    }
    const int port = target.port;
    const bool parked = pending_.park(request, target.host, [this, port, answer](std::uint32_t address) {
        if (!mayReplyFromThisMachineTo(address)) {
            throw osc::Exception("reply host is not the sender's host (OSC Reply To Any Host is off)");
        }
        answer(OscEndpoint{address, port});
    });
    if (!parked) {
        throw osc::Exception("too many answers wait for host lookups");
    }
    repliesLeft_ -= replies;
}

std::unique_ptr<OscDatagramChannel> OscRequestHandler::openReply(const OscEndpoint& to)
{
    const char* error = nullptr;
    std::unique_ptr<OscDatagramChannel> channel = network_.open(to, &error);
    if (!channel) {
        throw osc::Exception(error);
    }
    return channel;
}

// The datagram's budget was taken when the answer began (answer).
void OscRequestHandler::send(OscDatagramChannel& channel, const osc::OutboundPacketStream& packet)
{
    if (!channel.send(packet.Data(), packet.Size())) {
        throw osc::Exception("unable to send reply");
    }
}

// Throws "out of buffer memory" when a message with this path and a few numbers cannot
// be built in the reply buffer.
void OscRequestHandler::checkFits(const char* path)
{
    char buffer[kMessageBufferSize];
    osc::OutboundPacketStream packet(buffer, sizeof(buffer));
    packet << osc::BeginMessage(path) << osc::int32(0) << 0.0f << osc::EndMessage;
}

bool OscRequestHandler::sendUpdate(OscNetwork& network, const OscEndpoint& to, const std::string& path, int index,
                                   float value)
{
    try {
        char buffer[kMessageBufferSize];
        osc::OutboundPacketStream packet(buffer, sizeof(buffer));
        packet << osc::BeginMessage(path.c_str()) << osc::int32(index) << value << osc::EndMessage;
        const char* error = nullptr;
        const std::unique_ptr<OscDatagramChannel> channel = network.open(to, &error);
        return channel && channel->send(packet.Data(), packet.Size());
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace QN
