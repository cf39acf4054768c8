// What a peer may make the instance do: replies only to its own host, Lua calls only from
// this machine (each unless its preference is on), a reply budget per datagram, and a
// bounded number of update registrations.

#include "OscTestInstance.h"
#include "engine/osc/OscAccessPreferences.h"
#include "platform/PreferenceStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kLocal = 0x7f000001u;   // 127.0.0.1
constexpr std::uint32_t kOwn = 0x0a000001u;     // 10.0.0.1, an interface of this machine
constexpr std::uint32_t kRemote = 0x0a000007u;  // 10.0.0.7, another machine
constexpr const char* kUrl = "127.0.0.1:9000";
constexpr int kAllParameters = 2081;

// The process-wide switches for one test; both off again afterwards.
class ScopedOscAccess {
public:
    ScopedOscAccess(bool replyToAnyHost, bool allowRemoteScripts)
    {
        QN::OscAccessPreferences::setReplyToAnyHost(replyToAnyHost);
        QN::OscAccessPreferences::setAllowRemoteScripts(allowRemoteScripts);
    }
    ~ScopedOscAccess()
    {
        QN::OscAccessPreferences::setReplyToAnyHost(false);
        QN::OscAccessPreferences::setAllowRemoteScripts(false);
    }
    ScopedOscAccess(const ScopedOscAccess&) = delete;
    ScopedOscAccess& operator=(const ScopedOscAccess&) = delete;
};

Bytes get(int id, const char* url = kUrl) { return oscMessage("/get", [=](auto& s) { s << id << url << "/r"; }); }
Bytes getAll() { return oscMessage("/getAll", [](auto& s) { s << kUrl << "/all"; }); }
Bytes call(const char* url) { return oscMessage("/call", [=](auto& s) { s << "answer" << url << "/r"; }); }
Bytes registration(int id, const char* url, const std::string& path)
{
    return oscMessage("/registerUpdate", [&](auto& s) { s << id << url << path.c_str(); });
}
Bytes getAllRegistered() { return oscMessage("/getAllRegistered", [](auto&) {}); }

std::string errorLine(const std::string& address, const std::string& text)
{
    return "error while parsing message: " + address + ": " + text + "\n";
}
std::string hostLine(const std::string& address)
{
    return errorLine(address, "reply host is not the sender's host (OSC Reply To Any Host is off)");
}
std::string scriptLine(const std::string& address)
{
    return errorLine(address, "Lua calls are refused from other machines (OSC Allow Remote Scripts is off)");
}
std::string budgetLine(const std::string& address)
{
    return errorLine(address, "reply budget of this datagram used up; its later answering requests are refused");
}

// A script function for "/call", one bound to "/hello", this machine's interface address,
// and a registration a program on this machine made.
class OscPeerRules : public testing::Test {
protected:
    void SetUp() override
    {
        instance.network.ownAddresses = {kOwn};
        ASSERT_EQ(instance.run("function answer() return 42 end "
                               "registerOSCPathForFunction('/hello', function() end)"),
                  "");
        ASSERT_EQ(instance.handle(registration(3, kUrl, "/local")), "");
    }

    OscTestInstance instance;
};

struct PeerCase {
    const char* name;
    std::uint32_t sender;
    bool replyToAnyHost;
    bool allowRemoteScripts;
    Bytes datagram;
    std::string output;
    std::vector<std::string> replies;
    std::uint32_t repliesTo;
};

class OscPeerAccess : public OscPeerRules, public testing::WithParamInterface<PeerCase> {};

}  // namespace

TEST_P(OscPeerAccess, RepliesGoToTheSendersHostAndLuaCallsComeFromThisMachine)
{
    const PeerCase& c = GetParam();
    const ScopedOscAccess access(c.replyToAnyHost, c.allowRemoteScripts);
    EXPECT_EQ(instance.handle(c.datagram, QN::OscEndpoint{c.sender, 5000}), c.output);
    EXPECT_EQ(instance.network.described(), c.replies);
    for (const RecordingNetwork::Datagram& sent : instance.network.sent()) {
        EXPECT_EQ(sent.to.address, c.repliesTo);
        EXPECT_EQ(sent.to.port, 9000) << "the reply port is the one the request names";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Senders, OscPeerAccess,
    testing::Values(
        PeerCase{"RemotePeerIsAnsweredAtItsOwnHost", kRemote, false, false, get(1, "10.0.0.7:9000"), "",
                 {"/r i:1 f:0"}, kRemote},
        PeerCase{"RemotePeerNamingAnotherHostIsRefused", kRemote, false, false, get(1, "10.0.0.8:9000"),
                 hostLine("/get"), {}, 0},
        PeerCase{"RemotePeerNamingThisMachineIsRefused", kRemote, false, false, get(1, kUrl), hostLine("/get"), {},
                 0},
        PeerCase{"LocalPeerMayNameAnyAddressOfThisMachine", kLocal, false, false, get(1, "10.0.0.1:9000"), "",
                 {"/r i:1 f:0"}, kOwn},
        PeerCase{"LocalPeerNamingAnotherHostIsRefused", kLocal, false, false, get(1, "10.0.0.8:9000"),
                 hostLine("/get"), {}, 0},
        PeerCase{"RemotePeerMayNotNameAHostEvenWithReplyToAnyHost", kRemote, true, false,
                 get(1, "controller.example:9000"),
                 errorLine("/get", "reply host must be a numeric address for requests from other machines"), {}, 0},
        PeerCase{"ReplyToAnyHostLetsAPeerNameAnotherHost", kRemote, true, false, get(1, "10.0.0.8:9000"), "",
                 {"/r i:1 f:0"}, 0x0a000008u},
        PeerCase{"RegistrationForAnotherHostIsRefused", kRemote, false, false,
                 oscBundle({registration(2, "10.0.0.8:9000", "/wet"), getAllRegistered()}), hostLine("/registerUpdate"),
                 {}, 0},
        PeerCase{"GetAllRegisteredAnswersTheSendersHostOnly", kRemote, false, false,
                 oscBundle({registration(2, "10.0.0.7:9000", "/wet"), getAllRegistered()}), "", {"/wet i:2 f:1"},
                 kRemote},
        PeerCase{"GetAllRegisteredAnswersEveryHostWhenAllowed", kRemote, true, false, getAllRegistered(), "",
                 {"/local i:3 f:5"}, kLocal},
        PeerCase{"RemotePeerMaySetParameters", kRemote, false, false,
                 oscMessage("/set", [](auto& s) { s << 1 << 0.5f; }), "", {}, 0},
        PeerCase{"ExecFromAnotherMachineIsRefused", kRemote, false, false,
                 oscMessage("/exec", [](auto& s) { s << "answer"; }), scriptLine("/exec"), {}, 0},
        PeerCase{"CallFromAnotherMachineIsRefused", kRemote, false, false, call("10.0.0.7:9000"), scriptLine("/call"),
                 {}, 0},
        PeerCase{"PresetFileFromAnotherMachineIsRefused", kRemote, false, false,
                 oscMessage("/savePreset", [](auto& s) { s << "taken"; }),
                 errorLine("/savePreset", "preset files are read and written only for this machine (OSC Allow "
                                          "Remote Scripts is off)"),
                 {}, 0},
        PeerCase{"ScriptAddressFromAnotherMachineIsRefused", kRemote, false, false,
                 oscMessage("/hello", [](auto&) {}), scriptLine("/hello"), {}, 0},
        PeerCase{"ScriptAddressFromThisMachineIsCalled", kOwn, false, false, oscMessage("/hello", [](auto&) {}), "",
                 {}, 0},
        PeerCase{"CallFromAnAddressOfThisMachineIsAnswered", kOwn, false, false, call("10.0.0.1:9000"), "",
                 {"/r f:42"}, kOwn},
        PeerCase{"AllowRemoteScriptsLetsOtherMachinesCall", kRemote, false, true, call("10.0.0.7:9000"), "",
                 {"/r f:42"}, kRemote},
        PeerCase{"AllowRemoteScriptsKeepsTheHostRule", kRemote, false, true, call("10.0.0.8:9000"), hostLine("/call"),
                 {}, 0}),
    [](const testing::TestParamInfo<PeerCase>& info) { return info.param.name; });

namespace {

struct BudgetCase {
    const char* name;
    std::vector<Bytes> datagrams;
    std::size_t replies;
    std::string output;
};

class OscReplyBudget : public OscPeerRules, public testing::WithParamInterface<BudgetCase> {};

}  // namespace

TEST_P(OscReplyBudget, OneDatagramMakesAtMostOneGetAllOfReplies)
{
    const BudgetCase& c = GetParam();
    std::string output;
    for (const Bytes& datagram : c.datagrams) {
        output += instance.handle(datagram);
    }
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(instance.network.sent().size(), c.replies);
}

INSTANTIATE_TEST_SUITE_P(
    Datagrams, OscReplyBudget,
    testing::Values(
        BudgetCase{"SmallRequestsFitTogether", {oscBundle({get(1), get(2), get(3)})}, 3, ""},
        BudgetCase{"ARequestAfterAGetAllIsRefused", {oscBundle({getAll(), get(1)})}, kAllParameters,
                   budgetLine("/get")},
        BudgetCase{"EveryRefusalOfADatagramSharesOneLine",
                   {oscBundle({getAll(), getAll(), get(1), getAllRegistered(), call(kUrl)})}, kAllParameters,
                   budgetLine("/getAll")},
        BudgetCase{"AGetAllPastTheBudgetIsRefusedWhole", {oscBundle({get(1), getAll()})}, 1, budgetLine("/getAll")},
        BudgetCase{"NestedBundlesShareTheBudget", {oscBundle({oscBundle({getAll()}), oscBundle({get(1)})})},
                   kAllParameters, budgetLine("/get")},
        BudgetCase{"ARefusedRequestSpendsNothing", {oscBundle({get(2081), getAll()})}, kAllParameters,
                   errorLine("/get", "parameter id out of range in get")},
        BudgetCase{"EachDatagramHasABudgetOfItsOwn", {getAll(), getAll()}, 2 * kAllParameters, ""}),
    [](const testing::TestParamInfo<BudgetCase>& info) { return info.param.name; });

TEST_F(OscPeerRules, RegistrationsAreBoundedPerParameterAndInTotal)
{
    using Registry = QN::UpdateRegistry;
    const Registry& registry = instance.osc().updateRegistry();
    const auto path = [](std::size_t n) { return "/p" + std::to_string(n); };
    for (std::size_t n = 0; n < Registry::kMaxPerParameter; ++n) {
        ASSERT_EQ(instance.handle(registration(2, kUrl, path(n))), "");
    }
    EXPECT_EQ(instance.handle(registration(2, kUrl, path(Registry::kMaxPerParameter))),
              errorLine("/registerUpdate", "too many update registrations for this parameter"));
    EXPECT_EQ(instance.handle(registration(2, kUrl, path(0))), "") << "the same registration again is kept once";
    EXPECT_EQ(registry.countFor(2), Registry::kMaxPerParameter);

    for (std::size_t n = 0; registry.size() < Registry::kMaxTotal; ++n) {
        const int id = 4 + static_cast<int>(n / Registry::kMaxPerParameter);
        ASSERT_EQ(instance.handle(registration(id, kUrl, path(n))), "");
    }
    EXPECT_EQ(instance.handle(registration(2080, kUrl, "/last")),
              errorLine("/registerUpdate", "too many update registrations"));
    EXPECT_FALSE(instance.osc().isUpdateRegistered(2080));
    EXPECT_EQ(registry.size(), Registry::kMaxTotal);

    instance.handle(oscMessage("/unregisterUpdate", [](auto& s) { s << 3 << kUrl << "/local"; }));
    EXPECT_EQ(instance.handle(registration(2080, kUrl, "/last")), "") << "a freed place can be taken again";
    EXPECT_TRUE(instance.osc().isUpdateRegistered(2080));
}

TEST_F(OscPeerRules, AccessSwitchesAreReadFromThePreferenceStoreAndOffByDefault)
{
    const ScopedOscAccess access(true, true);
    QN::OscAccessPreferences::load();
    EXPECT_FALSE(QN::OscAccessPreferences::replyToAnyHost());
    EXPECT_FALSE(QN::OscAccessPreferences::allowRemoteScripts());
    platform::writePreferenceInt("OSC Reply To Any Host", 1);
    platform::writePreferenceInt("OSC Allow Remote Scripts", 1);
    QN::OscAccessPreferences::load();
    EXPECT_TRUE(QN::OscAccessPreferences::replyToAnyHost());
    EXPECT_TRUE(QN::OscAccessPreferences::allowRemoteScripts());
}
