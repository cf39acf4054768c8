#pragma once

#include "editor/toolkit/KnobRenderer.h"

#include <array>
#include <mutex>
#include <vector>

namespace QN {

// Knobs drawn as shapes instead of an image, so that they stay sharp at every zoom: a
// flat disc, a dark track around it, the travel so far as an arc in the accent colour
// and a light pointer. Nothing is lit or textured.
class VectorKnobRenderer : public KnobRenderer {
public:
    // Components 0..1 (the caller limits them).
    VectorKnobRenderer(float red, float green, float blue);

    int addInstance() override;
    void setCentre(int instance, float x, float y, float radius) override;
    void setAngle(int instance, float radians) override;
    void setVisible(int instance, bool visible) override;
    [[nodiscard]] int instanceCount() const { return static_cast<int>(instances_.size()); }

    void drawOverlay() override;

    // Where the pointer of a knob at angle (PembKnob::angleFor) points on screen, in
    // radians counter-clockwise from the positive x axis: 5/4 pi at the start of the
    // travel, 1/2 pi in its middle, -1/4 pi at its end.
    [[nodiscard]] static float screenAngle(float radians);

private:
    struct Instance {
        float x = 0, y = 0, radius = 0;
        float angle = 0;
        bool visible = true;
    };

    void drawKnob(const Instance& knob) const;

    std::array<float, 3> accent_;
    std::vector<Instance> instances_;
    // Positions change on the GUI thread while the render thread draws.
    std::mutex lock_;
    std::vector<Instance> drawInstances_;
};

}  // namespace QN
