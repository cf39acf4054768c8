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
