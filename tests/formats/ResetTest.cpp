// A host's reset between two renders (VST suspend and resume, CLAP reset or deactivate and
// activate, LV2 deactivate and activate): the render after it equals a fresh instance's,
// sample for sample, whatever was played before and at whatever block sizes.

#include "FormatFixture.h"

#include <algorithm>
#include <cstring>
#include <functional>

using namespace formats;

namespace {

constexpr int kLength = 3 * 4096 + 777;
constexpr std::uint32_t kMaxBlock = 8192;

// Bins 5..39 cut, some dry signal: the overlap tails, the dry delay and the hop phase all
// reach the output.
// sizeIndex: FFT size 32 << index, 8 and up meaning 1024 at 4x overlap.
std::vector<Setting> resetSetting(int sizeIndex)
{
    const bool dense = sizeIndex >= 8;
    std::vector<Setting> setting = {{ParameterId::FftSize, static_cast<float>(dense ? 5 : sizeIndex)},
                                    {ParameterId::Overlap, dense ? 1.0f : 0.0f},
                                    {ParameterId::DryLevel, 0.4f}};
    for (int bin = 5; bin <= 39; ++bin) setting.push_back({kBinLevelBase + bin, 0.0f});
    return setting;
}

// One instance seen through one format.
struct Player {
    std::function<void(float* const*, float* const*, int)> play;
    std::function<void()> reset;
};

Channels render(Player& player, int block)
{
    const Channels input = testSignal(kLength);
    Channels output(2, std::vector<float>(kLength));
    for (int at = 0; at < kLength; at += block) {
        const int frames = std::min(block, kLength - at);
        float* in[2] = {const_cast<float*>(input[0].data()) + at, const_cast<float*>(input[1].data()) + at};
        float* out[2] = {output[0].data() + at, output[1].data() + at};
        player.play(in, out, frames);
    }
    return output;
}

float largestDifference(const Channels& a, const Channels& b)
{
    float largest = 0.0f;
    for (std::size_t c = 0; c < a.size(); ++c) {
        for (std::size_t i = 0; i < a[c].size(); ++i) largest = std::max(largest, std::fabs(a[c][i] - b[c][i]));
    }
    return largest;
}

struct Format {
    const char* name;
    std::function<std::shared_ptr<Player>(int sizeIndex)> make;
};

std::shared_ptr<Player> vstPlayer(int sizeIndex)
{
    std::shared_ptr<lfhost::PluginInstance> vst = loadVst();
    if (!vst) return nullptr;
    for (const Setting& s : resetSetting(sizeIndex)) vst->setParameter(s.id, plainToNormalized(parameterInfo(s.id), s.plain));
    vst->setSampleRate(static_cast<float>(kSampleRate));
    vst->setBlockSize(static_cast<int>(kMaxBlock));
    vst->resume();
    auto player = std::make_shared<Player>();
    player->play = [vst](float* const* in, float* const* out, int frames) {
        vst->processReplacing(const_cast<float**>(in), const_cast<float**>(out), frames);
    };
    player->reset = [vst] {
        // MIDI that arrived before the suspend belongs to the old render: "Dry Level" to full
        // (the default MIDI script's controller 2) must not reach the new one.
        vst->sendMidi({{0, {0xB0, 2, 127}}});
        vst->suspend();
        vst->resume();
    };
    return player;
}

std::shared_ptr<Player> clapPlayer(int sizeIndex, bool deactivate)
{
    std::shared_ptr<lfhost::ClapPluginHost> clap = loadClap();
    if (!clap) return nullptr;
    for (const Setting& s : resetSetting(sizeIndex)) {
        clap->setParameter(s.id, throughNormalized(s.id, s.plain, parameterInfo(s.id).maxValue));
    }
    EXPECT_TRUE(clap->activate(kSampleRate, kMaxBlock));
    auto player = std::make_shared<Player>();
    player->play = [clap](float* const* in, float* const* out, int frames) {
        EXPECT_EQ(clap->process(in, out, static_cast<std::uint32_t>(frames)), CLAP_PROCESS_CONTINUE);
    };
    player->reset = [clap, deactivate] {
        if (!deactivate) return clap->reset();
        clap->deactivate();
        EXPECT_TRUE(clap->activate(kSampleRate, kMaxBlock));
    };
    return player;
}

std::shared_ptr<Player> lv2Player(int sizeIndex)
{
    std::shared_ptr<lfhost::Lv2PluginHost> lv2 = loadLv2();
    if (!lv2) return nullptr;
    for (const Setting& s : resetSetting(sizeIndex)) {
        const float plain = throughNormalized(s.id, s.plain, parameterInfo(s.id).maxValue);
        if (s.id >= kBinLevelBase) {
            lv2->setProperty(binUri(s.id), plain);
        } else {
            EXPECT_TRUE(lv2->setControl(symbolOf(s.id), plain));
        }
    }
    auto player = std::make_shared<Player>();
    player->play = [lv2](float* const* in, float* const* out, int frames) {
        lv2->run(in, out, static_cast<std::uint32_t>(frames));
    };
    player->reset = [lv2] { lv2->reactivate(); };
    return player;
}

const std::vector<Format>& formatsUnderTest()
{
    static const std::vector<Format> all = {
        {"VST", vstPlayer},
        {"CLAP reset", [](int n) { return clapPlayer(n, false); }},
        {"CLAP deactivate and activate", [](int n) { return clapPlayer(n, true); }},
        {"LV2", lv2Player},
    };
    return all;
}

}  // namespace

TEST(Reset, SecondRenderEqualsAFreshInstancesInEveryFormat)
{
    struct Case {
        int sizeIndex;  // as resetSetting takes it
        int firstBlock;
        int secondBlock;
    };
    const Case cases[] = {{0, 37, 41}, {5, 1000, 333}, {7, 512, 4099}, {8, 1000, 333}};
    for (const Format& format : formatsUnderTest()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(format.name) + ", setting " + std::to_string(c.sizeIndex));
            auto fresh = format.make(c.sizeIndex);
            auto used = format.make(c.sizeIndex);
            ASSERT_TRUE(fresh && used);
            const Channels expected = render(*fresh, c.secondBlock);
            const Channels first = render(*used, c.firstBlock);
            used->reset();
            const Channels second = render(*used, c.secondBlock);
            EXPECT_EQ(largestDifference(expected, second), 0.0f) << "after the reset";
            EXPECT_EQ(largestDifference(first, second), 0.0f) << "two renders of the same input";
        }
    }
}
