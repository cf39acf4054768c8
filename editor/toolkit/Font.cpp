#include "editor/toolkit/Font.h"

#include "editor/toolkit/GlHeaders.h"
#include "platform/FontLocator.h"
#include "platform/MessageOutput.h"
#include "platform/Resources.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace QN {
namespace {

// Glyph creation for every font of every editor in the process goes through this lock.
std::mutex& glyphLock()
{
    static std::mutex lock;
    return lock;
}

constexpr int kAtlasWidth = 512;
// Glyphs of large fonts at high scales would outgrow any texture: the editor's scale is
// at most 4, and no font is rendered larger than kMaxRasterSize pixels (a larger one is
// drawn stretched).
constexpr float kMaxRasterScale = 4.0f;
constexpr float kMaxRasterSize = 512.0f;
constexpr int kPadding = 1;

int nextPowerOfTwo(int n)
{
    int p = 1;
    while (p < n) p <<= 1;
    return p;
}

}  // namespace

struct Font::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face()
    {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

Font::~Font() = default;

std::unique_ptr<Font> Font::load(const std::vector<FontRequest>& candidates, float scale)
{
    for (const FontRequest& request : candidates) {
        const std::string path = platform::locateFontFile(request.name);
        if (path.empty()) {
            // What the system's font configuration would have substituted.
            if (auto font = builtIn(request.size, scale)) return font;
            continue;
        }
        if (auto font = fromFile(path, request.size, scale)) return font;
        platform::showError("Unable to load font");
    }
    // Every file found is broken: the built-in font rather than no text at all.
    for (const FontRequest& request : candidates) {
        if (auto font = builtIn(request.size, scale)) return font;
    }
    return nullptr;
}

std::unique_ptr<Font> Font::fromFile(const std::string& path, int size, float scale)
{
    if (path.empty()) return nullptr;
    return open(path, nullptr, 0, size, scale);
}

std::unique_ptr<Font> Font::builtIn(int size, float scale)
{
    const auto resource = platform::findResource(platform::kResourceTypeFont, platform::kBuiltInFontId);
    if (!resource || resource->size == 0) return nullptr;
    return open({}, resource->data, resource->size, size, scale);
}

std::unique_ptr<Font> Font::open(const std::string& path, const unsigned char* bytes, std::size_t byteCount, int size,
                                 float scale)
{
    if (size <= 0) return nullptr;
    std::unique_ptr<Font> font(new Font());
    font->rasterScale_ = 2.0f * (std::isfinite(scale) ? std::clamp(scale, 1.0f, kMaxRasterScale) : 1.0f);
    font->rasterScale_ = std::min(font->rasterScale_, kMaxRasterSize / static_cast<float>(size));
    font->path_ = path;
    font->face_ = std::make_unique<Face>();
    std::lock_guard<std::mutex> lock(glyphLock());
    if (FT_Init_FreeType(&font->face_->library) != 0) return nullptr;
    FT_Face& face = font->face_->face;
    const FT_Error opened = path.empty() ? FT_New_Memory_Face(font->face_->library, bytes,
                                                              static_cast<FT_Long>(byteCount), 0, &face)
                                         : FT_New_Face(font->face_->library, path.c_str(), 0, &face);
    if (opened != 0) return nullptr;
    if (!font->renderGlyphs(size)) return nullptr;
    return font;
}

bool Font::renderGlyphs(int size)
{
    FT_Face face = face_->face;
    const auto rasterSize = static_cast<FT_F26Dot6>(std::lround(rasterScale_ * static_cast<float>(size) * 64.0f));
    if (FT_Set_Char_Size(face, 0, rasterSize, 72, 72) != 0) return false;
    lineHeight_ = toLayout(static_cast<float>(face->size->metrics.height) / 64.0f);
    descender_ = toLayout(static_cast<float>(face->size->metrics.descender) / 64.0f);

    // First pass: render each glyph to find its place in the atlas.
    struct Placed {
        std::vector<unsigned char> bitmap;
        int width = 0, rows = 0, x = 0, y = 0;
        FT_UInt index = 0;
    };
    std::array<Placed, kGlyphCount> placed{};
    int penX = kPadding, penY = kPadding, rowHeight = 0;
    // Wide enough for a row of the largest glyphs; a glyph wider still is left out.
    const int atlasWidth = std::max(kAtlasWidth, nextPowerOfTwo(static_cast<int>(rasterScale_ * size) + 2 * kPadding));
    for (int code = kFirstCode; code <= kLastCode; ++code) {
        Placed& p = placed[static_cast<std::size_t>(code - kFirstCode)];
        p.index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
        if (p.index == 0 || FT_Load_Glyph(face, p.index, FT_LOAD_RENDER) != 0) continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        if (static_cast<int>(bitmap.width) + 2 * kPadding > atlasWidth) continue;
        p.width = static_cast<int>(bitmap.width);
        p.rows = static_cast<int>(bitmap.rows);
        for (int row = 0; row < p.rows; ++row) {
            const unsigned char* source = bitmap.buffer + row * bitmap.pitch;
            p.bitmap.insert(p.bitmap.end(), source, source + p.width);
        }
        if (penX + p.width + kPadding > atlasWidth) {
            penX = kPadding;
            penY += rowHeight + kPadding;
            rowHeight = 0;
        }
        p.x = penX;
        p.y = penY;
        penX += p.width + kPadding;
        rowHeight = std::max(rowHeight, p.rows);
        Glyph& glyph = glyphs_[static_cast<std::size_t>(code - kFirstCode)];
        glyph.present = true;
        glyph.left = static_cast<float>(face->glyph->bitmap_left);
        glyph.top = static_cast<float>(face->glyph->bitmap_top);
        glyph.width = static_cast<float>(p.width);
        glyph.height = static_cast<float>(p.rows);
        glyph.advance = static_cast<float>(face->glyph->advance.x) / 64.0f;
    }
    atlasWidth_ = atlasWidth;
    atlasHeight_ = nextPowerOfTwo(penY + rowHeight + kPadding);
    atlas_.assign(static_cast<std::size_t>(atlasWidth_) * static_cast<std::size_t>(atlasHeight_), 0);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const Placed& p = placed[i];
        for (int row = 0; row < p.rows; ++row) {
            std::memcpy(&atlas_[static_cast<std::size_t>((p.y + row) * atlasWidth_ + p.x)],
                        &p.bitmap[static_cast<std::size_t>(row * p.width)], static_cast<std::size_t>(p.width));
        }
        Glyph& glyph = glyphs_[i];
        glyph.u0 = static_cast<float>(p.x) / static_cast<float>(atlasWidth_);
        glyph.v0 = static_cast<float>(p.y) / static_cast<float>(atlasHeight_);
        glyph.u1 = static_cast<float>(p.x + p.width) / static_cast<float>(atlasWidth_);
        glyph.v1 = static_cast<float>(p.y + p.rows) / static_cast<float>(atlasHeight_);
    }
    // Unfitted kerning, so that half-scale positions stay exact.
    kerning_.assign(static_cast<std::size_t>(kGlyphCount * kGlyphCount), 0.0f);
    if (FT_HAS_KERNING(face)) {
        for (int a = 0; a < kGlyphCount; ++a) {
            for (int b = 0; b < kGlyphCount; ++b) {
                FT_Vector delta{};
                const FT_UInt left = placed[static_cast<std::size_t>(a)].index;
                const FT_UInt right = placed[static_cast<std::size_t>(b)].index;
                if (left == 0 || right == 0) continue;
                if (FT_Get_Kerning(face, left, right, FT_KERNING_UNFITTED, &delta) == 0) {
                    kerning_[static_cast<std::size_t>(a * kGlyphCount + b)] = static_cast<float>(delta.x) / 64.0f;
                }
            }
        }
    }
    return true;
}

void Font::cacheGlyphs()
{
    std::lock_guard<std::mutex> lock(glyphLock());
    if (texture_ || atlas_.empty()) return;
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, atlasWidth_, atlasHeight_, 0, GL_ALPHA, GL_UNSIGNED_BYTE, atlas_.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void Font::releaseGL()
{
    if (texture_) glDeleteTextures(1, &texture_);
    texture_ = 0;
}

const Font::Glyph* Font::glyphOf(char c) const
{
    const int code = static_cast<unsigned char>(c);
    if (code < kFirstCode || code > kLastCode) return nullptr;
    const Glyph& glyph = glyphs_[static_cast<std::size_t>(code - kFirstCode)];
    return glyph.present ? &glyph : nullptr;
}

float Font::kerning(char left, char right) const
{
    if (!glyphOf(left) || !glyphOf(right)) return 0.0f;
    const int a = static_cast<unsigned char>(left) - kFirstCode;
    const int b = static_cast<unsigned char>(right) - kFirstCode;
    return kerning_[static_cast<std::size_t>(a * kGlyphCount + b)];
}

template <class Visit>
float Font::walk(std::string_view text, float x, float y, Visit&& visit) const
{
    // The pen starts on a whole window pixel.
    const float pixels = rasterScale_ / 2.0f;
    float penX = std::floor(x * pixels) / pixels;
    const float penY = std::floor(y * pixels) / pixels;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const Glyph* glyph = glyphOf(text[i]);
        if (!glyph) continue;  // draws nothing and does not move the pen
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const float left = penX + toLayout(glyph->left);
        const float top = penY + toLayout(glyph->top);
        visit(i, *glyph, Quad{left, top, left + toLayout(glyph->width), top - toLayout(glyph->height)});
        penX += toLayout(glyph->advance + kerning(text[i], next));
    }
    return penX;
}

float Font::drawText(std::string_view text, float x, float y) const
{
    glBindTexture(GL_TEXTURE_2D, texture_);
    glAlphaFunc(GL_GREATER, 0.0f);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    glBegin(GL_QUADS);
    const float end = walk(text, x, y, [](std::size_t, const Glyph& g, const Quad& q) {
        glTexCoord2f(g.u0, g.v0), glVertex2f(q.x0, q.y0);
        glTexCoord2f(g.u0, g.v1), glVertex2f(q.x0, q.y1);
        glTexCoord2f(g.u1, g.v1), glVertex2f(q.x1, q.y1);
        glTexCoord2f(g.u1, g.v0), glVertex2f(q.x1, q.y0);
    });
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    return end;
}

void Font::buildTextVertices(std::string_view text, float x, float y, float* destination) const
{
    walk(text, x, y, [destination](std::size_t i, const Glyph& g, const Quad& q) {
        const float vertices[20] = {g.u0, g.v0, q.x0, q.y0, 0, g.u0, g.v1, q.x0, q.y1, 0,
                                    g.u1, g.v1, q.x1, q.y1, 0, g.u1, g.v0, q.x1, q.y0, 0};
        std::memcpy(destination + i * 20, vertices, sizeof vertices);
    });
}

float Font::measureText(std::string_view text) const
{
    return walk(text, 0.0f, 0.0f, [](std::size_t, const Glyph&, const Quad&) {});
}

}  // namespace QN
