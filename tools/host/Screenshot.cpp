#include "tools/host/Screenshot.h"

#include <png.h>

#include <cstdio>

namespace lfhost {
namespace {

// libpng reports errors by longjmp: nothing with a destructor lives in this frame.
bool writeRows(png_structp png, png_infop info, FILE* file, const Screenshot& shot)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(shot.width), static_cast<png_uint_32>(shot.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < shot.height; ++y) png_write_row(png, const_cast<png_bytep>(shot.pixel(0, y)));
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool Screenshot::savePng(const std::string& path) const
{
    if (width <= 0 || height <= 0) return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = png && info && writeRows(png, info, file, *this);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

}  // namespace lfhost
