#pragma once

#include "editor/toolkit/UIElement.h"

#include <string>

namespace QN {

// Fixed text in a dark translucent box, drawn once into the static layer.
class Label : public UIElement {
public:
    Label(Manager& manager, std::string text, float x, float y, float width, float height);

    void getBounds(Box& box) override { box.include(rect_); }
    UIElement* hitTest(Point point) override { return rect_.contains(point) ? this : nullptr; }
    void drawStatic(Font& font) override;

    [[nodiscard]] const std::string& text() const { return text_; }

private:
    std::string text_;
    Box rect_;
};

}  // namespace QN
