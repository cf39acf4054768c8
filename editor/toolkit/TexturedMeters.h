#pragma once

#include "editor/toolkit/LevelMeters.h"

#include <atomic>
#include <vector>

namespace QN {

class TextureRecord;

// Level meters drawn from a vertical strip of an image: each meter shows the lower
// part of the strip, as tall as its level (0..1). Levels are read once per frame
// from wherever the audio thread publishes them.
class TexturedMeters : public LevelMeters {
public:
    // imageX, imageY, width and height locate the strip in the texture (texels); the
    // meters are the same size on screen.
    TexturedMeters(TextureRecord* texture, float imageX, float imageY, float width, float height);

    void add(float x, float y, const std::atomic<float>* level) override;
    [[nodiscard]] int count() const { return static_cast<int>(meters_.size()); }

    void drawOverlay() override;

    // The drawn height of a meter for a level, limited to the strip.
    [[nodiscard]] float barHeight(float level) const;

private:
    struct Meter {
        float x, y;
        const std::atomic<float>* level;
    };

    TextureRecord* texture_;
    float imageX_, imageY_, width_, height_;
    std::vector<Meter> meters_;
};

}  // namespace QN
