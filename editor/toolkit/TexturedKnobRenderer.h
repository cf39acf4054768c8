#pragma once

#include "editor/toolkit/KnobRenderer.h"
#include "editor/toolkit/ShaderProgram.h"

#include <array>
#include <atomic>
#include <mutex>
#include <vector>

namespace QN {

class TextureRecord;

// Draws every knob of a layout from one image (and optional normal map) in one vertex
// array, lit by a per-pixel shader that follows the knob's rotation. Instances are
// added on the host GUI thread while the layout is built; angles change on the GUI
// thread and are written into the array there; everything else is render-thread work.
class TexturedKnobRenderer : public KnobRenderer {
public:
    // imageX, imageY and size locate the knob image in the texture, in texels.
    TexturedKnobRenderer(TextureRecord* image, TextureRecord* normalMap, float imageX, float imageY, float size);
    ~TexturedKnobRenderer() override;

    int addInstance() override;
    void setCentre(int instance, float x, float y, float radius) override;
    void setAngle(int instance, float radians) override;
    void setVisible(int instance, bool visible) override;
    [[nodiscard]] int instanceCount() const { return static_cast<int>(instances_.size()); }

    void initialiseGL() override;
    void drawOverlay() override;
    void releaseGL() override;

    // Set by the editor preferences; process-wide.
    static void setEyeCandy(bool on) { eyeCandy_.store(on); }

private:
    struct Instance {
        float x = 0, y = 0, radius = 0;
        float angle = 0;
        bool visible = true;
    };
    struct Corner {
        float a, b, u, v;
    };
    static constexpr int kFloatsPerVertex = 8;
    static constexpr int kFloatsPerInstance = 4 * kFloatsPerVertex;

    void writeVertices(int instance);
    void bindTextures(bool lit) const;
    void unbindTextures(bool lit) const;

    TextureRecord* image_;
    TextureRecord* normalMap_;
    float imageX_, imageY_, size_;
    std::vector<Instance> instances_;
    std::array<Corner, 4> corners_{};
    std::vector<float> vertices_;
    // Knob positions and the vertex array are written on the GUI thread (value changes)
    // and on the render thread (layout preparation) and read while drawing.
    mutable std::mutex vertexLock_;
    // The render thread's own copy of the array and visibility, drawn outside the lock.
    std::vector<float> drawVertices_;
    std::vector<char> drawVisible_;
    bool prepared_ = false;
    ShaderProgram program_;
    int texLocation_ = -1;
    int normalMapLocation_ = -1;
    static std::atomic<bool> eyeCandy_;
};

}  // namespace QN
