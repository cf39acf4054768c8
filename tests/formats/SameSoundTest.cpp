// One engine behind every format: the same input, setting and MIDI give the same samples,
// and a state saved through one format loads to the same values through another.

#include "FormatFixture.h"

#include <cstring>

using namespace formats;

namespace {

void expectIdentical(const Channels& expected, const Channels& actual, const char* format)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t c = 0; c < expected.size(); ++c) {
        ASSERT_EQ(expected[c].size(), actual[c].size());
        EXPECT_EQ(std::memcmp(expected[c].data(), actual[c].data(), expected[c].size() * sizeof(float)), 0)
            << format << " channel " << c << " differs from VST";
    }
}

}  // namespace

TEST(SameSound, ClapAndLv2RenderTheSameSamplesAsVst)
{
    auto clap = loadClap();
    auto lv2 = loadLv2();
    auto vst = loadVst();
    ASSERT_TRUE(clap && lv2 && vst);
    const float scripts = scriptIndexMaximum(*clap);
    const Channels viaVst = renderVst(*vst, scripts);
    expectIdentical(viaVst, renderClap(*clap, scripts), "CLAP");
    expectIdentical(viaVst, renderLv2(*lv2, scripts), "LV2");
    // The setting reached the sound: the output is not the input.
    EXPECT_NE(std::memcmp(viaVst[0].data(), testSignal()[0].data(), kFrames * sizeof(float)), 0);
}

TEST(SameState, VstStateLoadsIntoClapAndBack)
{
    auto clap = loadClap();
    auto vst = loadVst();
    ASSERT_TRUE(clap && vst);
    for (const Setting& s : testSetting()) vst->setParameter(s.id, plainToNormalized(parameterInfo(s.id), s.plain));
    const std::vector<std::uint8_t> vstState = vst->getChunk();
    ASSERT_TRUE(clap->loadState(vstState));
    EXPECT_EQ(clap->saveState(), vstState);
    EXPECT_EQ(clap->parameter(kBinLevelBase + 40), 0.125);

    clap->setParameter(ParameterId::OutputGain, -12.0);
    clap->flush();
    auto other = loadVst();
    ASSERT_EQ(other->setChunk(clap->saveState().data(), clap->saveState().size()), 1);
    EXPECT_EQ(other->getChunk(), clap->saveState());
    EXPECT_EQ(other->parameterDisplay(ParameterId::OutputGain), "-12.00");
}

TEST(SameState, ClapStateLoadsIntoLv2AndBack)
{
    auto clap = loadClap();
    auto lv2 = loadLv2();
    ASSERT_TRUE(clap && lv2);
    for (const Setting& s : testSetting()) clap->setParameter(s.id, s.plain);
    clap->flush();
    ASSERT_TRUE(lv2->restoreState(clap->saveState()));
    EXPECT_EQ(lv2->saveState(), clap->saveState());
    EXPECT_FALSE(lv2->restoreState(std::vector<std::uint8_t>(64, 1)));  // foreign: refused
    EXPECT_EQ(lv2->saveState(), clap->saveState());
}

// A value that arrives inside a block applies from its own frame: the CLAP and LV2 blocks
// sound as a VST host's block cut at that frame does, and not as the value set at the
// block's start would.
TEST(SameSound, AValueInsideABlockAppliesFromItsOwnFrame)
{
    constexpr int kBlockFrames = 2048;
    constexpr std::uint32_t kAt = 1000;
    const int bin = kBinLevelBase + 40;
    auto clap = loadClap();
    auto lv2 = loadLv2();
    auto vst = loadVst();
    ASSERT_TRUE(clap && lv2 && vst);
    const Channels input = testSignal(2 * kBlockFrames);

    auto renderVstCutAt = [&](int cut) {
        auto instance = loadVst();
        instance->setSampleRate(static_cast<float>(kSampleRate));
        instance->setBlockSize(kBlockFrames);
        instance->resume();
        Channels output(2, std::vector<float>(2 * kBlockFrames));
        auto piece = [&](int from, int to) {
            float* in[2] = {const_cast<float*>(input[0].data()) + from, const_cast<float*>(input[1].data()) + from};
            float* out[2] = {output[0].data() + from, output[1].data() + from};
            instance->processReplacing(in, out, to - from);
        };
        piece(0, kBlockFrames + cut);
        instance->setParameter(bin, plainToNormalized(parameterInfo(bin), 0.0f));
        piece(kBlockFrames + cut, 2 * kBlockFrames);
        return output;
    };
    const Channels viaVst = renderVstCutAt(static_cast<int>(kAt));

    ASSERT_TRUE(clap->activate(kSampleRate, kBlockFrames));
    Channels viaClap = input;
    for (int block = 0; block < 2; ++block) {
        if (block == 1) clap->setParameter(static_cast<clap_id>(bin), 0.0, kAt);
        float* io[2] = {viaClap[0].data() + block * kBlockFrames, viaClap[1].data() + block * kBlockFrames};
        ASSERT_EQ(clap->process(io, io, kBlockFrames), CLAP_PROCESS_CONTINUE);
    }
    Channels viaLv2(2, std::vector<float>(2 * kBlockFrames));
    for (int block = 0; block < 2; ++block) {
        if (block == 1) lv2->setProperty(binUri(bin), 0.0f, kAt);
        float* in[2] = {const_cast<float*>(input[0].data()) + block * kBlockFrames,
                        const_cast<float*>(input[1].data()) + block * kBlockFrames};
        float* out[2] = {viaLv2[0].data() + block * kBlockFrames, viaLv2[1].data() + block * kBlockFrames};
        lv2->run(in, out, kBlockFrames);
    }
    expectIdentical(viaVst, viaClap, "CLAP");
    expectIdentical(viaVst, viaLv2, "LV2");
    EXPECT_NE(std::memcmp(viaVst[0].data(), renderVstCutAt(0)[0].data(), viaVst[0].size() * sizeof(float)), 0);
}
