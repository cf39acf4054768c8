#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace QN {

// A decoded texture image: rows first row first, 3 (RGB) or 4 (RGBA) bytes per texel.
struct PngImage {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<std::uint8_t> pixels;

    // Decodes a PNG from memory without conversions. Only power-of-two 8-bit RGB or
    // RGBA images are textures; anything else (palette, grey, 16-bit, other sizes,
    // damaged data) gives nothing. Called on: any thread.
    static std::optional<PngImage> decodeTexture(const std::uint8_t* data, std::size_t size);
};

}  // namespace QN
