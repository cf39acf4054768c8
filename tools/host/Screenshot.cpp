#include "tools/host/Screenshot.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Opened without blocking and checked on the descriptor: a FIFO or a device under the
// picture's name is refused instead of waited on or written into.
FILE* openRegularForWriting(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    struct stat info {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    FILE* file = ::fdopen(fd, "wb");
    if (!file) ::close(fd);
    return file;
}

}  // namespace

bool Screenshot::savePng(const std::string& path) const
{
    if (width <= 0 || height <= 0) return false;
    FILE* file = openRegularForWriting(path);
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = png && info && writeRows(png, info, file, *this);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

}  // namespace lfhost
