// Images accepted as textures, the built-in images, and font lookup and measuring.

#include "editor/toolkit/Font.h"
#include "editor/toolkit/PngImage.h"
#include "platform/FontLocator.h"
#include "platform/Resources.h"
#include "support/PngHeader.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// An encoded PNG of the given shape (all pixels grey).
std::vector<std::uint8_t> encodePng(int width, int height, int colourType, int bitDepth)
{
    std::vector<std::uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t length) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
            out->insert(out->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[1] = {{128, 128, 128}};
        png_set_PLTE(png, info, palette, 1);
    }
    png_write_info(png, info);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 8, 128);
    if (colourType == PNG_COLOR_TYPE_PALETTE) std::fill(row.begin(), row.end(), 0);
    for (int y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

std::optional<QN::PngImage> decode(const std::vector<std::uint8_t>& bytes)
{
    return QN::PngImage::decodeTexture(bytes.data(), bytes.size());
}

TEST(TextureImage, PowerOfTwoRgbAndRgbaImagesAreAccepted)
{
    const auto wide = decode(encodePng(128, 64, PNG_COLOR_TYPE_RGB, 8));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->width, 128);
    EXPECT_EQ(wide->height, 64);
    EXPECT_EQ(wide->channels, 3);
    EXPECT_EQ(wide->pixels.size(), 128u * 64u * 3u);
    const auto rgba = decode(encodePng(16, 16, PNG_COLOR_TYPE_RGBA, 8));
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->channels, 4);
}

TEST(TextureImage, OtherSizesFormatsAndDamagedDataAreRefused)
{
    EXPECT_FALSE(decode(encodePng(100, 100, PNG_COLOR_TYPE_RGB, 8)));
    EXPECT_FALSE(decode(encodePng(64, 64, PNG_COLOR_TYPE_PALETTE, 8)));
    EXPECT_FALSE(decode(encodePng(64, 64, PNG_COLOR_TYPE_GRAY, 8)));
    EXPECT_FALSE(decode(encodePng(64, 64, PNG_COLOR_TYPE_RGB, 16)));
    std::vector<std::uint8_t> truncated = encodePng(64, 64, PNG_COLOR_TYPE_RGB, 8);
    truncated.resize(truncated.size() / 2);
    EXPECT_FALSE(decode(truncated));
    EXPECT_FALSE(QN::PngImage::decodeTexture(nullptr, 0));
}

// A few bytes announcing 100000 x 100000 pixels used to be decoded before the size was
// looked at, taking gigabytes; the header alone now refuses it.
TEST(TextureImage, AHugeSizeInTheHeaderIsRefusedBeforeDecoding)
{
    for (const std::uint32_t side : {100000u, 4u}) {
        const std::vector<std::uint8_t> bytes = pngHeaderOnly(side, side);
        std::string refusal;
        EXPECT_FALSE(QN::PngImage::decodeTexture(bytes.data(), bytes.size(), &refusal)) << side;
        EXPECT_EQ(refusal, side == 4 ? "" : "100000 x 100000 pixels is larger than 4096 x 4096");
    }
}

TEST(TextureImage, BuiltInImagesHaveTheirLayoutSizes)
{
    struct Expected {
        int id, size, channels;
    };
    for (const Expected& e : {Expected{120, 128, 4}, Expected{121, 64, 3}, Expected{122, 128, 4}, Expected{123, 64, 3}}) {
        const auto resource = platform::findResource(platform::kResourceTypePng, e.id);
        ASSERT_TRUE(resource) << e.id;
        const auto image = QN::PngImage::decodeTexture(resource->data, resource->size);
        ASSERT_TRUE(image) << e.id;
        EXPECT_EQ(image->width, e.size) << e.id;
        EXPECT_EQ(image->height, e.size) << e.id;
        EXPECT_EQ(image->channels, e.channels) << e.id;
    }
}

TEST(TextureImage, KnobImageIsOpaqueInsideAndClearOutsideWithABrightPointerAtTheTop)
{
    const auto resource = platform::findResource(platform::kResourceTypePng, 120);
    ASSERT_TRUE(resource);
    const auto image = QN::PngImage::decodeTexture(resource->data, resource->size);
    ASSERT_TRUE(image);
    auto texel = [&](int x, int y) { return &image->pixels[static_cast<std::size_t>((y * 128 + x) * 4)]; };
    EXPECT_EQ(texel(0, 0)[3], 0);                // outside the knob
    EXPECT_EQ(texel(1 + 18, 1 + 18)[3], 255);    // centre
    const std::uint8_t* pointer = texel(1 + 18, 1 + 8);
    const std::uint8_t* body = texel(1 + 8, 1 + 18);
    EXPECT_GT(pointer[0] + pointer[1], body[0] + body[1] + 80);
}

TEST(FontLookup, AMissingWindowsFontIsReplacedByAnInstalledOne)
{
    const std::string path = platform::locateFontFile("tahoma.ttf");
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.find(".ttf"), std::string::npos) << path;
}

TEST(FontLookup, AReadablePathIsUsedAsItIs)
{
    const std::string path = platform::locateFontFile("tahoma.ttf");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(platform::locateFontFile(path), path);
}

// A skin naming a FIFO as its font used to hold the editor's opening in the font engine.
TEST(FontLookup, AFifoIsNotTakenForAFontFile)
{
    char folder[] = "/tmp/lumenfold-font-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/DejaVuSans.ttf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string found = platform::locateFontFile(fifo);
    EXPECT_NE(found, fifo);
    EXPECT_NE(found.find(".ttf"), std::string::npos) << "an installed font stands in: " << found;
    std::remove(fifo.c_str());
    rmdir(folder);
}

TEST(FontLookup, TheSystemFindsDejaVuSansByName)
{
    const std::string path = platform::locateFontFile("DejaVuSans.ttf");
    ASSERT_GE(path.size(), 15u) << path;
    EXPECT_EQ(path.substr(path.size() - 15), "/DejaVuSans.ttf");
}

// The locator as on a system without the font configuration library, for one scope.
struct FontConfigSwitchedOff {
    FontConfigSwitchedOff() { setenv("LUMENFOLD_WITHOUT_FONTCONFIG", "1", 1); }
    ~FontConfigSwitchedOff() { unsetenv("LUMENFOLD_WITHOUT_FONTCONFIG"); }
};

TEST(FontLookup, WithoutFontConfigNamesAreNotFoundAndTheBuiltInDejaVuSansDraws)
{
    const std::string installed = platform::locateFontFile("DejaVuSans.ttf");
    const FontConfigSwitchedOff switchedOff;
    EXPECT_EQ(platform::locateFontFile("DejaVuSans.ttf"), "");
    EXPECT_EQ(platform::locateFontFile(installed), installed);  // paths need no lookup
    auto font = QN::Font::load({{"tahoma.ttf", 14}});
    ASSERT_TRUE(font);
    EXPECT_EQ(font->path(), "");
    // The same glyphs as the installed file: the built-in font is DejaVu Sans.
    auto reference = QN::Font::fromFile(installed, 14);
    ASSERT_TRUE(reference);
    EXPECT_GT(font->measureText("Input Gain"), 40.0f);
    EXPECT_EQ(font->measureText("Input Gain"), reference->measureText("Input Gain"));
    EXPECT_EQ(font->lineHeight(), reference->lineHeight());
}

TEST(FontMetrics, TextIsMeasuredAtHalfTheRenderedSize)
{
    const std::string path = platform::locateFontFile("arial.ttf");
    auto font = QN::Font::fromFile(path, 14);
    auto big = QN::Font::fromFile(path, 28);
    ASSERT_TRUE(font && big);
    EXPECT_GT(font->measureText("Input Gain"), 40.0f);
    // Twice the size measures twice as wide, up to the rounding of hinted advances.
    EXPECT_NEAR(big->measureText("Input Gain"), 2 * font->measureText("Input Gain"), 3.0f);
    EXPECT_GT(font->lineHeight(), 14.0f);
    EXPECT_LT(font->lineHeight(), 20.0f);
    EXPECT_LT(font->descender(), 0.0f);
}

TEST(FontMetrics, CharactersWithoutAGlyphNeitherDrawNorMoveThePen)
{
    auto font = QN::Font::fromFile(platform::locateFontFile("arial.ttf"), 12);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->measureText("a\xe9" "b"), font->measureText("ab"));
    EXPECT_EQ(font->measureText("\x7f\x01"), 0.0f);
    std::vector<float> vertices(3 * 20, -1.0f);
    font->buildTextVertices("a\xe9" "b", 10, 20, vertices.data());
    EXPECT_EQ(vertices[20], -1.0f);  // the skipped character's quad is left alone
    EXPECT_NE(vertices[40], -1.0f);
}

// A layout whose only font is broken used to leave the editor without any text.
TEST(FontMetrics, AFileThatIsNotAFontLoadsNothingAndTheBuiltInFontStandsIn)
{
    EXPECT_EQ(QN::Font::fromFile("/etc/hostname", 12), nullptr);
    const auto font = QN::Font::load({{"/etc/hostname", 12}});
    ASSERT_TRUE(font);
    EXPECT_EQ(font->path(), "");
    EXPECT_EQ(QN::Font::load({{"/etc/hostname", 0}}), nullptr);
}

}  // namespace
