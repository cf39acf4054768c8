#include "editor/toolkit/PngImage.h"

#include <png.h>

#include <cstring>
#include <string>
#include <vector>

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

// A damaged image leaves its texture empty without a message; libpng's defaults would
// print one.
void ignoreWarning(png_structp, png_const_charp) {}
[[noreturn]] void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

bool isPowerOfTwo(png_uint_32 n) { return n != 0 && (n & (n - 1)) == 0; }

struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
};

// libpng reports errors by longjmp: nothing with a destructor lives in these two frames.
bool readHeader(png_structp png, png_infop info, MemoryReader* reader, Header* header)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, reader, readFromMemory);
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    header->colourType = png_get_color_type(png, info);
    return true;
}

bool readRows(png_structp png, png_infop info, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png))) return false;
    (void)png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

// The pixels of an image whose header was accepted; nothing when the data are damaged.
std::optional<PngImage> decodeRows(png_structp png, png_infop info, const Header& header)
{
    PngImage image;
    image.width = static_cast<int>(header.width);
    image.height = static_cast<int>(header.height);
    image.channels = header.colourType == PNG_COLOR_TYPE_RGBA ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.channels);
    image.pixels.resize(rowBytes * static_cast<std::size_t>(image.height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (std::size_t y = 0; y < rows.size(); ++y) rows[y] = image.pixels.data() + rowBytes * y;
    if (!readRows(png, info, rows.data())) return std::nullopt;
    return image;
}

}  // namespace

std::optional<PngImage> PngImage::decodeTexture(const std::uint8_t* data, std::size_t size, std::string* refusal)
{
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) return std::nullopt;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, ignoreWarning);
    if (!png) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return std::nullopt;
    }
    MemoryReader reader{data, size};
    Header header;
    std::optional<PngImage> result;
    try {
        // The header is checked before anything is decoded: a few bytes can announce an
        // image of gigabytes.
        if (readHeader(png, info, &reader, &header)) {
            const bool texture = isPowerOfTwo(header.width) && isPowerOfTwo(header.height) && header.bitDepth == 8 &&
                                 (header.colourType == PNG_COLOR_TYPE_RGB || header.colourType == PNG_COLOR_TYPE_RGBA);
            if (header.width > kMaxSide || header.height > kMaxSide) {
                if (refusal) {
                    *refusal = std::to_string(header.width) + " x " + std::to_string(header.height) +
                               " pixels is larger than " + std::to_string(kMaxSide) + " x " + std::to_string(kMaxSide);
                }
            } else if (texture) {
                result = decodeRows(png, info, header);
            }
        }
    } catch (...) {
        result.reset();  // no memory for the pixels: the texture stays empty
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}

}  // namespace QN
