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

TEST_F(PluginTest, ChunksOfAnySizeAndContentLoadWithoutHarm)
{
    std::vector<std::uint8_t> noise(100000);
    std::uint32_t state = 2024;
    for (auto& byte : noise) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    const auto before = plugin->getChunk();
    plugin->setChunk(noise.data(), 0);
    EXPECT_EQ(plugin->getChunk(), before) << "an empty chunk changes nothing";

    plugin->setChunk(noise.data(), 176);
    auto after = plugin->getChunk();
    EXPECT_TRUE(std::equal(before.begin() + 176, before.end(), after.begin() + 176))
        << "a 176-byte chunk changes only the name and the reserved bytes";

    std::vector<std::vector<float>> input(2, std::vector<float>(5000, 0.1f));
    for (std::size_t size : {8500u, 100000u, 3u}) {
        plugin->setChunk(noise.data(), size);
        (void)process(input, 256);
        for (int id = 0; id < 2081; id += 97) {
            (void)plugin->parameterDisplay(id);
        }
    }
    const auto last = plugin->getChunk();
    EXPECT_EQ(last.size(), 8500u);
    EXPECT_EQ(last[0], 'n') << "the native header is always rewritten";
}

TEST_F(PluginTest, StoredValuesOutOfRangeAreClampedWhereUsed)
{
    auto block = plugin->getChunk();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<std::vector<float>> input(2, std::vector<float>(10000, 0.5f));
    for (float size : {99.0f, -3.0f, nan}) {
        putValue(block, 3, size);
        putValue(block, 13, 1e9f);
        putValue(block, 4, -5.0f);
        plugin->setChunk(block.data(), block.size());
        EXPECT_GE(plugin->initialDelay(), 32);
        EXPECT_LE(plugin->initialDelay(), 4096);
        (void)plugin->parameterDisplay(3);
        (void)plugin->parameterDisplay(13);
        (void)plugin->parameterDisplay(4);
        (void)process(input, 1000);
        EXPECT_EQ(valueIn(plugin->getChunk(), 13), 1e9f) << "the stored value is kept";
    }
}
