#pragma once

#include "editor/toolkit/FontRequest.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace QN {

// A texture font for the printable ASCII codes 32-126. Glyphs are rendered at twice
// the requested size into one texture and drawn at half scale, which keeps text
// sharp under linear filtering; every metric here is already halved. In a scaled
// editor the glyphs are rendered at the scaled size (never stretched) and every metric
// is in layout pixels.
//
// Made on the host GUI thread (the glyphs are rendered then, under the process-wide
// glyph lock); its texture is made, drawn and released on the render thread.
class Font {
public:
    static constexpr int kFirstCode = 32;
    static constexpr int kLastCode = 126;
    static constexpr int kGlyphCount = kLastCode - kFirstCode + 1;

    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // The first candidate that loads. A file that is found but cannot be read as a font
    // is reported ("Unable to load font") and the next one is tried; a candidate for which
    // the system finds no file (no font configuration, say) gets the built-in font at its
    // size, and so does the first candidate when every file found is broken, so that the
    // editor always has text. Null only when no candidate has a usable size.
    // scale: window pixels per layout pixel (1 to EditorScale::kMaxScale).
    static std::unique_ptr<Font> load(const std::vector<FontRequest>& candidates, float scale = 1.0f);
    // Null when the file is not a usable font.
    static std::unique_ptr<Font> fromFile(const std::string& path, int size, float scale = 1.0f);
    // The font compiled into the plug-in (DejaVu Sans); its path() is empty.
    static std::unique_ptr<Font> builtIn(int size, float scale = 1.0f);

    // Makes the glyph texture. Called on: render thread (GL set-up).
    void cacheGlyphs();
    // Called on: render thread (GL tear-down).
    void releaseGL();
    [[nodiscard]] unsigned texture() const { return texture_; }

    // Immediate-mode drawing with the baseline starting at (x, y); returns the pen's x
    // after the last character. Called on: render thread.
    float drawText(std::string_view text, float x, float y) const;
    // The same quads as drawText, 4 vertices per character of text, each (s, t, x, y, z);
    // characters without a glyph leave their 20 floats untouched.
    void buildTextVertices(std::string_view text, float x, float y, float* destination) const;
    // Advance width of the text. Called on: any editor thread.
    [[nodiscard]] float measureText(std::string_view text) const;
    [[nodiscard]] float lineHeight() const { return lineHeight_; }
    // Negative: the distance the font reaches below the baseline.
    [[nodiscard]] float descender() const { return descender_; }
    // The file the font was loaded from; empty for the built-in font.
    [[nodiscard]] const std::string& path() const { return path_; }

private:
    struct Glyph {
        bool present = false;
        float left = 0, top = 0, width = 0, height = 0;  // engine scale
        float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
        float advance = 0;  // engine scale
    };
    struct Quad {
        float x0, y0, x1, y1;
    };
    struct Face;
    struct GlyphWalk;

    Font() = default;
    // From the file at path, or from bytes (which outlive the font) when path is empty.
    static std::unique_ptr<Font> open(const std::string& path, const unsigned char* bytes, std::size_t byteCount,
                                      int size, float scale);
    bool renderGlyphs(int size);
    // A length at raster scale in layout pixels.
    [[nodiscard]] float toLayout(float rasterLength) const { return rasterLength / rasterScale_; }
    [[nodiscard]] const Glyph* glyphOf(char c) const;
    [[nodiscard]] float kerning(char left, char right) const;
    // Calls visit(glyph, quad) for every drawable character; returns the pen's final x.
    template <class Visit>
    float walk(std::string_view text, float x, float y, Visit&& visit) const;

    std::string path_;
    std::unique_ptr<Face> face_;
    std::array<Glyph, kGlyphCount> glyphs_{};
    std::vector<float> kerning_;  // kGlyphCount x kGlyphCount, engine scale
    std::vector<unsigned char> atlas_;
    int atlasWidth_ = 0;
    int atlasHeight_ = 0;
    unsigned texture_ = 0;
    float lineHeight_ = 0.0f;
    float descender_ = 0.0f;
    // Raster pixels per layout pixel: 2 times the editor's scale.
    float rasterScale_ = 2.0f;
};

}  // namespace QN
