#pragma once

#include "editor/toolkit/UIElement.h"

#include <functional>
#include <string>

namespace QN {

// A push button: runs its action at the release (wherever the pointer is then) and
// shows its hover text in the banner while the pointer is over it.
class Button : public UIElement {
public:
    // Runs on the host GUI thread inside the release; it may open a modal panel.
    using Action = std::function<void()>;

    Button(Manager& manager, std::string label, Action action, float x, float y, float width, float height,
           int hoverId);

    void draw() override;
    void getBounds(Box& box) override { box.include(rect_); }
    UIElement* hitTest(Point point) override { return rect_.contains(point) ? this : nullptr; }
    void mouseUp(Point point, int modifiers) override;
    void mouseEnter() override;
    void mouseExit() override;

    [[nodiscard]] const std::string& label() const { return label_; }
    [[nodiscard]] const Box& rect() const { return rect_; }
    [[nodiscard]] int hoverId() const { return hoverId_; }

private:
    std::string label_;
    Action action_;
    Box rect_;
    int hoverId_;
};

}  // namespace QN
