#pragma once
// Checks a received datagram completely before oscpack's iterators read it: element and
// packet sizes, address and type tag strings, every argument's length against the end of
// its message, and bundle element sizes against the end of their bundle. oscpack trusts
// sizes it reads from the packet; a hostile peer must not be able to make it read past
// the datagram.
//
// Layout checked (all sizes big-endian int32, everything 4-byte aligned):
//   message: address ("/..." NUL, padded) ",tags" NUL padded, then the arguments;
//            i f c r m: 4 bytes; h t d: 8; s S: NUL-terminated, padded; b: size + data,
//            padded; T F N I [ ]: none. The arguments must end exactly at the message end.
//   bundle:  "#bundle" NUL, 8-byte time tag, then elements of (size, contents), size > 0
//            and a multiple of 4, ending exactly at the bundle end; contents are
//            messages or bundles, nested at most kMaxBundleDepth deep.

#include <cstddef>

namespace QN {

class OscPacketValidator {
public:
    static constexpr int kMaxBundleDepth = 8;

    // Null when the packet is well formed; otherwise a fixed text saying what is wrong.
    static const char* check(const char* data, std::size_t size);

private:
    static const char* checkElement(const char* data, std::size_t size, int depth);
    static const char* checkBundle(const char* data, std::size_t size, int depth);
    static const char* checkMessage(const char* data, std::size_t size);
    static const char* checkArguments(const char* tags, const char* data, std::size_t size);
};

}  // namespace QN
