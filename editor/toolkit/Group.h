#pragma once

#include "editor/toolkit/UIElement.h"

#include <vector>

namespace QN {

// An element holding others at an offset. Its own rectangle (empty for a plain group)
// lets the hover test report the group itself while the mouse is over it.
class Group : public UIElement {
public:
    explicit Group(Manager& manager) : UIElement(manager) {}

    void draw() override;
    void drawTop() override;
    void getBounds(Box& box) override;
    UIElement* hitTest(Point point) override;
    void setVisible(bool visible) override;

    // Appends child and gives it this group's visibility. Called on: host GUI thread.
    void add(UIElement* child);
    void setPosition(float x, float y, float z = 0.0f);
    [[nodiscard]] float x() const { return x_; }
    [[nodiscard]] float y() const { return y_; }
    [[nodiscard]] float z() const { return z_; }
    [[nodiscard]] const std::vector<UIElement*>& children() const { return children_; }
    void setOwnRect(const Box& rect) { ownRect_ = rect; }

private:
    std::vector<UIElement*> children_;
    float x_ = 0.0f;
    float y_ = 0.0f;
    float z_ = 0.0f;
    Box ownRect_;
};

}  // namespace QN
