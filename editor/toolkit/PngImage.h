#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace QN {

// A decoded texture image: rows first row first, 3 (RGB) or 4 (RGBA) bytes per texel.
struct PngImage {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<std::uint8_t> pixels;

    // Largest width and height of a texture: a skin image may not ask for more than
    // 4096 x 4096 x 4 bytes (64 MB) of pixels.
    static constexpr unsigned kMaxSide = 4096;

    // Decodes a PNG from memory without conversions. Only power-of-two 8-bit RGB or
    // RGBA images of at most kMaxSide each way are textures; anything else (palette,
    // grey, 16-bit, other sizes, damaged data) gives nothing. The size in the header is
    // checked before any pixel is decoded; a too large one is also described in
    // *refusal, for the caller's diagnostic line. Called on: any thread.
    static std::optional<PngImage> decodeTexture(const std::uint8_t* data, std::size_t size,
                                                 std::string* refusal = nullptr);
};

}  // namespace QN
