#pragma once

#include "editor/toolkit/EditorScale.h"
#include "editor/toolkit/Point.h"

#include <array>

namespace QN {

// How an editor looks: its size and scale, the banner and background colours and the
// projection. The layout sets it through the manager on the host GUI thread before
// rendering starts; the renderer draws from a copy taken when rendering starts, so the
// layout may not change it while frames are drawn.
struct Appearance {
    // In layout pixels.
    int width = 1;
    int height = 1;
    // Window pixels per layout pixel (EditorScale), at least 1.
    float scale = 1.0f;
    std::array<float, 4> bannerColour{0.9f, 0.9f, 0.9f, 0.1f};
    std::array<float, 3> backgroundColour{0, 0, 0};
    float bannerY = 0.0f;
    bool versionBanner = true;
    // The perspective of the 3-D pass; eyeDistance and lightTarget follow the size.
    float fieldOfView = 65.0f;
    float eyeDistance = 1.0f;
    Point lightTarget{0.5f, 0.5f};

    // The window's size in window pixels.
    [[nodiscard]] int pixelWidth() const { return EditorScale::scaled(width, scale); }
    [[nodiscard]] int pixelHeight() const { return EditorScale::scaled(height, scale); }
};

}  // namespace QN
