#include "engine/net/OscPacketValidator.h"

#include <cstdint>
#include <cstring>

namespace QN {

namespace {

constexpr char kBundleTag[8] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0'};
constexpr std::size_t kNoSize = static_cast<std::size_t>(-1);

std::int32_t readInt32(const char* data)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    const std::uint32_t value = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
                                (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
    return static_cast<std::int32_t>(value);
}

std::size_t padded(std::size_t length) { return (length + 3) & ~std::size_t(3); }

// Bytes taken by the NUL-terminated, NUL-padded string at data; kNoSize when the
// terminator or the padding does not fit in size bytes, or the padding is not NUL.
std::size_t paddedStringSize(const char* data, std::size_t size)
{
    const void* terminator = std::memchr(data, '\0', size);
    if (terminator == nullptr) {
        return kNoSize;
    }
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(terminator) - data);
    const std::size_t total = padded(length + 1);
    if (total > size) {
        return kNoSize;
    }
    // oscpack finds a string's end by the last byte of each 4-byte word, so padding
    // that is not all NUL would make it read a different (and longer) string.
    for (std::size_t i = length + 1; i < total; ++i) {
        if (data[i] != '\0') {
            return kNoSize;
        }
    }
    return total;
}

// Bytes taken by one argument of the given tag at data; kNoSize when it does not fit,
// kNoSize - 1 for a tag that is not known.
constexpr std::size_t kUnknownTag = kNoSize - 1;

std::size_t argumentSize(char tag, const char* data, std::size_t size)
{
    switch (tag) {
    case 'T': case 'F': case 'N': case 'I': case '[': case ']': return 0;
    case 'i': case 'f': case 'c': case 'r': case 'm': return size >= 4 ? 4 : kNoSize;
    case 'h': case 't': case 'd': return size >= 8 ? 8 : kNoSize;
    case 's': case 'S': return paddedStringSize(data, size);
    case 'b': {
        if (size < 4) {
            return kNoSize;
        }
        const std::int32_t length = readInt32(data);
        if (length < 0 || static_cast<std::size_t>(length) > size - 4) {
            return kNoSize;
        }
        const std::size_t total = 4 + padded(static_cast<std::size_t>(length));
        return total <= size ? total : kNoSize;
    }
    default: return kUnknownTag;
    }
}

}  // namespace

const char* OscPacketValidator::check(const char* data, std::size_t size)
{
    if (data == nullptr || size == 0) {
        return "zero length elements not permitted";
    }
    return checkElement(data, size, 0);
}

const char* OscPacketValidator::checkElement(const char* data, std::size_t size, int depth)
{
    if (size % 4 != 0) {
        return "element size must be multiple of four";
    }
    if (size >= sizeof(kBundleTag) && std::memcmp(data, kBundleTag, sizeof(kBundleTag)) == 0) {
        return checkBundle(data, size, depth + 1);
    }
    return checkMessage(data, size);
}

const char* OscPacketValidator::checkBundle(const char* data, std::size_t size, int depth)
{
    if (depth > kMaxBundleDepth) {
        return "bundles nested too deeply";
    }
    if (size < 16) {
        return "bundle without time tag or elements";
    }
    std::size_t position = 16;
    while (position < size) {
        if (size - position < 4) {
            return "truncated bundle element size";
        }
        const std::int32_t elementSize = readInt32(data + position);
        position += 4;
        if (elementSize <= 0 || static_cast<std::size_t>(elementSize) > size - position) {
            return "bundle element size exceeds bundle";
        }
        if (const char* error = checkElement(data + position, static_cast<std::size_t>(elementSize), depth)) {
            return error;
        }
        position += static_cast<std::size_t>(elementSize);
    }
    return nullptr;
}

const char* OscPacketValidator::checkMessage(const char* data, std::size_t size)
{
    if (data[0] != '/') {
        return "address pattern must begin with '/'";
    }
    const std::size_t addressSize = paddedStringSize(data, size);
    if (addressSize == kNoSize) {
        return "unterminated address pattern";
    }
    const char* tags = data + addressSize;
    const std::size_t rest = size - addressSize;
    if (rest == 0 || tags[0] != ',') {
        return "type tags not present";
    }
    const std::size_t tagsSize = paddedStringSize(tags, rest);
    if (tagsSize == kNoSize) {
        return "unterminated type tags";
    }
    return checkArguments(tags + 1, tags + tagsSize, rest - tagsSize);
}

const char* OscPacketValidator::checkArguments(const char* tags, const char* data, std::size_t size)
{
    int arrayDepth = 0;
    for (; *tags != '\0'; ++tags) {
        const std::size_t taken = argumentSize(*tags, data, size);
        if (taken == kUnknownTag) {
            return "unknown type tag";
        }
        if (taken == kNoSize) {
            return "arguments exceed message size";
        }
        arrayDepth += *tags == '[' ? 1 : (*tags == ']' ? -1 : 0);
        if (arrayDepth < 0) {
            return "unbalanced array type tags";
        }
        data += taken;
        size -= taken;
    }
    if (arrayDepth != 0) {
        return "unbalanced array type tags";
    }
    return size == 0 ? nullptr : "bytes left after the last argument";
}

}  // namespace QN
