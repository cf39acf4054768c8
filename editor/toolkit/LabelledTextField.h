#pragma once

#include "editor/toolkit/TextField.h"

#include <string>

namespace QN {

// The product's text field: a light box with the value right-aligned, tinted while it
// has the keyboard, and an optional label in a dark box underneath.
class LabelledTextField : public TextField {
public:
    LabelledTextField(Manager& manager, int parameterIndex, const std::string& format, std::string label, float x,
                      float y, float width, float height);

    void getBounds(Box& box) override;
    void draw() override;
    void drawStatic(Font& font) override;

private:
    std::string label_;
};

}  // namespace QN
