#pragma once

#include "editor/toolkit/DropDown.h"

// The product's drop-down: a light box with the current item in the static layer and
// the text on top, and a translucent grey menu above everything while it is open.
class TKDropDown : public QN::DropDown {
public:
    TKDropDown(QN::Manager& manager, int parameterIndex, float x, float y, float width, float height)
        : DropDown(manager, parameterIndex, x, y, width, height)
    {
    }

    void draw() override;
    void drawTop() override;
    void drawStatic(QN::Font& font) override;
};
