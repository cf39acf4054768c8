#pragma once

#include "editor/toolkit/Effect.h"

namespace QN {

// Draws every knob of a layout at once: each knob element owns one instance and moves
// it there. Instances are added on the host GUI thread while the layout is built;
// centres, angles and visibility change on the GUI thread (and the render thread while
// it prepares the layout) and are drawn on the render thread.
class KnobRenderer : public Effect {
public:
    virtual int addInstance() = 0;
    virtual void setCentre(int instance, float x, float y, float radius) = 0;
    // radians: -3/4 pi .. +3/4 pi around straight up (PembKnob::angleFor).
    virtual void setAngle(int instance, float radians) = 0;
    virtual void setVisible(int instance, bool visible) = 0;
};

}  // namespace QN
