// OSC from scripts: addresses bound to parameters and functions, looked at before the
// fixed addresses, and sendOSC through a real loopback socket.

#include "OscTestInstance.h"
#include "UdpTestPeer.h"

#include <gtest/gtest.h>

namespace {

Bytes floats(const char* address, std::initializer_list<float> values)
{
    return oscMessage(address, [values](auto& s) {
        for (const float value : values) {
            s << value;
        }
    });
}

class ScriptOsc : public testing::Test {
protected:
    OscTestInstance instance;
};

}  // namespace

TEST_F(ScriptOsc, PlainParameterPathSetsEveryBoundParameter)
{
    ASSERT_EQ(instance.run("registerOSCPathForParameter('/levels', {'Dry Level', 'Wet Level'})"), "");
    EXPECT_EQ(instance.handle(floats("/levels", {0.25f, 0.75f})), "");
    EXPECT_FLOAT_EQ(instance.plugin.values[1], 0.25f);
    EXPECT_FLOAT_EQ(instance.plugin.values[2], 0.75f);
    EXPECT_EQ(instance.plugin.automation.size(), 2u);
    EXPECT_EQ(instance.handle(floats("/levels", {0.5f})), "error while parsing message: /levels: missing argument\n");
    EXPECT_EQ(instance.handle(floats("/levels", {0.5f, 0.5f, 0.5f})),
              "error while parsing message: /levels: too many arguments\n");
    EXPECT_FLOAT_EQ(instance.plugin.values[1], 0.25f);
}

TEST_F(ScriptOsc, AnotherEntryOfTheSameLengthIsAppliedTooAndOtherLengthsAreRefused)
{
    ASSERT_EQ(instance.run("registerOSCPathForParameter('/p', {1, 2})"), "");
    ASSERT_EQ(instance.run("registerOSCPathForParameter('/p', {1, 2, 3})"), "");
    EXPECT_NE(instance.consoleText().find("@@@ inconsistent sizes in RegisterOSCPathForParameter\n"), std::string::npos);
    ASSERT_EQ(instance.run("registerOSCPathForParameter('/p', {'Scripted 2', 'Scripted 3'})"), "");
    instance.handle(floats("/p", {0.5f, 0.125f}));
    EXPECT_FLOAT_EQ(instance.plugin.values[1], 0.5f);
    EXPECT_FLOAT_EQ(instance.plugin.values[2], 0.125f);
    EXPECT_FLOAT_EQ(instance.plugin.values[3], 5.0f);  // the refused entry left "FFT Size" alone
    EXPECT_FLOAT_EQ(instance.plugin.values[16], 0.5f);
    EXPECT_FLOAT_EQ(instance.plugin.values[17], 0.125f);
}

TEST_F(ScriptOsc, NormalizedPathSpansThePlainRange)
{
    ASSERT_EQ(instance.run("registerOSCPathForParameterNormalized('/gain', 'Input Gain')"), "");
    instance.handle(floats("/gain", {0.5f}));
    EXPECT_FLOAT_EQ(instance.plugin.values[11], -22.0f);
}

TEST_F(ScriptOsc, RegistrationErrorsAreScriptErrors)
{
    EXPECT_NE(instance.run("registerOSCPathForParameter('/x', 'No Such')").find("parameter not found: 'No Such'"),
              std::string::npos);
    EXPECT_NE(instance.run("registerOSCPathForParameter('/x', {1, 2081})").find("parameter out of range: 2081"),
              std::string::npos);
    EXPECT_NE(instance.run("registerOSCPathForFunction('/x', 5)")
                  .find("second argument to registerOSCPathForFunction is not a function"),
              std::string::npos);
    EXPECT_EQ(instance.handle(floats("/x", {})), "error while parsing message: /x: unknown address\n");
}

TEST_F(ScriptOsc, FunctionPathTakesPrecedenceOverAFixedAddress)
{
    ASSERT_EQ(instance.run("registerOSCPathForFunction('/get', function(a, b, c) got = a + #b + #c end)"), "");
    const int height = instance.stackHeight();
    EXPECT_EQ(instance.handle(oscMessage("/get", [](auto& s) { s << 6 << "127.0.0.1:9000" << "/r"; })), "");
    EXPECT_EQ(instance.number("got"), 6.0 + 14 + 2);
    EXPECT_TRUE(instance.network.sent().empty());
    EXPECT_EQ(instance.stackHeight(), height);
}

TEST_F(ScriptOsc, FailingFunctionEndsTheMessageBeforeLaterEntries)
{
    ASSERT_EQ(instance.run("registerOSCPathForFunction('/f', function() error('first') end) "
                           "registerOSCPathForFunction('/f', function() second = 1 end)"),
              "");
    const std::string line = instance.handle(floats("/f", {1.0f}));
    EXPECT_EQ(line.rfind("error while parsing message: /f: failed to pcall function: [string", 0), 0u) << line;
    EXPECT_NE(line.find("]:1: first\n"), std::string::npos) << "Lua's reason: " << line;
    EXPECT_EQ(instance.number("second"), 0.0);
}

class SendOsc : public ScriptOsc {
protected:
    std::string send(const std::string& arguments)
    {
        return instance.run("sendOSC('osc.udp://" + peer.url() + "', '/out'" + arguments + ")");
    }
    UdpTestPeer peer;
};

TEST_F(SendOsc, FormatStringMakesIntegersOfNumbers)
{
    ASSERT_EQ(send(", 'if', {3.7, 2}"), "");
    EXPECT_EQ(peer.receiveDescribed(), "/out i:4 f:2");
}

TEST_F(SendOsc, NumericStringsAreFloatsAndOtherStringsStrings)
{
    ASSERT_EQ(send(", {'12', 'twelve'}"), "");
    EXPECT_EQ(peer.receiveDescribed(), "/out f:12 s:twelve");
    ASSERT_EQ(send(""), "");
    EXPECT_EQ(peer.receiveDescribed(), "/out");
}

TEST_F(SendOsc, FailuresAreScriptErrorsAndSendNothing)
{
    const int height = instance.stackHeight();
    EXPECT_NE(send(", 'i', {1, 2}").find("format string length mismatch in sendOSC"), std::string::npos);
    EXPECT_NE(send(", {true}").find("unhandled argument type return from call"), std::string::npos);
    EXPECT_NE(send(", 5").find("table expected"), std::string::npos);
    EXPECT_NE(send(", {string.rep('x', 2000)}").find("out of buffer memory"), std::string::npos);
    EXPECT_NE(instance.run("sendOSC('127.0.0.1', '/out')").find("reply URL has no port"), std::string::npos);
    EXPECT_EQ(peer.receiveDescribed(100), "(nothing)");
    EXPECT_EQ(instance.stackHeight(), height);
    EXPECT_EQ(send(", {1}"), "");
    EXPECT_EQ(peer.receiveDescribed(), "/out f:1");
}
