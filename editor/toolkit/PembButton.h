#pragma once

#include "editor/toolkit/Button.h"
#include "editor/toolkit/FadingColour.h"

namespace QN {

// The product's button: a translucent fill that warms to orange under the pointer and
// fades back, with its label in the static text.
class PembButton : public Button {
public:
    static constexpr FadingColour::Rgba kIdleColour{0.3f, 0.3f, 0.3f, 0.2f};
    static constexpr FadingColour::Rgba kHoverColour{0.8f, 0.4f, 0.1f, 0.3f};

    PembButton(Manager& manager, std::string label, Action action, float x, float y, float width, float height,
               int hoverId);

    void draw() override;
    void mouseEnter() override;
    void mouseExit() override;
    void prepare() override;

    [[nodiscard]] const FadingColour& fill() const { return fill_; }

private:
    FadingColour fill_{kIdleColour};
};

}  // namespace QN
