// The fixed address space as a remote peer sees it: replies, error lines and effects,
// with the packet handler driven directly and replies recorded instead of sent.

#include "OscTestInstance.h"
#include "engine/net/OscPacketValidator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* kUrl = "127.0.0.1:9000";

Bytes get(int id) { return oscMessage("/get", [id](auto& s) { s << id << kUrl << "/r"; }); }
Bytes set(int id, float value) { return oscMessage("/set", [=](auto& s) { s << id << value; }); }
Bytes call(const char* function) { return oscMessage("/call", [=](auto& s) { s << function << kUrl << "/r"; }); }

std::string errorLine(const std::string& address, const std::string& text)
{
    return "error while parsing message: " + address + ": " + text + "\n";
}

// The start of a failed Lua call's line; Lua's reason follows.
std::string failureStart(const std::string& address, const std::string& function)
{
    return "error while parsing message: " + address + ": failed to exec function \"" + function + "\": ";
}

class OscAddressSpace : public testing::Test {
protected:
    OscTestInstance instance;
};

}  // namespace

TEST_F(OscAddressSpace, GetNumParametersRepliesToTheUrlWithOrWithoutScheme)
{
    EXPECT_EQ(instance.handle(oscMessage("/getNumParameters", [](auto& s) { s << "osc.udp://127.0.0.1:9000" << "/n"; })), "");
    EXPECT_EQ(instance.handle(oscMessage("/getNumParameters", [](auto& s) { s << "127.0.0.1:9000" << "/n"; })), "");
    const auto sent = instance.network.sent();
    ASSERT_EQ(sent.size(), 2u);
    for (const auto& datagram : sent) {
        EXPECT_EQ(describeOsc(datagram.bytes), "/n i:2081");
        EXPECT_EQ(datagram.to, (QN::OscEndpoint{0x7f000001u, 9000}));
    }
}

TEST_F(OscAddressSpace, PingNamesTheListeningAddressAndVersion)
{
    instance.osc().requestHandler().setListeningPort(7005);
    instance.handle(oscMessage("/ping", [](auto& s) { s << kUrl << "/pong"; }));
    EXPECT_EQ(instance.network.described(),
              std::vector<std::string>{"/pong s:osc.udp://127.0.0.1:7005 s:Lumenfold 1.0.2"});
}

TEST_F(OscAddressSpace, SetStoresThePlainValueAndTellsTheHost)
{
    EXPECT_EQ(instance.handle(set(11, -22.0f)), "");
    EXPECT_FLOAT_EQ(instance.plugin.values[11], -22.0f);
    ASSERT_EQ(instance.plugin.automation.size(), 1u);
    EXPECT_EQ(instance.plugin.automation[0].first, 11);
    EXPECT_FLOAT_EQ(instance.plugin.automation[0].second, 0.5f);
    EXPECT_TRUE(instance.network.sent().empty());
}

TEST_F(OscAddressSpace, GetAndGetInfoReplyWithThePlainValueAndTheTableRow)
{
    instance.handle(get(6));
    instance.handle(oscMessage("/getInfo", [](auto& s) { s << 6 << kUrl << "/r"; }));
    instance.handle(oscMessage("/isParameterUsed", [](auto& s) { s << 2080 << kUrl << "/r"; }));
    EXPECT_EQ(instance.network.described(),
              (std::vector<std::string>{"/r i:6 f:-160", "/r i:6 f:-180 f:0 f:-160 s:View Min dB i:13",
                                        "/r i:2080 T"}));
}

TEST_F(OscAddressSpace, GetAllSendsEveryParameterInOrderThroughOneSocket)
{
    instance.handle(oscMessage("/getAll", [](auto& s) { s << kUrl << "/all"; }));
    const auto described = instance.network.described();
    ASSERT_EQ(described.size(), 2081u);
    EXPECT_EQ(described.front(), "/all i:0 f:0");
    EXPECT_EQ(described[2], "/all i:2 f:1");
    EXPECT_EQ(described.back(), "/all i:2080 f:1");
    EXPECT_EQ(instance.network.socketsOpened, 1);
}

TEST_F(OscAddressSpace, BundleElementsAreHandledOneAfterTheOtherInOrder)
{
    instance.handle(oscBundle({get(1), set(1, 0.25f), get(1)}));
    EXPECT_EQ(instance.network.described(), (std::vector<std::string>{"/r i:1 f:0", "/r i:1 f:0.25"}));
}

TEST_F(OscAddressSpace, RegistrationsAreKeptOnceAndNotifiedUntilRemoved)
{
    const Bytes registration = oscMessage("/registerUpdate", [](auto& s) { s << 2 << kUrl << "/wet"; });
    instance.handle(registration);
    instance.handle(registration);
    EXPECT_TRUE(instance.osc().isUpdateRegistered(2));
    instance.handle(oscMessage("/getAllRegistered", [](auto&) {}));
    EXPECT_EQ(instance.network.described(), std::vector<std::string>{"/wet i:2 f:1"});

    instance.osc().parameterChanged(2, 0.5f);
    QN::SetParamQueue::Entry entry;
    ASSERT_TRUE(instance.osc().setParamQueue().take(entry));
    EXPECT_EQ(entry.index, 2);

    instance.handle(oscMessage("/unregisterUpdate", [](auto& s) { s << 2 << kUrl << "/wet"; }));
    EXPECT_FALSE(instance.osc().isUpdateRegistered(2));
    instance.osc().parameterChanged(2, 0.75f);
    EXPECT_FALSE(instance.osc().setParamQueue().take(entry));
}

// A change still queued when the OSC threads stopped (Stop takes every wake-up signal, so the
// queue stays written but unsignalled) is sent once they start again, and notifications
// keep flowing after it.
TEST_F(OscAddressSpace, ChangesQueuedWhileStoppedAreSentAfterTheNextStart)
{
    instance.handle(oscMessage("/registerUpdate", [](auto& s) { s << 2 << kUrl << "/wet"; }));
    const auto sentWithin = [this](const std::string& line) {
        for (int wait = 0; wait < 500; ++wait) {
            const std::vector<std::string> sent = instance.network.described();
            if (std::find(sent.begin(), sent.end(), line) != sent.end()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    instance.osc().Start();
    instance.osc().Stop();
    ASSERT_TRUE(instance.osc().setParamQueue().Write(2, 0.5f));
    instance.osc().Start();
    EXPECT_TRUE(sentWithin("/wet i:2 f:0.5"));
    instance.osc().parameterChanged(2, 0.25f);
    EXPECT_TRUE(sentWithin("/wet i:2 f:0.25"));
    instance.osc().Stop();
}

TEST_F(OscAddressSpace, CallRepliesWithNumbersAndStringsUpToTheFirstNil)
{
    ASSERT_EQ(instance.run("function four() return 1, 'x', nil, 2 end "
                           "function numeric() return '12', 2.5 end"),
              "");
    const int height = instance.stackHeight();
    EXPECT_EQ(instance.handle(call("four")), "");
    EXPECT_EQ(instance.handle(call("numeric")), "");
    EXPECT_EQ(instance.network.described(), (std::vector<std::string>{"/r f:1 s:x", "/r f:12 f:2.5"}));
    EXPECT_EQ(instance.stackHeight(), height);
}

TEST_F(OscAddressSpace, CallAndExecErrorsSendNothingAndKeepTheStack)
{
    ASSERT_EQ(instance.run("function yes() return true end "
                           "function fails() error('no') end "
                           "function store(...) stored = select('#', ...) + (...) end"),
              "");
    const int height = instance.stackHeight();
    EXPECT_EQ(instance.handle(call("yes")), errorLine("/call", "unhandled argument type return from call"));
    // Every failure names the function and Lua's reason, on standard output and in the console.
    for (int round = 0; round < 2; ++round) {
        const std::string line = instance.handle(call("fails"));
        EXPECT_EQ(line.rfind(failureStart("/call", "fails") + "[string", 0), 0u) << line;
        EXPECT_NE(line.find("]:1: no\n"), std::string::npos) << line;
    }
    const std::string console = instance.consoleText();
    EXPECT_NE(console.find("failed to exec function \"fails\": [string"), std::string::npos) << console;
    EXPECT_NE(console.find("]:1: no\n"), std::string::npos) << "the console has the place";
    EXPECT_EQ(instance.handle(oscMessage("/exec", [](auto& s) { s << "notAFunction"; })),
              errorLine("/exec", "failed to exec function \"notAFunction\": attempt to call a nil value"));
    EXPECT_EQ(instance.handle(oscMessage("/exec", [](auto& s) { s << "store" << osc::Blob("ab", 2); })),
              errorLine("/exec", "unhandled argument type to exec"));
    EXPECT_EQ(instance.handle(oscMessage("/exec", [](auto& s) { s << "store" << 40 << true << 1.5 << "s"; })), "");
    EXPECT_EQ(instance.number("stored"), 44.0);
    EXPECT_TRUE(instance.network.sent().empty());
    EXPECT_EQ(instance.stackHeight(), height);
}

TEST_F(OscAddressSpace, LuaRequestsAtTheMemoryCeilingFailAloneAndTheStateStaysUsable)
{
    ASSERT_EQ(instance.run("function answer() return 42 end function release() chain = nil collectgarbage() end"), "");
    ASSERT_EQ(instance.handle(oscMessage("/exec", [](auto& s) { s << "answer"; })), "");
    instance.setMemoryLimit(std::size_t(4) << 20);
    // Small tables to the very last bytes, so that naming a new function cannot be stored.
    ASSERT_EQ(instance.run("pcall(function() while true do chain = {chain} end end)"), "");
    for (const char* name : {"aNameNeverSeenBeforeInThisState", "anotherNameNeverSeenBefore"}) {
        const std::string line = instance.handle(oscMessage("/exec", [&](auto& s) { s << name; }));
        EXPECT_EQ(line.rfind(failureStart("/exec", name), 0), 0u) << line;
    }
    EXPECT_EQ(instance.handle(oscMessage("/exec", [](auto& s) { s << "release"; })), "");
    EXPECT_EQ(instance.handle(call("answer")), "");
    EXPECT_EQ(instance.network.described(), std::vector<std::string>{"/r f:42"});
}

TEST_F(OscAddressSpace, StartNoteReachesNoteHandlersOnChannelTwo)
{
    ASSERT_EQ(instance.run("requestNoteOn(60, function(c, n, v) seen = c * 100000 + n * 1000 + v end) "
                           "requestAllNoteOff(function(c, n, v) off = v end)"),
              "");
    instance.handle(oscMessage("/startNote", [](auto& s) { s << 60 << 1.0f; }));
    EXPECT_EQ(instance.number("seen"), 2.0 * 100000 + 60 * 1000 + 127);
    instance.handle(oscMessage("/startNote", [](auto& s) { s << 60 << 0.5f; }));
    EXPECT_EQ(instance.number("seen"), 2.0 * 100000 + 60 * 1000 + 63);
    instance.handle(oscMessage("/stopNote", [](auto& s) { s << 60 << 0.25f; }));
    EXPECT_EQ(instance.number("off"), 31.0);
}

// Each bad request: exactly one line, no reply, no change; the next good one is answered.
struct BadInput {
    const char* name;
    Bytes datagram;
    std::string line;
};

class OscBadInput : public testing::TestWithParam<BadInput> {
protected:
    OscTestInstance instance;
};

TEST_P(OscBadInput, LogsOneLineChangesNothingAndTheNextRequestIsAnswered)
{
    const BadInput& input = GetParam();
    EXPECT_EQ(instance.handle(input.datagram), input.line);
    EXPECT_TRUE(instance.network.sent().empty());
    EXPECT_TRUE(instance.plugin.automation.empty());
    EXPECT_FALSE(instance.osc().isUpdateRegistered(1));
    EXPECT_EQ(instance.handle(get(1)), "");
    EXPECT_EQ(instance.network.described(), std::vector<std::string>{"/r i:1 f:0"});
}

namespace {

std::string taskLine(const std::string& text) { return "osc::Exception in TaskMain(): " + text + "\n"; }

Bytes truncated(Bytes bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

Bytes bundleWithElementSize(std::int32_t size)
{
    Bytes bytes = oscBundle({});
    appendInt32(bytes, size);
    const Bytes element = set(1, 0.5f);
    bytes.insert(bytes.end(), element.begin(), element.end());
    return bytes;
}

Bytes deepBundle()
{
    Bytes packet = set(1, 0.5f);
    for (int level = 0; level <= QN::OscPacketValidator::kMaxBundleDepth; ++level) {
        packet = oscBundle({packet});
    }
    return packet;
}

Bytes withBlob(const char* address)
{
    return oscMessage(address, [](auto& s) { s << "setParameter" << osc::Blob("abc", 3); });
}

const std::string kLongPath(1100, 'p');

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Requests, OscBadInput,
    testing::Values(
        BadInput{"TruncatedPacket", truncated(set(1, 0.5f), 12), taskLine("arguments exceed message size")},
        BadInput{"UnknownTypeTag", raw("/set\0\0\0\0,ix\0\0\0\0\x01\0\0\0\0", 20), taskLine("unknown type tag")},
        BadInput{"StringWithoutTerminator", raw("/get\0\0\0\0,iss\0\0\0\0\0\0\0\x01" "abcdefgh", 24),
                 taskLine("arguments exceed message size")},
        BadInput{"BundleElementTooLarge", bundleWithElementSize(400), taskLine("bundle element size exceeds bundle")},
        BadInput{"BundleElementNegative", bundleWithElementSize(-4), taskLine("bundle element size exceeds bundle")},
        BadInput{"BundleElementMisaligned", bundleWithElementSize(6), taskLine("element size must be multiple of four")},
        BadInput{"BundlesNestedTooDeeply", deepBundle(), taskLine("bundles nested too deeply")},
        BadInput{"UnknownAddress", oscMessage("/nothing", [](auto& s) { s << 1; }),
                 errorLine("/nothing", "unknown address")},
        BadInput{"IdAboveRange", get(2081), errorLine("/get", "parameter id out of range in get")},
        BadInput{"TextOfANegativeId", oscMessage("/getText", [](auto& s) { s << -1 << kUrl << "/r"; }),
                 errorLine("/getText", "parameter id out of range in getText")},
        BadInput{"NegativeId", set(-1, 0.5f), errorLine("/set", "parameter id out of range in set")},
        BadInput{"RegisterIdOutOfRange",
                 oscMessage("/registerUpdate", [](auto& s) { s << 2081 << kUrl << "/x"; }),
                 errorLine("/registerUpdate", "parameter id out of range in registerUpdate")},
        BadInput{"IntInsteadOfFloat", oscMessage("/set", [](auto& s) { s << 1 << 1; }),
                 errorLine("/set", "wrong argument type")},
        BadInput{"MissingArgument", oscMessage("/get", [](auto& s) { s << 1 << kUrl; }),
                 errorLine("/get", "missing argument")},
        BadInput{"TooManyArguments", oscMessage("/set", [](auto& s) { s << 1 << 0.5f << 0.5f; }),
                 errorLine("/set", "too many arguments")},
        BadInput{"UnresolvableReplyHost", oscMessage("/get", [](auto& s) { s << 1 << "no-such-host:9000" << "/r"; }),
                 errorLine("/get", "cannot resolve reply host")},
        BadInput{"ReplyPortOutOfRange", oscMessage("/get", [](auto& s) { s << 1 << "127.0.0.1:70000" << "/r"; }),
                 errorLine("/get", "invalid port in reply URL")},
        BadInput{"ReplyWithoutPort", oscMessage("/ping", [](auto& s) { s << "127.0.0.1" << "/r"; }),
                 errorLine("/ping", "reply URL has no port")},
        BadInput{"RegisterWithBadHost",
                 oscMessage("/registerUpdate", [](auto& s) { s << 1 << "no-such-host:9000" << "/x"; }),
                 errorLine("/registerUpdate", "cannot resolve reply host")},
        BadInput{"ReplyPathLongerThanTheBuffer",
                 oscMessage("/get", [](auto& s) { s << 1 << kUrl << kLongPath.c_str(); }),
                 errorLine("/get", "out of buffer memory")},
        BadInput{"RegisterPathLongerThanTheBuffer",
                 oscMessage("/registerUpdate", [](auto& s) { s << 1 << kUrl << kLongPath.c_str(); }),
                 errorLine("/registerUpdate", "out of buffer memory")},
        BadInput{"BlobToExec", withBlob("/exec"), errorLine("/exec", "unhandled argument type to exec")},
        BadInput{"NonFiniteValue", set(1, std::numeric_limits<float>::infinity()),
                 errorLine("/set", "value is not a finite number")}),
    [](const testing::TestParamInfo<BadInput>& info) { return info.param.name; });
