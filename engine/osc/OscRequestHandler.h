#pragma once
// Handles every datagram the instance's OSC port receives: checks the packet, takes a
// bundle's elements one after the other (time tags are ignored), and dispatches each
// message by its exact address: first the addresses scripts bound to parameters, then
// those bound to Lua functions, then the fixed address space (see docs/osc.md), and
// finally HandleUnknownMessage. Replies go to the URL named in the request, one message
// per datagram, from a socket of their own.
//
// What a peer may ask for (see docs/osc.md, Security):
//  - replies and registrations name the host the request came from, unless "OSC Reply To
//    Any Host" is on;
//  - a reply host given by name is accepted from this machine only (other machines write
//    their address): looking a name up is work a stranger should not be able to order;
//    the name is looked up off this thread, and its answer goes out once it is known
//    (PendingReplies);
//  - Lua calls ("/exec", "/call", addresses scripts bound to functions) come from this
//    machine, unless "OSC Allow Remote Scripts" is on;
//  - "/savePreset" and "/loadPreset" take a file name in the presets folder only
//    (UserPresets), never a path;
//  - one datagram, bundles included, makes at most kReplyBudget replies; an answering
//    request that would go past it is refused whole.
//
// Nothing a peer sends can end the server: a malformed packet is logged as a whole
// ("osc::Exception in TaskMain(): ..."), a failing message as "error while parsing
// message: <address>: <text>", and the next datagram is handled as usual.
// Called on: OSC thread (the fuzzer and tests call it directly, without sockets).

#include "engine/osc/LuaCallResults.h"
#include "engine/net/OscEndpoint.h"
#include "engine/osc/OscLuaRequests.h"
#include "engine/net/OscNetwork.h"
#include "engine/osc/ParameterBinding.h"
#include "engine/osc/PendingReplies.h"

#include <oscpack/osc/OscOutboundPacketStream.h>
#include <oscpack/osc/OscPacketListener.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace QN {

class LuaMIDIHelper;
class PluginServices;
class ScriptPathTable;
class UpdateRegistry;

class OscRequestHandler : public osc::OscPacketListener {
public:
    static constexpr std::size_t kMessageBufferSize = 1024;
    // One "/getAll" (a message per parameter) and nothing more per datagram: a small
    // datagram cannot make the instance send more than that.
    static constexpr int kReplyBudget = 2081;
    // The sender handlePacket assumes: a program on this machine.
    static constexpr OscEndpoint kLocalSender{0x7f000001u, 0};

    OscRequestHandler(PluginServices* plugin, LuaMIDIHelper* lua, UpdateRegistry& updates, ScriptPathTable& paths,
                      OscNetwork& network, PendingReplies& pending);

    // The port "/ping" reports. Called on: OSC thread, before each receive loop.
    void setListeningPort(int port) { listeningPort_.store(port, std::memory_order_relaxed); }

    void ProcessPacket(const char* data, int size, const IpEndpointName& remoteEndpoint) override;
    // The same without a socket (tests, fuzzing): from is the sender the datagram came from.
    void handlePacket(const char* data, std::size_t size, const OscEndpoint& from = kLocalSender);

    // Sends (index, value) to one registration; false when it cannot be built or sent.
    // Called on: notify thread and OSC thread.
    [[nodiscard]] static bool sendUpdate(OscNetwork& network, const OscEndpoint& to, const std::string& path,
                                         int index, float value);

protected:
    void ProcessMessage(const osc::ReceivedMessage& message, const IpEndpointName& remoteEndpoint) override;
    virtual void HandleUnknownMessage(const char* address, const osc::ReceivedMessage& message,
                                      const IpEndpointName& remoteEndpoint);
    virtual bool IsParameterUsed(int index);

private:
    using Handler = void (OscRequestHandler::*)(const osc::ReceivedMessage&);
    // replies: how many messages the request may send back (kEveryParameter: one per used
    // parameter); runsScripts: it calls Lua.
    static constexpr int kEveryParameter = -1;
    struct Route {
        const char* address;
        Handler handler;
        int replies;
        // Refused from other machines while "OSC Allow Remote Scripts" is off: Lua runs,
        // or a file in the user's folder is written or read.
        enum class Peers { Any, RunsScripts, TouchesFiles } peers;
    };
    static const Route kRoutes[];
    class ReplyBudgetUsedUp;
    // A checked reply URL: its address when known now, else the name being looked up.
    struct ReplyTarget {
        std::string host;
        int port = 0;
        std::optional<std::uint32_t> address;
    };
    // Sends a request's answer to its reply endpoint. May run later, on the notify thread,
    // so it copies what it needs from the request.
    using Answer = std::function<void(const OscEndpoint& to)>;

    void dispatch(const osc::ReceivedMessage& message, const IpEndpointName& remoteEndpoint);
    void requireScriptPeer(
        const char* refusal = "Lua calls are refused from other machines (OSC Allow Remote Scripts is off)") const;
    void requireReplies(int count) const;
    int usedParameterCount();
    [[nodiscard]] bool isThisMachine(std::uint32_t address) const;
    [[nodiscard]] bool mayReplyTo(std::uint32_t address) const;
    [[nodiscard]] bool mayReplyFromThisMachineTo(std::uint32_t address) const;
    bool applyParameterPath(const std::string& address, const osc::ReceivedMessage& message);
    bool callFunctionPath(const std::string& address, const osc::ReceivedMessage& message);

    void ping(const osc::ReceivedMessage& message);
    void set(const osc::ReceivedMessage& message);
    void setBinLevelsHz(const osc::ReceivedMessage& message);
    void get(const osc::ReceivedMessage& message);
    void getAll(const osc::ReceivedMessage& message);
    void getAllRegistered(const osc::ReceivedMessage& message);
    void getNumParameters(const osc::ReceivedMessage& message);
    void isParameterUsed(const osc::ReceivedMessage& message);
    void getInfo(const osc::ReceivedMessage& message);
    void getText(const osc::ReceivedMessage& message);
    void registerUpdate(const osc::ReceivedMessage& message);
    void unregisterUpdate(const osc::ReceivedMessage& message);
    void exec(const osc::ReceivedMessage& message);
    void call(const osc::ReceivedMessage& message);
    void startNote(const osc::ReceivedMessage& message);
    void stopNote(const osc::ReceivedMessage& message);
    void savePreset(const osc::ReceivedMessage& message);
    void loadPreset(const osc::ReceivedMessage& message);

    void setPlainValue(int id, float plain);
    float boundPlainValue(const ParameterBinding& binding, float value) const;
    ReplyTarget replyTarget(const char* url);
    // Runs answer now when the target's address is known, else once its lookup ends.
    // replies: what the answer sends, taken from the datagram's budget now.
    void answer(const ReplyTarget& target, const char* request, int replies, Answer answer);
    std::unique_ptr<OscDatagramChannel> openReply(const OscEndpoint& to);
    static void send(OscDatagramChannel& channel, const osc::OutboundPacketStream& packet);
    // One message of the given values to path at the reply URL (checked first, so a bad URL
    // sends nothing).
    template <class... Values>
    void replyWith(const char* request, const char* url, const char* path, const Values&... values);
    static void checkFits(const char* path);
    LuaMIDIHelper& lua();

    PluginServices* plugin_;
    LuaMIDIHelper* lua_;
    UpdateRegistry& updates_;
    ScriptPathTable& paths_;
    OscNetwork& network_;
    PendingReplies& pending_;
    OscLuaRequests luaRequests_;
    std::atomic<int> listeningPort_{0};

    // The datagram being handled (OSC thread only): who sent it, how many replies it may
    // still make, and whether its budget refusal has been logged (once per datagram).
    OscEndpoint sender_ = kLocalSender;
    int repliesLeft_ = kReplyBudget;
    bool budgetRefusalLogged_ = false;
};

}  // namespace QN
