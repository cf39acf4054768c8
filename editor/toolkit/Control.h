#pragma once

#include "editor/toolkit/UIElement.h"

#include <atomic>

namespace QN {

// An element that shows and changes one plug-in parameter. It listens to that
// parameter from construction on (unless the parameter is inert) and keeps its
// normalized position. Knobs, drop-downs and text fields build on it.
class Control : public UIElement {
public:
    Control(Manager& manager, int parameterIndex, const Box& rect);

    void getBounds(Box& box) override;
    UIElement* hitTest(Point point) override;
    void mouseDown(Point point, int modifiers) override;
    void mouseUp(Point point, int modifiers) override;
    void mouseEnter() override;
    void mouseExit() override;
    void valueChanged(const ControlParameterInfo& info, float value) override;

    [[nodiscard]] const ControlParameterInfo& info() const { return info_; }
    [[nodiscard]] float position() const { return position_.load(std::memory_order_relaxed); }
    [[nodiscard]] bool isStepped() const { return stepped_; }
    [[nodiscard]] const Box& rect() const { return rect_; }

protected:
    void setPosition(float position) { position_.store(position, std::memory_order_relaxed); }
    void setStepped(bool stepped) { stepped_ = stepped; }
    // Reads the plug-in's current value into the position.
    void readPosition();

private:
    ControlParameterInfo info_;
    Box rect_;
    bool stepped_ = false;
    std::atomic<float> position_{0.0f};
};

}  // namespace QN
