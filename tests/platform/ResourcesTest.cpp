#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string sourceFile(const char* name) {
    std::ifstream in(std::string(LUMENFOLD_PLATFORM_TEST_DATA) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string bytesOf(const platform::ResourceData& resource) {
    return std::string(reinterpret_cast<const char*>(resource.data), resource.size);
}

TEST(Resources, TextResourceHoldsTheFileBytesFollowedByAZero) {
    const auto resource = platform::findResource(platform::kResourceTypeScript, 7);
    ASSERT_TRUE(resource.has_value());
    EXPECT_EQ(bytesOf(*resource), sourceFile("sample.txt"));
    EXPECT_EQ(resource->data[resource->size], 0);
}

TEST(Resources, EveryByteValueSurvivesEmbedding) {
    const auto resource = platform::findResource(platform::kResourceTypePng, 7);
    ASSERT_TRUE(resource.has_value());
    ASSERT_EQ(resource->size, 256u);
    for (unsigned value = 0; value < 256; ++value) EXPECT_EQ(resource->data[value], value);
}

TEST(Resources, EmptyFileIsARegisteredResourceOfSizeZero) {
    const auto resource = platform::findResource(platform::kResourceTypeScript, 8);
    ASSERT_TRUE(resource.has_value());
    EXPECT_EQ(resource->size, 0u);
    EXPECT_EQ(resource->data[0], 0);
}

TEST(Resources, UnregisteredTypeOrIdIsNotFound) {
    EXPECT_FALSE(platform::findResource(platform::kResourceTypeScript, 9).has_value());
    EXPECT_FALSE(platform::findResource(platform::kResourceTypePng, 8).has_value());
    EXPECT_FALSE(platform::findResource(102, 7).has_value());
}

}  // namespace
