// Spectral scripts as the kernel runs them: the bin functions on one packed frame.

#include "ScriptedInstance.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <numeric>

namespace {

constexpr int kFrameSize = 16;  // n = 8

struct Frame {
    std::vector<float> bins;
    Frame() : bins(kFrameSize)
    {
        std::iota(bins.begin(), bins.end(), 1.0f);  // f[k] = k + 1
    }
};

// Registers `body` as the only spectral script (index 1 after "Off") and runs it once.
Frame runScript(ScriptedInstance& instance, const std::string& body)
{
    instance.addScript("midi.lua", "addSpectralScript('test', function(t) " + body + " end)");
    (void)instance.state();
    (void)instance.helper().spectral().completeAfterStartup();
    Frame frame;
    const int before = lua_gettop(instance.state());
    instance.runFrame(1, frame.bins.data(), kFrameSize);
    EXPECT_EQ(lua_gettop(instance.state()), before);
    return frame;
}

}  // namespace

TEST(SpectralScript, BinsArePairsExceptTheRealEnds)
{
    ScriptedInstance instance;
    runScript(instance, R"(
        r0, i0 = getBin(0); r3, i3 = getBin(3); rn, inn = getBin(t.maxBin)
        ro, io = getBin(-1); rp, ip = getBin(t.maxBin + 1); m = getBinMagnitudeSqr(3)
        maxBin = t.maxBin)");
    EXPECT_EQ(instance.number("maxBin"), 8);
    EXPECT_EQ(instance.number("r0"), 1);
    EXPECT_EQ(instance.number("i0"), 0);
    EXPECT_EQ(instance.number("r3"), 4);
    EXPECT_EQ(instance.number("i3"), 12);
    EXPECT_EQ(instance.number("rn"), 9);
    EXPECT_EQ(instance.number("inn"), 0);
    EXPECT_EQ(instance.number("ro") + instance.number("io") + instance.number("rp") + instance.number("ip"), 0);
    EXPECT_EQ(instance.number("m"), 4 * 4 + 12 * 12);
}

TEST(SpectralScript, BinIndicesAcceptNumericStringsAndRoundHalvesToEven)
{
    ScriptedInstance instance;
    runScript(instance, "a = getBin('3'); b = getBin(nil); c = getBin(2.5); d = getBin(3.5); e = getBin('x')");
    EXPECT_EQ(instance.number("a"), 4);
    EXPECT_EQ(instance.number("b"), 1);
    EXPECT_EQ(instance.number("c"), 3);
    EXPECT_EQ(instance.number("d"), 5);
    EXPECT_EQ(instance.number("e"), 1);
}

TEST(SpectralScript, WritesRespectRealBinsAndIgnoreOutOfRange)
{
    ScriptedInstance instance;
    const Frame frame = runScript(instance, R"(
        setBin(0, 100, 200); multiplyBin(8, 2); setBin(2, -1, -2); zeroBin(5)
        setBin(9, 7, 7); setBin(-1, 7, 7); copyBin(0, 6); swapBins(1, 8))");
    EXPECT_EQ(frame.bins[0], 100.0f) << "DC keeps only its real part";
    EXPECT_EQ(frame.bins[8], 2.0f) << "bin 1's real part swapped into Nyquist";
    EXPECT_EQ(frame.bins[1], 18.0f) << "Nyquist doubled then swapped into bin 1";
    EXPECT_EQ(frame.bins[9], 0.0f) << "a real bin copied into a complex one has no imaginary part";
    EXPECT_EQ(frame.bins[2], -1.0f);
    EXPECT_EQ(frame.bins[10], -2.0f);
    EXPECT_EQ(frame.bins[5], 0.0f);
    EXPECT_EQ(frame.bins[13], 0.0f);
    EXPECT_EQ(frame.bins[6], 100.0f);
    EXPECT_EQ(frame.bins[14], 0.0f);
    EXPECT_EQ(frame.bins[7], 8.0f) << "untouched";
}

TEST(SpectralScript, ErrorsKeepEarlierWritesAndTheStack)
{
    ScriptedInstance instance;
    const Frame frame = runScript(instance, "zeroBin(3); error('half way'); zeroBin(4)");
    EXPECT_EQ(frame.bins[3], 0.0f);
    EXPECT_EQ(frame.bins[4], 5.0f);
    EXPECT_NE(instance.consoleText().find("midi.lua:1: half way\n"), std::string::npos) << "the console has the place";
}

TEST(SpectralScript, BinFunctionsOutsideAFrameDoNothing)
{
    ScriptedInstance instance;
    (void)instance.state();
    EXPECT_EQ(instance.run("a, b = getBin(1); setBin(1, 5, 5); zeroBin(0)"), "");
    EXPECT_EQ(instance.number("a"), 0);
}

TEST(SpectralScript, RegistrationChecksItsArguments)
{
    ScriptedInstance instance;
    (void)instance.state();
    const std::string notFunction = instance.run("addSpectralScript('x', 5)");
    EXPECT_NE(notFunction.find("second argument to addSpectralScript() is not a function"), std::string::npos);
    EXPECT_NE(instance.run("addSpectralScript({}, print)").find("string expected"), std::string::npos);
    EXPECT_EQ(instance.run("addSpectralScript(12, print)"), "") << "a number is taken as its text";
}

TEST(SpectralScript, IndexOutsideTheListOrOffRunsNothing)
{
    ScriptedInstance instance;
    instance.addScript("midi.lua", "n = 0; addSpectralScript('count', function() n = n + 1 end)");
    (void)instance.state();
    (void)instance.helper().spectral().completeAfterStartup();
    Frame frame;
    for (int index : {0, -1, 2, 1000}) {
        instance.runFrame(index, frame.bins.data(), kFrameSize);
    }
    EXPECT_EQ(instance.number("n"), 0);
    instance.runFrame(1, frame.bins.data(), kFrameSize);
    EXPECT_EQ(instance.number("n"), 1);
}

// Stored values may lie anywhere (a state chunk holds what it holds); the built-in
// "Shift" loops from param1 down to 0, so 5.6e10 there once kept the audio thread busy
// for hours.
TEST(SpectralScript, FrameTableHoldsScriptedParametersWithinTheirRanges)
{
    ScriptedInstance instance;
    instance.plugin.values[ParameterId::Scripted1] = 5.6e10f;
    instance.plugin.values[ParameterId::Scripted2] = -3.0f;
    instance.plugin.values[ParameterId::Scripted3] = std::numeric_limits<float>::quiet_NaN();
    instance.plugin.values[ParameterId::Scripted4] = 0.25f;
    runScript(instance, "p1, p2, p3, p4 = t.param1, t.param2, t.param3, t.param4");
    EXPECT_EQ(instance.number("p1"), parameterInfo(ParameterId::Scripted1).maxValue);
    EXPECT_EQ(instance.number("p2"), parameterInfo(ParameterId::Scripted2).minValue);
    EXPECT_EQ(instance.number("p3"), parameterInfo(ParameterId::Scripted3).defaultValue);
    EXPECT_EQ(instance.number("p4"), 0.25);
}

// Time-based scripts count in hops: a frame starts every N / overlap samples.
TEST(SpectralScript, FrameTableTellsTheHopAndTheOverlap)
{
    ScriptedInstance instance;
    runScript(instance, "hop, overlap = t.hop, t.overlap");
    const struct {
        int overlap, told, hop;
    } cases[] = {{2, 2, 8}, {4, 4, 4}, {8, 8, 2}, {3, 2, 8}};
    for (const auto& c : cases) {
        Frame frame;
        instance.runFrame(1, frame.bins.data(), kFrameSize, c.overlap);
        EXPECT_EQ(instance.number("overlap"), c.told) << c.overlap;
        EXPECT_EQ(instance.number("hop"), c.hop) << c.overlap;
    }
}

// Each range call against the per-bin loop it stands for, including ranges that stick out of
// the frame, run backwards or hold no finite number.
TEST(SpectralScript, RangeFunctionsEqualTheirPerBinLoops)
{
    const std::pair<const char*, const char*> cases[] = {
        {"zeroBins(-5, 1e6)", "for k = -5, 20 do zeroBin(k) end"},
        {"zeroBins(2.5, 5.5)", "for k = 2, 6 do zeroBin(k) end"},
        {"zeroBins(6, 2); zeroBins(0/0, 3); zeroBins(1, 1/0)", ""},
        {"multiplyBins(7, 20, 2)", "multiplyBin(7, 2); multiplyBin(8, 2)"},
        {"multiplyBins(-1, 1, {5, 6, 'x'})", "multiplyBin(0, 6); multiplyBin(1, 0)"},
        {"copyBins(0, 1, 100)", "for k = 8, 1, -1 do copyBin(k - 1, k) end"},
        {"copyBins(2, -1, 4)", "for k = 0, 2 do copyBin(k + 3, k) end"},
        {"copyBins(9, 0, 3); copyBins(0, 3, -2)", "for k = 0, 2 do copyBin(k + 9, k) end"},
        {"local re, im = {}, {}; getBins(re, im); for k = 1, #re do re[k] = -re[k] end; setBins(re, im)",
         "for k = 0, t.maxBin do local r, i = getBin(k); setBin(k, -r, i) end"},
        {"local m = {}; getMagnitudesSqr(m); setBins(m, {})",
         "for k = 0, t.maxBin do setBin(k, getBinMagnitudeSqr(k), 0) end"},
    };
    for (const auto& [ranged, perBin] : cases) {
        ScriptedInstance rangedInstance, perBinInstance;
        EXPECT_EQ(runScript(rangedInstance, ranged).bins, runScript(perBinInstance, perBin).bins) << ranged;
        EXPECT_EQ(rangedInstance.consoleText(), "") << ranged;
    }
}
