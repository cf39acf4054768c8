#include "gui/toolkit/PngImage.h"

#include <png.h>

#include <cstring>

namespace QN {
namespace {

struct MemoryReader {
    const std::uint8_t* data;
    std::size_t remaining;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->remaining) png_error(png, "truncated image");
    std::memcpy(out, reader->data, length);
    reader->data += length;
    reader->remaining -= length;
}

bool isPowerOfTwo(png_uint_32 n) { return n != 0 && (n & (n - 1)) == 0; }

// libpng reports errors by longjmp: nothing with a destructor lives in this frame.
bool decodeInto(png_structp png, png_infop info, MemoryReader* reader, PngImage* image)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, reader, readFromMemory);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int channels = png_get_channels(png, info);
    if (!isPowerOfTwo(width) || !isPowerOfTwo(height) || png_get_bit_depth(png, info) != 8) return false;
    const int colourType = png_get_color_type(png, info);
    if (!((channels == 3 && colourType == PNG_COLOR_TYPE_RGB) || (channels == 4 && colourType == PNG_COLOR_TYPE_RGBA))) {
        return false;
    }
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->channels = channels;
    return true;
}

}  // namespace

std::optional<PngImage> PngImage::decodeTexture(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return std::nullopt;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return std::nullopt;
    }
    MemoryReader reader{data, size};
    PngImage image;
    std::optional<PngImage> result;
    if (decodeInto(png, info, &reader, &image)) {
        png_bytepp rows = png_get_rows(png, info);
        const std::size_t rowBytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.channels);
        image.pixels.resize(rowBytes * static_cast<std::size_t>(image.height));
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(image.pixels.data() + rowBytes * static_cast<std::size_t>(y), rows[y], rowBytes);
        }
        result = std::move(image);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}

}  // namespace QN
