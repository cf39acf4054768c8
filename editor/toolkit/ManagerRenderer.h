#pragma once

#include "editor/toolkit/Appearance.h"
#include "editor/toolkit/Box.h"
#include "editor/toolkit/Point.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>

namespace QN {

class Font;
class RenderScene;

// Draws the editor's frames on the render thread: GL set-up and tear-down, the 3-D pass,
// the cached static layer, the overlay, the banner, the floating tooltip and the light
// that follows the pointer. Owned by Manager, which it sees only as a RenderScene.
//
// Threads: start() runs on the host GUI thread before the render thread starts (it takes
// the appearance snapshot); everything else runs on the render thread, except
// hasStaticLayerFramebuffer() (an atomic, any thread).
// What the renderer reads of the GUI thread's state:
//   - the appearance (size, scale, colours, banner, projection): a copy taken in
//     start(), so the layout may not change it while frames are drawn;
//   - the scene (RenderScene): its atomics once per frame, its resources as built by
//     the layout before rendering started.
class ManagerRenderer {
public:
    explicit ManagerRenderer(RenderScene& scene);
    ManagerRenderer(const ManagerRenderer&) = delete;
    ManagerRenderer& operator=(const ManagerRenderer&) = delete;

    // Called on: host GUI thread, before the render thread starts.
    void start(const Appearance& appearance);

    // Render thread. Once the window is gone (the host destroyed it, or the display went
    // away) frames draw nothing; release() still frees what GL set-up made.
    void initialise();
    void frame();
    void renderStaticLayer();
    void release();

    // Draws the static layer's pixels of at least minimumAlpha that lie in absolute over
    // where (see Manager::drawStaticLayerOver). Called on: render thread.
    void drawStaticLayerOver(const Box& where, const Box& absolute, float minimumAlpha) const;
    // The static layer as one textured quad (the plain background pass).
    void drawStaticLayerTexture() const;
    void drawScreenQuad() const;
    [[nodiscard]] unsigned screenTexture() const { return screenTexture_; }
    [[nodiscard]] std::array<float, 2> screenTextureExtent() const;
    // Called on: any thread.
    [[nodiscard]] bool hasStaticLayerFramebuffer() const { return hasFramebuffer_.load(); }

    // Adds to the floating tooltip's text, up to its capacity.
    static void appendToTooltip(std::string& text, const std::string& addition);

private:
    struct Tooltip {
        float alpha = 0, x = 0, y = 0, width = 0, height = 0;
        std::string text;
    };

    // False, for good, once the window is gone.
    bool windowStillThere();
    void prepareResources();
    void createScreenTarget();
    void renderFrame();
    void drawStaticContent();
    void setUpLights();
    void drawOverlay();
    void drawBanner(std::string& tooltipText);
    float drawParameterReadout(Font& font, int index, float x, float y, std::string& tooltip);
    void drawTooltip(const std::string& tooltipText);

    RenderScene& scene_;
    Appearance look_;
    Point lightTarget_{0.5f, 0.5f};
    std::array<float, 4> smoothedLight_{0, 0, 50, 1};
    Tooltip tooltip_;
    int cachedHoverId_ = -1;
    std::string cachedHoverText_;

    int screenTextureWidth_ = 0;
    int screenTextureHeight_ = 0;
    unsigned screenTexture_ = 0;
    unsigned framebuffer_ = 0;
    std::atomic<bool> hasFramebuffer_{false};
    bool glReady_ = false;
    bool windowLost_ = false;
};

}  // namespace QN
