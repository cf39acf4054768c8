// The packet check that runs before oscpack reads anything: golden bytes of well-formed
// packets pass, and every way a packet can lie about its sizes is caught.

#include "engine/net/OscPacketValidator.h"
#include "OscBytes.h"

#include <gtest/gtest.h>

namespace {

const char* check(const Bytes& bytes) { return QN::OscPacketValidator::check(bytes.data(), bytes.size()); }

std::string checkText(const Bytes& bytes)
{
    const char* error = check(bytes);
    return error ? error : "ok";
}

Bytes nested(int depth, const Bytes& inner)
{
    Bytes packet = inner;
    for (int level = 0; level < depth; ++level) {
        packet = oscBundle({packet});
    }
    return packet;
}

}  // namespace

TEST(OscPacketValidator, AcceptsWellFormedMessagesOfEveryArgumentType)
{
    // "/a" ",ifsb" 1 2.0f "hi" blob(3 bytes)
    const Bytes golden = raw("/a\0\0,ifsb\0\0\0"
                             "\0\0\0\x01"
                             "\x40\0\0\0"
                             "hi\0\0"
                             "\0\0\0\x03xyz\0", 32);
    EXPECT_EQ(checkText(golden), "ok");
    EXPECT_EQ(checkText(oscMessage("/all", [](auto& s) {
                  s << true << false << osc::OscNil << osc::int64(5) << 1.5 << osc::Symbol("sym") << 'c'
                    << osc::BeginArray << 1 << osc::EndArray;
              })),
              "ok");
}

TEST(OscPacketValidator, AcceptsBundlesNestedWithinTheLimit)
{
    const Bytes set = oscMessage("/set", [](auto& s) { s << 1 << 0.5f; });
    EXPECT_EQ(checkText(oscBundle({set, set})), "ok");
    EXPECT_EQ(checkText(nested(QN::OscPacketValidator::kMaxBundleDepth, set)), "ok");
}

TEST(OscPacketValidator, RejectsTruncatedAndMisalignedPackets)
{
    const Bytes get = oscMessage("/get", [](auto& s) { s << 6 << "127.0.0.1:9000" << "/r"; });
    EXPECT_EQ(checkText(Bytes(get.begin(), get.begin() + 16)), "arguments exceed message size");
    EXPECT_EQ(checkText(Bytes(get.begin(), get.begin() + 10)), "element size must be multiple of four");
    EXPECT_EQ(checkText(Bytes()), "zero length elements not permitted");
    EXPECT_EQ(checkText(raw("/get", 4)), "unterminated address pattern");
    EXPECT_EQ(checkText(raw("/get\0\0\0\0", 8)), "type tags not present");
    EXPECT_EQ(checkText(raw("get\0,\0\0\0", 8)), "address pattern must begin with '/'");
}

TEST(OscPacketValidator, RejectsStringsAndTagsWithoutTerminators)
{
    EXPECT_EQ(checkText(raw("/a\0\0,ss\0abcd", 12)), "arguments exceed message size");
    EXPECT_EQ(checkText(raw("/a\0\0,iii", 8)), "unterminated type tags");
}

TEST(OscPacketValidator, RejectsUnknownTypeTagsAndUnbalancedArrays)
{
    EXPECT_EQ(checkText(raw("/a\0\0,x\0\0", 8)), "unknown type tag");
    EXPECT_EQ(checkText(raw("/a\0\0,]\0\0", 8)), "unbalanced array type tags");
    EXPECT_EQ(checkText(raw("/a\0\0,[\0\0", 8)), "unbalanced array type tags");
}

TEST(OscPacketValidator, RejectsBlobsWhoseSizeExceedsTheMessage)
{
    EXPECT_EQ(checkText(raw("/a\0\0,b\0\0\0\0\0\x09xyz\0", 16)), "arguments exceed message size");
    EXPECT_EQ(checkText(raw("/a\0\0,b\0\0\xff\xff\xff\xfc", 12)), "arguments exceed message size");
    EXPECT_EQ(checkText(raw("/a\0\0,i\0\0\0\0\0\x01\0\0\0\0", 16)), "bytes left after the last argument");
}

TEST(OscPacketValidator, RejectsBundleElementsWithBadSizes)
{
    const Bytes set = oscMessage("/set", [](auto& s) { s << 1 << 0.5f; });
    Bytes tooLarge = oscBundle({set});
    tooLarge[19] = static_cast<char>(tooLarge[19] + 4);
    EXPECT_EQ(checkText(tooLarge), "bundle element size exceeds bundle");
    Bytes negative = oscBundle({set});
    negative[16] = '\xff';
    EXPECT_EQ(checkText(negative), "bundle element size exceeds bundle");
    Bytes misaligned = oscBundle({set});
    misaligned[19] = static_cast<char>(misaligned[19] - 2);
    EXPECT_NE(check(misaligned), nullptr);
    EXPECT_EQ(checkText(raw("#bundle\0\0\0\0\0", 12)), "bundle without time tag or elements");
    Bytes emptyElement = oscBundle({});
    appendInt32(emptyElement, 0);
    EXPECT_EQ(checkText(emptyElement), "bundle element size exceeds bundle");
}

TEST(OscPacketValidator, RejectsBundlesNestedTooDeeply)
{
    const Bytes set = oscMessage("/set", [](auto& s) { s << 1 << 0.5f; });
    EXPECT_EQ(checkText(nested(QN::OscPacketValidator::kMaxBundleDepth + 1, set)), "bundles nested too deeply");
}

// Regression (found by the packet fuzzer): oscpack finds the end of a string from the
// last byte of each word, so a type tag string padded with non-NUL bytes made it read
// tags past the message and crash.
TEST(OscPacketValidator, RejectsStringsPaddedWithOtherThanNul)
{
    EXPECT_EQ(checkText(raw("/\0\0\0,issbbbb\0\0\0\xbe\xbe\0\0\x22\0\0\0\0\0\0\0\0", 28)), "unterminated type tags");
    EXPECT_EQ(checkText(raw("/a\0x,\0\0\0", 8)), "unterminated address pattern");
    EXPECT_EQ(checkText(raw("/a\0\0,s\0\0ab\0x", 12)), "arguments exceed message size");
}
