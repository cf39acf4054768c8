#pragma once
// A PNG file that is only a header announcing width x height pixels, an empty image data
// chunk and the end chunk: a few dozen bytes that a decoder reading the header first
// refuses, and one reading pixels first would try to make gigabytes of.

#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::uint8_t> pngHeaderOnly(std::uint32_t width, std::uint32_t height)
{
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    const auto put32 = [&](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<std::uint8_t>(value >> shift));
    };
    const auto chunk = [&](const char* type, const std::vector<std::uint8_t>& data) {
        put32(static_cast<std::uint32_t>(data.size()));
        const std::size_t start = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        std::uint32_t crc = 0xffffffffu;
        for (std::size_t i = start; i < png.size(); ++i) {
            crc ^= png[i];
            for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        put32(~crc);
    };
    std::vector<std::uint8_t> header;
    for (std::uint32_t value : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter, no interlace
    chunk("IHDR", header);
    chunk("IDAT", {});
    chunk("IEND", {});
    return png;
}
