#include "engine/model/ParameterTable.h"
#include "engine/model/QuanProgramQNlfv1.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> blockOf(QuanProgramQNlfv1& program)
{
    const auto* bytes = static_cast<const std::uint8_t*>(program.getData());
    return {bytes, bytes + program.getSize()};
}

float valueIn(const std::vector<std::uint8_t>& block, int id)
{
    float value;
    std::memcpy(&value, block.data() + 176 + 4 * id, 4);
    return value;
}

std::vector<std::uint8_t> byteSwapped(std::vector<std::uint8_t> block)
{
    auto swapWord = [&](std::size_t offset) { std::reverse(block.begin() + offset, block.begin() + offset + 4); };
    for (std::size_t offset : {0u, 4u, 8u}) {
        swapWord(offset);
    }
    for (std::size_t offset = 176; offset < block.size(); offset += 4) {
        swapWord(offset);
    }
    return block;
}

std::string capturedStdout(const std::function<void()>& action)
{
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(ProgramChunk, FreshBlockHasTagsVersionAndDefaults)
{
    QuanProgramQNlfv1 program;
    program.setName("Defaults");
    const auto block = blockOf(program);
    ASSERT_EQ(block.size(), 8500u);
    const std::uint8_t header[] = {'n', 'a', 'u', 'q', 'f', 'l', 'N', 'Q', 0x02, 0x00, 0x01, 0x00};
    EXPECT_EQ(0, std::memcmp(block.data(), header, sizeof(header)));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data() + 12)), "Defaults");
    for (std::size_t i = 12 + 8; i < 176; ++i) {
        EXPECT_EQ(block[i], 0) << "byte " << i;
    }
    EXPECT_EQ(valueIn(block, 3), 5.0f);
    EXPECT_EQ(valueIn(block, 6), -160.0f);
    EXPECT_EQ(valueIn(block, 2080), 1.0f);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(program.binLevels()) % 16, 0u);
}

TEST(ProgramChunk, RoundTripKeepsEveryValueAndTheName)
{
    QuanProgramQNlfv1 source;
    source.setName("Bright");
    for (int id = 0; id < kParameterCount; ++id) {
        source.setParameter(id, 0.001f * static_cast<float>(id) - 0.5f);
    }
    const auto block = blockOf(source);
    QuanProgramQNlfv1 target;
    target.loadFromChunk(block.data(), block.size());
    EXPECT_EQ(blockOf(target), block);
    EXPECT_STREQ(target.getName(), "Bright");
}

TEST(ProgramChunk, ByteSwappedBlockLoadsToTheSameValuesWithOneLine)
{
    QuanProgramQNlfv1 source;
    source.setParameter(3, 7.0f);
    source.setParameter(500, 0.25f);
    const auto native = blockOf(source);
    QuanProgramQNlfv1 target;
    const auto swapped = byteSwapped(native);
    const std::string output = capturedStdout([&] { target.loadFromChunk(swapped.data(), swapped.size()); });
    EXPECT_EQ(output, "QNlf vst byte swapping chunk\n");
    EXPECT_EQ(blockOf(target), native);
}

TEST(ProgramChunk, OnlyWholeBlocksOfOursLoadAndARefusalChangesNothing)
{
    QuanProgramQNlfv1 source;
    source.setName("Whole");
    source.setParameter(0, 42.0f);
    const auto block = blockOf(source);
    std::vector<std::uint8_t> garbage(100000);
    std::uint32_t state = 12345;
    for (auto& byte : garbage) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    QuanProgramQNlfv1 target;
    target.setParameter(0, 7.0f);
    const auto before = blockOf(target);
    for (std::size_t size : {0u, 176u, 8499u}) {
        EXPECT_NE(target.loadFromChunk(block.data(), size), nullptr) << size;
    }
    for (std::size_t size : {3u, 8500u, 100000u}) {
        EXPECT_NE(target.loadFromChunk(garbage.data(), size), nullptr) << size;
    }
    EXPECT_NE(target.loadFromChunk(nullptr, 8500), nullptr);
    EXPECT_EQ(blockOf(target), before);

    std::vector<std::uint8_t> longer = block;
    longer.resize(9000, 0xEE);
    EXPECT_EQ(target.loadFromChunk(longer.data(), longer.size()), nullptr) << "bytes past the block are ignored";
    EXPECT_EQ(blockOf(target), block);
}

TEST(ProgramChunk, NamesAreCutToThirtyOneCharacters)
{
    QuanProgramQNlfv1 program;
    program.setName("0123456789012345678901234567890123456789");
    EXPECT_EQ(std::string(program.getName()), "0123456789012345678901234567890");
    program.setName(nullptr);
    EXPECT_STREQ(program.getName(), "");
}

TEST(ProgramChunk, IdsOutsideTheTableAreIgnored)
{
    QuanProgramQNlfv1 program;
    const auto before = blockOf(program);
    program.setParameter(-1, 5.0f);
    program.setParameter(kParameterCount, 5.0f);
    EXPECT_EQ(blockOf(program), before);
    EXPECT_EQ(program.getParameter(kParameterCount), 0.0f);
}
