#pragma once
// A picture of a window: 8-bit RGB, rows from the top.

#include <cstdint>
#include <string>
#include <vector>

namespace lfhost {

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    [[nodiscard]] const std::uint8_t* pixel(int x, int y) const
    {
        return rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    }
    // Writes an RGB PNG; false when the file cannot be written.
    [[nodiscard]] bool savePng(const std::string& path) const;
};

}  // namespace lfhost
