#pragma once

#include "editor/toolkit/FadingColour.h"
#include "editor/toolkit/Group.h"

#include <array>
#include <string>

namespace QN {

// A group framed by an outline with its name set into the top edge. Outline and name
// light up while the pointer is anywhere inside the frame and fade back when it leaves.
// The two colours are process-wide (the layout sets them).
class NamedGroup : public Group {
public:
    static constexpr float kPadding = 10.0f;

    NamedGroup(Manager& manager, std::string name);

    void getBounds(Box& box) override;
    UIElement* hitTest(Point point) override;
    void mouseEnter() override;
    void mouseExit() override;
    void prepare() override;
    void draw() override;
    void setVisible(bool visible) override;

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] const FadingColour& colour() const { return colour_; }

    // Called on: host GUI thread (the layout); read by render threads every frame.
    static void setActiveColour(const FadingColour::Rgba& colour);
    static void setInactiveColour(const FadingColour::Rgba& colour);
    [[nodiscard]] static FadingColour::Rgba activeColour();
    [[nodiscard]] static FadingColour::Rgba inactiveColour();

private:
    std::string name_;
    FadingColour colour_;
    std::array<float, 12> outline_{};
    int nameEntry_ = -1;
};

}  // namespace QN
