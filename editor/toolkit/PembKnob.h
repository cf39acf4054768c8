#pragma once

#include "editor/toolkit/Control.h"

#include <string>

namespace QN {

class KnobRenderer;

// A round knob: a vertical drag turns it (0.005 of the range per pixel, 0.0005 with
// Shift, whole plain units with Control), Alt-click restores the default and a click
// on a two-state knob flips it. The renderer draws every knob of the layout at once;
// this element only moves its instance there.
class PembKnob : public Control {
public:
    static constexpr float kDragSensitivity = 0.005f;
    static constexpr float kFineSensitivity = 0.0005f;

    PembKnob(Manager& manager, int parameterIndex, std::string label, KnobRenderer& renderer, float x,
             float y, float size);

    void mouseDown(Point point, int modifiers) override;
    void mouseDrag(Point point, int modifiers) override;
    void valueChanged(const ControlParameterInfo& info, float value) override;
    void getBounds(Box& box) override;
    void prepare() override;
    void drawStatic(Font& font) override;
    void setVisible(bool visible) override;

    // The angle the renderer shows for a position: -3/4 pi .. +3/4 pi around straight up.
    [[nodiscard]] static float angleFor(float position);

private:
    void showPosition();
    [[nodiscard]] float plainFor(float position) const;
    [[nodiscard]] float snapToWholeUnits(float position) const;

    std::string label_;
    KnobRenderer& renderer_;
    int instance_;
    Point press_;
    float pressPosition_ = 0.0f;
};

}  // namespace QN
