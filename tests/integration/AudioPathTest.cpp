#include "PluginFixture.h"

#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace {

using Signal = std::vector<std::vector<float>>;

Signal impulseAt(std::size_t position, std::size_t length)
{
    Signal signal(2, std::vector<float>(length, 0.0f));
    signal[0][position] = 1.0f;
    signal[1][position] = 1.0f;
    return signal;
}

Signal noise(std::size_t length, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    Signal signal(2, std::vector<float>(length));
    for (auto& channel : signal) {
        for (float& sample : channel) {
            sample = uniform(generator);
        }
    }
    return signal;
}

float peakOf(const std::vector<float>& samples, std::size_t begin, std::size_t end)
{
    float peak = 0.0f;
    for (std::size_t i = begin; i < end; ++i) {
        peak = std::max(peak, std::fabs(samples[i]));
    }
    return peak;
}

// RMS of output[i] - scale * input[i - n] over i >= n, relative to the input's RMS, in dB.
double nullErrorDb(const Signal& input, const Signal& output, std::size_t n, double scale)
{
    double error = 0.0, signal = 0.0;
    for (int c = 0; c < 2; ++c) {
        for (std::size_t i = n; i < input[c].size(); ++i) {
            const double d = static_cast<double>(output[c][i]) - scale * static_cast<double>(input[c][i - n]);
            error += d * d;
            signal += static_cast<double>(input[c][i - n]) * input[c][i - n];
        }
    }
    return error == 0.0 ? -400.0 : 10.0 * std::log10(error / signal);
}

constexpr float kDryOn = 1.0f;
constexpr float kGainFloor = 0.0f;  // normalised -80 dB

}  // namespace

TEST_F(PluginTest, ImpulseComesOutOneFrameLaterAtNearlyUnitHeight)
{
    const auto output = process(impulseAt(100, 4096), 512);
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(output[c][100 + 1024], 1.0f, 0.002f);
        EXPECT_LT(peakOf(output[c], 0, 1124), 1e-3f);
        EXPECT_LT(peakOf(output[c], 1125, 4096), 1e-3f);
    }
}

TEST_F(PluginTest, DryPathIsTheInputDelayedByExactlyOneFrame)
{
    plugin->setParameter(1, kDryOn);
    plugin->setParameter(2, 0.0f);
    for (float sizeValue : {0.0f, 3.0f / 7.0f, 1.0f}) {
        plugin->setParameter(3, sizeValue);
        const int n = plugin->initialDelay();
        const Signal input = noise(static_cast<std::size_t>(3 * n + 77), 7);
        const auto output = process(input, 100);
        for (int c = 0; c < 2; ++c) {
            for (std::size_t i = 0; i < input[c].size(); ++i) {
                const float expected = i >= static_cast<std::size_t>(n) ? input[c][i - static_cast<std::size_t>(n)] : 0.0f;
                ASSERT_EQ(output[c][i], expected) << "N " << n << " sample " << i;
            }
        }
    }
}

// Pins the fault where windows built over N - 1 points modulated unity levels at the hop rate.
// A leading piece of odd length moves the hop phase against the host blocks that follow.
TEST_F(PluginTest, UnityWetPathNullsAgainstTheDelayedInputAtEverySizeBlockAndHopPhase)
{
    struct Run {
        int blockSize;
        std::size_t leadingPiece;
    };
    for (const Run run : {Run{1, 0}, Run{64, 0}, Run{4096, 0}, Run{64, 1001}}) {
        for (int k = 0; k < 8; ++k) {
            plugin = loadPlugin();
            ASSERT_TRUE(plugin);
            plugin->setParameter(3, static_cast<float>(k) / 7.0f);
            const auto n = static_cast<std::size_t>(plugin->initialDelay());
            const Signal input = noise(run.leadingPiece + 3 * n + 999, 31 + static_cast<unsigned>(k));
            Signal output(2);
            if (run.leadingPiece > 0) {
                const Signal head{{input[0].begin(), input[0].begin() + static_cast<long>(run.leadingPiece)},
                                  {input[1].begin(), input[1].begin() + static_cast<long>(run.leadingPiece)}};
                const Signal tail{{input[0].begin() + static_cast<long>(run.leadingPiece), input[0].end()},
                                  {input[1].begin() + static_cast<long>(run.leadingPiece), input[1].end()}};
                output = process(head, static_cast<int>(run.leadingPiece));
                const Signal rest = process(tail, run.blockSize);
                for (int c = 0; c < 2; ++c) {
                    output[c].insert(output[c].end(), rest[c].begin(), rest[c].end());
                }
            } else {
                output = process(input, run.blockSize);
            }
            const double db = nullErrorDb(input, output, n, 1.0);
            RecordProperty("null_db_N" + std::to_string(n) + "_block" + std::to_string(run.blockSize) + "_lead" +
                               std::to_string(run.leadingPiece),
                           std::to_string(db));
            EXPECT_LT(db, -120.0) << "N " << n << " block " << run.blockSize << " leading " << run.leadingPiece;
        }
    }
}

TEST_F(PluginTest, DryAndWetAtUnityGiveTwiceTheDelayedInput)
{
    plugin->setParameter(1, kDryOn);
    const Signal input = noise(6000, 37);
    EXPECT_LT(nullErrorDb(input, process(input, 512), 1024, 2.0), -120.0);
}

TEST_F(PluginTest, InputGainFloorSilencesBothPaths)
{
    plugin->setParameter(1, kDryOn);
    plugin->setParameter(11, kGainFloor);
    const auto output = process(noise(5000, 3), 256);
    EXPECT_EQ(peakOf(output[0], 0, 5000), 0.0f);
    EXPECT_EQ(peakOf(output[1], 0, 5000), 0.0f);
}

TEST_F(PluginTest, OutputGainFloorSilencesOnlyTheWetPath)
{
    plugin->setParameter(12, kGainFloor);
    const auto wetOnly = process(noise(5000, 3), 256);
    EXPECT_EQ(peakOf(wetOnly[0], 0, 5000), 0.0f);

    plugin->setParameter(1, kDryOn);
    const Signal input = noise(5000, 4);
    const auto output = process(input, 256);
    EXPECT_EQ(output[0][3000], input[0][3000 - 1024]);
}

TEST_F(PluginTest, AllLevelsZeroLeaveOnlyTheDryPath)
{
    for (int id = 32; id < 2081; ++id) {
        plugin->setParameter(id, 0.0f);
    }
    const Signal input = noise(6000, 5);
    EXPECT_EQ(peakOf(process(input, 333)[0], 0, 6000), 0.0f);
    plugin->setParameter(1, kDryOn);
    const auto output = process(input, 333);
    EXPECT_EQ(output[1][5000], input[1][5000 - 1024]);
}

TEST_F(PluginTest, SizeChangeGivesOneFrameOfSilenceThenNormalOutput)
{
    const Signal input = noise(20000, 9);
    (void)process(input, 1000);  // running at 1024
    plugin->setParameter(3, 4.0f / 7.0f);  // 512
    const int n = 512;
    const auto output = process(input, 1000);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(peakOf(output[c], 0, n / 2), 0.0f) << "exactly silent for the first N/2";
        EXPECT_LT(peakOf(output[c], n / 2, n), 1e-5f) << "silent within rounding for the rest";
        for (std::size_t i = 2 * n; i < 20000; i += 37) {
            ASSERT_NEAR(output[c][i], input[c][i - n], 0.01f) << i;
        }
    }
}

TEST_F(PluginTest, HostBlockSizeDoesNotChangeTheOutput)
{
    const Signal input = noise(30000, 11);
    std::vector<Signal> outputs;
    for (int blockSize : {1, 7, 64, 10000}) {
        auto fresh = loadPlugin();
        ASSERT_TRUE(fresh);
        plugin = std::move(fresh);
        plugin->setParameter(3, 3.0f / 7.0f);
        plugin->setParameter(40, 0.2f);
        plugin->setParameter(1, 0.5f);
        outputs.push_back(process(input, blockSize));
    }
    for (std::size_t k = 1; k < outputs.size(); ++k) {
        EXPECT_EQ(outputs[k], outputs[0]) << "block size variant " << k;
    }
}

TEST_F(PluginTest, SmallestFrameUsesOnlyItsSeventeenLevels)
{
    plugin->setParameter(3, 0.0f);
    for (int bin = 17; bin < 2049; ++bin) {
        plugin->setParameter(32 + bin, 0.0f);
    }
    const Signal input = noise(4000, 13);
    const auto output = process(input, 64);
    EXPECT_NEAR(output[0][2000], input[0][2000 - 32], 0.06f) << "levels past N/2 have no effect";
}

TEST_F(PluginTest, BinLevelShapesTheSpectrum)
{
    // A sine on bin 8 of a 256-point frame; the window spreads it over the bins around
    // it, so they all get the level 0.5.
    plugin->setParameter(3, 3.0f / 7.0f);
    for (int bin = 2; bin <= 14; ++bin) {
        plugin->setParameter(32 + bin, 0.5f);
    }
    Signal input(2, std::vector<float>(8192));
    for (std::size_t i = 0; i < input[0].size(); ++i) {
        input[0][i] = input[1][i] = std::sin(2.0f * 3.14159265f * 8.0f * static_cast<float>(i) / 256.0f);
    }
    const auto output = process(input, 512);
    EXPECT_NEAR(peakOf(output[0], 4096, 8192), 0.5f, 0.01f);
}

TEST_F(PluginTest, ProcessingWithMidiEventsKeepsTheAudioIntact)
{
    const Signal input = noise(4096, 21);
    const auto reference = process(input, 512);
    auto other = loadPlugin();
    ASSERT_TRUE(other);
    plugin = std::move(other);
    Signal output(2, std::vector<float>(4096));
    for (std::size_t start = 0; start < 4096; start += 512) {
        plugin->sendMidi({{5, {0x90, 60, 100}}, {5, {0x80, 60, 0}}, {300, {0xB0, 1, 64}}, {900, {0xE0, 0, 64}}});
        float* in[2] = {const_cast<float*>(input[0].data() + start), const_cast<float*>(input[1].data() + start)};
        float* out[2] = {output[0].data() + start, output[1].data() + start};
        plugin->processReplacing(in, out, 512);
    }
    EXPECT_EQ(output, reference) << "event offsets split blocks without changing the sound";
}

TEST_F(PluginTest, LevelChangesReachTheSoundWhileItPlays)
{
    const Signal input = noise(12000, 17);
    (void)process(input, 512);  // the kernels have copied the levels by now
    for (int id = 32; id < 2081; ++id) {
        plugin->setParameter(id, 0.0f);
    }
    const auto silenced = process(input, 512);
    EXPECT_EQ(peakOf(silenced[0], 2 * 1024, 12000), 0.0f) << "a host write of the levels";

    auto block = plugin->getChunk();
    const float one = 1.0f;
    for (int id = 32; id < 2081; ++id) {
        std::memcpy(block.data() + 176 + 4 * id, &one, 4);
    }
    plugin->setChunk(block.data(), block.size());
    const auto restored = process(input, 512);
    EXPECT_NEAR(restored[0][6000], input[0][6000 - 1024], 0.01f) << "a state load of the levels";
}
