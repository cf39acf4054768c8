#include "PluginFixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

float valueIn(const std::vector<std::uint8_t>& block, int id)
{
    float value;
    std::memcpy(&value, block.data() + 176 + 4 * id, 4);
    return value;
}

void putValue(std::vector<std::uint8_t>& block, int id, float value)
{
    std::memcpy(block.data() + 176 + 4 * id, &value, 4);
}

std::vector<std::uint8_t> byteSwapped(std::vector<std::uint8_t> block)
{
    for (std::size_t offset = 0; offset + 4 <= block.size(); offset += 4) {
        if (offset <= 8 || offset >= 176) {
            std::reverse(block.begin() + static_cast<long>(offset), block.begin() + static_cast<long>(offset) + 4);
        }
    }
    return block;
}

}  // namespace

TEST_F(PluginTest, FreshChunkHoldsTagsNameAndDefaults)
{
    const auto block = plugin->getChunk();
    ASSERT_EQ(block.size(), 8500u);
    const std::uint8_t header[] = {'n', 'a', 'u', 'q', 'f', 'l', 'N', 'Q', 0x02, 0x00, 0x01, 0x00};
    EXPECT_EQ(0, std::memcmp(block.data(), header, sizeof(header)));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data() + 12)), "Defaults");
    EXPECT_TRUE(std::all_of(block.begin() + 20, block.begin() + 176, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(valueIn(block, 3), 5.0f);
    EXPECT_EQ(valueIn(block, 2), 1.0f);
    EXPECT_EQ(valueIn(block, 1), 0.0f);
    EXPECT_EQ(valueIn(block, 2080), 1.0f);
}

TEST_F(PluginTest, ChunkRoundTripRestoresEveryValue)
{
    for (int id = 1; id < 2081; id += 7) {
        plugin->setParameter(id, static_cast<float>(id % 10) / 10.0f);
    }
    const auto saved = plugin->getChunk();
    auto other = loadPlugin();
    ASSERT_TRUE(other);
    EXPECT_EQ(other->setChunk(saved.data(), saved.size()), 1);
    EXPECT_EQ(other->getChunk(), saved);
    for (int id = 1; id < 2081; id += 7) {
        EXPECT_EQ(other->getParameter(id), plugin->getParameter(id)) << id;
    }
}

TEST_F(PluginTest, ByteSwappedChunkLoadsTheSameValuesAndSaysSoOnce)
{
    plugin->setParameter(3, 0.0f);
    plugin->setParameter(700, 0.75f);
    const auto native = plugin->getChunk();
    const auto swapped = byteSwapped(native);
    auto other = loadPlugin();
    ASSERT_TRUE(other);
    testing::internal::CaptureStdout();
    other->setChunk(swapped.data(), swapped.size());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "QNlf vst byte swapping chunk\n");
    EXPECT_EQ(other->getChunk(), native);
    EXPECT_EQ(other->initialDelay(), 32);
}

TEST_F(PluginTest, LoadingAChunkUpdatesTheLatencyOnlyWhenItChanges)
{
    auto block = plugin->getChunk();
    plugin->clearCalls();
    plugin->setChunk(block.data(), block.size());
    EXPECT_EQ(plugin->countCalls(audioMasterIOChanged), 0);
    putValue(block, 3, 7.0f);
    plugin->setChunk(block.data(), block.size());
    EXPECT_EQ(plugin->initialDelay(), 4096);
    EXPECT_EQ(plugin->countCalls(audioMasterIOChanged), 1);
}

TEST_F(PluginTest, ChunksThatAreNotWholeStatesOfOursAreRefusedAndChangeNothing)
{
    plugin->setParameter(12, 0.25f);
    const auto before = plugin->getChunk();
    std::vector<std::uint8_t> noise(100000);
    std::uint32_t state = 2024;
    for (auto& byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    const std::string text = "RIFF....WAVEfmt " + std::string(9000, 'x');
    auto otherVersion = before;
    otherVersion[8] = 0x03;
    const struct {
        const char* what;
        const void* data;
        std::size_t size;
    } cases[] = {
        {"empty", noise.data(), 0},         {"three bytes", noise.data(), 3},
        {"random 8500", noise.data(), 8500}, {"random 100000", noise.data(), 100000},
        {"text", text.data(), text.size()},  {"header only", before.data(), 176},
        {"truncated", before.data(), 8499},  {"other version", otherVersion.data(), otherVersion.size()},
        {"null", nullptr, 8500},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(plugin->setChunk(c.data, c.size), 0) << c.what;
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(output.rfind("Lumenfold: state not loaded (", 0), 0u) << c.what << ": " << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << c.what;
        EXPECT_EQ(plugin->getChunk(), before) << c.what;
    }
    const std::vector<std::uint8_t> flood(10u << 20, 0xFF);
    testing::internal::CaptureStdout();
    EXPECT_EQ(plugin->setChunk(flood.data(), flood.size()), 0);
    (void)testing::internal::GetCapturedStdout();
    EXPECT_EQ(plugin->getChunk(), before);
}

TEST_F(PluginTest, ValuesAStateCannotHoldAreCorrectedWithALineEachAndTheSoundStaysFinite)
{
    auto block = plugin->getChunk();
    const float inf = std::numeric_limits<float>::infinity();
    putValue(block, 12, 200.0f);
    putValue(block, 11, std::numeric_limits<float>::quiet_NaN());
    putValue(block, 3, 99.0f);
    putValue(block, 32 + 5, inf);
    putValue(block, 32 + 6, -1e30f);
    block[12] = 0x01;  // a control character in the name
    testing::internal::CaptureStdout();
    EXPECT_EQ(plugin->setChunk(block.data(), block.size()), 1);
    const std::string output = testing::internal::GetCapturedStdout();
    for (const char* line : {"\"Output Gain\" 200.0 clamped to 36.00", "\"Input Gain\" nan replaced by its default 0.000",
                             "\"FFT Size\" 99.00 clamped to 7.000", "\"Bin 5 Level\" inf replaced by its default 1.000",
                             "\"Bin 6 Level\" -1000000015047466219876688855040 clamped to 0.000",
                             "name is not readable text; named \"Untitled\""}) {
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    }
    EXPECT_EQ(plugin->parameterDisplay(12), "36.00");
    EXPECT_EQ(plugin->parameterDisplay(11), "0.000");
    EXPECT_EQ(plugin->initialDelay(), 4096);
    EXPECT_EQ(plugin->programName(), "Untitled");
    std::vector<std::vector<float>> input(2, std::vector<float>(10000, 0.5f));
    for (const auto& channel : process(input, 1000)) {
        EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](float x) { return std::isfinite(x); }));
    }
}
