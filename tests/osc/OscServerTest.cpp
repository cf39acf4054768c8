// The OSC server of a real plug-in instance, loaded through the host ABI and reached over
// UDP on 127.0.0.1.

#include "OscServerFixture.h"
#include "StdoutPipe.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr int kAutomate = 0;  // audioMasterAutomate

Bytes get(const UdpTestPeer& peer, int id)
{
    return oscMessage("/get", [&](auto& s) { s << id << peer.url().c_str() << "/r"; });
}

}  // namespace

TEST_F(OscServerTest, ListensOnBasePlusOffsetMovesWithTheOffsetAndClosesAtZero)
{
    auto plugin = load();
    ASSERT_TRUE(plugin);
    EXPECT_TRUE(UdpTestPeer::closedWithin(base + 5, 2000)) << "off by default";
    setOffset(*plugin, 5);
    EXPECT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    setOffset(*plugin, 6);
    EXPECT_EQ(peer.pingUntilAnswered(base + 6), pong(base + 6));
    EXPECT_TRUE(UdpTestPeer::closedWithin(base + 5, 2000));
    setOffset(*plugin, 0);
    EXPECT_TRUE(UdpTestPeer::closedWithin(base + 6, 2000));
}

TEST_F(OscServerTest, SecondInstanceOnTheSameOffsetLogsAndStaysSilentUntilMoved)
{
    auto first = load();
    auto second = load();
    ASSERT_TRUE(first && second);
    setOffset(*first, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    {
        StdoutPipe output;
        setOffset(*second, 5);
        EXPECT_TRUE(output.waitFor("Lumenfold: OSC port " + std::to_string(base + 5) +
                                       " is in use (another instance?): OSC is off for this instance; choose "
                                       "another \"OSC Port Offset\"\n",
                                   3000))
            << output.collected();
    }
    setOffset(*second, 7);
    EXPECT_EQ(peer.pingUntilAnswered(base + 7), pong(base + 7));
    EXPECT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5)) << "the first instance kept its port";
}

TEST_F(OscServerTest, AnswersReadsAndSetsThroughTheHostPath)
{
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    peer.sendTo(base + 5, oscMessage("/getInfo", [&](auto& s) { s << 6 << peer.url().c_str() << "/r"; }));
    EXPECT_EQ(peer.receiveDescribed(), "/r i:6 f:-180 f:0 f:-160 s:View Min dB i:13");

    peer.sendTo(base + 5, oscMessage("/set", [](auto& s) { s << 11 << -22.0f; }));
    EXPECT_TRUE(plugin->waitForCall(kAutomate, 11, 3000)) << "the host sees the change as automation";
    EXPECT_FLOAT_EQ(plugin->getParameter(11), 0.5f);
    peer.sendTo(base + 5, get(peer, 11));
    EXPECT_EQ(peer.receiveDescribed(), "/r i:11 f:-22");
    // Texts as hosts show them, the unit label included.
    const struct {
        int id;
        const char* text;
    } texts[] = {{11, "-22.00 dB"}, {1, "-inf dB"}, {2, "0.000 dB"}, {3, "1024"}, {10, "500.0 ms"}};
    for (const auto& t : texts) {
        peer.sendTo(base + 5, oscMessage("/getText", [&](auto& s) { s << t.id << peer.url().c_str() << "/t"; }));
        EXPECT_EQ(peer.receiveDescribed(), "/t i:" + std::to_string(t.id) + " s:" + t.text);
    }

    peer.sendTo(base + 5, oscMessage("/getAll", [&](auto& s) { s << peer.url().c_str() << "/all"; }));
    int received = 0;
    std::string last;
    while (received < 2081) {
        last = peer.receiveDescribed();
        if (last == "(nothing)") {
            break;
        }
        ++received;
    }
    EXPECT_EQ(received, 2081);
    EXPECT_EQ(last, "/all i:2080 f:1");
}

TEST_F(OscServerTest, RegisteredPeerHearsHostChangesUntilItUnregisters)
{
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    peer.sendTo(base + 5, oscMessage("/registerUpdate", [&](auto& s) { s << 2 << peer.url().c_str() << "/wet"; }));
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));  // handled in order: registered by now
    plugin->setParameter(2, 0.5f);
    EXPECT_EQ(peer.receiveDescribed(), "/wet i:2 f:0.5");

    peer.sendTo(base + 5, oscMessage("/unregisterUpdate", [&](auto& s) { s << 2 << peer.url().c_str() << "/wet"; }));
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    plugin->setParameter(2, 0.25f);
    plugin->setParameter(0, 0.05f);  // any other change: the queue keeps moving
    EXPECT_EQ(peer.receiveDescribed(300), "(nothing)");
}

TEST_F(OscServerTest, ScriptsAnswerCallsExecsNotesAndTheirOwnAddresses)
{
    const std::string to = "'127.0.0.1:" + std::to_string(peer.port()) + "'";
    addScript("osc.lua", "function add(a, b) return a + b, 'sum' end\n"
                         "function hello() sendOSC(" + to + ", '/hello', 's', {'hi'}) end\n"
                         "requestNoteOn(60, function(c, n, v) sendOSC(" + to + ", '/note', 'iii', {c, n, v}) end)\n"
                         "registerOSCPathForParameterNormalized('/gain', 'Input Gain')\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));

    peer.sendTo(base + 5, oscMessage("/call", [&](auto& s) { s << "add" << peer.url().c_str() << "/r" << 2 << 3.5f; }));
    EXPECT_EQ(peer.receiveDescribed(), "/r f:5.5 s:sum");
    peer.sendTo(base + 5, oscMessage("/exec", [](auto& s) { s << "hello"; }));
    EXPECT_EQ(peer.receiveDescribed(), "/hello s:hi");
    peer.sendTo(base + 5, oscMessage("/startNote", [](auto& s) { s << 60 << 1.0f; }));
    EXPECT_EQ(peer.receiveDescribed(), "/note i:2 i:60 i:127");
    peer.sendTo(base + 5, oscMessage("/gain", [](auto& s) { s << 0.5f; }));
    peer.sendTo(base + 5, get(peer, 11));
    EXPECT_EQ(peer.receiveDescribed(), "/r i:11 f:-22");

    StdoutPipe output;
    peer.sendTo(base + 5, oscMessage("/call", [&](auto& s) { s << "nothing" << peer.url().c_str() << "/r"; }));
    EXPECT_TRUE(output.waitFor(
        "error while parsing message: /call: failed to exec function \"nothing\": attempt to call a nil value\n", 3000))
        << output.collected();
}

// The console's writer sleeps until a line is posted; lines from the audio thread, an OSC
// request and a timer must still reach standard error promptly and in the order printed.
TEST_F(OscServerTest, ConsoleLinesFromEveryThreadArriveInOrderWithinATenthOfASecond)
{
    addScript("print.lua", "requestNoteOn(61, function() print('audio 1') print('audio 2') end)\n"
                           "function fromOsc() print('osc') end\n"
                           "function timed() requestTimedCallback(0, function() print('timer') end) end\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    plugin->resume();
    StdoutPipe console(STDERR_FILENO);
    constexpr int kDeadlineMs = 100;

    std::vector<float> silence(64, 0.0f);
    float* channels[] = {silence.data(), silence.data()};
    plugin->sendMidi({{0, {0x90, 61, 100}}});
    plugin->processReplacing(channels, channels, 64);
    EXPECT_TRUE(console.waitFor("audio 1\naudio 2\n", kDeadlineMs)) << console.collected();
    peer.sendTo(base + 5, oscMessage("/exec", [](auto& s) { s << "fromOsc"; }));
    EXPECT_TRUE(console.waitFor("audio 2\nosc\n", kDeadlineMs)) << console.collected();
    peer.sendTo(base + 5, oscMessage("/exec", [](auto& s) { s << "timed"; }));
    EXPECT_TRUE(console.waitFor("osc\ntimer\n", kDeadlineMs)) << console.collected();
}

TEST_F(OscServerTest, BundleElementsAreHandledInOrder)
{
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    const Bytes set = oscMessage("/set", [](auto& s) { s << 1 << 0.25f; });
    peer.sendTo(base + 5, oscBundle({get(peer, 1), set, get(peer, 1)}));
    EXPECT_EQ(peer.receiveDescribed(), "/r i:1 f:0");
    EXPECT_EQ(peer.receiveDescribed(), "/r i:1 f:0.25");
}

TEST_F(OscServerTest, MalformedDatagramIsLoggedAndTheSamePortKeepsAnswering)
{
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    StdoutPipe output;
    peer.sendTo(base + 5, raw("#bundle\0\0\0\0\0\0\0\0\0\x7f\xff\xff\xf0", 20));
    EXPECT_TRUE(output.waitFor("osc::Exception in TaskMain(): bundle element size exceeds bundle\n", 3000));
    EXPECT_EQ(peer.pingUntilAnswered(base + 5, 500), pong(base + 5));
}

TEST_F(OscServerTest, DestroyingAnInstanceEndsBothThreadsPromptlyEvenInsideLua)
{
    const std::string to = "'127.0.0.1:" + std::to_string(peer.port()) + "'";
    addScript("spin.lua", "function spin() sendOSC(" + to + ", '/spinning') while true do end end\n");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    peer.sendTo(base + 5, oscMessage("/registerUpdate", [&](auto& s) { s << 2 << peer.url().c_str() << "/wet"; }));
    peer.sendTo(base + 5, oscMessage("/exec", [](auto& s) { s << "spin"; }));
    ASSERT_EQ(peer.receiveDescribed(), "/spinning");
    const auto start = std::chrono::steady_clock::now();
    plugin.reset();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 2000);
    EXPECT_TRUE(UdpTestPeer::closedWithin(base + 5, 1000));
}

TEST_F(OscServerTest, SetValuesAreClampedToTheirRangeAndNonFiniteOnesRefused)
{
    addScript("paths.lua", R"(registerOSCPathForParameterNormalized("/gain", "Output Gain"))");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    const struct {
        const char* address;
        int id;
        float sent;
        float normalized;
        const char* shown;
    } cases[] = {
        {"/set", 12, 200.0f, 1.0f, "36.00"}, {"/set", 11, -1e6f, 0.0f, "-inf"},  {"/set", 40, 1e12f, 1.0f, "1.000"},
        {"/set", 41, -1e30f, 0.0f, "0.000"}, {"/gain", 12, -3.0f, 0.0f, "-inf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address + std::to_string(c.id));
        plugin->clearCalls();
        if (std::string(c.address) == "/set") {
            peer.sendTo(base + 5, oscMessage("/set", [&](auto& s) { s << c.id << c.sent; }));
        } else {
            peer.sendTo(base + 5, oscMessage(c.address, [&](auto& s) { s << c.sent; }));
        }
        ASSERT_TRUE(plugin->waitForCall(kAutomate, c.id, 3000));
        EXPECT_EQ(plugin->getParameter(c.id), c.normalized);
        EXPECT_EQ(plugin->parameterDisplay(c.id), c.shown);
        for (const auto& call : plugin->calls()) {
            EXPECT_EQ(call.opt, c.normalized) << "the host hears the stored value";
        }
    }
    StdoutPipe output;
    peer.sendTo(base + 5, oscMessage("/set", [](auto& s) { s << 12 << std::numeric_limits<float>::quiet_NaN(); }));
    EXPECT_TRUE(output.waitFor("error while parsing message: /set: value is not a finite number\n", 3000))
        << output.collected();
    EXPECT_EQ(plugin->parameterDisplay(12), "-inf") << "a refused value changes nothing";
}

TEST_F(OscServerTest, LoadingAStateOpensMovesAndClosesThePortAsItsOffsetSays)
{
    auto plugin = load();
    ASSERT_TRUE(plugin);
    auto withOffset = [&](float offset) {
        std::vector<std::uint8_t> state = plugin->getChunk();
        std::memcpy(state.data() + 176, &offset, sizeof(offset));
        return state;
    };
    EXPECT_EQ(plugin->setChunk(withOffset(3.0f).data(), 8500), 1);
    EXPECT_EQ(peer.pingUntilAnswered(base + 3), pong(base + 3)) << "a restored session listens at once";
    EXPECT_EQ(plugin->setChunk(withOffset(0.0f).data(), 8500), 1);
    EXPECT_TRUE(UdpTestPeer::closedWithin(base + 3, 2000)) << "a state with the offset off closes the port";
    EXPECT_EQ(plugin->parameterDisplay(0), "Off");
}

TEST_F(OscServerTest, ValuesThatStartUpScriptsSetAreTheInstancesOwnAndASavedStateStillWins)
{
    const auto fresh = load();
    ASSERT_TRUE(fresh);
    const std::vector<std::uint8_t> factoryState = fresh->getChunk();
    addScript("start.lua", R"(setParameter("Wet Level", 0.5) setParameter("Bin 10 Level", 0) setParameter("OSC Port Offset", 3)
                             setParameter("Script Index", 2))");
    auto plugin = load();
    ASSERT_TRUE(plugin);
    int automated = 0;  // the host library opens every instance it creates: the host hears them then
    for (const auto& call : plugin->calls()) {
        if (call.opcode == kAutomate) {
            ++automated;
            EXPECT_EQ(call.opt, plugin->getParameter(call.index)) << "the final value only, of " << call.index;
        }
    }
    EXPECT_EQ(automated, 4);
    EXPECT_FLOAT_EQ(plugin->getParameter(2), 0.5f);
    EXPECT_EQ(plugin->parameterDisplay(2), "-18.06");
    EXPECT_EQ(plugin->getParameter(42), 0.0f);
    EXPECT_EQ(plugin->parameterDisplay(13), "Reverse");
    EXPECT_EQ(plugin->parameterDisplay(0), "3");
    float stored = 0.0f;
    std::memcpy(&stored, plugin->getChunk().data() + 176 + 4 * 2, 4);
    EXPECT_EQ(stored, 0.5f);
    EXPECT_EQ(peer.pingUntilAnswered(base + 3), pong(base + 3)) << "on the configured base port";
    for (int id : {2, 42, 13}) {
        fresh->setParameter(id, plugin->getParameter(id));
    }
    std::vector<float> input(4096);
    for (std::size_t i = 0; i < input.size(); ++i) {
        input[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
    }
    auto render = [&](lfhost::PluginInstance& instance) {
        std::vector<float> left(input.size()), right(input.size());
        float* inputs[2] = {input.data(), input.data()};
        float* outputs[2] = {left.data(), right.data()};
        instance.processReplacing(inputs, outputs, static_cast<int>(input.size()));
        return left;
    };
    EXPECT_EQ(render(*plugin), render(*fresh)) << "the audio follows the start-up values";

    EXPECT_EQ(plugin->setChunk(factoryState.data(), factoryState.size()), 1);
    EXPECT_EQ(plugin->getParameter(2), 1.0f) << "a restored session sounds as it was saved";
    EXPECT_EQ(plugin->parameterDisplay(0), "Off");
    EXPECT_TRUE(UdpTestPeer::closedWithin(base + 3, 2000));
}

TEST_F(OscServerTest, ADatagramIsAnsweredWithinItsBudgetAndOnlyAtTheSendersHost)
{
    auto plugin = load();
    ASSERT_TRUE(plugin);
    setOffset(*plugin, 5);
    ASSERT_EQ(peer.pingUntilAnswered(base + 5), pong(base + 5));
    StdoutPipe output;
    const Bytes getAll = oscMessage("/getAll", [&](auto& s) { s << peer.url().c_str() << "/all"; });
    peer.sendTo(base + 5, oscBundle({getAll, getAll, get(peer, 1)}));
    int received = 0;
    while (peer.receive(500)) {
        ++received;
    }
    EXPECT_EQ(received, 2081) << "one /getAll of replies per datagram";
    EXPECT_TRUE(output.waitFor("error while parsing message: /getAll: reply budget of this datagram used up; its "
                               "later answering requests are refused\n",
                               3000));

    peer.sendTo(base + 5, oscMessage("/get", [](auto& s) { s << 1 << "192.0.2.1:9000" << "/r"; }));
    EXPECT_TRUE(output.waitFor(
        "error while parsing message: /get: reply host is not the sender's host (OSC Reply To Any Host is off)\n", 3000))
        << output.collected();
}
