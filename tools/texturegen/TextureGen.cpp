// lumenfold-texturegen: draws the editor's four built-in images and writes them as
// PNG files into a folder (the build embeds the committed copies in resources/).
//
//   buttons.png    128 x 128 RGBA  knob image at (1, 1), 37 x 37; meter strip at (123, 0), 5 x 81
//   buttons_n.png  128 x 128 RGBA  normal map of buttons.png
//   bgtile.png      64 x  64 RGB   background tile (repeats seamlessly)
//   bgtile_n.png    64 x  64 RGB   normal map of the tile
//
// Usage: lumenfold-texturegen OUTPUT_FOLDER

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Image {
    int width, height, channels;
    std::vector<std::uint8_t> pixels;
    Image(int w, int h, int c) : width(w), height(h), channels(c), pixels(static_cast<std::size_t>(w * h * c), 0) {}
    std::uint8_t* at(int x, int y) { return &pixels[static_cast<std::size_t>((y * width + x) * channels)]; }
};

std::uint8_t toByte(double v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); }

bool writePng(const std::string& path, const Image& image)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 image.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        png_write_row(png, image.pixels.data() + static_cast<std::size_t>(y * image.width * image.channels));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

// ---- the knob ----------------------------------------------------------------------
// A machined cap: a rim, a gently domed top with concentric turning marks, and a
// pointer groove running from the centre to the top edge.

constexpr int kKnobX = 1, kKnobY = 1, kKnobSize = 37;

struct KnobSample {
    double coverage;   // 0 outside the knob, 1 inside (anti-aliased edge)
    double nx, ny, nz; // surface normal, y pointing up the image
    double shade;      // base brightness
    bool pointer;
};

KnobSample sampleKnob(double px, double py)
{
    const double radius = kKnobSize / 2.0 - 0.5;
    const double dx = px - kKnobSize / 2.0, dy = kKnobSize / 2.0 - py;  // y up
    const double r = std::sqrt(dx * dx + dy * dy);
    KnobSample s{std::clamp(radius + 0.5 - r, 0.0, 1.0), 0, 0, 1, 0.55, false};
    if (s.coverage <= 0) return s;
    const double t = r / radius;
    const double rim = 0.82;
    double slope = t < rim ? 0.25 * t : 0.25 + 2.2 * (t - rim);  // dome, then bevelled rim
    slope = std::min(slope, 0.95);
    const double ux = r > 0 ? dx / r : 0, uy = r > 0 ? dy / r : 0;
    s.nx = ux * slope, s.ny = uy * slope, s.nz = std::sqrt(1 - slope * slope);
    s.shade = t < rim ? 0.62 + 0.06 * std::cos(r * 2.4) : 0.42 + 0.2 * (1 - (t - rim) / (1 - rim));
    // Pointer: a groove along +y from 25 % of the radius to the rim.
    if (dy > radius * 0.22 && std::abs(dx) < 1.6 && t < rim + 0.04) {
        s.pointer = true;
        s.nx = (dx / 1.6) * 0.6;
        s.nz = std::sqrt(1 - s.nx * s.nx);
        s.shade = 0.95;
    }
    return s;
}

// 4 x 4 supersampling per pixel.
template <class Write>
void forEachKnobPixel(Write write)
{
    for (int y = 0; y < kKnobSize; ++y) {
        for (int x = 0; x < kKnobSize; ++x) {
            double cover = 0, nx = 0, ny = 0, nz = 0, shade = 0, pointer = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const KnobSample k = sampleKnob(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4);
                    cover += k.coverage / 16, nx += k.nx * k.coverage, ny += k.ny * k.coverage;
                    nz += k.nz * k.coverage, shade += k.shade * k.coverage, pointer += k.pointer ? k.coverage : 0;
                }
            }
            const double weight = cover * 16;
            if (weight > 0) nx /= weight, ny /= weight, nz /= weight, shade /= weight, pointer /= weight;
            const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
            if (length > 0) nx /= length, ny /= length, nz /= length;
            write(kKnobX + x, kKnobY + y, cover, nx, ny, nz, shade, pointer);
        }
    }
}

void drawKnob(Image& colour, Image& normals)
{
    forEachKnobPixel([&](int x, int y, double cover, double nx, double ny, double nz, double shade, double pointer) {
        std::uint8_t* c = colour.at(x, y);
        const double grey = shade;
        const double r = grey * (1 - pointer) + 0.98 * pointer;
        const double g = grey * 1.02 * (1 - pointer) + 0.72 * pointer;
        const double b = grey * 1.08 * (1 - pointer) + 0.3 * pointer;
        c[0] = toByte(r), c[1] = toByte(g), c[2] = toByte(b), c[3] = toByte(cover);
        std::uint8_t* n = normals.at(x, y);
        // Image rows run downwards; the normal map's y points up the image.
        n[0] = toByte(nx * 0.5 + 0.5), n[1] = toByte(ny * 0.5 + 0.5), n[2] = toByte(nz * 0.5 + 0.5);
        n[3] = toByte(cover);
    });
}

// ---- the meter strip ---------------------------------------------------------------
// Lit segments from green at the bottom through amber to red at the top.

void drawMeterStrip(Image& colour, Image& normals)
{
    constexpr int kX = 123, kWidth = 5, kHeight = 81;
    for (int y = 0; y < kHeight; ++y) {
        const double level = 1.0 - static_cast<double>(y) / (kHeight - 1);  // 1 at the top
        const bool gap = y % 3 == 2;
        const double r = level < 0.6 ? 0.25 + level : 1.0, g = level < 0.85 ? 0.9 : 0.9 - (level - 0.85) * 5;
        for (int x = 0; x < kWidth; ++x) {
            const double edge = (x == 0 || x == kWidth - 1) ? 0.75 : 1.0;
            std::uint8_t* c = colour.at(kX + x, y);
            c[0] = toByte(r * edge), c[1] = toByte(g * edge), c[2] = toByte(0.15 * edge), c[3] = gap ? 90 : 255;
            std::uint8_t* n = normals.at(kX + x, y);
            n[0] = 128, n[1] = 128, n[2] = 255, n[3] = 255;
        }
    }
}

// ---- the background tile -----------------------------------------------------------
// A fine, brushed surface with shallow dimples; every term repeats after 64 pixels so
// that the tile joins seamlessly.

constexpr int kTile = 64;

std::vector<double> tileHeights()
{
    std::mt19937 random(20240611u);  // fixed: the committed images are reproducible
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<double> grain(kTile * kTile);
    for (double& g : grain) g = noise(random);
    std::vector<double> height(kTile * kTile);
    for (int y = 0; y < kTile; ++y) {
        for (int x = 0; x < kTile; ++x) {
            // Brushing: the grain blurred along x, with wrap-around.
            double brushed = 0;
            for (int k = -4; k <= 4; ++k) brushed += grain[static_cast<std::size_t>(y * kTile + (x + k + kTile) % kTile)];
            brushed /= 9;
            const double u = 2 * kPi * x / kTile, v = 2 * kPi * y / kTile;
            const double dimples = 0.5 * std::cos(2 * u) * std::cos(2 * v) + 0.25 * std::sin(4 * u + 2 * v);
            height[static_cast<std::size_t>(y * kTile + x)] = 0.35 * brushed + 0.4 * dimples;
        }
    }
    return height;
}

void drawTile(Image& colour, Image& normals)
{
    const std::vector<double> height = tileHeights();
    auto h = [&](int x, int y) { return height[static_cast<std::size_t>(((y + kTile) % kTile) * kTile + (x + kTile) % kTile)]; };
    for (int y = 0; y < kTile; ++y) {
        for (int x = 0; x < kTile; ++x) {
            const double value = h(x, y);
            std::uint8_t* c = colour.at(x, y);
            c[0] = toByte(0.21 + 0.035 * value), c[1] = toByte(0.23 + 0.035 * value), c[2] = toByte(0.27 + 0.04 * value);
            const double dx = (h(x + 1, y) - h(x - 1, y)) * 0.9, dy = (h(x, y - 1) - h(x, y + 1)) * 0.9;
            const double length = std::sqrt(dx * dx + dy * dy + 1);
            std::uint8_t* n = normals.at(x, y);
            n[0] = toByte(-dx / length * 0.5 + 0.5), n[1] = toByte(-dy / length * 0.5 + 0.5);
            n[2] = toByte(1 / length * 0.5 + 0.5);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lumenfold-texturegen OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    Image buttons(128, 128, 4), buttonNormals(128, 128, 4), tile(kTile, kTile, 3), tileNormals(kTile, kTile, 3);
    // Transparent texels of the normal map still point straight out.
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) buttonNormals.at(x, y)[0] = 128, buttonNormals.at(x, y)[1] = 128, buttonNormals.at(x, y)[2] = 255;
    }
    drawKnob(buttons, buttonNormals);
    drawMeterStrip(buttons, buttonNormals);
    drawTile(tile, tileNormals);
    const bool ok = writePng(folder + "/buttons.png", buttons) && writePng(folder + "/buttons_n.png", buttonNormals) &&
                    writePng(folder + "/bgtile.png", tile) && writePng(folder + "/bgtile_n.png", tileNormals);
    if (!ok) {
        std::fprintf(stderr, "lumenfold-texturegen: cannot write the images into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
